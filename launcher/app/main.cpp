#include "common/platform/SingleInstance.h"
#include "launcher/mainwindow/MainWindow.h"

#include <QApplication>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"TrivetDesk"_s);
    QApplication::setOrganizationName(u"Quillory"_s);

    Trivet::LauncherContext context = Trivet::LauncherContext::forApplication();

    // A second start ends at once, without a window, and leaves the running launcher's files alone.
    Trivet::SingleInstance instance(context.folder.root(), u"TrivetDesk"_s);
    if (!instance.tryAcquire()) {
        return 0;
    }

    Trivet::MainWindow window(context);
    QObject::connect(&window, &Trivet::MainWindow::shutDownFinished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (!window.startUp()) {
        return 1;
    }
    window.show();
    return app.exec();
}
