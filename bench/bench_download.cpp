#include "common/download/Downloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkProxy>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 FileSize = qint64(200) << 20;
constexpr int GiveUpAfterMs = 5 * 60 * 1000;

// Peak resident memory of this process in KiB, or -1 where /proc is not available.
qint64 peakResidentKiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return -1;
    }
    // /proc files report a size of 0, so atEnd() cannot be trusted; read until read() says so.
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

bool writeTestFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (qint64 written = 0; written < FileSize; written += block.size()) {
        for (char &c : block) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = char(x);
        }
        if (file.write(block) != block.size()) {
            return false;
        }
    }
    return true;
}

QString mirrorProgram()
{
    const QString beside = QCoreApplication::applicationDirPath() + u"/TrivetMirror"_s;
    return QFileInfo(beside).isExecutable() ? beside : QStringLiteral(TRIVET_MIRROR_PATH);
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench_download: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    QTemporaryDir served;
    QTemporaryDir saved;
    if (!served.isValid() || !saved.isValid()) {
        return fail("cannot create temporary folders");
    }
    if (!writeTestFile(served.filePath(u"big.bin"_s))) {
        return fail("cannot write the 200 MiB test file");
    }

    QProcess mirror;
    mirror.setProgram(mirrorProgram());
    mirror.setArguments({u"--root"_s, served.path()});
    mirror.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mirror.start();
    if (!mirror.waitForStarted(5000)) {
        return fail("cannot start TrivetMirror");
    }
    QString banner;
    while (!banner.contains(u'\n') && mirror.waitForReadyRead(5000)) {
        banner += QString::fromLocal8Bit(mirror.readAllStandardOutput());
    }
    const QRegularExpressionMatch match = QRegularExpression(u"at (http://127\\.0\\.0\\.1:\\d+/)"_s).match(banner);
    if (!match.hasMatch()) {
        mirror.kill();
        mirror.waitForFinished(5000);
        return fail("TrivetMirror did not report its address");
    }
    const QString url = match.captured(1) + u"big.bin"_s;
    const QString target = saved.filePath(u"big.bin"_s);

    Trivet::Downloader downloader;
    downloader.setProxy(QNetworkProxy::NoProxy);
    QEventLoop loop;
    QString error;
    qint64 reported = -1;
    QObject::connect(&downloader, &Trivet::Downloader::DownloadError, &loop,
                     [&](const QString &, const QString &reason) { error = reason; });
    QObject::connect(&downloader, &Trivet::Downloader::DownloadComplete, &loop, [&](qint64 maxBytes, const QString &) {
        reported = maxBytes;
        loop.quit();
    });
    QTimer::singleShot(GiveUpAfterMs, &loop, [&] {
        error = u"gave up after five minutes"_s;
        loop.quit();
    });

    const qint64 peakBefore = peakResidentKiB();
    QElapsedTimer clock;
    clock.start();
    downloader.BeginDownload(url, target);
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const qint64 peakAfter = peakResidentKiB();

    mirror.terminate();
    if (!mirror.waitForFinished(5000)) {
        mirror.kill();
        mirror.waitForFinished(5000);
    }

    const qint64 size = QFileInfo(target).size();
    const double mib = double(size) / double(1 << 20);
    std::printf("size:            %lld bytes (%.1f MiB), reported %lld\n", size, mib, reported);
    std::printf("time:            %.2f s\n", seconds);
    std::printf("throughput:      %.1f MiB/s\n", seconds > 0 ? mib / seconds : 0.0);
    std::printf("peak RSS before: %lld KiB\n", peakBefore);
    std::printf("peak RSS after:  %lld KiB (grew by %lld KiB)\n", peakAfter, peakAfter - peakBefore);
    std::fflush(stdout);

    if (!error.isEmpty()) {
        std::fprintf(stderr, "bench_download: download failed: %s\n", qPrintable(error));
        return 1;
    }
    if (size != FileSize || reported != FileSize) {
        return fail("the downloaded file has the wrong size");
    }
    return 0;
}
