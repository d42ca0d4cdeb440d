#include "common/platform/AppFolder.h"
#include "common/platform/ProcessStarter.h"
#include "updater/UpdaterController.h"
#include "updater/UpdaterWindow.h"

#include <QApplication>
#include <cstring>
#include <memory>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    // The start script asks for this when it finds no launcher: an interrupted install is finished or undone,
    // and the launcher starts. No window, no download.
    if (argc == 2 && std::strcmp(argv[1], "--recover") == 0) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(u"Updater"_s);
        const Trivet::AppFolder folder = Trivet::AppFolder::ofApplication();
        Trivet::DetachedProcessStarter processes;
        return Trivet::UpdaterController::recover(folder, processes) ? 0 : 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Updater"_s);
    QApplication::setOrganizationName(u"Quillory"_s);

    const Trivet::AppFolder folder = Trivet::AppFolder::ofApplication();
    Trivet::UpdaterController controller(folder, std::make_shared<Trivet::DetachedProcessStarter>(),
                                         Trivet::UpdaterController::Options::fromSettings(folder));
    Trivet::UpdaterWindow window(controller);
    QObject::connect(&window, &Trivet::UpdaterWindow::ended, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    controller.start();
    return app.exec();
}
