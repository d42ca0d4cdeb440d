#pragma once

#include <QLoggingCategory>

namespace Trivet {

// Shared by the archive extractor and the command front end; defined in ArchiveExtractor.cpp.
Q_DECLARE_LOGGING_CATEGORY(lcExtract)

} // namespace Trivet
