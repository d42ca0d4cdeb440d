#pragma once

#include <QLoggingCategory>

namespace Trivet {

// Shared by the package installer and the program runner; defined in PackageInstaller.cpp.
Q_DECLARE_LOGGING_CATEGORY(lcInstall)

} // namespace Trivet
