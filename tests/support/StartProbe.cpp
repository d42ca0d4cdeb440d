// A program that tells how it was started: it writes started.marker beside itself with its working folder,
// how its window was asked to show ("minimised" or "normal") and its arguments, one a line. With --stay as
// its first argument it then keeps running until it is ended.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

QByteArray windowRequest()
{
#ifdef Q_OS_WIN
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    if ((startup.dwFlags & STARTF_USESHOWWINDOW) && startup.wShowWindow == SW_SHOWMINNOACTIVE) {
        return "minimised";
    }
#endif
    return "normal";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    QByteArray record = QDir::currentPath().toUtf8() + '\n' + windowRequest() + '\n';
    for (const QString &argument : arguments) {
        record += argument.toUtf8() + '\n';
    }
    QFile marker(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("started.marker")));
    if (!marker.open(QIODevice::WriteOnly) || marker.write(record) != record.size()) {
        return 1;
    }
    marker.close();
    while (arguments.value(0) == QStringLiteral("--stay")) {
        QThread::sleep(60);
    }
    return 0;
}
