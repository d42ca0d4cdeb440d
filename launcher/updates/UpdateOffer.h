#pragma once

#include <QString>

namespace Trivet {

// What the new-version prompt shows, in the current language.
struct UpdatePromptTexts
{
    QString message;   // that a newer version is out
    QString versions;  // the version offered and the one installed
    QString openPage;  // Yes
    QString updateNow; // hands over to the Updater
    QString no;
};

// The prompt's answers; closing it without a button is No.
enum class UpdateAnswer { OpenPage, UpdateNow, No };

} // namespace Trivet
