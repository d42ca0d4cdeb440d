#include "launcher/install/RecordedFiles.h"

#include "common/platform/RegularFile.h"
#include "common/platform/Sha256.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Trivet {

FileState recordedFileState(const QString &appRoot, const PlacedFile &file)
{
    const QString path = QDir(appRoot).filePath(file.path);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        return FileState::Missing;
    }
    // A link or folder where the program's file was is a change, and a link is never followed.
    if (info.isSymLink() || !isRegularFile(path) || info.size() != file.size) {
        return FileState::Changed;
    }
    const std::optional<QByteArray> digest = Sha256::ofFile(path);
    return digest && *digest == file.sha256 ? FileState::Unchanged : FileState::Changed;
}

QList<CheckedFile> checkRecordedFiles(const QString &appRoot, const InstallRecord &record,
                                      const std::atomic_bool *cancelled,
                                      const std::function<void(qint64 bytes)> &progress)
{
    QList<CheckedFile> checked;
    checked.reserve(record.files.size());
    for (const PlacedFile &file : record.files) {
        if (cancelled && cancelled->load()) {
            break;
        }
        const FileState state = recordedFileState(appRoot, file);
        checked.append({file.path, state});
        if (progress) {
            progress(state == FileState::Missing ? 0 : file.size);
        }
    }
    return checked;
}

QList<InstallRecord> readInstallRecords(const QString &appRoot, QStringList *refusals)
{
    QList<InstallRecord> records;
    const QFileInfoList files =
        QDir(installRecordFolder(appRoot)).entryInfoList({u"*.record"_s}, QDir::Files, QDir::Name);
    for (const QFileInfo &file : files) {
        const InstallRecordRead read = readInstallRecord(appRoot, file.absoluteFilePath());
        if (read.record) {
            records.append(*read.record);
        } else if (refusals) {
            refusals->append(file.fileName() + u": "_s + read.refusal);
        }
    }
    return records;
}

} // namespace Trivet
