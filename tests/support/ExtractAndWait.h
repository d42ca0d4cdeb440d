#pragma once

#include "common/platform/ArchiveExtractor.h"

#include <QString>

namespace Trivet::Test {

// Runs an extraction command tail through Extractor and returns its result; the test's events keep
// flowing meanwhile, as the window's do while the launcher extracts.
ExtractResult extractAndWait(const QString &appFolder, const QString &commandTail);

} // namespace Trivet::Test
