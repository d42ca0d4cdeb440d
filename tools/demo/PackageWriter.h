#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace Trivet::Demo {

struct WriteResult
{
    bool ok = false;
    QString message;
};

// Builds one zip or 7z archive in memory order and writes it in one go. Parent folders of every file get
// their own folder entries, as archivers that pack a folder tree write them.
class PackageWriter final
{
public:
    enum class Format { Zip, SevenZip };

    explicit PackageWriter(Format format);

    // path uses '/' and is relative to the archive's root. A later file of the same path replaces the earlier.
    void addFile(const QString &path, const QByteArray &content, bool executable);
    bool isEmpty() const { return m_files.isEmpty(); }
    Format format() const { return m_format; }

    // Replaces file only once the archive is complete, so a mirror being served never hands out half a package.
    WriteResult write(const QString &file) const;

private:
    struct Member
    {
        QString path;
        QByteArray content;
        bool executable = false;
    };

    Format m_format;
    QList<Member> m_files;
};

} // namespace Trivet::Demo
