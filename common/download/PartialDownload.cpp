#include "common/download/PartialDownload.h"

#include "common/platform/RegularFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

const QString DataSuffix = u".part"_s;
const QString InfoSuffix = u".part.info"_s;

// The file name the partial download of a target goes under.
QString baseName(const QString &target)
{
    return QFileInfo(target).fileName();
}

struct Kept
{
    QString target; // the file name of the target
    qint64 size = 0;
    QDateTime modified;
};

// The complete pairs in folder; the rest is listed in strays.
QList<Kept> keptDownloads(const QDir &folder, QStringList *strays = nullptr)
{
    QList<Kept> kept;
    const QFileInfoList files =
        folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot);
    const QSet<QString> names = [&files] {
        QSet<QString> all;
        for (const QFileInfo &file : files) {
            all.insert(file.fileName());
        }
        return all;
    }();
    for (const QFileInfo &file : files) {
        const QString name = file.fileName();
        if (file.isFile() && !file.isSymLink() && name.endsWith(InfoSuffix)) {
            const QString target = name.chopped(InfoSuffix.size());
            const QFileInfo data(folder.filePath(target + DataSuffix));
            if (data.isFile() && !data.isSymLink()) {
                kept.append({target, data.size(), data.lastModified()});
                continue;
            }
        }
        if (file.isFile() && !file.isSymLink() && name.endsWith(DataSuffix) &&
            names.contains(name.chopped(DataSuffix.size()) + InfoSuffix)) {
            continue;
        }
        if (strays) {
            strays->append(file.absoluteFilePath());
        }
    }
    return kept;
}

} // namespace

QString PartialDownload::dataPath(const QString &folder, const QString &target)
{
    return QDir(folder).filePath(baseName(target) + DataSuffix);
}

QString PartialDownload::infoPath(const QString &folder, const QString &target)
{
    return QDir(folder).filePath(baseName(target) + InfoSuffix);
}

std::optional<PartialDownload> PartialDownload::read(const QString &infoPath)
{
    // A description is a few lines; anything large, or a pipe put in its place, is not one of ours.
    const FileRead read = readRegularFile(infoPath, 16 * 1024);
    if (!read.ok()) {
        return std::nullopt;
    }
    PartialDownload partial;
    for (const QByteArray &line : read.bytes.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0) {
            continue;
        }
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (key == "url") {
            partial.url = QString::fromUtf8(value);
        } else if (key == "id") {
            partial.id = QString::fromUtf8(value);
        } else if (key == "etag") {
            partial.etag = value;
        } else if (key == "last-modified") {
            partial.lastModified = value;
        } else if (key == "total") {
            bool ok = false;
            partial.total = value.toLongLong(&ok);
            if (!ok) {
                partial.total = -1;
            }
        }
    }
    return partial;
}

bool PartialDownload::write(const QString &infoPath) const
{
    // Header values end at a line break; one inside a value would make a line of its own.
    const auto clean = [](QByteArray value) { return value.replace('\r', ' ').replace('\n', ' '); };
    QSaveFile file(infoPath);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray text = "url=" + clean(url.toUtf8()) + "\nid=" + clean(id.toUtf8()) + "\netag=" + clean(etag) +
                            "\nlast-modified=" + clean(lastModified) + "\ntotal=" + QByteArray::number(total) + '\n';
    return file.write(text) == text.size() && file.commit();
}

void PartialDownload::remove(const QString &folder, const QString &target)
{
    QFile::remove(infoPath(folder, target));
    QFile::remove(dataPath(folder, target));
}

void prunePartialDownloads(const QString &folder, const QSet<QString> &wantedUrls, std::chrono::hours maxAge)
{
    const QDir dir(folder);
    if (!dir.exists()) {
        return;
    }
    QStringList strays;
    const QDateTime oldest = QDateTime::currentDateTimeUtc().addSecs(-std::chrono::seconds(maxAge).count());
    for (const Kept &kept : keptDownloads(dir, &strays)) {
        const std::optional<PartialDownload> partial =
            PartialDownload::read(PartialDownload::infoPath(folder, kept.target));
        if (!partial || !partial->canResume() || kept.size >= partial->total || kept.modified < oldest ||
            !wantedUrls.contains(partial->url)) {
            PartialDownload::remove(folder, kept.target);
        }
    }
    for (const QString &stray : std::as_const(strays)) {
        if (QFileInfo(stray).isDir() && !QFileInfo(stray).isSymLink()) {
            QDir(stray).removeRecursively();
        } else {
            QFile::remove(stray);
        }
    }
    QDir().rmdir(folder); // only when nothing is left in it
}

qint64 evictPartialDownloads(const QString &folder, qint64 needed, const QStringList &busy)
{
    QList<Kept> kept = keptDownloads(QDir(folder));
    std::ranges::sort(kept, {}, &Kept::modified);
    qint64 freed = 0;
    for (const Kept &candidate : std::as_const(kept)) {
        if (freed >= needed) {
            break;
        }
        if (busy.contains(candidate.target, Qt::CaseInsensitive)) {
            continue;
        }
        PartialDownload::remove(folder, candidate.target);
        freed += candidate.size;
    }
    return freed;
}

QHash<QString, qint64> partialDownloadSizes(const QString &folder)
{
    QHash<QString, qint64> sizes;
    for (const Kept &kept : keptDownloads(QDir(folder))) {
        const std::optional<PartialDownload> partial =
            PartialDownload::read(PartialDownload::infoPath(folder, kept.target));
        if (partial && partial->total > 0 && !partial->id.isEmpty()) {
            sizes.insert(partial->id, partial->total);
        }
    }
    return sizes;
}

} // namespace Trivet
