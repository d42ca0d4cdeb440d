#include "bench/BenchSupport.h"
#include "common/download/DownloadHandle.h"
#include "common/download/Downloader.h"
#include "common/platform/ArchiveExtractor.h"
#include "common/platform/ExtractorCommand.h"
#include "common/platform/ProcessStarter.h"
#include "common/platform/WorkFolder.h"
#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/LaunchController.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingCatalogueView.h"
#include "tools/archive/ArchiveWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Trivet;
using namespace Trivet::Bench;

// Click to start of a package of about 135 MB, against what the click cannot avoid: the same download by the
// Downloader alone plus the same unpacking by the extractor alone. The click also decides, shows progress and
// puts the files in place as a transaction; the difference is its whole overhead.
//
// The package comes from TrivetMirror in its own process on 127.0.0.1; every install is a fresh one.
// Usage: bench_install [runs]   (default 5)

namespace {

constexpr int DefaultRuns = 5;
constexpr int SmallFiles = 2000;
constexpr int LargeFiles = 5;
constexpr qsizetype LargeFileSize = qsizetype(25) << 20;

// Records the moment the launcher starts the program instead of starting it.
class TimingStarter final : public ProcessStarter
{
public:
    explicit TimingStarter(const QElapsedTimer &clock)
        : m_clock(clock)
    {
    }
    StartResult start(const ProcessStart &) override
    {
        startedAtMs = m_clock.nsecsElapsed() / 1e6;
        return StartResult::started();
    }
    double startedAtMs = -1;

private:
    const QElapsedTimer &m_clock;
};

const CatalogueEntry &benchedEntry()
{
    for (const CatalogueEntry &e : Catalogue::entries()) {
        if (e.kind == InstallKind::Unzip && e.command.contains(u"-d "_s)) {
            return e;
        }
    }
    return Catalogue::entries().front();
}

// The program where the command puts it, and bulk that makes the package the size of a large office suite.
std::optional<QString> writePackage(const CatalogueEntry &e, const IniFile &settings, const QString &path)
{
    const EntryTails tails = Catalogue::resolveTails(e, settings, Phase::Install);
    const std::optional<ExtractorCommand> command = ExtractorCommand::parse(e.command.toString());
    if (!command) {
        return std::nullopt;
    }
    QString program = tails.executable;
    program.replace(u'\\', u'/');
    program = program.mid(1 + command->targetFolder.size() + 1);
    QList<Tools::ArchiveMember> members{Tools::ArchiveMember::file(program, "#!/bin/sh\n", 0755)};
    SeededBytes bytes(1);
    for (int i = 0; i < SmallFiles; ++i) {
        members.append(Tools::ArchiveMember::file(u"lib/%1/part%2.dat"_s.arg(i % 40).arg(i), bytes.next(4096 + i)));
    }
    for (int i = 0; i < LargeFiles; ++i) {
        members.append(Tools::ArchiveMember::file(u"share/data%1.bin"_s.arg(i), bytes.next(LargeFileSize + i)));
    }
    if (!Tools::ArchiveWriter::write(path, Tools::ArchiveFormat::Zip, members, Tools::ArchiveWriter::Layout::Tree)
             .ok()) {
        return std::nullopt;
    }
    return command->targetFolder;
}

void flushEverything()
{
    QProcess::execute(u"sync"_s, {});
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench_install: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"trivet.*.debug=false\ntrivet.*.info=false"_s);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : DefaultRuns;

    Test::PortableFolder portable;
    QTemporaryDir served;
    QTemporaryDir alone;
    if (!portable.isValid() || !served.isValid() || !alone.isValid()) {
        return fail("cannot create temporary folders");
    }
    portable.copyShippedFiles();
    const AppFolder folder = portable.appFolder();
    IniFile settings(folder.iniPath());
    const CatalogueEntry &entry = benchedEntry();
    const std::optional<QString> target = writePackage(entry, settings, served.filePath(u"package.zip"_s));
    if (!target) {
        return fail("cannot write the package");
    }
    const qint64 packageSize = QFileInfo(served.filePath(u"package.zip"_s)).size();

