#pragma once

#include "tools/archive/ArchiveWriter.h"

#include <QDebug>
#include <QFile>
#include <QTemporaryDir>

namespace Trivet::Test {

using ArchiveMember = Tools::ArchiveMember;

// The shared writer in the short form suites use inside QVERIFY: members are stored verbatim, so hostile
// archives can be built too; the reason for a failure goes to the test log.
class ArchiveWriter final
{
public:
    static bool writeZip(const QString &path, const QList<ArchiveMember> &members)
    {
        return written(Tools::ArchiveWriter::write(path, Tools::ArchiveFormat::Zip, members));
    }
    static bool writeSevenZip(const QString &path, const QList<ArchiveMember> &members)
    {
        return written(Tools::ArchiveWriter::write(path, Tools::ArchiveFormat::SevenZip, members));
    }
    // The archive's bytes, for a server to serve; empty when it could not be written.
    static QByteArray zip(const QList<ArchiveMember> &members) { return bytesOf(Tools::ArchiveFormat::Zip, members); }
    static QByteArray sevenZip(const QList<ArchiveMember> &members)
    {
        return bytesOf(Tools::ArchiveFormat::SevenZip, members);
    }

private:
    static QByteArray bytesOf(Tools::ArchiveFormat format, const QList<ArchiveMember> &members)
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("package"));
        QFile file(path);
        return written(Tools::ArchiveWriter::write(path, format, members)) && file.open(QIODevice::ReadOnly)
                   ? file.readAll()
                   : QByteArray();
    }

    static bool written(const FileResult &result)
    {
        if (!result.ok()) {
            qWarning().noquote() << result.message;
        }
        return result.ok();
    }
};

} // namespace Trivet::Test
