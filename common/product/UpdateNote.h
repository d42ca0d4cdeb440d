#pragma once

#include "common/settings/SaveResult.h"

#include <QString>

namespace Trivet {

// The line the Updater leaves in the work folder for the launcher it starts: the version it put in place.
// The launcher takes it at its next start, before the work folder's leftovers go, and says once that it was
// updated; an update that is taken back takes its note back too.
SaveResult leaveUpdateNote(const QString &appFolder, const QString &version);
// The version the note names, and the note is gone. Empty without a note, and for a note that names no
// version (too long, a control character, not a version item at all).
QString takeUpdateNote(const QString &appFolder);
void discardUpdateNote(const QString &appFolder);

} // namespace Trivet
