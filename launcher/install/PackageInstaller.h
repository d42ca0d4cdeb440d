#pragma once

#include "common/download/DownloadResult.h"
#include "common/download/FailureReason.h"
#include "common/platform/AppFolder.h"
#include "common/platform/ArchiveExtractor.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/install/InstallResult.h"
#include "launcher/install/ProgramUpdate.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <functional>

namespace Trivet {

class DownloadHandle;
struct DownloadRequest;
class ProgramRunner;

// One package to fetch and install.
struct PackageRequest
{
    QString id;      // a catalogue entry's ("OFF-6"), or the office suite's ("OOP")
    QString url;     // where the package is fetched from
    QString package; // where the download is saved
    InstallKind kind = InstallKind::Unzip;
    QString sha256;  // what the settings name as the package's SHA-256; empty: any package is taken
    QString command; // the extraction command tail of a package that is unpacked
    // Where things are once the package has arrived: the program looked for, the file started (empty: none)
    // and the package. Asked then, not at the request, so settings edited meanwhile count.
    std::function<EntryPaths()> paths;
    // Whether the program is started once in place; an update or a repair only installs.
    bool start = true;
};

// Fetches a package and installs it: the download is verified (its checksum, and a program fetched as itself
// being a program), unpacked, put in place (a package unpacked into a folder, and a program fetched as itself,
// leave an InstallRecord of what they placed) and the program started, and every request ends with one
// InstallResult in finished(). An install of an entry that has a record is an update, the same for an update, a
// reinstall and a repair: the files the user changed or added are kept (ProgramUpdate). A failed package is
// removed, since on a stick it is in the way; a program fetched as itself is not, since it is then the working
// copy a failed download left alone.
//
// Shows nothing itself; the caller says what a result means to the user. Starts go through the runner, so a
// Windows program without Wine is explained the one way.
class PackageInstaller final : public QObject
{
    Q_OBJECT

public:
    // Begins the read of a package, with whatever the caller shows of it, and connects its end to onFetched
    // in context; nullptr, and nothing connected, when the same file is already on its way. A read given up on
    // the way ends in onFetched with DownloadStatus::Cancelled, and the request then ends as cancelled.
    using Fetch = std::function<DownloadHandle *(const DownloadRequest &, const QObject *context,
                                                 std::function<void(const DownloadResult &)> onFetched)>;

    PackageInstaller(const AppFolder &folder, Fetch fetch, const ProgramRunner &runner, QObject *parent = nullptr);

    // Fetches and installs; finished() follows. False, and nothing follows, when the package is already on
    // its way.
    bool install(const PackageRequest &request);
    // Ends a request that cannot be installed, as a failed install ends.
    InstallResult refuse(const PackageRequest &request, FailureReason reason, const QString &detail) const;

    // Removes a package that is of no more use; one that cannot go only costs space.
    static void discard(const QString &path);

    // Whether the package of the request id is being unpacked and put in place.
    bool isUnpacking(const QString &id) const { return m_unpacking.contains(id); }
    bool isUnpackingAny() const { return !m_unpacking.isEmpty(); }

signals:
    // The package arrived and is being unpacked, which takes a while.
    void unpacking(const QString &id);
    void finished(const Trivet::InstallResult &result);

private:
    void onFetched(const PackageRequest &request, const DownloadResult &fetched);
    void unpack(const PackageRequest &request, const DownloadResult &fetched);
    void afterUnpacking(const PackageRequest &request, const DownloadResult &fetched, const ExtractResult &result,
                        FailureReason reason, const KeptFiles &kept = {});
    // Removes the folders left empty by the files an update removed.
    void removeEmptiedFolders(const QStringList &removed) const;
    // Writes the entry's install record: the package as it arrived and the files it placed.
    void keepRecord(const PackageRequest &request, const DownloadResult &fetched, const QList<PlacedFile> &files);
    // The AntiVir package brings its files loose; they replace those of the scanner's Basic folder.
    void placeAntiVir(const PackageRequest &request, const ExtractResult &result, FailureReason reason);
    void succeed(const PackageRequest &request, const QString &placed, const QString &started, const StartResult &start,
                 FailureReason reason = FailureReason::None, const KeptFiles &kept = {});
    void fail(const PackageRequest &request, FailureReason reason, const QString &detail);

    AppFolder m_folder;
    Fetch m_fetch;
    const ProgramRunner &m_runner;
    QSet<QString> m_unpacking; // request ids between the package's arrival and the end of the install
};

} // namespace Trivet
