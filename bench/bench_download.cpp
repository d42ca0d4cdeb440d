#include "common/download/Downloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QNetworkProxy>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

// From request to durable file: a 200 MiB download from TrivetMirror in its own process on 127.0.0.1, by the
// Downloader and, in the same run and alternating order, by curl alone and by curl followed by sync. curl
// leaves the file in the page cache; the Downloader reports a file only once it is on the disk, so curl+sync
// is the like-for-like figure and plain curl the one to beat.
//
// Usage: bench_download [runs]   (default 7, at least 5)

namespace {

constexpr qint64 FileSize = qint64(200) << 20;
constexpr int DefaultRuns = 7;
constexpr int MinimumRuns = 5;
constexpr int GiveUpAfterMs = 5 * 60 * 1000;

enum Method { ByDownloader, ByCurl, ByCurlAndSync, MethodCount };
constexpr std::array<const char *, MethodCount> MethodLetters{"D", "C", "S"};

struct Sample
{
    double seconds = 0;
    QString error;
    // Downloader only
    qint64 memoryGrowthKiB = -1;
    double longestBlockMs = 0;
};

// A field of /proc/self/status in KiB, or -1 where /proc is not available.
qint64 statusKiB(const QByteArray &field)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return -1;
    }
    // /proc files report a size of 0, so atEnd() cannot be trusted; read until read() says so.
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(QByteArray(field + ':'))) {
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

// Starts the peak resident size (VmHWM) afresh from the current one, so each run's peak is its own.
bool resetPeakResident()
{
    QFile clearRefs(u"/proc/self/clear_refs"_s);
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
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

// Removes what the previous run wrote and flushes whatever it left dirty, so one run's writeback does not
// slow the next one down.
void clearTarget(const QString &target)
{
    QFile::remove(target);
    QProcess::execute(u"sync"_s, {u"-f"_s, QFileInfo(target).absolutePath()});
}

Sample fetchWithDownloader(const QString &url, const QString &target)
{
    Sample sample;
    Trivet::Downloader downloader;
    downloader.setProxy(QNetworkProxy::NoProxy);
    QEventLoop loop;
    qint64 reported = -1;
    QObject::connect(&downloader, &Trivet::Downloader::DownloadError, &loop,
                     [&](const QString &, const QString &reason) { sample.error = reason; });
    QObject::connect(&downloader, &Trivet::Downloader::DownloadComplete, &loop, [&](qint64 maxBytes, const QString &) {
        reported = maxBytes;
        loop.quit();
    });
    QTimer::singleShot(GiveUpAfterMs, &loop, [&] {
        sample.error = u"gave up after five minutes"_s;
        loop.quit();
    });

    // The longest the event loop went without turning: a 1 ms timer that is late by that much.
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QElapsedTimer sinceTick;
    qint64 longestGapNs = 0;
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        longestGapNs = std::max(longestGapNs, sinceTick.nsecsElapsed());
        sinceTick.start();
    });

    resetPeakResident();
    const qint64 residentBefore = statusKiB("VmRSS");
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    ticker.start();
    downloader.BeginDownload(url, target);
    loop.exec();
    sample.seconds = double(clock.nsecsElapsed()) / 1e9;
    ticker.stop();
    const qint64 peak = statusKiB("VmHWM");

    sample.memoryGrowthKiB = peak >= 0 && residentBefore >= 0 ? peak - residentBefore : -1;
    sample.longestBlockMs = std::max(0.0, double(longestGapNs) / 1e6 - 1.0);
    if (sample.error.isEmpty() && (reported != FileSize || QFileInfo(target).size() != FileSize)) {
        sample.error = u"the file has the wrong size"_s;
    }
    return sample;
}

Sample fetchWithCurl(const QString &url, const QString &target, bool thenSync)
{
    Sample sample;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    if (thenSync) {
        process.setProgram(u"sh"_s);
        process.setArguments({u"-c"_s, u"curl -s -o \"$1\" \"$2\" && sync \"$1\""_s, u"sh"_s, target, url});
    } else {
        process.setProgram(u"curl"_s);
        process.setArguments({u"-s"_s, u"-o"_s, target, url});
    }
    QElapsedTimer clock;
    clock.start();
    process.start();
    const bool ended = process.waitForFinished(GiveUpAfterMs);
    sample.seconds = double(clock.nsecsElapsed()) / 1e9;
    if (!ended || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        sample.error = u"curl failed (exit code %1)"_s.arg(process.exitCode());
    } else if (QFileInfo(target).size() != FileSize) {
        sample.error = u"curl wrote the wrong size"_s;
    }
    if (!ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    return sample;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void printSpread(const char *label, const std::vector<double> &values, const char *unit)
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    std::printf("%-28s median %.3f%s  (min %.3f%s, max %.3f%s)\n", label, median(values), unit, *low, unit, *high,
                unit);
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
    QLoggingCategory::setFilterRules(u"trivet.*.info=false"_s);
    const int runs = argc > 1 ? std::max(MinimumRuns, QString::fromLocal8Bit(argv[1]).toInt()) : DefaultRuns;
    if (QStandardPaths::findExecutable(u"curl"_s).isEmpty()) {
        return fail("curl is missing (apt-get install -y curl)");
    }

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

    std::printf("%d runs of 200 MiB from %s; D = Downloader, C = curl, S = curl && sync\n\n", runs, qPrintable(url));
    std::printf("run  order   Downloader      curl  curl+sync     D/C    D/S  memory growth  GUI block\n");
    std::vector<double> perCurl, perCurlAndSync, blocks, growths;
    QString error;
    for (int run = 0; run < runs && error.isEmpty(); ++run) {
        std::array<Sample, MethodCount> samples;
        QByteArray order;
        for (int step = 0; step < MethodCount && error.isEmpty(); ++step) {
            // Each method takes each place in turn, so a warm cache or a busy disk favours none of them.
            const auto method = Method((run + step) % MethodCount);
            order += MethodLetters[method];
            clearTarget(target);
            samples[method] = method == ByDownloader ? fetchWithDownloader(url, target)
                                                     : fetchWithCurl(url, target, method == ByCurlAndSync);
            error = samples[method].error;
        }
        if (!error.isEmpty()) {
            break;
        }
        const Sample &d = samples[ByDownloader];
        perCurl.push_back(d.seconds / samples[ByCurl].seconds);
        perCurlAndSync.push_back(d.seconds / samples[ByCurlAndSync].seconds);
        blocks.push_back(d.longestBlockMs);
        growths.push_back(double(d.memoryGrowthKiB));
        std::printf("%3d  %-5s  %9.3f s %7.3f s %7.3f s  %5.2fx %5.2fx  %9lld KiB  %6.2f ms\n", run + 1,
                    order.constData(), d.seconds, samples[ByCurl].seconds, samples[ByCurlAndSync].seconds,
                    perCurl.back(), perCurlAndSync.back(), d.memoryGrowthKiB, d.longestBlockMs);
        std::fflush(stdout);
    }
    clearTarget(target);

    mirror.terminate();
    if (!mirror.waitForFinished(5000)) {
        mirror.kill();
        mirror.waitForFinished(5000);
    }
    if (!error.isEmpty()) {
        std::fprintf(stderr, "bench_download: %s\n", qPrintable(error));
        return 1;
    }

    std::printf("\n");
    printSpread("Downloader / curl:", perCurl, "x");
    printSpread("Downloader / (curl+sync):", perCurlAndSync, "x");
    printSpread("Downloader memory growth:", growths, " KiB");
    printSpread("Longest GUI-thread block:", blocks, " ms");
    return 0;
}
