#pragma once

#include <QByteArray>
#include <QString>

namespace Trivet {

// Whether path names a regular file (a link to one counts), judged without opening it: opening a named
// pipe blocks until some other program writes to it, and a device may never end.
bool isRegularFile(const QString &path);

// The content of a file the user or a download can name, read only when it is a regular file and never
// beyond a bound, so a pipe, a device or a huge file cannot hold up the window's thread.
struct [[nodiscard]] FileRead
{
    enum class Status {
        Success,
        NotFound,   // nothing at that path
        NotRegular, // a folder, pipe, device or socket
        TooLarge,   // larger than the bound, with Beyond::Refuse
        Failed,     // could not be opened or read
    };

    Status status = Status::Failed;
    QString message;
    QByteArray bytes;

    bool ok() const { return status == Status::Success; }
};

// What a read does with a file larger than its bound: refuse it, or hand out its first bytes only.
enum class Beyond { Refuse, Cut };

FileRead readRegularFile(const QString &path, qint64 maxBytes, Beyond beyond = Beyond::Refuse);

} // namespace Trivet
