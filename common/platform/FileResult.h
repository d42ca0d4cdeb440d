#pragma once

#include "common/platform/Result.h"

namespace Trivet {

enum class FileStatus { Success, NotFound, Failed };

// The outcome of an operation on one file: whether it worked and, when it did not, why, in words for the user
// or the log. Failed until said otherwise.
using FileResult = Result<FileStatus, FileStatus::Failed>;

} // namespace Trivet
