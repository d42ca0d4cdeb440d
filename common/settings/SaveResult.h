#pragma once

#include "common/platform/Result.h"

#include <QByteArrayView>
#include <QString>
#include <functional>

namespace Trivet {

enum class SaveStatus { Success, OpenFailed, WriteFailed, CommitFailed };

// The outcome of writing a settings or language file. A failed write has left the old file as it was;
// message says why, in the words of the file system (for logs and for a line under a message box).
using SaveResult = Result<SaveStatus>;

// Replaces the file at path with bytes, creating it when needed. A crash, a full stick or an unplugged
// drive leaves the old file or the new one, never a truncated or mixed file.
SaveResult saveAtomically(const QString &path, QByteArrayView bytes);
// As above, with the bytes handed over in pieces: produce calls write for each piece in order and returns
// false when it stops early (which leaves the old file); write returns false when a piece could not be written.
SaveResult saveAtomically(const QString &path,
                          const std::function<bool(const std::function<bool(QByteArrayView)> &write)> &produce);

} // namespace Trivet
