#pragma once

#include "common/platform/FreeSpace.h"
#include "common/platform/Result.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <utility>

namespace Trivet {

// The statuses of ExtractResult, in a class of their own so that the result can be built on Result and the log
// still names them.
struct ExtractStatuses
{
    Q_GADGET

public:
    enum class Status {
        NotRun,         // nothing was attempted yet
        Success,        // every member is in place
        BadCommand,     // the extraction command was not understood
        ArchiveMissing, // there is no archive file
        Damaged,        // not an archive of a known kind, truncated, or data that does not match its checksum
        UnsafeMember,   // a member would land outside the destination, or is neither file, folder nor link
        NoSpace,        // the volume is full, or a file is too large for it
        WriteFailed,    // any other failure to write or move files: rights, a file in use, a file where a folder is
        Cancelled,      // the launcher is closing; what was placed has been taken back
        Unsupported,    // an archive of a known kind, packed with a method this build cannot unpack
        Encrypted,      // an archive whose members are protected by a password
    };
    Q_ENUM(Status)
};

using ExtractStatus = ExtractStatuses::Status;

// A regular file an extraction wrote, with the digest of its bytes taken while they were written.
struct PlacedFile
{
    QString path; // below the destination, or below the application folder once PackagePlacer placed it; '/'
    qint64 size = 0;
    QByteArray sha256; // 32 raw bytes
};

struct [[nodiscard]] ExtractResult : Result<ExtractStatus>
{
    // Files and links placed in the destination (folders are not counted); 0 unless ok(), because a failed
    // extraction leaves the destination as it was.
    int filesWritten = 0;
    // Member names that were refused because they would have ended up outside the destination.
    QStringList refused;
    // The journal of an install that waits to be confirmed (ExtractOptions::awaitConfirmation); empty otherwise.
    QString awaitingJournal;
    // The regular files an unpacked archive placed (links are not listed), in the archive's order; empty unless
    // ok().
    QList<PlacedFile> placed;
    // Files the install removed (ExtractOptions::changeStaged), named like placed ones; empty unless ok().
    QStringList removed;

    static ExtractResult success(int filesWritten = 0) { return {{Status::Success, {}}, filesWritten, {}, {}, {}, {}}; }
    static ExtractResult failure(Status status, const QString &message)
    {
        return {{status, message}, 0, {}, {}, {}, {}};
    }
};

// What an install over an earlier one does besides placing the package. Paths are '/'-separated, below the
// destination.
struct StagedChanges
{
    QStringList keepAside; // files of the package placed beside the destination's own as NAME.new, which stay
    QStringList remove;    // files of the destination that go with the install, and come back with its undo
};

// What an install asks beyond an ordinary extraction.
struct ExtractOptions
{
    // Judges the unpacked files (the staging folder's path) before anything is placed; a failure leaves the
    // destination untouched.
    std::function<ExtractResult(const QString &stagedRoot)> checkStaged = {};
    // The replaced files wait in the work folder until confirmInstall() or takeBackInstall() is called on the
    // result's awaitingJournal.
    bool awaitConfirmation = false;
    // Whether ExtractResult::placed carries each file's SHA-256, taken beside the writing; an install that
    // keeps no record of its files can do without.
    bool digests = true;
    // Decides, once the package is unpacked, what else the transaction does: given the absolute destination
    // and the unpacked files (paths below the destination), which of them to keep aside and which of the
    // destination's files to remove.
    std::function<StagedChanges(const QString &destination, const QList<PlacedFile> &staged)> changeStaged = {};
};

// Unpacks zip and 7z archives with libarchive, all or nothing: the archive is unpacked into a hidden
// staging folder, checked, and only then moved into the destination as one transaction, replacing files
// and merging folders. On any failure the destination is left exactly as it was; after a crash, the next
// removeWorkLeftovers() takes back what was half moved.
//
// Safe to use from several threads at once; it keeps no state and never changes the working folder.
class ArchiveExtractor final
{
public:
    // An extraction that sees cancelled set stops at the next member and takes back what it placed.
    // workFolder, when given, holds the staging folders and journals (the launcher's own hidden folder).
    // freeSpace tells how much the staged files may take; the volume's own figure when not given.
    explicit ArchiveExtractor(const std::atomic_bool *cancelled = nullptr, QString workFolder = {},
                              std::shared_ptr<const FreeSpace> freeSpace = {});

    ExtractResult extract(const QString &archivePath, const QString &destinationFolder,
                          const ExtractOptions &options = {}) const;

    // Puts copies of files (source path, name in the destination) into the destination by the same
    // transaction: either every copy replaces its old file, or none does.
    ExtractResult installCopies(const QList<std::pair<QString, QString>> &files,
                                const QString &destinationFolder) const;

private:
    const std::atomic_bool *m_cancelled = nullptr;
    QString m_workFolder;
    std::shared_ptr<const FreeSpace> m_freeSpace;
};

// What a start does with an install that waits for confirmation, found in the work folder.
enum class AwaitingInstall {
    Keep,     // the program that made it is still running and decides
    Confirm,  // the launcher is running, which is what the install waited for
    TakeBack, // the program that made it is gone, and nobody else can confirm it
};

// Ends an install made with ExtractOptions::awaitConfirmation. Confirmed, it stands and what it kept goes;
// taken back, every file it replaced returns. False when that could not be done completely (the next start
// tries again).
bool confirmInstall(const QString &journal);
bool takeBackInstall(const QString &journal);

} // namespace Trivet

Q_DECLARE_METATYPE(Trivet::ExtractResult)
