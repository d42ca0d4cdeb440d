// Figures of the launcher's window: how long it takes to show itself, what a pointer move costs, and how it
// copes with a huge settings file. It prints numbers and never fails on time.
//
//   bench_window [--settings-mb N]   all three; the settings file has N MiB (default 50, 0 leaves it out).
//                                    Each start-up is measured in a fresh process of this program.
//
// A start is timed from main() to the moment the user sees the launcher: every icon of the tab it opens on
// painted with its picture. The bare window with the same menus and five empty tabs is timed to its first
// paint. The two alternate, so the ratio says what the launcher itself adds.

#include "bench/BenchSupport.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/mainwindow/CatalogueTabPage.h"
#include "launcher/mainwindow/IconButton.h"
#include "launcher/mainwindow/MainWindow.h"
#include "launcher/mainwindow/MessageBox.h"
#include "tests/support/PortableFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProcess>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Trivet;
using namespace Trivet::Bench;

namespace {

QElapsedTimer sinceStart;

// Takes the time and ends the event loop once every watched widget has been painted; an icon counts only
// when it has its picture by then, so a start that draws the pictures later is not taken for a finished one.
class PaintWatch final : public QObject
{
public:
    void watch(QWidget *widget)
    {
        widget->installEventFilter(this);
        ++m_waiting;
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            const auto *icon = qobject_cast<IconButton *>(watched);
            if ((!icon || icon->hasPicture()) && m_painted.insert(watched).second && --m_waiting == 0) {
                m_done = true;
                elapsedUs = sinceStart.nsecsElapsed() / 1000;
                std::timespec cpu{};
                clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
                cpuUs = qint64(cpu.tv_sec) * 1000000 + cpu.tv_nsec / 1000;
                QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
            }
        }
        return QObject::eventFilter(watched, event);
    }

    qint64 elapsedUs = 0;
    qint64 cpuUs = 0; // processor time of the whole process, which a busy machine disturbs less

private:
    std::set<QObject *> m_painted;
    int m_waiting = 0;
    bool m_done = false;
};

// A window with the launcher's menus and five empty tabs, and nothing else.
void buildBareWindow(QMainWindow &window)
{
    const QList<int> actions{8, 3, 10, 3};
    for (const int count : actions) {
        QMenu *menu = window.menuBar()->addMenu(u"Menu"_s);
        for (int i = 0; i < count; ++i) {
            menu->addAction(u"Item"_s);
        }
    }
    auto *tabs = new QTabWidget(&window);
    for (int i = 0; i < 5; ++i) {
        tabs->addTab(new QWidget, u"Tab %1"_s.arg(i + 1));
    }
    window.setCentralWidget(tabs);
    window.setMinimumSize(660, 560);
}

int startChild(const QString &kind, const QString &folder)
{
    PaintWatch watcher;
    std::unique_ptr<QMainWindow> window;
    if (kind == u"launcher") {
        LauncherContext context{AppFolder(folder), std::make_shared<FixedAddressSource>(u"127.0.0.1"_s), nullptr};
        auto *launcher = new MainWindow(context);
        window.reset(launcher);
        if (!launcher->startUp()) {
            return 1;
        }
        // The launcher opens on the first tab.
        CatalogueTabPage *page = launcher->catalogueTab(0);
        if (!page || page->iconCount() == 0) {
            return 1;
        }
        for (int slot = 0; slot < page->iconCount(); ++slot) {
            watcher.watch(page->icon(slot));
        }
    } else {
        window = std::make_unique<QMainWindow>();
        buildBareWindow(*window);
        watcher.watch(window.get());
    }
    window->show();
    QApplication::exec();
    std::printf("%lld %lld\n", static_cast<long long>(watcher.elapsedUs), static_cast<long long>(watcher.cpuUs));
    return 0;
}

struct StartFigures
{
    qint64 wallUs = -1;
    qint64 cpuUs = -1;
};

StartFigures runChild(const QString &kind, const QString &folder)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {u"--start"_s, kind, folder});
    if (!child.waitForFinished(60000) || child.exitCode() != 0) {
        return {};
    }
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    return {figures.value(0).toLongLong(), figures.value(1).toLongLong()};
}

