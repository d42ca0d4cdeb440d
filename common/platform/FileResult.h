#pragma once

#include <QString>

namespace Trivet {

// The outcome of an operation on one file: whether it worked and, when it did not, why, in words for the user
// or the log.
struct [[nodiscard]] FileResult
{
    enum class Status { Success, NotFound, Failed };

    Status status = Status::Failed;
    QString message;

    bool ok() const { return status == Status::Success; }

    static FileResult success() { return {Status::Success, {}}; }
    static FileResult failure(Status status, const QString &message) { return {status, message}; }
};

} // namespace Trivet
