#pragma once

#include <QString>
#include <utility>

namespace Trivet {

// How an operation ended: a status from the operation's own enum, whose Success means it worked, and, when it
// did not, why, in words for the user or the log. A result nobody has filled in yet has the status Unset: the
// enum's first enumerator unless the result type names another.
//
// A result with nothing but status and message is an alias:
//
//     enum class CopyStatus { Success, NotFound, Failed };
//     using CopyResult = Result<CopyStatus, CopyStatus::Failed>;
//
// A result that tells more derives, stays an aggregate, and hides the two makers with its own, so that they
// make the derived type and fill its fields:
//
//     struct [[nodiscard]] InstallResult : Result<InstallStatus>
//     {
//         QStringList placed;
//
//         static InstallResult success(QStringList placed) { return {{Status::Success, {}}, std::move(placed)}; }
//         static InstallResult failure(Status status, QString message) { return {{status, std::move(message)}, {}}; }
//     };
//
// [[nodiscard]] is not inherited: a derived result says it again.
template <typename StatusEnum, StatusEnum Unset = StatusEnum{}> struct [[nodiscard]] Result
{
    using Status = StatusEnum;

    Status status = Unset;
    QString message;

    bool ok() const { return status == Status::Success; }

    static Result success() { return {Status::Success, {}}; }
    static Result failure(Status status, QString message) { return {status, std::move(message)}; }
};

} // namespace Trivet
