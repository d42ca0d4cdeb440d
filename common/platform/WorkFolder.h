#pragma once

#include "common/platform/ArchiveExtractor.h"
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
// the work folder, all but the partial downloads (they have their own rules of age and use); awaiting says
// what happens to an install that waits for confirmation. Call it only while no extraction runs.
FileResult removeWorkLeftovers(const QString &appFolder, AwaitingInstall awaiting = AwaitingInstall::TakeBack);

// A package that an install is about to unpack, or that the Updater is putting in place. Until it is
// released, the next start removes it with the work folder's leftovers: an interrupted install has no more use
// for it, and only a file recorded here goes, never one by its name alone (a package may share its name with a
// program). packagePath lies in the application folder.
FileResult recordInFlight(const QString &appFolder, const QString &packagePath);
void releaseInFlight(const QString &appFolder, const QString &packagePath);
// Removes one recorded package now, with its record; a package that is not recorded stays.
void removeInFlight(const QString &appFolder, const QString &packagePath);

// Removes the temporary files an interrupted write left beside the named files of the application folder
// ("mpad35.zip.Ab12Cd" beside "mpad35.zip"): where the file system cannot hide them, a file is written under
// such a name and renamed when complete. Only names of that exact form next to the given names go.
FileResult removeWriteLeftovers(const QString &appFolder, const QStringList &fileNames);

} // namespace Trivet
