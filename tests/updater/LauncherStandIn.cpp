// Stands in for TrivetDesk in the Updater's tests: a real program of this system that, like the launcher,
// holds its lock while it runs, and says which build it is by a line in "launcher.marker" beside itself.
// Its build is named by the text after the last "trivet-stand-in:" in its own file, so one program with
// different tails serves as the old launcher, the new one, and one that ends at once ("broken"), as a
// launcher missing a library would.
#include "common/platform/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    QFile file(self);
    if (!file.open(QIODevice::ReadOnly)) {
        return 2;
    }
    const QByteArray bytes = file.readAll();
    const QByteArray tag = "trivet-stand-in:";
    const QByteArray build = bytes.mid(bytes.lastIndexOf(tag) + tag.size()).trimmed();
    if (build == "broken") {
        return 1;
    }
    const QString folder = QFileInfo(self).absolutePath();
    Trivet::SingleInstance lock(folder, QStringLiteral("TrivetDesk"));
    if (!lock.tryAcquire()) {
        return 0;
    }
    QFile marker(QDir(folder).filePath(QStringLiteral("launcher.marker")));
    if (!marker.open(QIODevice::Append) || marker.write(build + '\n') != build.size() + 1) {
        return 3;
    }
    marker.close();
    // It runs while the test's folder is there, a minute at the most.
    const QDeadlineTimer deadline(60000);
    while (QFileInfo::exists(folder) && !deadline.hasExpired()) {
        QThread::msleep(50);
    }
    return 0;
}
