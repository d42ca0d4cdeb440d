// Writes the settings file the way the launcher does, in a process of its own that a test can kill at any
// moment, and says after each write which one is complete:
//     trivet_settings_child SETTINGS-FILE WRITES
#include "SettingsWrites.h"
#include "common/settings/IniFile.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    bool counted = false;
    const int writes = arguments.size() == 3 ? arguments.at(2).toInt(&counted) : 0;
    if (!counted) {
        QTextStream(stderr) << "usage: trivet_settings_child SETTINGS-FILE WRITES\n";
        return 2;
    }
    Trivet::IniFile settings(arguments.at(1));
    for (int n = 1; n <= writes; ++n) {
        const Trivet::SaveResult saved = settings.setValue(SettingsWrites::Section.toString(),
                                                           SettingsWrites::Key.toString(), SettingsWrites::value(n));
        if (!saved.ok()) {
            QTextStream(stderr) << saved.message << '\n';
            return 1;
        }
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
    return 0;
}
