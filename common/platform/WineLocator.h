#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace Trivet {

// Finds the Wine program that starts Windows programs on other systems: the one the settings name, or
// else "wine" on the search path. It looks at the first question and keeps the answer for the run, so a
// pointer moving over icons costs no search, and a settings file edited meanwhile changes nothing.
class WineLocator final
{
public:
    // configured gives the settings' value, asked at the first question only; empty: none named. A
    // relative value is looked for below folder (a Wine carried on the stick) and then on the search path.
    explicit WineLocator(std::function<QString()> configured = {}, QString folder = {});

    // The full path of the Wine program; empty when there is none.
    QString wine() const;

private:
    QString find() const;

    std::function<QString()> m_configured;
    QString m_folder;
    mutable std::optional<QString> m_wine;
};

} // namespace Trivet
