#include "common/platform/AppFolder.h"
#include "common/platform/ProcessStarter.h"
#include "updater/UpdaterController.h"
#include "updater/UpdaterWindow.h"

#include <QApplication>
#include <memory>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
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
