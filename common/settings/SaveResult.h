#pragma once

#include <QString>

namespace Trivet {

// PROVISIONAL
struct SaveResult
{
    enum class Status { Success, OpenFailed, WriteFailed, CommitFailed };
    Status status = Status::Success;
    QString message;
    bool ok() const { return status == Status::Success; }
};

} // namespace Trivet
