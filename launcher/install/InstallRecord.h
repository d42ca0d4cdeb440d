#pragma once

#include "common/platform/ArchiveExtractor.h"
#include "common/settings/SaveResult.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace Trivet {

// What one install put where: the package and every regular file it placed, so that a later update, removal
// or check knows a program's files without guessing. One record per catalogue entry, in the records folder
// of the portable folder (".trivet-records/OFF-6.record"); an entry installed again gets a new record.
//
// The record is UTF-8 text, one "key=value" a line; blank lines and lines starting with '#' are skipped:
//
//     # What one install put where; paths are below the portable folder.
//     format=1
//     entry=OFF-6
//     package=mpad35.zip
//     sha256=<64 lower-case hex digits: the package's SHA-256>
//     size=<the package's size in bytes>
//     date=2026-12-08T13:51:52Z
//     file=<size> <64 hex digits: the file's SHA-256> Metapad/Metapad.exe
//     file=...
//
// "format", "entry", "package", "sha256", "size" and "date" come once each, in any order; "file" once per
// file. A file's path is everything after the second space, '/'-separated and relative to the portable folder;
// its digest was taken from the bytes as they were written. Links the package placed are not listed.
//
// After an update the record names the files the new package placed, with their new digests. A file the user
// had changed stays theirs: the package's version went in beside it as NAME.new, and the record names NAME.new,
// not NAME, so a later update again finds NAME changed and keeps it. Files the new package no longer has, kept
// because the user changed them, are in no record any more.
struct InstallRecord
{
    QString entry;            // the catalogue entry ("OFF-6"); also the record's file name
    QString package;          // the package's file name
    QByteArray packageSha256; // 32 raw bytes
    qint64 packageSize = 0;
    QDateTime date;          // of the install, in UTC, to the second
    QList<PlacedFile> files; // paths below the portable folder
};

// A record as read, or why it was refused.
struct InstallRecordRead
{
    std::optional<InstallRecord> record;
    QString refusal; // for the log and for a line in a message: "line 7: the path climbs out with \"..\""
};

// The folder that holds the records, and the record of one entry.
QString installRecordFolder(const QString &appRoot);
QString installRecordPath(const QString &appRoot, const QString &entry);

QByteArray formatInstallRecord(const InstallRecord &record);

// Writes the entry's record in one piece: a crash leaves the old record or the new one. Refused, and nothing
// written, when the record could not be read back (an entry or path that reading refuses).
SaveResult writeInstallRecord(const QString &appRoot, const InstallRecord &record);

// A record is input like any file on the stick: its paths must stay below the portable folder (none absolute,
// none with ".."), lead through no folder that is a symbolic link (a file that became a link since is read, and
// a check calls it changed), and never name the portable folder's own files and folders
// (the settings file, Languages, Keys, Help, Icons, the launcher and the Updater, the work and records
// folders). Any bad line refuses the whole record.
InstallRecordRead readInstallRecord(const QString &appRoot, const QString &recordFile);

// Why path cannot be one of a record's paths; empty when it can.
QString refusedRecordPath(const QString &appRoot, const QString &path);

// Which entries' records name each file: a file that two entries share (one package serving two icons)
// belongs to both, and goes only with the last of them.
QHash<QString, QStringList> filesOwnedBy(const QList<InstallRecord> &records);

} // namespace Trivet
