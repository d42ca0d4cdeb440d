#pragma once

#include "common/download/DownloadResult.h"
#include "common/platform/ArchiveExtractor.h"

#include <QStringView>

namespace Trivet {

// Why fetching and unpacking a package failed, as the user is told in one line under the general message.
// The launcher's installs and the updater say it alike.
enum class FailureReason {
    None,        // nothing the user can act on beyond the general message
    Connection,  // no connection, or the server answered with an error
    NotAProgram, // the download was not a program, or the package is damaged
    NoSpace,     // the drive is full or cannot be written
    Refused,     // the package would have written files outside its folder
    Unsupported, // the package is packed with a method this build cannot unpack
};

FailureReason failureReason(const DownloadResult &result);
FailureReason failureReason(const ExtractResult &result);

// The language key of the line that tells the reason; empty for None.
QStringView reasonKey(FailureReason reason);

} // namespace Trivet
