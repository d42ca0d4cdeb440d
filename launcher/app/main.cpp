#include "common/platform/SingleInstance.h"
#include "common/product/Product.h"
#include "launcher/mainwindow/MainWindow.h"

#include <QApplication>
#include <QScreen>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"TrivetDesk"_s);
    QApplication::setOrganizationName(u"Quillory"_s);

    Trivet::LauncherContext context = Trivet::LauncherContext::forApplication();

    // A second start ends at once, without a window, and leaves the running launcher's files alone. The
    // Updater waits on the same lock for the launcher to end.
    Trivet::SingleInstance instance(context.folder.root(), Trivet::Product::LauncherName.toString());
    if (!instance.tryAcquire()) {
        return 0;
    }

    Trivet::MainWindow window(context);
    QObject::connect(&window, &Trivet::MainWindow::shutDownFinished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (!window.startUp()) {
        return 1;
    }
    // Placed here rather than by the window manager after it appears: the messages of the first moments (the
    // new-version prompt, what an update brought) centre on the window as it is when they open.
    window.adjustSize();
    const QRect screen = window.screen()->availableGeometry();
    window.move(screen.center() - window.rect().center());
    window.show();
    return app.exec();
}
