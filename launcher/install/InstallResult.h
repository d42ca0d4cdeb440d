#pragma once

#include "common/download/FailureReason.h"
#include "common/platform/ProcessStarter.h"
#include "common/platform/Result.h"

#include <QString>
#include <QStringList>

namespace Trivet {

// How an install of a package ended.
enum class InstallStatus {
    Success,   // the program is in place; it was started, or only Wine is missing to start it
    Failed,    // nothing usable came; reason says why, and the failed package is gone
    Cancelled, // the download was given up; nothing was installed, and its part is kept for the next read
};

// Beside the status and why it failed (message, for the log), what the install found and did.
struct [[nodiscard]] InstallResult : Result<InstallStatus, InstallStatus::Failed>
{
    // Why it failed; for an install that kept a working program, why what was fetched was not used.
    FailureReason reason = FailureReason::None;
    QString id;      // the request's identifier
    QString placed;  // the program the install found in place afterwards; empty when it failed
    QString started; // what was started: the program, or a package that unpacks itself; empty: nothing
    StartResult start = StartResult::failure(StartResult::Status::NoProgram, {}); // how that start went
    // Of an install over an earlier one, below the portable folder:
    QStringList keptChanged;  // files the user changed: kept as they were, the new version beside as NAME.new
    QStringList keptNoLonger; // files the new package no longer has, kept because the user changed them
};

} // namespace Trivet
