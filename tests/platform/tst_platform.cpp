#include "common/platform/AppFolder.h"
#include "common/platform/FileChangeWatch.h"
#include "common/platform/FileExists.h"
#include "common/platform/FreeSpace.h"
#include "common/platform/RelativePath.h"
#include "common/platform/WineProcessStarter.h"
#include "common/platform/WorkFolder.h"
#include "common/platform/ZipMember.h"
#include "tests/support/ArchiveWriter.h"
#include "tests/support/Payload.h"
#include "tests/support/RecordingProcessStarter.h"
#include "tests/support/Wait.h"
#include "tests/support/WineStandIn.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/resource.h>
#endif

using namespace Qt::StringLiterals;
using namespace Trivet;
using Refusal = RelativePath::Refusal;
using Option = RelativePath::Option;

Q_DECLARE_METATYPE(Trivet::RelativePath::Refusal)
Q_DECLARE_METATYPE(Trivet::FileRead::Status)

namespace {

double processCpuSeconds()
{
#ifdef Q_OS_WIN
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ticks = [](const FILETIME &time) { return (quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime; };
    return double(ticks(kernel) + ticks(user)) / 1e7;
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
}

void touch(const QString &path, QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    QFile::setPermissions(path, permissions);
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    // One member of a small zip, read in memory and never beyond the bound: a list a few kilobytes long is
    // read, a crafted archive that unpacks to more is refused before it is held.
    void zipMemberIsReadWithinItsBound_data()
    {
        using Test::ArchiveMember;
        using Status = FileRead::Status;
        QTest::addColumn<QByteArray>("archive"); // null: no file at all
        QTest::addColumn<QString>("member");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QByteArray>("content");

        const QByteArray list = "[Checksums]\r\nmpad35.zip=abc\r\n";
        const QByteArray zip = Test::ArchiveWriter::zip(
            {ArchiveMember::dir(u"Trivet.ini.d"_s), ArchiveMember::symlink(u"Keys.ini"_s, u"/etc/passwd"_s),
             ArchiveMember::file(u"readme.txt"_s, "other"), ArchiveMember::file(u"Trivet.ini"_s, list)});
        QTest::newRow("the member") << zip << u"Trivet.ini"_s << Status::Success << list;
        QTest::newRow("another letter case") << zip << u"TRIVET.ini"_s << Status::Success << list;
        QTest::newRow("no such member") << zip << u"Trivet.txt"_s << Status::NotFound << QByteArray();
        QTest::newRow("a folder, not a file") << zip << u"Trivet.ini.d"_s << Status::NotFound << QByteArray();
        QTest::newRow("a link, not a file") << zip << u"Keys.ini"_s << Status::NotFound << QByteArray();
        // 1000 bytes a line compress to a few: the archive is small, its member is not.
        QTest::newRow("member beyond the bound")
            << Test::ArchiveWriter::zip({ArchiveMember::file(u"Trivet.ini"_s, QByteArray(64 * 1024, ';'))})
            << u"Trivet.ini"_s << Status::TooLarge << QByteArray();
        QTest::newRow("archive beyond the bound")
            << Test::ArchiveWriter::zip({ArchiveMember::file(u"noise"_s, Test::payload(40 * 1024)),
                                         ArchiveMember::file(u"Trivet.ini"_s, list)})
            << u"Trivet.ini"_s << Status::TooLarge << QByteArray();
        QTest::newRow("not a zip") << QByteArray("[Checksums]\r\n") << u"Trivet.ini"_s << Status::Failed
                                   << QByteArray();
        QTest::newRow("cut short") << zip.left(zip.size() / 2) << u"Trivet.ini"_s << Status::Failed << QByteArray();
        QTest::newRow("no archive") << QByteArray() << u"Trivet.ini"_s << Status::NotFound << QByteArray();
    }

    void zipMemberIsReadWithinItsBound()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, member);
        QFETCH(FileRead::Status, status);
        QFETCH(QByteArray, content);

        QTemporaryDir dir;
        const QString path = dir.filePath(u"Trivet.zip"_s);
        if (!archive.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(archive) == archive.size());
        }
        const FileRead read = readZipMember(path, member, 32 * 1024);
        QCOMPARE(read.status, status);
        QCOMPARE(read.bytes, content);
        QCOMPARE(read.message.isEmpty(), read.ok());
    }

    // A watch of a file's folder: every way the file can change is seen, and what happens to its neighbours is not.
    void fileChangeWatchSeesTheFileOnly_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("seen");

        QTest::newRow("nothing") << u"nothing"_s << false;
        QTest::newRow("a neighbour written") << u"neighbour"_s << false;
        QTest::newRow("written in place, same size") << u"in place"_s << true;
        QTest::newRow("replaced by a rename") << u"rename"_s << true;
        QTest::newRow("removed") << u"remove"_s << true;
        QTest::newRow("time set") << u"time"_s << true;
        QTest::newRow("written under another case") << u"case"_s << true;
        QTest::newRow("folder removed") << u"folder"_s << true;
    }

    void fileChangeWatchSeesTheFileOnly()
    {
#ifndef Q_OS_LINUX
        QSKIP("the folder watch is inotify's, Linux's; elsewhere every look says the file may have changed");
#endif
        QFETCH(QString, change);
        QFETCH(bool, seen);

        QTemporaryDir dir;
        const QString folder = dir.filePath(u"stick"_s);
        const QString file = folder + u"/Trivet.ini"_s;
        QVERIFY(QDir().mkpath(folder));
        touch(file);
        FileChangeWatch watch(file);
        QVERIFY(watch.mayHaveChanged()); // nothing was known before the first look
        QVERIFY(!watch.mayHaveChanged());

        const auto write = [](const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode) {
            QFile out(path);
            QVERIFY(out.open(mode));
            QCOMPARE(out.write(bytes), bytes.size());
        };
        if (change == u"neighbour") {
            write(folder + u"/Trivet.ini.tmp"_s, "x", QIODevice::WriteOnly);
        } else if (change == u"in place") {
            write(file, "x", QIODevice::ReadWrite);
        } else if (change == u"rename") {
            write(folder + u"/new.ini"_s, "x", QIODevice::WriteOnly);
            QVERIFY(QFile::remove(file));
            QVERIFY(QFile::rename(folder + u"/new.ini"_s, file));
        } else if (change == u"remove") {
            QVERIFY(QFile::remove(file));
        } else if (change == u"time") {
            QFile out(file);
            QVERIFY(out.open(QIODevice::ReadWrite));
            QVERIFY(out.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        } else if (change == u"case") {
            write(folder + u"/TRIVET.INI"_s, "x", QIODevice::WriteOnly);
        } else if (change == u"folder") {
            QVERIFY(QDir(folder).removeRecursively());
        }
        QCOMPARE(watch.mayHaveChanged(), seen);
        // Once told, a change is not told again; a watch that lost its folder says so every time.
        QCOMPARE(watch.mayHaveChanged(), change == u"folder");
    }

    void fileExistsOnlyForReadableFiles()
    {
        QTemporaryDir dir;
        touch(dir.filePath(u"present.exe"_s));
        QVERIFY(fileExists(dir.filePath(u"present.exe"_s)));
        QVERIFY(!fileExists(dir.filePath(u"missing.exe"_s)));
        QVERIFY(!fileExists(QString()));
        QVERIFY(!fileExists(dir.path()));
        // Letter case does not matter, as on the drives the catalogue was written for.
        QVERIFY(fileExists(dir.filePath(u"PRESENT.EXE"_s)));
    }

    // What the volume still takes, asked for by the target of a download: a file still to come, folders still
    // to be made, and a folder deeper than the Win32 calls take without help.
    void freeSpaceIsTheVolumes_data()
    {
        QTest::addColumn<QString>("below");
        QTest::addColumn<QString>("made");
        QTest::newRow("file to come") << u"file.zip"_s << QString();
        QTest::newRow("folders to come") << u"a/b/file.zip"_s << QString();
        const QString deep = QStringList(12, QString(24, u'd')).join(u'/');
        QTest::newRow("deeper than MAX_PATH") << deep + u"/file.zip"_s << deep;
    }

    void freeSpaceIsTheVolumes()
    {
        QFETCH(QString, below);
        QFETCH(QString, made);
        QTemporaryDir dir;
        QVERIFY(made.isEmpty() || QDir(dir.path()).mkpath(made));
        QVERIFY(!made.isEmpty() || QDir(dir.path()).exists());

        // Others write and free space meanwhile, so the answer is read between two of the volume's own figures and
        // must lie between them, give or take a few MiB; a busy moment is read again, a wrong answer never fits.
        const qint64 slack = qint64(16) << 20;
        qint64 bytes = -1, before = 0, after = 0;
        for (int attempt = 0; attempt < 50; ++attempt) {
            before = QStorageInfo(dir.path()).bytesAvailable();
            bytes = VolumeFreeSpace().bytesAvailable(dir.filePath(below));
            after = QStorageInfo(dir.path()).bytesAvailable();
            if (bytes >= qMin(before, after) - slack && bytes <= qMax(before, after) + slack)
                break;
        }
        QVERIFY2(bytes > 0 && bytes >= qMin(before, after) - slack && bytes <= qMax(before, after) + slack,
                 qPrintable(u"%1 bytes, the volume says %2 then %3"_s.arg(bytes).arg(before).arg(after)));
    }

    void pathsResolveLetterCase_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("tail");
        QTest::addColumn<QString>("expected");
        QTest::newRow("file") << u"putty.exe"_s << u"\\PuTTY.exe"_s << u"putty.exe"_s;
        QTest::newRow("folder and file") << u"Deepburn/DeepBurner.exe"_s << u"\\DeepBurn\\Deepburner.exe"_s
                                         << u"Deepburn/DeepBurner.exe"_s;
        QTest::newRow("exact wins") << u"Metapad/Metapad.exe"_s << u"\\Metapad\\Metapad.exe"_s
                                    << u"Metapad/Metapad.exe"_s;
        QTest::newRow("missing keeps the caller's spelling")
            << u"Trout/other.txt"_s << u"\\trout\\New Folder\\Trout.exe"_s << u"Trout/New Folder/Trout.exe"_s;
        QTest::newRow("doubled separator") << u"a.zip"_s << u"\\\\A.zip"_s << u"a.zip"_s;
    }

    void pathsResolveLetterCase()
    {
        QFETCH(QString, existing);
        QFETCH(QString, tail);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        touch(dir.filePath(existing));
        const AppFolder folder(dir.path());
        QCOMPARE(folder.path(tail), QDir::cleanPath(dir.filePath(expected)));
    }

    // What an interrupted write leaves beside a named file goes at the next start, whatever the letter case of
    // the name; anything else in the folder stays.
    void writeLeftoversGoAndNothingElse_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("removed");
        QTest::newRow("settings leftover") << u"Trivet.ini.Ab12Cd"_s << true;
        QTest::newRow("other letter case") << u"MPAD35.ZIP.x9Y8z7"_s << true;
        QTest::newRow("hidden name") << u".hidden.dat.abcdef"_s << true;
        QTest::newRow("the file itself") << u"Trivet.ini"_s << false;
        QTest::newRow("suffix too short") << u"Trivet.ini.Ab12C"_s << false;
        QTest::newRow("suffix too long") << u"Trivet.ini.Ab12Cde"_s << false;
        QTest::newRow("suffix not letters") << u"Trivet.ini.Ab-2Cd"_s << false;
        QTest::newRow("no dot before the suffix") << u"Trivet.iniXAb12Cd"_s << false;
        QTest::newRow("another file's leftover") << u"notes.txt.Ab12Cd"_s << false;
        QTest::newRow("a name that only ends alike") << u"myTrivet.ini.Ab12Cd"_s << false;
        QTest::newRow("in a subfolder") << u"sub/Trivet.ini.Ab12Cd"_s << false;
    }

    void writeLeftoversGoAndNothingElse()
    {
        QFETCH(QString, file);
        QFETCH(bool, removed);
        QTemporaryDir dir;
        touch(dir.filePath(file));
        // A folder under a leftover's name is no leftover.
        QVERIFY(QDir(dir.path()).mkdir(u"update.dat.Qw12Er"_s));
        QVERIFY(removeWriteLeftovers(dir.path(), {u"Trivet.ini"_s, u"mpad35.zip"_s, u".hidden.dat"_s, u"update.dat"_s})
                    .ok());
        QCOMPARE(QFileInfo::exists(dir.filePath(file)), !removed);
        QVERIFY(QFileInfo(dir.filePath(u"update.dat.Qw12Er"_s)).isDir());
    }

    // A tail that could reach outside the folder names nothing, even where the file it would reach exists;
    // leading separators of any number stand for the folder.
    void appFolderJoinsOnlyPathsBelowIt_data()
    {
        QTest::addColumn<QString>("tail");
        QTest::addColumn<QString>("expected"); // below the folder's parent; empty: refused
        QTest::newRow("below") << u"\\x.exe"_s << u"App/x.exe"_s;
        QTest::newRow("doubled leading separators") << u"\\\\Sub\\x.exe"_s << u"App/Sub/x.exe"_s;
        QTest::newRow("climbs out") << u"\\..\\x.exe"_s << QString();
        QTest::newRow("climbs out midway") << u"\\Sub\\..\\..\\x.exe"_s << QString();
        QTest::newRow("drive") << u"\\C:\\x.exe"_s << QString();
        QTest::newRow("control character") << u"\\x.exe\n"_s << QString();
    }

    void appFolderJoinsOnlyPathsBelowIt()
    {
        QFETCH(QString, tail);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        touch(dir.filePath(u"x.exe"_s));
        touch(dir.filePath(u"App/x.exe"_s));
        touch(dir.filePath(u"App/C:/x.exe"_s));
        const AppFolder folder(dir.filePath(u"App"_s));
        QCOMPARE(folder.path(tail), expected.isEmpty() ? QString() : QDir::cleanPath(dir.filePath(expected)));
    }

    // Settings values, command names and archive member names all pass these rules; the table holds what each
    // of them meets. expected is the name with '/' separators, empty when it is refused.
    void relativePathRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("options");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<Refusal>("refusal");

        const int file = int(Option::NamesFile);
        const int tail = int(Option::LeadingSeparator) | file;
        const QString refused;
        QTest::newRow("plain name") << u"Metapad"_s << 0 << u"Metapad"_s << Refusal::None;
        QTest::newRow("backslashes") << u"bin\\Spread32.exe"_s << file << u"bin/Spread32.exe"_s << Refusal::None;
        QTest::newRow("doubled and dot components") << u"a//./b\\\\c"_s << 0 << u"a/b/c"_s << Refusal::None;
        QTest::newRow("leading dot") << u"./a.zip"_s << file << u"a.zip"_s << Refusal::None;
        QTest::newRow("dot file") << u".profile"_s << file << u".profile"_s << Refusal::None;
        QTest::newRow("folder entry") << u"Basic/"_s << 0 << u"Basic"_s << Refusal::None;
        QTest::newRow("beyond ASCII") << u"Büro/Straße.txt"_s << file << u"Büro/Straße.txt"_s << Refusal::None;
        QTest::newRow("colon inside a name") << u"ab:c/d"_s << 0 << u"ab:c/d"_s << Refusal::None;
        QTest::newRow("tail") << u"\\FoxitReader\\Foxit.exe"_s << tail << u"FoxitReader/Foxit.exe"_s << Refusal::None;

        QTest::newRow("empty") << QString() << 0 << refused << Refusal::Empty;
        QTest::newRow("only dots") << u"./."_s << 0 << refused << Refusal::Empty;
        QTest::newRow("only a tail separator") << u"\\"_s << tail << refused << Refusal::Empty;
        QTest::newRow("dot-dot") << u"../evil.txt"_s << 0 << refused << Refusal::ParentStep;
        QTest::newRow("dot-dot alone") << u".."_s << 0 << refused << Refusal::ParentStep;
        QTest::newRow("dot-dot with backslashes") << u"..\\..\\.profile"_s << file << refused << Refusal::ParentStep;
        QTest::newRow("dot-dot midway") << u"sub/../../x.exe"_s << file << refused << Refusal::ParentStep;
        QTest::newRow("dot-dot staying inside") << u"a/../b"_s << 0 << refused << Refusal::ParentStep;
        QTest::newRow("absolute") << u"/tmp/evil.txt"_s << 0 << refused << Refusal::Absolute;
        QTest::newRow("absolute with backslash") << u"\\evil.txt"_s << 0 << refused << Refusal::Absolute;
        QTest::newRow("UNC") << u"\\\\server\\share\\evil.txt"_s << 0 << refused << Refusal::Unc;
        QTest::newRow("UNC as a tail") << u"\\\\server\\share"_s << tail << refused << Refusal::Unc;
        QTest::newRow("UNC with slashes") << u"//server/share"_s << 0 << refused << Refusal::Unc;
        QTest::newRow("drive") << u"C:\\evil.txt"_s << 0 << refused << Refusal::Drive;
        QTest::newRow("drive-relative") << u"c:evil.txt"_s << 0 << refused << Refusal::Drive;
        QTest::newRow("drive in a tail") << u"\\C:\\x"_s << tail << refused << Refusal::Drive;
        QTest::newRow("NUL") << QString(u"a"_s + QChar(0) + u"b"_s) << 0 << refused << Refusal::ControlCharacter;
        QTest::newRow("line feed") << u"a\nb"_s << 0 << refused << Refusal::ControlCharacter;
        QTest::newRow("DEL") << u"a\x7f"_s << 0 << refused << Refusal::ControlCharacter;
        QTest::newRow("file wanted, folder named") << u"tools\\"_s << file << refused << Refusal::NotAFile;
        QTest::newRow("file wanted, dot at the end") << u"tools/."_s << file << refused << Refusal::NotAFile;
        QTest::newRow("file wanted, only a dot") << u"."_s << file << refused << Refusal::Empty;
    }

    void relativePathRules()
    {
        QFETCH(QString, text);
        QFETCH(int, options);
        QFETCH(QString, expected);
        QFETCH(Refusal, refusal);

        Refusal found = Refusal::None;
        const auto path = RelativePath::parse(text, RelativePath::Options(QFlag(options)), &found);
        QCOMPARE(RelativePath::explain(found), RelativePath::explain(refusal));
        QCOMPARE(path ? path->toString() : QString(), expected);
        QCOMPARE(staysBelowFolder(text, RelativePath::Options(QFlag(options))), refusal == Refusal::None);

        // The extractor checks names as the file system's bytes; the verdict must be the same.
        const QByteArray utf8 = text.toUtf8();
        QStringList components;
        const Refusal bytes = RelativePath::split(
            std::string_view(utf8.constData(), std::size_t(utf8.size())), RelativePath::Options(QFlag(options)),
            RelativePath::ParentSteps::Refuse,
            [&](std::string_view part) { components.append(QString::fromUtf8(part.data(), part.size())); });
        QCOMPARE(RelativePath::explain(bytes), RelativePath::explain(refusal));
        if (path) {
            QCOMPARE(components, path->components());
        }
    }

    // Content decides before the name and the run bit (a FAT stick shows one on every file). A Windows program
    // goes to Wine with its arguments and the folder it would have had on its own; without Wine nothing starts.
    void windowsProgramsGoThroughWine_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("windows");
        QTest::newRow("MZ named .exe") << u"tool.exe"_s << Test::windowsProgram << true;
        QTest::newRow("MZ under another name") << u"setup.dat"_s << Test::windowsProgram << true;
        QTest::newRow("batch file by name") << u"RUN.BAT"_s << QByteArray("@echo off\r\n") << true;
        QTest::newRow("script named .exe") << u"tool.exe"_s << QByteArray("#!/bin/sh\n") << false;
        QTest::newRow("ELF named .com") << u"op.com"_s
                                        << QByteArray("\x7f"
                                                      "ELF")
                                        << false;
        QTest::newRow("text named .exe") << u"tool.exe"_s << QByteArray("program") << false;
    }

    void windowsProgramsGoThroughWine()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows starts its own programs; Wine is for Linux");
