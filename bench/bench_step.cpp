// One step of the launcher's, done once and timed, for scripts/bench.sh to set beside the same step done by
// other tools on the same files. Each timed command prints one line, "SECONDS GROWTH_KIB": the wall time from
// the request to the reported result, and how far the process's resident memory rose above what it was just
// before (its peak minus its size at the start of the step).
//
//   bench_step download URL FILE     the Downloader fetches URL to FILE (durable once it reports success)
//   bench_step extract ARCHIVE DIR   the extractor installs ARCHIVE into DIR as the launcher does: staged in
//                                    the work folder beside DIR, journalled, flushed, then moved in
//   bench_step file PATH MIB         writes MIB mebibytes of seeded random bytes (not timed)
//   bench_step archives DIR          writes DIR/mixed.zip (2,000 small files and five of 20 MiB), the same
//                                    content as a tree in DIR/mixed/, and DIR/big.zip (one 300 MiB file)

#include "bench/BenchSupport.h"
#include "common/download/DownloadHandle.h"
#include "common/download/Downloader.h"
#include "common/platform/ArchiveExtractor.h"
#include "common/platform/WorkFolder.h"
#include "tools/archive/ArchiveWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QNetworkProxy>
#include <QTimer>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;
using namespace Trivet;
using namespace Trivet::Bench;

namespace {

constexpr int GiveUpAfterMs = 10 * 60 * 1000;
constexpr int SmallFiles = 2000;
constexpr int LargeFiles = 5;
constexpr qint64 LargeFileSize = qint64(20) << 20;
constexpr qint64 BigFileSize = qint64(300) << 20;

int fail(const QString &what)
{
    std::fprintf(stderr, "bench_step: %s\n", qPrintable(what));
    return 1;
}

// Runs step, which returns an error text or nothing, and prints its figures.
int timed(const std::function<QString()> &step)
{
    resetPeakResident();
    const qint64 residentBefore = statusKiB("VmRSS");
    QElapsedTimer clock;
    clock.start();
    const QString error = step();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const qint64 peak = statusKiB("VmHWM");
    if (!error.isEmpty()) {
        return fail(error);
    }
    std::printf("%.4f %lld\n", seconds,
                static_cast<long long>(peak >= 0 && residentBefore >= 0 ? peak - residentBefore : -1));
    return 0;
}

QString download(const QString &url, const QString &target)
{
    Downloader downloader;
    downloader.setProxy(QNetworkProxy::NoProxy);
    DownloadHandle *handle = downloader.beginDownload({.url = url, .target = target, .id = u"bench"_s});
    if (!handle) {
        return u"the download did not start"_s;
    }
    QString error = u"gave up after ten minutes"_s;
    QEventLoop loop;
    QTimer::singleShot(GiveUpAfterMs, &loop, &QEventLoop::quit);
    QObject::connect(handle, &DownloadHandle::finished, &loop, [&](const DownloadResult &result) {
        error = result.ok() ? QString() : result.message;
        loop.quit();
    });
    loop.exec();
    return error;
}

QString extract(const QString &archive, const QString &destination)
{
    const QString appFolder = QFileInfo(destination).absolutePath();
    const ExtractResult result = ArchiveExtractor(nullptr, workFolder(appFolder)).extract(archive, destination);
    return result.ok() ? QString() : result.message;
}

// The members of mixed.zip, each also written below tree so that other archivers can pack the same content.
bool writeArchives(const QString &folder)
{
    SeededBytes bytes(7);
    QList<Tools::ArchiveMember> members;
    for (int i = 0; i < SmallFiles; ++i) {
        members.append(Tools::ArchiveMember::file(u"lib/%1/part%2.dat"_s.arg(i % 40).arg(i), bytes.next(1024 + i * 4)));
    }
    for (int i = 0; i < LargeFiles; ++i) {
        members.append(Tools::ArchiveMember::file(u"share/data%1.bin"_s.arg(i), bytes.next(LargeFileSize)));
    }
    const QDir tree(QDir(folder).filePath(u"mixed"_s));
    for (const Tools::ArchiveMember &member : std::as_const(members)) {
        const QString path = tree.filePath(member.name);
        QFile file(path);
        if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly) ||
            file.write(member.data) != member.data.size()) {
            return false;
        }
    }
    using Tools::ArchiveWriter;
    return ArchiveWriter::write(QDir(folder).filePath(u"mixed.zip"_s), Tools::ArchiveFormat::Zip, members,
                                ArchiveWriter::Layout::Tree)
               .ok() &&
           ArchiveWriter::write(QDir(folder).filePath(u"big.zip"_s), Tools::ArchiveFormat::Zip,
                                {Tools::ArchiveMember::file(u"big.bin"_s, SeededBytes(11).next(BigFileSize))},
                                ArchiveWriter::Layout::Tree)
               .ok();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"trivet.*.debug=false\ntrivet.*.info=false"_s);
    const QStringList args = QCoreApplication::arguments();
    const QString command = args.value(1);
    if (command == u"download" && args.size() == 4) {
        return timed([&] { return download(args[2], args[3]); });
    }
    if (command == u"extract" && args.size() == 4) {
        return timed([&] { return extract(args[2], args[3]); });
    }
    if (command == u"file" && args.size() == 4) {
        return writeSeededFile(args[2], args[3].toLongLong() << 20, 3) ? 0 : fail(u"cannot write "_s + args[2]);
    }
    if (command == u"archives" && args.size() == 3) {
        return writeArchives(args[2]) ? 0 : fail(u"cannot write the archives in "_s + args[2]);
    }
    return fail(u"usage: bench_step download URL FILE | extract ARCHIVE DIR | file PATH MIB | archives DIR"_s);
}
