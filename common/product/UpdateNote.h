#pragma once

#include "common/settings/SaveResult.h"

#include <QString>

namespace Trivet {

// The note the Updater leaves in the work folder for the launcher it starts: the version it put in place, and
// whether the package's signature was checked. The launcher takes it at its next start, before the work
// folder's leftovers go, and says once that it was updated, and when so that the update was not verified; an
// update that is taken back takes its note back too.
struct UpdateNote
{
    QString version; // empty: no note, or one that names no version (too long, a control character, ...)
    bool verified = true;
};

SaveResult leaveUpdateNote(const QString &appFolder, const QString &version, bool verified);
// The note, and it is gone.
UpdateNote takeUpdateNote(const QString &appFolder);
void discardUpdateNote(const QString &appFolder);

} // namespace Trivet