#endif
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, windows);
        QTemporaryDir dir;
        const QString program = dir.filePath(name);
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
        const ProcessStart request{program, {u"-x"_s, u"a b"_s}, {}, WindowStyle::Minimized};
        for (const bool withWine : {true, false}) {
            const Test::WineStandIn wine(withWine);
            auto recorder = std::make_shared<Test::RecordingProcessStarter>();
            WineProcessStarter starter(recorder, WineLocator());
            QCOMPARE(starter.startsWindowsPrograms(), withWine);
            const ProcessStart throughWine{wine.program(), QStringList{program} + request.arguments, dir.path(),
                                           WindowStyle::Minimized};
            const QList<ProcessStart> expected = !windows   ? QList{request}
                                                 : withWine ? QList{throughWine}
                                                            : QList<ProcessStart>();
            QCOMPARE(starter.start(request).status,
                     expected.isEmpty() ? StartResult::Status::NeedsWine : StartResult::Status::Started);
            QVERIFY(recorder->started == expected);
        }
    }

    // A Wine the settings name (one carried on the stick, relative to it) wins; one that cannot be run gives
    // way to the search path. The answer is found once and holds for the run.
    void wineIsFoundOnceWhereTheSettingsSay_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<bool>("onStick");
        QTest::newRow("carried on the stick") << u"Wine/wine"_s << true;
        QTest::newRow("named but missing") << u"/nowhere/wine"_s << false;
    }

    void wineIsFoundOnceWhereTheSettingsSay()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows starts its own programs; Wine is for Linux");
