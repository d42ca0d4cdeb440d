#pragma once

#include "launcher/install/InstallRecord.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

namespace Trivet {

// How a file an install placed compares with what its record says of it.
enum class FileState {
    Unchanged, // the same size and SHA-256 as when it was placed
    Changed,   // other bytes, or no longer a regular file (a folder, a link)
    Missing,   // gone
};

struct CheckedFile
{
    QString path; // below the portable folder, as the record names it
    FileState state = FileState::Missing;
};

// The state of one recorded file now. The size is compared first, so only a file of the recorded size is read.
FileState recordedFileState(const QString &appRoot, const PlacedFile &file);

// Every file of a record, in the record's order; progress(bytes) follows each file with the bytes its check
// read. Stops before the next file once cancelled is raised, and returns the files checked so far.
QList<CheckedFile> checkRecordedFiles(const QString &appRoot, const InstallRecord &record,
                                      const std::atomic_bool *cancelled = nullptr,
                                      const std::function<void(qint64 bytes)> &progress = {});

// Every record of the records folder that reads, in the order of the entries' names; why the others were
// refused goes into refusals ("OFF-6.record: line 7: …") when given.
QList<InstallRecord> readInstallRecords(const QString &appRoot, QStringList *refusals = nullptr);

} // namespace Trivet
