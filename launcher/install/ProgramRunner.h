#pragma once

#include "common/platform/ProcessStarter.h"

#include <QString>
#include <functional>
#include <memory>

namespace Trivet {

class LanguageTexts;

// Starts the programs the user asked for: directly, through Wine for a Windows program, or through the
// dynamic loader for a native one without its run bit, as the process starter decides. A Windows program
// that cannot start because there is no Wine is explained to the user at once, in one message the same for
// the catalogue, the office suite and the user's own programs: the program is in place, and what is missing
// is on the system's side, where the user can add it. Any other failure goes to the log only.
class ProgramRunner final
{
public:
    // Shows the warning with its title; each window shows its own kind of message box.
    using Warn = std::function<void(const QString &title, const QString &text)>;
    // How a start that failed for any other reason is logged: a fault of the launcher's own programs, or what
    // a program the user named may well do (it was moved or deleted).
    enum class FailureLog { Warning, Info };

    // Without a starter nothing starts, and every start says so.
    ProgramRunner(std::shared_ptr<ProcessStarter> starter, const LanguageTexts &texts, Warn warn,
                  FailureLog failures = FailureLog::Warning);

    StartResult start(const ProcessStart &request) const;
    StartResult start(const QString &program, WindowStyle style = WindowStyle::Normal) const;

    // Whether a Windows program would start, asked before one is on the drive.
    bool startsWindowsPrograms() const { return m_starter->startsWindowsPrograms(); }

private:
    std::shared_ptr<ProcessStarter> m_starter;
    const LanguageTexts &m_texts;
    Warn m_warn;
    FailureLog m_failures;
};

} // namespace Trivet
