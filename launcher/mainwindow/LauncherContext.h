#pragma once

#include "common/network/InternetSettings.h"
#include "common/platform/AppFolder.h"
#include "common/platform/Connectivity.h"
#include "common/platform/ProcessStarter.h"

#include <memory>

namespace Trivet {

// What the launcher's windows take from outside: the application folder, the source of the local
// address that decides on-line or off-line, the starter of programs and the user's proxy store (the shared
// one when not given). Tests hand in their own.
struct LauncherContext
{
    AppFolder folder;
    std::shared_ptr<const LocalAddressSource> addresses;
    std::shared_ptr<ProcessStarter> processes;
    std::shared_ptr<const InternetSettings> internetSettings = {};

    static LauncherContext forApplication()
    {
        return {AppFolder::ofApplication(), std::make_shared<NetworkInterfaceAddressSource>(),
                std::make_shared<DetachedProcessStarter>(), std::make_shared<InternetSettings>()};
    }
};

} // namespace Trivet
