#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace Trivet {

// How a removal ended, or why it was refused before anything was touched.
enum class RemovalStatus {
    Removed,    // every unchanged file of the program went, and its record with them
    Incomplete, // some files could not be deleted; the record stays, so a second attempt finishes the work
    NoRecord,   // installed before records were kept: nothing tells its files from the user's
    BadRecord,  // the record cannot be read (detail says why)
    Running,    // a process uses the program's folders
};

struct RemovalResult
{
    RemovalStatus status = RemovalStatus::NoRecord;
    // Files left in the program's folders because the user changed or added them, '/'-separated below the
    // portable folder and sorted.
    QStringList kept;
    QStringList failed; // what could not be deleted
    QString detail;     // why a record was refused
};

// Takes one catalogue program off the stick by its install record, and nothing else: only the files the record
// names that are still as they were placed go, and none that another entry's record names too; then the
// folders left empty, deepest first, of those a recorded path leads through; then the record. A file the user
// changed or added is never deleted, and a program without a readable record is not touched at all: a folder
// is never deleted on a guess.
//
// The record goes even when files are kept: the program is no longer installed, and what stays is the user's.
// Runs without a window and reads every file it deletes, so callers run it off the window's thread.
class ProgramRemoval final
{
public:
    using ProcessLookup = std::function<QList<qint64>(const QString &folder)>;

    // processes tells which processes use a folder; the platform's lookup when not given.
    explicit ProgramRemoval(const QString &appRoot, ProcessLookup processes = {});

    // Why the entry's program cannot be removed now (NoRecord, BadRecord, Running), or Removed when it can;
    // changes nothing.
    RemovalResult check(const QString &entry) const;
    // Removes the entry's program, after the same check.
    RemovalResult remove(const QString &entry) const;

private:
    QString m_root;
    ProcessLookup m_processes;
};

} // namespace Trivet
