#include "bench/BenchSupport.h"
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
#include <sys/resource.h>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Trivet::Bench;

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
constexpr int IdleMs = 500;

enum Method { ByDownloader, ByCurl, ByCurlAndSync, MethodCount };
constexpr std::array<const char *, MethodCount> MethodLetters{"D", "C", "S"};

struct Sample
{
    double seconds = 0;
    QString error;
    double cpuSeconds = 0; // user and system time of the process that fetched
    // Downloader only
    qint64 memoryGrowthKiB = -1;
    double longestLateMs = 0;  // the most a 1 ms timer on the caller's thread was late
    double longestBlockMs = 0; // the same without the time the thread waited for a processor
};

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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

// What the window would feel: a 1 ms timer on the thread is late by as long as its event loop did not turn.
// On a busy machine that includes time the thread waited for a processor, which the kernel counts apart
// (schedstat); what remains is time the thread spent working or blocked.
class LoopWatch final
{
public:
    LoopWatch()
        : m_schedstat(u"/proc/thread-self/schedstat"_s)
    {
        m_schedstat.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        m_ticker.setTimerType(Qt::PreciseTimer);
        m_ticker.setInterval(1);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] { tick(); });
    }

    void start()
    {
        m_lastQueuedNs = queuedNs();
        m_sinceTick.start();
        m_ticker.start();
    }
    void stop() { m_ticker.stop(); }

    double longestLateMs() const { return std::max(0.0, double(m_longestGapNs) / 1e6 - 1.0); }
    double longestBlockMs() const { return std::max(0.0, double(m_longestBlockNs) / 1e6 - 1.0); }

private:
    qint64 queuedNs()
    {
        m_schedstat.seek(0);
        return m_schedstat.read(128).split(' ').value(1).toLongLong();
    }

    void tick()
    {
        const qint64 gap = m_sinceTick.nsecsElapsed();
        m_sinceTick.start();
        const qint64 queued = queuedNs();
        m_longestGapNs = std::max(m_longestGapNs, gap);
        m_longestBlockNs = std::max(m_longestBlockNs, gap - (queued - m_lastQueuedNs));
        m_lastQueuedNs = queued;
    }

    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    QFile m_schedstat;
    qint64 m_lastQueuedNs = 0;
    qint64 m_longestGapNs = 0;
    qint64 m_longestBlockNs = 0;
};

// The same figures for an event loop that has nothing to do, to tell the machine's noise from the Downloader.
void printIdleLoop()
{
    LoopWatch watch;
    QEventLoop loop;
    QTimer::singleShot(IdleMs, &loop, &QEventLoop::quit);
    watch.start();
    loop.exec();
    watch.stop();
    std::printf("idle event loop for %d ms: timer late by %.1f ms, blocked for %.1f ms\n", IdleMs,
                watch.longestLateMs(), watch.longestBlockMs());
}

Sample fetchWithDownloader(const QString &url, const QString &target)
{
    Sample sample;
    Trivet::Downloader downloader;
    downloader.setProxy(QNetworkProxy::NoProxy);
    QEventLoop loop;
    qint64 reported = -1;
    QTimer::singleShot(GiveUpAfterMs, &loop, [&] {
        sample.error = u"gave up after five minutes"_s;
        loop.quit();
    });

    LoopWatch watch;

    resetPeakResident();
    const qint64 residentBefore = statusKiB("VmRSS");
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    watch.start();
    Trivet::DownloadHandle *handle = downloader.beginDownload({.url = url, .target = target, .id = u"bench"_s});
    if (handle) {
        QObject::connect(handle, &Trivet::DownloadHandle::finished, &loop, [&](const Trivet::DownloadResult &result) {
            sample.error = result.message;
            reported = result.bytes;
            loop.quit();
        });
        loop.exec();
    } else {
        sample.error = u"the download did not start"_s;
    }
    sample.seconds = double(clock.nsecsElapsed()) / 1e9;
    sample.cpuSeconds = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    watch.stop();
    const qint64 peak = statusKiB("VmHWM");

    sample.memoryGrowthKiB = peak >= 0 && residentBefore >= 0 ? peak - residentBefore : -1;
    sample.longestLateMs = watch.longestLateMs();
    sample.longestBlockMs = watch.longestBlockMs();
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
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    process.start();
    const bool ended = process.waitForFinished(GiveUpAfterMs);
    sample.seconds = double(clock.nsecsElapsed()) / 1e9;
    sample.cpuSeconds = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
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
    if (!writeSeededFile(served.filePath(u"big.bin"_s), FileSize, 1)) {
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

    std::printf("%d runs of 200 MiB from %s; D = Downloader, C = curl, S = curl && sync\n", runs, qPrintable(url));
    printIdleLoop();
    std::printf("\n");
    std::printf("run  order  Downloader (CPU)     curl (CPU)   curl+sync    D/C    D/S  memory growth  GUI late  GUI "
                "blocked\n");
    std::vector<double> perCurl, perCurlAndSync, lates, blocks, growths, cpuPerCurl;
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
        lates.push_back(d.longestLateMs);
        blocks.push_back(d.longestBlockMs);
        growths.push_back(double(d.memoryGrowthKiB));
        cpuPerCurl.push_back(d.cpuSeconds / samples[ByCurl].cpuSeconds);
        std::printf(
            "%3d  %-5s  %6.3f s (%.2f)  %6.3f s (%.2f)  %7.3f s  %5.2fx %5.2fx  %9lld KiB  %5.1f ms  %7.1f ms\n",
            run + 1, order.constData(), d.seconds, d.cpuSeconds, samples[ByCurl].seconds, samples[ByCurl].cpuSeconds,
            samples[ByCurlAndSync].seconds, perCurl.back(), perCurlAndSync.back(), d.memoryGrowthKiB, d.longestLateMs,
            d.longestBlockMs);
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
    printSpread("CPU time, Downloader / curl:", cpuPerCurl, "x");
    printSpread("GUI thread, timer late by:", lates, " ms");
    printSpread("GUI thread, blocked for:", blocks, " ms");
    printIdleLoop();
    return 0;
}
