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
#include <vector>

using namespace Qt::StringLiterals;
using namespace Trivet;
using namespace Trivet::Bench;

// What the digests of an install record cost: an install of a mixed zip (2,000 small files and 5 × 20 MiB),
// which hashes every file as it writes it, against SHA-256 alone over the same bytes in memory. The second
// figure bounds what the install would save without the digests.
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
    std::printf("run   install (hashing as it writes)   SHA-256 alone   share\n");
    std::vector<double> installs, hashes;
    for (int run = 0; run < runs; ++run) {
        const QString target = root.filePath(u"Program"_s);
        QDir(target).removeRecursively();
        QElapsedTimer clock;
        clock.start();
        const ExtractResult result = PackagePlacer(root.path()).unpackAndPlace(package, target);
        const double installMs = clock.nsecsElapsed() / 1e6;
        if (!result.ok() || result.placed.size() != members.size()) {
            std::fprintf(stderr, "bench_records: %s\n", qPrintable(result.message));
            return 1;
        }
        clock.restart();
        for (const Tools::ArchiveMember &member : members) {
            Sha256 hash;
            hash.add(member.data);
            (void)hash.result();
        }
        const double hashMs = clock.nsecsElapsed() / 1e6;
        installs.push_back(installMs);
        hashes.push_back(hashMs);
        std::printf("%3d   %10.1f ms                    %8.1f ms   %5.1f %%\n", run + 1, installMs, hashMs,
                    100 * hashMs / installMs);
    }
    std::printf("median install %.1f ms, SHA-256 alone %.1f ms (%.0f MB/s), share %.1f %%\n", median(installs),
                median(hashes), total / 1e3 / median(hashes), 100 * median(hashes) / median(installs));
    return 0;
}
