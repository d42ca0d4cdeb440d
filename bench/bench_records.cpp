#include "bench/BenchSupport.h"
#include "common/platform/PackagePlacer.h"
#include "common/platform/Sha256.h"
#include "tools/archive/ArchiveWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Trivet;
using namespace Trivet::Bench;

// What the digests of an install record cost: installs of a mixed zip (2,000 small files and 5 × 20 MiB) into a
// fresh folder with the digests taken beside the writing and without them, in turns, and SHA-256 alone over
// the same bytes in memory, which is what the digests would cost on the install's own thread.
// Usage: bench_records [runs]   (default 5)

namespace {

constexpr int SmallFiles = 2000;
constexpr int LargeFiles = 5;
constexpr qsizetype LargeFileSize = qsizetype(20) << 20;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"trivet.*.debug=false\ntrivet.*.info=false"_s);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    QTemporaryDir root;
    if (!root.isValid()) {
        std::fprintf(stderr, "bench_records: cannot create a temporary folder\n");
        return 1;
    }
    QList<Tools::ArchiveMember> members;
    SeededBytes bytes(1);
    for (int i = 0; i < SmallFiles; ++i) {
        members.append(Tools::ArchiveMember::file(u"lib/%1/part%2.dat"_s.arg(i % 40).arg(i), bytes.next(4096 + i)));
    }
    for (int i = 0; i < LargeFiles; ++i) {
        members.append(Tools::ArchiveMember::file(u"share/data%1.bin"_s.arg(i), bytes.next(LargeFileSize + i)));
    }
    const QString package = root.filePath(u"mixed.zip"_s);
    if (!Tools::ArchiveWriter::write(package, Tools::ArchiveFormat::Zip, members, Tools::ArchiveWriter::Layout::Tree)
             .ok()) {
        std::fprintf(stderr, "bench_records: cannot write the package\n");
        return 1;
    }
    qint64 total = 0;
    for (const Tools::ArchiveMember &member : members) {
        total += member.data.size();
    }
    std::printf("%d runs, %.1f MB in %d files (package %.1f MB)\n", runs, total / 1e6, SmallFiles + LargeFiles,
                QFileInfo(package).size() / 1e6);
    std::printf("run   install with digests   without   SHA-256 alone   cost of the digests\n");
    std::vector<double> installs, plains, hashes, shares;
    const auto install = [&](bool digests) -> double {
        const QString target = root.filePath(u"Program"_s);
        QDir(target).removeRecursively();
        // The previous install's pages reach the disk first, so neither install pays for the other's writeback.
        ::sync();
        QElapsedTimer clock;
        clock.start();
        const ExtractResult result = PackagePlacer(root.path()).unpackAndPlace(package, target, {{}, false, digests});
        const double ms = clock.nsecsElapsed() / 1e6;
        if (!result.ok() || result.placed.size() != members.size() ||
            result.placed.first().sha256.isEmpty() != !digests) {
            std::fprintf(stderr, "bench_records: %s\n", qPrintable(result.message));
            std::exit(1);
        }
        return ms;
    };
    for (int run = 0; run < runs; ++run) {
        // In turns, so a slower phase of the machine weighs on both alike.
        const double installMs = install(true);
        const double plainMs = install(false);
        QElapsedTimer clock;
        clock.start();
        for (const Tools::ArchiveMember &member : members) {
            Sha256 hash;
            hash.add(member.data);
            (void)hash.result();
        }
        const double hashMs = clock.nsecsElapsed() / 1e6;
        installs.push_back(installMs);
        plains.push_back(plainMs);
        hashes.push_back(hashMs);
        shares.push_back(100 * (installMs - plainMs) / plainMs);
        std::printf("%3d   %10.1f ms          %7.1f ms   %8.1f ms     %+5.1f %%\n", run + 1, installMs, plainMs, hashMs,
                    shares.back());
    }
    std::vector<double> ratios;
    for (const double share : shares) {
        ratios.push_back(1 + share / 100);
    }
    printSpread("  with digests:", installs, " ms");
    printSpread("  without digests:", plains, " ms");
    printSpread("  with / without digests:", ratios, "x");
    std::printf("median install with digests %.1f ms, without %.1f ms, SHA-256 alone %.1f ms (%.0f MB/s); "
                "the digests cost %+.1f %% (median of the runs' own ratios; %.1f %% on the install's thread)\n",
                median(installs), median(plains), median(hashes), total / 1e3 / median(hashes), median(shares),
                100 * median(hashes) / median(plains));
    return 0;
}
