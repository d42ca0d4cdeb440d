#pragma once

#include <QLoggingCategory>

// Reading and writing settings and language files.
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
