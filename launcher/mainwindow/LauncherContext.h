#pragma once

#include "common/network/InternetSettings.h"
#include "common/platform/AppFolder.h"
#include "common/platform/Connectivity.h"
#include "common/platform/ProcessStarter.h"
#include "common/platform/WineProcessStarter.h"
#include "common/settings/IniFile.h"
#include "launcher/catalogue/Catalogue.h"

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
        const AppFolder folder = AppFolder::ofApplication();
        // The settings are asked for a Wine of their own only when the first Windows program is met.
        WineLocator wine(
            [ini = folder.iniPath()] {
                return readIni(Catalogue::PlatformSection.toString(), Catalogue::WineKey.toString(), ini);
            },
            folder.root());
        return {folder, std::make_shared<NetworkInterfaceAddressSource>(), makeProgramStarter(std::move(wine)),
                std::make_shared<InternetSettings>()};
    }
};

} // namespace Trivet
