#pragma once

#include "common/platform/AppFolder.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace Trivet::Test {

// A portable folder in a temporary directory, filled with copies of the shipped files on request.
class PortableFolder final
{
public:
    PortableFolder();

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    AppFolder appFolder() const { return AppFolder(m_dir.path()); }
    QString path(const QString &relative) const;

    // Copies Trivet.ini, ver.dat, Languages/ and Icons/ from the repository's portable folder. The maker's
    // host in Trivet.ini becomes a closed port on 127.0.0.1, so what a test does not point at its own mirror
    // (the version check of an on-line start) fails at once instead of reaching out.
    void copyShippedFiles();
    void writeFile(const QString &relative, const QByteArray &content);
    QByteArray readFile(const QString &relative) const;
    bool exists(const QString &relative) const;
    void remove(const QString &relative);

private:
    QTemporaryDir m_dir;
};

// Folder of the files that ship beside the executables, in the source tree.
QString shippedPortableFolder();

} // namespace Trivet::Test