void benchStartUp(const QString &folder)
{
    constexpr int runs = 21;
    std::vector<double> launcher;
    std::vector<double> bare;
    std::vector<double> wallRatios;
    std::vector<double> cpuRatios;
    for (int i = 0; i < runs; ++i) {
        // Alternating, so a machine that warms up or slows down favours neither.
        const bool launcherFirst = i % 2 == 0;
        const StartFigures a = runChild(launcherFirst ? u"launcher"_s : u"bare"_s, folder);
        const StartFigures b = runChild(launcherFirst ? u"bare"_s : u"launcher"_s, folder);
        const StartFigures &l = launcherFirst ? a : b;
        const StartFigures &w = launcherFirst ? b : a;
        if (l.wallUs <= 0 || w.wallUs <= 0 || l.cpuUs <= 0 || w.cpuUs <= 0) {
            std::printf("start-up: a child failed\n");
            return;
        }
        launcher.push_back(l.wallUs / 1000.0);
        bare.push_back(w.wallUs / 1000.0);
        wallRatios.push_back(double(l.wallUs) / double(w.wallUs));
        cpuRatios.push_back(double(l.cpuUs) / double(w.cpuUs));
    }
    std::printf("start to the first tab's icons painted, %d runs of each (bare window: to its first paint)\n", runs);
    printSpread("  launcher:", launcher, " ms");
    printSpread("  bare window:", bare, " ms");
    printSpread("  launcher / bare, wall time:", wallRatios, "x");
    printSpread("  launcher / bare, processor time:", cpuRatios, "x");
}

void sendMove(QWidget *target)
{
    const QPointF local(target->width() / 2.0, target->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, local, target->mapToGlobal(local), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

void benchHover(const QString &folder)
{
    LauncherContext context{AppFolder(folder), std::make_shared<FixedAddressSource>(u"192.168.1.20"_s), nullptr};
    MainWindow window(context);
    if (!window.startUp()) {
        return;
    }
    window.show();
    QApplication::processEvents();

    // Icons, their captions and the free surface of every catalogue tab, in the order a pointer crossing
    // the rows would meet them.
    QList<QWidget *> targets;
    for (int tab = 0; tab < Catalogue::TabCount; ++tab) {
        CatalogueTabPage *page = window.catalogueTab(tab);
        for (int slot = 0; slot < page->iconCount(); ++slot) {
            targets.append(page->icon(slot));
            targets.append(page->findChild<QLabel *>(u"Lb%1%2"_s.arg(Catalogue::tabs()[tab].prefix).arg(slot + 1)));
            targets.append(page);
        }
    }
    constexpr int moves = 10000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < moves; ++i) {
        sendMove(targets[i % targets.size()]);
    }
    // Whatever the moves left to lay out or paint belongs to their cost.
    QApplication::processEvents();
    const double perMoveUs = timer.nsecsElapsed() / 1000.0 / moves;
    std::printf("pointer move            %.2f us per move on average over %d moves (icons, captions, surface)\n",
                perMoveUs, moves);
}

void benchHugeSettings(int megabytes)
{
    Test::PortableFolder folder;
    folder.copyShippedFiles();
    // The shipped settings first, then a filler section as large as asked: every lookup of the window's has
    // to find its section in a file of that size.
    QByteArray ini = folder.readFile(u"Trivet.ini"_s);
    ini += "\r\n[Filler]\r\n";
    const QByteArray line = "SomeKeyThatNobodyReads=" + QByteArray(80, 'x') + "\r\n";
    while (ini.size() < qint64(megabytes) << 20) {
        ini += line;
    }
    folder.writeFile(u"Trivet.ini"_s, ini);

    const qint64 before = statusKiB("VmHWM");
    QElapsedTimer timer;
    timer.start();
    LauncherContext context{folder.appFolder(), std::make_shared<FixedAddressSource>(u"192.168.1.20"_s), nullptr};
    MainWindow window(context);
    const bool started = window.startUp();
    window.show();
    QApplication::processEvents();
    std::printf("%d MiB settings file     window open in %.2f s (%s), settings parsed %d time(s), peak memory "
                "+%lld MiB\n",
                megabytes, timer.nsecsElapsed() / 1e9, started ? "started" : "refused", window.settings().parseCount(),
                static_cast<long long>((statusKiB("VmHWM") - before) / 1024));
}

} // namespace

int main(int argc, char *argv[])
{
    sinceStart.start();
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.value(1) == u"--start") {
        return startChild(args.value(2), args.value(3));
    }
    MessageBox::setRecording(true);
    const int megabytes = args.value(1) == u"--settings-mb" ? args.value(2).toInt() : 50;

    Test::PortableFolder folder;
    folder.copyShippedFiles();
    benchStartUp(folder.root());
    benchHover(folder.root());
    if (megabytes > 0) {
        benchHugeSettings(megabytes);
    }
    return 0;
}
