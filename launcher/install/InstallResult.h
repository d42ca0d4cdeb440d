#pragma once

#include "common/download/FailureReason.h"
#include "common/platform/ProcessStarter.h"

#include <QString>

namespace Trivet {

// How an install of a package ended.
enum class InstallStatus {
    Installed, // the program is in place; it was started, or only Wine is missing to start it
    Failed,    // nothing usable came; reason says why, and the failed package is gone
};

struct [[nodiscard]] InstallResult
{
    using Status = InstallStatus;

    Status status = Status::Failed;
    QString message; // why it failed, in words for the log; empty when it did not
    // Why it failed; for an install that kept a working program, why what was fetched was not used.
    FailureReason reason = FailureReason::None;
    QString id;      // the request's identifier
    QString placed;  // the program the install found in place afterwards; empty when it failed
    QString started; // what was started: the program, or a package that unpacks itself; empty: nothing
    StartResult start = StartResult::failure(StartResult::Status::NoProgram, {}); // how that start went

    bool ok() const { return status == Status::Installed; }
};

} // namespace Trivet
