#pragma once

#include "common/platform/FileResult.h"

#include <QString>

namespace Trivet {

// The launcher's own hidden folder inside the portable folder, where packages are unpacked before they are
// put in place. Everything in it belongs to the launcher, so what a crash or a pulled stick left there can
// go at the next start; nothing outside it is ever removed as a leftover.
QString workFolder(const QString &appFolder);

// The part of the work folder that outlives a start: downloads that were cut off, kept with their server's
// validators so the next read of the same package asks only for the rest.
QString partialDownloadFolder(const QString &appFolder);

// Takes back the installs a crash or a pulled stick interrupted, then removes what an earlier run left in
// the work folder, all but the partial downloads (they have their own rules of age and use). Call it only
// while no extraction runs.
FileResult removeWorkLeftovers(const QString &appFolder);

// Removes the temporary files an interrupted write left beside the named files of the application folder
// ("mpad35.zip.Ab12Cd" beside "mpad35.zip"): where the file system cannot hide them, a file is written under
// such a name and renamed when complete. Only names of that exact form next to the given names go.
FileResult removeWriteLeftovers(const QString &appFolder, const QStringList &fileNames);

} // namespace Trivet
