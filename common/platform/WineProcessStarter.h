#pragma once

#include "common/platform/ProcessStarter.h"
#include "common/platform/WineLocator.h"

#include <memory>

namespace Trivet {

// Starts a Windows program (see programKind) through Wine, with the program and its arguments as Wine's
// arguments and the working folder the program would have had on its own, so it finds its files as on
// Windows. Every other program goes to the wrapped starter unchanged. Without Wine, a Windows program is
// not started at all and the result says NeedsWine, so the caller can tell the user what to install
// instead of reporting a failed start.
class WineProcessStarter final : public ProcessStarter
{
public:
    WineProcessStarter(std::shared_ptr<ProcessStarter> starter, WineLocator locator);

    StartResult start(const ProcessStart &request) override;
    bool startsWindowsPrograms() const override;

private:
    std::shared_ptr<ProcessStarter> m_starter;
    WineLocator m_locator;
};

// The starter the launcher uses: on Windows every program starts directly; elsewhere Windows programs go
// through the Wine that locator finds.
std::shared_ptr<ProcessStarter> makeProgramStarter(WineLocator locator);

} // namespace Trivet