    QProcess mirror;
    mirror.setProgram(QCoreApplication::applicationDirPath() + u"/../tools/TrivetMirror"_s);
    mirror.setArguments({u"--root"_s, served.path()});
    mirror.start();
    QString banner;
    while (mirror.waitForStarted(5000) && !banner.contains(u'\n') && mirror.waitForReadyRead(5000)) {
        banner += QString::fromLocal8Bit(mirror.readAllStandardOutput());
    }
    const QRegularExpressionMatch match = QRegularExpression(u"at (http://127\\.0\\.0\\.1:\\d+/)"_s).match(banner);
    if (!match.hasMatch()) {
        return fail("TrivetMirror did not report its address");
    }
    const QString url = match.captured(1) + u"package.zip"_s;
    if (!settings.setValue(u"Applications"_s, entry.urlKey.toString(), url).ok()) {
        return fail("cannot write the settings");
    }
    LanguageTexts texts(folder.root());
    texts.select(settings.value(u"Language", u"Default"));

    std::printf("%d runs of %s (%.1f MB, %d files) from %s\n", runs, qPrintable(entry.id.toString()), packageSize / 1e6,
                SmallFiles + LargeFiles + 1, qPrintable(url));
    std::printf("run  order  click to start   download   unpack   click / (download + unpack)\n");
    std::vector<double> clicks, sums, ratios;
    for (int run = 0; run < runs; ++run) {
        double clickMs = 0;
        double downloadMs = 0;
        double unpackMs = 0;
        for (int step = 0; step < 2; ++step) {
            // Each takes the first place in turn, so a warm cache favours neither.
            const bool clickFirst = run % 2 == 0;
            QDir(folder.path(QString(u"\\"_s + *target))).removeRecursively();
            QFile::remove(Catalogue::resolvePaths(entry, folder, settings, Phase::Install).package);
            QDir(alone.path()).removeRecursively();
            QDir().mkpath(alone.path());
            flushEverything();
            if ((step == 0) == clickFirst) {
                QElapsedTimer clock;
                auto starter = std::make_shared<TimingStarter>(clock);
                Test::RecordingCatalogueView view;
                LaunchController controller(folder, settings, texts, starter, view);
                controller.setOffline(false);
                QEventLoop loop;
                QObject::connect(&controller, &LaunchController::installationFinished, &loop, &QEventLoop::quit);
                QTimer::singleShot(5 * 60 * 1000, &loop, &QEventLoop::quit);
                clock.start();
                controller.launch(entry.tab, entry.slot);
                loop.exec();
                if (starter->startedAtMs < 0) {
                    return fail("the click did not start the program");
                }
                clickMs = starter->startedAtMs;
            } else {
                QElapsedTimer clock;
                clock.start();
                Downloader downloader;
                QEventLoop loop;
                const QString package = alone.filePath(u"package.zip"_s);
                DownloadHandle *handle = downloader.beginDownload({url, package, u"alone"_s});
                bool fetched = false;
                QObject::connect(handle, &DownloadHandle::finished, &loop, [&](const DownloadResult &result) {
                    fetched = result.ok();
                    loop.quit();
                });
                loop.exec();
                downloadMs = clock.nsecsElapsed() / 1e6;
                if (!fetched) {
                    return fail("the download alone failed");
                }
                clock.restart();
                const ExtractResult unpacked =
                    ArchiveExtractor(nullptr, workFolder(alone.path())).extract(package, alone.filePath(u"unpacked"_s));
                unpackMs = clock.nsecsElapsed() / 1e6;
                if (!unpacked.ok()) {
                    return fail("the unpacking alone failed");
                }
            }
        }
        clicks.push_back(clickMs / 1000);
        sums.push_back((downloadMs + unpackMs) / 1000);
        ratios.push_back(clickMs / (downloadMs + unpackMs));
        std::printf("%3d  %-5s  %10.3f s  %8.3f s %7.3f s  %.2fx\n", run + 1, run % 2 == 0 ? "CA" : "AC",
                    clickMs / 1000, downloadMs / 1000, unpackMs / 1000, ratios.back());
        std::fflush(stdout);
    }
    mirror.terminate();
    mirror.waitForFinished(5000);

    std::printf("\n");
    printSpread("click to start:", clicks, " s");
    printSpread("download + unpack alone:", sums, " s");
    printSpread("click / (download + unpack):", ratios, "x");
    return 0;
}
