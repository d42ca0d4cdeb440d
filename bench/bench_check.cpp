#include "bench/BenchSupport.h"
#include "common/platform/Sha256.h"
#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/install/InstallRecord.h"
#include "launcher/upkeep/FileCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Trivet;
using namespace Trivet::Bench;

// Check All over the files of one installed program (2,000 small files and 5 × 20 MiB, with their record) against
// sha256sum over the same files, both from the page cache; the two take turns at going first. Prints the
// medians and the ratio of throughputs (sha256sum's time over the check's: 1.0 is as fast).
// Usage: bench_check [runs]   (default 7)

namespace {

constexpr int SmallFiles = 2000;
constexpr int LargeFiles = 5;
constexpr qsizetype LargeFileSize = qsizetype(20) << 20;

// Shows nothing: the figure is the check's own.
struct SilentView final : FileCheckView
{
    void showCheckStatus(const QString &) override {}
    void showCheckProgress(qint64, qint64, const QString &) override {}
    void showCheckedPrograms(const QList<ProgramLines> &) override {}
    void enableCheckButtons(bool, bool) override {}
};

// Seconds of one Check All, or a negative figure when it found a file not as installed.
double timeCheck(const QString &root)
{
    const IniFile settings(QDir(root).filePath(u"Trivet.ini"_s));
    const LanguageTexts texts(root);
    SilentView view;
    FileCheck check(AppFolder(root), settings, texts, view);
    QEventLoop loop;
    QObject::connect(&check, &FileCheck::checkFinished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    check.checkAll();
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const bool whole =
        check.results().size() == 1 && check.results().first().isComplete() && !check.results().first().needsRepair();
    return whole ? seconds : -1;
}

double timeSha256sum(const QString &root, const QStringList &files)
{
    QProcess process;
    process.setWorkingDirectory(root);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(u"sha256sum"_s, files);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"trivet.*.debug=false\ntrivet.*.info=false"_s);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 7;
    QTemporaryDir root;
    if (!root.isValid()) {
        std::fprintf(stderr, "bench_check: cannot create a temporary folder\n");
        return 1;
    }
    InstallRecord record{.entry = u"MISC-1"_s,
                         .package = u"mixed.zip"_s,
                         .packageSha256 = QByteArray(32, '\0'),
                         .packageSize = 0,
                         .date = QDateTime::currentDateTimeUtc(),
                         .files = {}};
    SeededBytes bytes(1);
    QStringList files;
    qint64 total = 0;
    for (int i = 0; i < SmallFiles + LargeFiles; ++i) {
        const QString path = i < SmallFiles ? u"Program/lib/%1/part%2.dat"_s.arg(i % 40).arg(i)
                                            : u"Program/share/data%1.bin"_s.arg(i - SmallFiles);
        const QByteArray data = bytes.next(i < SmallFiles ? 4096 + i : LargeFileSize + i);
        QDir().mkpath(QFileInfo(root.filePath(path)).absolutePath());
        QFile file(root.filePath(path));
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
            std::fprintf(stderr, "bench_check: cannot write %s\n", qPrintable(path));
            return 1;
        }
        Sha256 hash;
        hash.add(data);
        record.files.append({path, data.size(), hash.result()});
        files.append(path);
        total += data.size();
    }
    // The texts the check shows, so its lines read as in the launcher.
    QDir().mkpath(root.filePath(u"Languages"_s));
    QFile::copy(QStringLiteral(TRIVET_PORTABLE_SOURCE "/Languages/English.lng"),
                root.filePath(u"Languages/English.lng"_s));
    if (!writeInstallRecord(root.path(), record).ok()) {
        std::fprintf(stderr, "bench_check: cannot write the record\n");
        return 1;
    }
    // Both read from the page cache: a first run of each fills it.
    if (timeCheck(root.path()) < 0 || timeSha256sum(root.path(), files) < 0) {
        std::fprintf(stderr, "bench_check: the check or sha256sum failed\n");
        return 1;
    }
    std::printf("%d runs, %.1f MB in %d files, from the page cache\n", runs, total / 1e6, SmallFiles + LargeFiles);
    std::vector<double> checks, sums, ratios;
    for (int run = 0; run < runs; ++run) {
        double check = 0;
        double sum = 0;
        if (run % 2 == 0) {
            check = timeCheck(root.path());
            sum = timeSha256sum(root.path(), files);
        } else {
            sum = timeSha256sum(root.path(), files);
            check = timeCheck(root.path());
        }
        if (check < 0 || sum < 0) {
            std::fprintf(stderr, "bench_check: the check or sha256sum failed\n");
            return 1;
        }
        checks.push_back(check * 1000);
        sums.push_back(sum * 1000);
        ratios.push_back(sum / check);
        std::printf("%3d   check all %8.1f ms   sha256sum %8.1f ms   throughput ratio %.2f\n", run + 1, check * 1000,
                    sum * 1000, sum / check);
    }
    printSpread("check all:", checks, " ms");
    printSpread("sha256sum:", sums, " ms");
    printSpread("check / sha256sum throughput:", ratios, "x");
    std::printf("check all %.0f MB/s, sha256sum %.0f MB/s\n", total / 1e3 / median(checks), total / 1e3 / median(sums));
    return 0;
}
