#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

namespace Trivet {

// A download that was cut off, kept in a folder of its own: the bytes that arrived ("<name>.part") and what
// the server said about the whole ("<name>.part.info"), so the next read of the same file can ask for the
// rest and be sure the rest belongs to the same file.
struct PartialDownload
{
    QString url;
    QString id;
    QByteArray etag;
    QByteArray lastModified;
    qint64 total = -1; // the whole file's size

    // What If-Range carries: the entity tag where the server gave one, else the date.
    QByteArray validator() const { return etag.isEmpty() ? lastModified : etag; }
    // Only a file whose whole size and identity are known can be continued.
    bool canResume() const { return total > 0 && !validator().isEmpty(); }

    // Where the bytes and the description of target's partial download lie in folder.
    static QString dataPath(const QString &folder, const QString &target);
    static QString infoPath(const QString &folder, const QString &target);

    static std::optional<PartialDownload> read(const QString &infoPath);
    // Written whole or not at all, so a pulled stick never leaves a description that half fits.
    bool write(const QString &infoPath) const;
    // Removes both files of target's partial download.
    static void remove(const QString &folder, const QString &target);
};

// At start: removes the partial downloads older than maxAge, those whose address is not among wantedUrls (the
// package is gone from the settings or comes from elsewhere now), and whatever else lies in the folder.
void prunePartialDownloads(const QString &folder, const QSet<QString> &wantedUrls, std::chrono::hours maxAge);

// Removes kept partial downloads, oldest first, until at least needed bytes are freed or none is left but
// those of the targets in busy. Returns the bytes freed.
qint64 evictPartialDownloads(const QString &folder, qint64 needed, const QStringList &busy);

// The whole size of each kept partial download, by the id it was fetched for.
QHash<QString, qint64> partialDownloadSizes(const QString &folder);

} // namespace Trivet