#endif
        QFETCH(QString, configured);
        QFETCH(bool, onStick);
        QTemporaryDir stick;
        touch(stick.filePath(u"Wine/wine"_s), QFile::ReadOwner | QFile::ExeOwner);
        const Test::WineStandIn wine;
        int asked = 0;
        const WineLocator locator(
            [&] {
                ++asked;
                return configured;
            },
            stick.path());
        const QString expected = onStick ? stick.filePath(u"Wine/wine"_s) : wine.program();
        QCOMPARE(locator.wine(), expected);
        const Test::WineStandIn gone(false);
        QCOMPARE(locator.wine(), expected);
        QCOMPARE(asked, 1);
    }

    void waitNeverReturnsEarly_data()
    {
        QTest::addColumn<int>("milliseconds");
        QTest::newRow("zero") << 0;
        QTest::newRow("short") << 150;
        QTest::newRow("longer") << 400;
    }

    void waitNeverReturnsEarly()
    {
        QFETCH(int, milliseconds);
        QElapsedTimer clock;
        clock.start();
        waitMilliseconds(milliseconds);
        QVERIFY(clock.elapsed() >= milliseconds);
    }

    void waitKeepsEventsFlowingWithoutBurningTheProcessor()
    {
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
        timer.start(50);

        const double cpuBefore = processCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        waitSeconds(1);
        const qint64 elapsed = clock.elapsed();
        const double cpuUsed = processCpuSeconds() - cpuBefore;

        QVERIFY(elapsed >= 1000);
        QVERIFY2(ticks >= 5, qPrintable(u"only %1 timer events during the wait"_s.arg(ticks)));
        QVERIFY2(cpuUsed < 0.2, qPrintable(u"%1 s of processor time during a 1 s wait"_s.arg(cpuUsed)));
    }

    void waitsCanNest()
    {
        bool innerDone = false;
        QTimer::singleShot(10, this, [&innerDone] {
            waitMilliseconds(100);
            innerDone = true;
        });
        QElapsedTimer clock;
        clock.start();
        waitMilliseconds(50);
        QVERIFY(clock.elapsed() >= 50);
        QTRY_VERIFY_WITH_TIMEOUT(innerDone, 2000);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
