#include "common/platform/ArchiveExtractor.h"
#include "common/platform/Extractor.h"
#include "common/platform/FreeSpace.h"
#include "common/platform/WorkFolder.h"
#include "common/platform/extract/StagedInstaller.h"
#include "common/platform/extract/StagingFolder.h"
#include "tests/support/ArchiveWriter.h"
#include "tests/support/ExtractAndWait.h"
#include "tests/support/SevenZipChain.h"
#include "tests/support/WriteProtection.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <csignal>
#include <memory>
#include <optional>
#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#endif
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;
using Trivet::Extractor;
using Trivet::ExtractResult;
using Trivet::ExtractStatus;
using Trivet::Test::ArchiveMember;
using Trivet::Test::ArchiveWriter;
using Trivet::Test::extractAndWait;

Q_DECLARE_METATYPE(Trivet::Test::ArchiveMember)

namespace {

// Every entry below root with its content, link target or "<dir>", without following links: two equal
// snapshots mean nothing was written, replaced or left behind.
QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        const QString relative = QDir(root).relativeFilePath(info.filePath());
        if (info.isSymLink()) {
            entries.insert(relative, "-> " + info.symLinkTarget().toUtf8());
        } else if (info.isDir()) {
            entries.insert(relative, "<dir>");
        } else {
            QFile file(info.filePath());
            entries.insert(relative, file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>");
        }
    }
    return entries;
}

QStringList filesBelow(const QString &root)
{
    QStringList files;
    const auto entries = snapshot(root);
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (it.value() != "<dir>") {
            files.append(it.key());
        }
    }
    return files;
}

// A file system link; QFile::link makes a shortcut on Windows, which is a plain file.
bool makeLink(const QString &target, const QString &link)
{
#ifdef Q_OS_WIN
    const QString native = QDir::toNativeSeparators(target);
    const bool folder = QFileInfo(QDir(QFileInfo(link).absolutePath()), target).isDir();
    return CreateSymbolicLinkW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(link).utf16()),
                               reinterpret_cast<const wchar_t *>(native.utf16()),
                               folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
#else
    return QFile::link(target, link);
#endif
}

// Whether links made in folder are reparse points to the system's own calls. Wine's are not, and its
// libarchive then writes a link member as no link at all: an archive whose refusal rests on a link it placed
// earlier cannot be refused for it there.
bool linksAreSeen(const QString &folder)
{
#ifdef Q_OS_WIN
    const QString link = folder + u"/link-probe"_s;
    const bool made = makeLink(folder, link);
    const DWORD attributes =
        GetFileAttributesW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(link).utf16()));
    if (made) {
        RemoveDirectoryW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(link).utf16()));
    }
    return made && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
#else
    Q_UNUSED(folder)
    return true;
#endif
}

QByteArray contentOf(const QString &name)
{
    return "content of " + name.toUtf8();
}

bool writeArchive(const QString &path, bool sevenZip, const QList<ArchiveMember> &members)
{
    return sevenZip ? ArchiveWriter::writeSevenZip(path, members) : ArchiveWriter::writeZip(path, members);
}

// A zip with one stored member, written byte by byte: the name is stored as given, and flags 0x0800 says it
// is UTF-8. "Made by" MS-DOS, as Windows tools write it, there is no Unix mode at all; "made by" Unix, as
// Info-ZIP (the zip of Linux and macOS) writes it, the mode is in the upper half of the attributes.
enum class MadeBy : quint8 { MsDos = 0, Unix = 3 };
QByteArray storedZip(const QByteArray &name, const QByteArray &data, quint16 flags = 0, MadeBy system = MadeBy::MsDos)
{
    QByteArray zip;
    QDataStream out(&zip, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 crc = Trivet::Test::crc32(data);
    out << quint32(0x04034b50) << quint16(10) << flags << quint16(0) << quint16(0) << quint16(0x21) << crc
        << quint32(data.size()) << quint32(data.size()) << quint16(name.size()) << quint16(0);
    out.writeRawData(name.constData(), int(name.size()));
    out.writeRawData(data.constData(), int(data.size()));
    const quint32 centralStart = quint32(zip.size());
    const quint32 attributes = system == MadeBy::Unix ? 0100644u << 16 : 0x20;
    out << quint32(0x02014b50) << quint16(quint16(system) << 8 | 20) << quint16(10) << flags << quint16(0) << quint16(0)
        << quint16(0x21) << crc << quint32(data.size()) << quint32(data.size()) << quint16(name.size()) << quint16(0)
        << quint16(0) << quint16(0) << quint16(0) << attributes << quint32(0);
    out.writeRawData(name.constData(), int(name.size()));
    const quint32 centralSize = quint32(zip.size()) - centralStart;
    out << quint32(0x06054b50) << quint16(0) << quint16(0) << quint16(1) << quint16(1) << centralSize << centralStart
        << quint16(0);
    return zip;
}

} // namespace

Q_DECLARE_METATYPE(MadeBy)

class tst_Extractor final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void installsWhereTheCommandSays_data();
    void installsWhereTheCommandSays();
    void replacesFilesAndKeepsOthers_data();
    void replacesFilesAndKeepsOthers();
    void keepsExecutableBits_data();
    void keepsExecutableBits();
    void windowsZipGetsOrdinaryPermissions();
    void undecodableNamesStayInside_data();
    void undecodableNamesStayInside();
    void hostileArchiveChangesNothing_data();
    void hostileArchiveChangesNothing();
    void brokenArchiveChangesNothing_data();
    void brokenArchiveChangesNothing();
    void methodTheLibraryCannotUnpackIsNamed_data();
    void methodTheLibraryCannotUnpackIsNamed();
    void failureWhileMovingRestoresEverything_data();
    void failureWhileMovingRestoresEverything();
    void fullDiskChangesNothing();
    void runReportsOnCallersThread_data();
    void runReportsOnCallersThread();
    void runAndWaitKeepsEventsFlowing();
    void parallelExtractionsKeepWorkingFolder();
    void extractionsIntoOneFolderTakeTurns();
    void cancelledExtractionChangesNothing();
    void unpackingIntoTheLauncherFolderStaysInside_data();
    void unpackingIntoTheLauncherFolderStaysInside();
    void fileAndFolderNeverReplaceEachOther_data();
    void fileAndFolderNeverReplaceEachOther();
    void unpackedSizeMustFitTheFreeSpace_data();
    void unpackedSizeMustFitTheFreeSpace();
    void removalsStayInsideTheDestination_data();
    void removalsStayInsideTheDestination();
    void killedInstallIsOldOrNewAtTheNextStart_data();
    void killedInstallIsOldOrNewAtTheNextStart();
    void placedFilesCarryTheDigestsOfTheirBytes_data();
    void placedFilesCarryTheDigestsOfTheirBytes();
    void membersLandWhateverTheirOrder_data();
    void membersLandWhateverTheirOrder();
    void programInUseIsReplacedOrKept_data();
    void programInUseIsReplacedOrKept();

private:
    QString app(const QString &relative = {}) const
    {
        const QString folder = m_root->path() + u"/app"_s;
        return relative.isEmpty() ? folder : folder + u'/' + relative;
    }
    void writeFile(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    std::unique_ptr<QTemporaryDir> m_root;
    // Absolute member names point here, so a test can see that nothing arrived.
    QTemporaryDir m_outside;
};

void tst_Extractor::initTestCase()
{
    QVERIFY(m_outside.isValid());
    // The plainest locale there is, as on a machine without LANG: names beyond ASCII must still arrive intact.
    QVERIFY(std::setlocale(LC_CTYPE, "C"));
}

void tst_Extractor::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    QVERIFY(QDir().mkpath(app()));
}

void tst_Extractor::installsWhereTheCommandSays_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("archive");
    QTest::addColumn<bool>("sevenZip");
    QTest::addColumn<QStringList>("members");
    QTest::addColumn<QString>("existingFolder");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("into -d folder") << u"\\unzip.exe -o -d Metapad mpad35.zip"_s << u"mpad35.zip"_s << false
                                    << QStringList{u"Metapad.exe"_s, u"help/readme.txt"_s} << QString()
                                    << QStringList{u"Metapad/Metapad.exe"_s, u"Metapad/help/readme.txt"_s};
    QTest::newRow("archive's own top folder")
        << u"\\unzip.exe -o rest2514.zip"_s << u"rest2514.zip"_s << false << QStringList{u"rest2514/restoration.exe"_s}
        << QString() << QStringList{u"rest2514/restoration.exe"_s};
    QTest::newRow("7za x -aoa") << u"\\7za.exe x -aoa PortFireFox.zip"_s << u"PortFireFox.zip"_s << true
                                << QStringList{u"FirefoxPortable/FirefoxPortable.exe"_s,
                                               u"FirefoxPortable/App/firefox.exe"_s}
                                << QString()
                                << QStringList{u"FirefoxPortable/App/firefox.exe"_s,
                                               u"FirefoxPortable/FirefoxPortable.exe"_s};
    QTest::newRow("name completed with .zip")
        << u"\\unzip.exe -o -d erunt erunt"_s << u"erunt.zip"_s << false << QStringList{u"erunt.exe"_s} << QString()
        << QStringList{u"erunt/erunt.exe"_s};
    QTest::newRow("archive found whatever its case")
        << u"\\unzip.exe -o -d FoxitReader Foxitreader.zip"_s << u"foxitreader.zip"_s << false
        << QStringList{u"Foxit Reader.exe"_s} << QString() << QStringList{u"FoxitReader/Foxit Reader.exe"_s};
    QTest::newRow("existing folder found whatever its case")
        << u"\\unzip.exe -o -d Deepburn Deepburn.zip"_s << u"Deepburn.zip"_s << false
        << QStringList{u"DeepBurner.exe"_s} << u"DeepBurn"_s << QStringList{u"DeepBurn/DeepBurner.exe"_s};
    QTest::newRow("names beyond ASCII") << u"\\unzip.exe -o -d Lösung Lösung.zip"_s << u"Lösung.zip"_s << false
                                        << QStringList{u"Büro/Straße.txt"_s} << QString()
                                        << QStringList{u"Lösung/Büro/Straße.txt"_s};
    QTest::newRow("7z names beyond ASCII")
        << u"\\7za.exe x -aoa Lösung.7z"_s << u"Lösung.7z"_s << true << QStringList{u"Büro/Straße.txt"_s} << QString()
        << QStringList{u"Büro/Straße.txt"_s};
    QTest::newRow("backslash separators")
        << u"\\unzip -o -d Spread32 Spread32.zip"_s << u"Spread32.zip"_s << false << QStringList{u"bin\\Spread32.exe"_s}
        << QString() << QStringList{u"Spread32/bin/Spread32.exe"_s};
    QTest::newRow("duplicate member names")
        << u"\\unzip.exe -o -d Dup dup.zip"_s << u"dup.zip"_s << false
        << QStringList{u"readme.txt"_s, u"bin/tool.exe"_s, u"readme.txt"_s, u"bin/tool.exe"_s} << QString()
        << QStringList{u"Dup/bin/tool.exe"_s, u"Dup/readme.txt"_s};
    QTest::newRow("7z duplicate member names")
        << u"\\7za.exe x -aoa dup.7z"_s << u"dup.7z"_s << true << QStringList{u"Dup/a.txt"_s, u"Dup/a.txt"_s}
        << QString() << QStringList{u"Dup/a.txt"_s};
    // Where names ignore letter case the existing folder is the member's folder; elsewhere a second one is made.
#ifdef Q_OS_WIN
    const QString caseFolder = u"Pkg/Data/readme.txt"_s;
#else
    const QString caseFolder = u"Pkg/data/readme.txt"_s;
#endif
    QTest::newRow("member differs in case from an existing folder")
        << u"\\unzip.exe -o -d Pkg pkg.zip"_s << u"pkg.zip"_s << false << QStringList{u"data/readme.txt"_s}
        << u"Pkg/Data"_s << QStringList{caseFolder};
}

void tst_Extractor::installsWhereTheCommandSays()
{
    QFETCH(QString, command);
    QFETCH(QString, archive);
    QFETCH(bool, sevenZip);
    QFETCH(QStringList, members);
    QFETCH(QString, existingFolder);
    QFETCH(QStringList, expected);

    QList<ArchiveMember> contents;
    for (const QString &name : members) {
        contents.append(ArchiveMember::file(name, contentOf(name)));
    }
    QVERIFY(writeArchive(app(archive), sevenZip, contents));
    if (!existingFolder.isEmpty()) {
        QVERIFY(QDir().mkpath(app(existingFolder)));
    }

    const ExtractResult result = extractAndWait(app(), command);

    QVERIFY2(result.ok(), qPrintable(result.message));
    QCOMPARE(result.filesWritten, members.size());
    QVERIFY(result.refused.isEmpty());
    for (const QString &installed : std::as_const(expected)) {
        QFile file(app(installed));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(filesBelow(app()).join(u", "_s)));
        QVERIFY(file.readAll().startsWith("content of "));
    }
    expected.append(archive);
    expected.sort();
    QCOMPARE(filesBelow(app()), expected);
    // No staging folder stays behind, neither beside the destination nor inside it.
    QCOMPARE(QDir(m_root->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{u"app"_s});
    QVERIFY(
        QDir(app()).entryList(QStringList{u".*"_s}, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

void tst_Extractor::replacesFilesAndKeepsOthers_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("sevenZip");
    QTest::addColumn<QString>("prefix");

    QTest::newRow("unzip -o") << u"\\unzip.exe -o -d Metapad mpad35.zip"_s << false << QString();
    QTest::newRow("7za -aoa") << u"\\7za.exe x -aoa mpad35.zip"_s << true << u"Metapad/"_s;
}

void tst_Extractor::replacesFilesAndKeepsOthers()
{
    QFETCH(QString, command);
    QFETCH(bool, sevenZip);
    QFETCH(QString, prefix);

    writeFile(app(u"Metapad/Metapad.exe"_s), "old program");
    writeFile(app(u"Metapad/Metapad.ini"_s), "the user's settings");
    writeFile(app(u"Metapad/lang/de.lng"_s), "old German");
    QVERIFY(writeArchive(app(u"mpad35.zip"_s), sevenZip,
                         {ArchiveMember::file(prefix + u"Metapad.exe"_s, "new program"),
                          ArchiveMember::file(prefix + u"lang/en.lng"_s, "new English")}));

    const ExtractResult result = extractAndWait(app(), command);

    QVERIFY2(result.ok(), qPrintable(result.message));
    const auto after = snapshot(app(u"Metapad"_s));
    QCOMPARE(after.value(u"Metapad.exe"_s), "new program");
    QCOMPARE(after.value(u"Metapad.ini"_s), "the user's settings");
    QCOMPARE(after.value(u"lang/de.lng"_s), "old German");
    QCOMPARE(after.value(u"lang/en.lng"_s), "new English");
    QCOMPARE(after.size(), 5);
}

void tst_Extractor::keepsExecutableBits_data()
{
    QTest::addColumn<bool>("sevenZip");
    QTest::newRow("zip") << false;
    QTest::newRow("7z") << true;
}

void tst_Extractor::keepsExecutableBits()
{
#ifdef Q_OS_WIN
    QSKIP("run bits and shell scripts are POSIX's; Windows runs programs by their name");
#endif
    QFETCH(bool, sevenZip);

    QVERIFY(writeArchive(app(u"tool.zip"_s), sevenZip,
                         {ArchiveMember::file(u"Tool/run.sh"_s, "#!/bin/sh\necho started from the stick\n", 0755),
                          ArchiveMember::file(u"Tool/notes.txt"_s, "plain text", 0644)}));
    const ExtractResult result = extractAndWait(app(), u"\\unzip.exe -o tool.zip"_s);
    QVERIFY2(result.ok(), qPrintable(result.message));

    QProcess process;
    process.start(app(u"Tool/run.sh"_s), {});
    QVERIFY2(process.waitForFinished(30000), qPrintable(process.errorString()));
    QCOMPARE(process.readAllStandardOutput(), "started from the stick\n");
    const QFile::Permissions exec = QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther;
    QVERIFY(!(QFileInfo(app(u"Tool/notes.txt"_s)).permissions() & exec));
}

void tst_Extractor::windowsZipGetsOrdinaryPermissions()
{
    writeFile(app(u"win.zip"_s), storedZip("Win/readme.txt", "made on Windows"));

    const ExtractResult result = extractAndWait(app(), u"\\unzip.exe -o win.zip"_s);

    QVERIFY2(result.ok(), qPrintable(result.message));
    const QFile::Permissions exec = QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther;
    const QFile::Permissions file = QFileInfo(app(u"Win/readme.txt"_s)).permissions();
    QVERIFY(file.testFlags(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    QVERIFY(!(file & exec));
    QVERIFY(QFileInfo(app(u"Win"_s)).permissions().testFlags(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(snapshot(app(u"Win"_s)).value(u"readme.txt"_s), "made on Windows");
}

void tst_Extractor::undecodableNamesStayInside_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<quint16>("flags");
    QTest::addColumn<QString>("installed"); // when the name can be read
    QTest::addColumn<MadeBy>("system");

    const quint16 utf8 = 0x0800;
    QTest::newRow("code page name") << QByteArray("Win/caf\x82 cr\x8ame.txt") << quint16(0)
                                    << u"Odd/Win/café crème.txt"_s << MadeBy::MsDos;
#ifdef Q_OS_WIN
    // Windows' libarchive hands out names only converted: a name without the flag is read in the DOS code page
    // that Windows zip tools write, whoever wrote it.
    const QString unflaggedUtf8 = u"Odd/╨ƒ╨░╨┐╨║╨░/╤ä╨░╨╣╨╗.txt"_s;
#else
    const QString unflaggedUtf8 = u"Odd/Папка/файл.txt"_s;
#endif
    QTest::newRow("unflagged UTF-8 name from Info-ZIP")
        << QByteArray("\xd0\x9f\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0/\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb.txt") << quint16(0)
        << unflaggedUtf8 << MadeBy::Unix;
    QTest::newRow("unflagged code page name from Info-ZIP")
        << QByteArray("Win/\x8e\x99\x9a.txt") << quint16(0) << u"Odd/Win/ÄÖÜ.txt"_s << MadeBy::Unix;
    QTest::newRow("flagged UTF-8 name") << QByteArray("Win/caf\xc3\xa9.txt") << utf8 << u"Odd/Win/café.txt"_s
                                        << MadeBy::MsDos;
    QTest::newRow("invalid UTF-8") << QByteArray("Win/\xff\xfe\x80.txt") << utf8 << QString() << MadeBy::MsDos;
    QTest::newRow("truncated sequence") << QByteArray("Win/abc\xe2\x82") << utf8 << QString() << MadeBy::MsDos;
    QTest::newRow("lone surrogate") << QByteArray("Win/\xed\xa0\x80.txt") << utf8 << QString() << MadeBy::MsDos;
    QTest::newRow("overlong dot-dot") << QByteArray("Win/\xc0\xae\xc0\xae/\xc0\xae\xc0\xae/evil.txt") << utf8
                                      << QString() << MadeBy::MsDos;
    QTest::newRow("overlong slash") << QByteArray("..\xc0\xaf"
                                                  "evil.txt")
                                    << utf8 << QString() << MadeBy::MsDos;
}

// A name without the UTF-8 flag is installed under its real name, whether UTF-8 (Info-ZIP) or in the DOS code
// page; one that is not UTF-8 although flagged so is refused with nothing changed; none is written elsewhere.
void tst_Extractor::undecodableNamesStayInside()
{
    QFETCH(QByteArray, name);
    QFETCH(quint16, flags);
    QFETCH(QString, installed);
    QFETCH(MadeBy, system);
    writeFile(app(u"odd.zip"_s), storedZip(name, "odd", flags, system));
    const auto before = snapshot(m_root->path());

    const ExtractResult result = extractAndWait(app(), u"\\unzip.exe -o -d Odd odd.zip"_s);

    const auto after = snapshot(m_root->path());
    QCOMPARE(result.ok(), !installed.isEmpty());
    if (result.ok()) {
        QCOMPARE(result.filesWritten, 1);
        QStringList added;
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            if (!before.contains(it.key())) {
                added.append(it.key());
            }
        }
        QVERIFY2(std::ranges::all_of(added, [](const QString &entry) { return entry.startsWith(u"app/Odd"_s); }),
                 qPrintable(added.join(u", "_s)));
        QCOMPARE(snapshot(m_root->path()).value(u"app/"_s + installed), QByteArray("odd"));
    } else {
        QVERIFY(!result.message.isEmpty());
        QCOMPARE(after, before);
    }
    QVERIFY(QDir(m_outside.path()).isEmpty());
}

void tst_Extractor::hostileArchiveChangesNothing_data()
{
    QTest::addColumn<bool>("sevenZip");
    QTest::addColumn<QList<ArchiveMember>>("members");

    const auto harmless = ArchiveMember::file(u"Pkg/readme.txt"_s, "harmless");
    const auto evil = [](const QString &name) { return ArchiveMember::file(name, "evil"); };
    QTest::newRow("dot-dot") << false << QList{harmless, evil(u"../evil.txt"_s)};
    QTest::newRow("dot-dot deeper down") << false << QList{harmless, evil(u"Pkg/sub/../../../evil.txt"_s)};
    QTest::newRow("dot-dot with backslashes") << false << QList{harmless, evil(u"..\\evil.txt"_s)};
    QTest::newRow("absolute") << false << QList{harmless, evil(m_outside.filePath(u"evil.txt"_s))};
    QTest::newRow("drive letter") << false << QList{harmless, evil(u"C:\\evil.txt"_s)};
    QTest::newRow("drive-relative") << false << QList{harmless, evil(u"C:evil.txt"_s)};
    QTest::newRow("UNC") << false << QList{harmless, evil(u"\\\\server\\share\\evil.txt"_s)};
    QTest::newRow("link leading out, file through it")
        << false << QList{harmless, ArchiveMember::symlink(u"out"_s, u"../../"_s), evil(u"out/evil.txt"_s)};
    QTest::newRow("link to an absolute folder")
        << false << QList{harmless, ArchiveMember::symlink(u"Pkg/etc"_s, m_outside.path())};
    QTest::newRow("file through an inside link")
        << false << QList{harmless, ArchiveMember::symlink(u"here"_s, u"Pkg"_s), evil(u"here/evil.txt"_s)};
    // Each link stays inside on its own; followed together, "t" leads one folder above the destination.
    QTest::newRow("link chain") << false
                                << QList{ArchiveMember::dir(u"d"_s), ArchiveMember::symlink(u"d/s"_s, u".."_s),
                                         ArchiveMember::symlink(u"t"_s, u"d/s/.."_s)};
    QTest::newRow("link chain, outer link first")
        << false
        << QList{ArchiveMember::symlink(u"t"_s, u"d/s/.."_s), ArchiveMember::dir(u"d"_s),
                 ArchiveMember::symlink(u"d/s"_s, u".."_s)};
    QTest::newRow("7z dot-dot") << true << QList{harmless, evil(u"../evil.txt"_s)};
    QTest::newRow("7z link leading out") << true
                                         << QList{harmless, ArchiveMember::symlink(u"out"_s, u"../.."_s),
                                                  evil(u"out/evil.txt"_s)};
}

void tst_Extractor::hostileArchiveChangesNothing()
{
    QFETCH(bool, sevenZip);
    QFETCH(QList<ArchiveMember>, members);

    const QList<QByteArrayView> restOnAPlacedLink = {"file through an inside link", "link chain",
                                                     "link chain, outer link first"};
    if (restOnAPlacedLink.contains(QTest::currentDataTag()) && !linksAreSeen(app())) {
        QSKIP("this system's links are not reparse points to its own calls (as Wine's are not)");
    }
    writeFile(app(u"Pkg/readme.txt"_s), "installed earlier");
    QVERIFY(writeArchive(app(u"pkg.zip"_s), sevenZip, members));
    const auto before = snapshot(m_root->path());
    const auto outsideBefore = snapshot(m_outside.path());

    const ExtractResult result = extractAndWait(app(), u"\\unzip.exe -o pkg.zip"_s);

    QCOMPARE(result.status, ExtractStatus::UnsafeMember);
    QVERIFY(!result.message.isEmpty());
    QVERIFY(!result.refused.isEmpty());
    QCOMPARE(result.filesWritten, 0);
    QCOMPARE(snapshot(m_root->path()), before);
    QCOMPARE(snapshot(m_outside.path()), outsideBefore);
}

void tst_Extractor::brokenArchiveChangesNothing_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("sevenZip");
    QTest::addColumn<ExtractStatus>("status");

    QTest::newRow("missing") << u"missing"_s << false << ExtractStatus::ArchiveMissing;
    QTest::newRow("empty file") << u"empty"_s << false << ExtractStatus::Damaged;
    QTest::newRow("not an archive") << u"garbage"_s << false << ExtractStatus::Damaged;
    QTest::newRow("truncated zip") << u"truncated"_s << false << ExtractStatus::Damaged;
    QTest::newRow("truncated 7z") << u"truncated"_s << true << ExtractStatus::Damaged;
    QTest::newRow("zip with a changed byte") << u"flipped"_s << false << ExtractStatus::Damaged;
    QTest::newRow("7z with a changed byte") << u"flipped"_s << true << ExtractStatus::Damaged;
}

void tst_Extractor::brokenArchiveChangesNothing()
{
    QFETCH(QString, damage);
    QFETCH(bool, sevenZip);
    QFETCH(ExtractStatus, status);

    // Random bytes do not compress, so they appear in the archive as they are and can be found there.
    QByteArray noise(256 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    writeFile(app(u"Pkg/Pkg.exe"_s), "installed earlier");
    const QString archive = app(u"pkg.zip"_s);
    QVERIFY(writeArchive(archive, sevenZip,
                         {ArchiveMember::file(u"Pkg.exe"_s, "new program"), ArchiveMember::file(u"data.bin"_s, noise),
                          ArchiveMember::file(u"zz-last.txt"_s, "last member")}));
    QFile file(archive);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    if (damage == u"missing") {
        QVERIFY(file.remove());
    } else if (damage == u"empty") {
        QVERIFY(file.resize(0));
    } else if (damage == u"garbage") {
        QVERIFY(file.resize(0));
        file.write(noise.left(4096));
    } else if (damage == u"truncated") {
        QVERIFY(file.resize(bytes.size() / 2));
    } else if (damage == u"flipped") {
        // In the middle of the noise: in a zip it is stored as it is, in a 7z it is the middle of the stream.
        const qsizetype stored = bytes.indexOf(noise.mid(100000, 32));
        const qsizetype at = stored > 0 ? stored : bytes.size() / 2;
        bytes[at] = char(~bytes[at]);
        file.seek(0);
        file.write(bytes);
    }
    file.close();
    const auto before = snapshot(m_root->path());

    const ExtractResult result = extractAndWait(app(), u"\\unzip.exe -o -d Pkg pkg.zip"_s);

    QCOMPARE(result.status, status);
    QVERIFY(!result.message.isEmpty());
    QCOMPARE(result.filesWritten, 0);
    QCOMPARE(snapshot(m_root->path()), before);
}

void tst_Extractor::methodTheLibraryCannotUnpackIsNamed_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("compressedHeader");
    QTest::addColumn<bool>("damagedHeader");
    QTest::addColumn<ExtractStatus>("status");

    // PPMd has output left after its last input byte whenever the data repeats; libarchive then ends short.
    const QByteArray text = QByteArray("a program's text, over and over. ").repeated(200);
    QByteArray noise(4096, Qt::Uninitialized);
    QRandomGenerator generator(7);
    std::ranges::generate(noise, [&generator] { return char(generator.bounded(0xE8)); });
    QTest::newRow("PPMd with BCJ") << text << false << false << ExtractStatus::Unsupported;
    QTest::newRow("PPMd with BCJ, compressed header") << text << true << false << ExtractStatus::Unsupported;
    QTest::newRow("PPMd with BCJ that the library unpacks") << noise << true << false << ExtractStatus::Success;
    QTest::newRow("PPMd with BCJ, damaged header") << text << false << true << ExtractStatus::Damaged;
}

// 7z method chains libarchive accepts but cannot unpack are named as such, not as damage; an archive with
// such a chain that it does unpack installs, and one whose header is damaged stays damaged.
void tst_Extractor::methodTheLibraryCannotUnpackIsNamed()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, compressedHeader);
    QFETCH(bool, damagedHeader);
    QFETCH(ExtractStatus, status);
    QByteArray archive = Trivet::Test::ppmdWithBcjSevenZip(u"Pkg.exe"_s, data, compressedHeader);
    QVERIFY(!archive.isEmpty());
    if (damagedHeader) {
        archive[archive.size() - 8] = char(~archive[archive.size() - 8]);
    }
    writeFile(app(u"pkg.7z"_s), archive);
    const auto before = snapshot(m_root->path());

    const ExtractResult result = extractAndWait(app(), u"\\7za.exe x -aoa pkg.7z"_s);

    QCOMPARE(result.status, status);
    if (result.ok()) {
        QCOMPARE(snapshot(app()).value(u"Pkg.exe"_s), data);
    } else {
        QCOMPARE(snapshot(m_root->path()), before);
    }
    if (status == ExtractStatus::Unsupported) {
        QVERIFY2(result.message.contains(u"PPMd with the x86 BCJ filter"_s), qPrintable(result.message));
    }
}

void tst_Extractor::failureWhileMovingRestoresEverything_data()
{
    QTest::addColumn<QString>("last");
    QTest::addColumn<bool>("protectFolder");

    // Found while the moves are planned, before the first one.
    QTest::newRow("file meets folder") << u"z"_s << false;
    // Found only by the rename itself, after the ones before it were made.
    QTest::newRow("folder refuses a file") << u"z/new.txt"_s << true;
}

void tst_Extractor::failureWhileMovingRestoresEverything()
{
    QFETCH(QString, last);
    QFETCH(bool, protectFolder);

    writeFile(app(u"Pkg/a.txt"_s), "old a");
    writeFile(app(u"Pkg/z/user.txt"_s), "the user's file");
    // Moved in name order: "a.txt" is replaced and "m.txt" added before the last member meets "z".
    QVERIFY(ArchiveWriter::writeZip(app(u"pkg.zip"_s),
                                    {ArchiveMember::file(u"a.txt"_s, "new a"), ArchiveMember::file(u"m.txt"_s, "new m"),
                                     ArchiveMember::file(last, "the last member")}));
    const auto before = snapshot(m_root->path());

    ExtractResult result;
    {
        std::optional<Trivet::Test::WriteProtection> protection;
        if (protectFolder) {
            protection.emplace(app(u"Pkg/z"_s));
            QFile probe(app(u"Pkg/z/probe"_s));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QSKIP("neither permissions nor an immutable flag keep this process from writing");
            }
        }
        result = extractAndWait(app(), u"\\unzip.exe -o -d Pkg pkg.zip"_s);
    }

    QCOMPARE(result.status, ExtractStatus::WriteFailed);
    QVERIFY(!result.message.isEmpty());
    QCOMPARE(snapshot(m_root->path()), before);
}

void tst_Extractor::fullDiskChangesNothing()
{
    writeFile(app(u"Pkg/Pkg.exe"_s), "installed earlier");
    QVERIFY(ArchiveWriter::writeZip(app(u"pkg.zip"_s), {ArchiveMember::file(u"Pkg.exe"_s, "new program"),
                                                        ArchiveMember::file(u"big.bin"_s, QByteArray(1 << 20, 'x'))}));
    const auto before = snapshot(m_root->path());

#ifndef Q_OS_UNIX
    QSKIP("a per-process file size limit is POSIX's; Windows has none to make writes fail like a full stick");
#else
    // A file size limit makes writes fail the way a full stick does, without needing a full stick.
    struct rlimit previous = {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = previous;
    small.rlim_cur = 64 * 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const ExtractResult result = extractAndWait(app(), u"\\unzip.exe -o -d Pkg pkg.zip"_s);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(result.status, ExtractStatus::NoSpace);
    QVERIFY2(result.message.contains(u"big.bin"_s), qPrintable(result.message));
    QCOMPARE(snapshot(m_root->path()), before);
#endif
}

void tst_Extractor::runReportsOnCallersThread_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<ExtractStatus>("status");

    QTest::newRow("extraction") << u"\\unzip.exe -o -d X x.zip"_s << ExtractStatus::Success;
    QTest::newRow("missing archive") << u"\\unzip.exe -o -d X nothing.zip"_s << ExtractStatus::ArchiveMissing;
    QTest::newRow("command not understood") << u"\\tar.exe -xf x.zip"_s << ExtractStatus::BadCommand;
}

void tst_Extractor::runReportsOnCallersThread()
{
    QFETCH(QString, command);
    QFETCH(ExtractStatus, status);

    QVERIFY(ArchiveWriter::writeZip(app(u"x.zip"_s), {ArchiveMember::file(u"x.txt"_s, "x")}));
    Extractor extractor;
    QThread *reportedOn = nullptr;
    connect(&extractor, &Extractor::finished, this, [&reportedOn] { reportedOn = QThread::currentThread(); });
    QSignalSpy spy(&extractor, &Extractor::finished);

    extractor.run(app(), command);
    QCOMPARE(spy.size(), 0);
    QVERIFY(spy.wait(30000));

    QCOMPARE(reportedOn, QThread::currentThread());
    QCOMPARE(spy.first().first().value<ExtractResult>().status, status);
    QCOMPARE(QFileInfo::exists(app(u"X/x.txt"_s)), status == ExtractStatus::Success);
    QTest::qWait(50);
    QCOMPARE(spy.size(), 1);
}

void tst_Extractor::runAndWaitKeepsEventsFlowing()
{
    QList<ArchiveMember> members;
    const QByteArray block(1024 * 1024, 'q');
    for (int i = 0; i < 48; ++i) {
        members.append(ArchiveMember::file(u"Big/part%1.bin"_s.arg(i), block));
    }
    QVERIFY(ArchiveWriter::writeZip(app(u"big.zip"_s), members));

    bool returned = false;
    int ticksWhileRunning = 0;
    QTimer timer;
    timer.setInterval(1);
    connect(&timer, &QTimer::timeout, this, [&] {
        if (!returned) {
            ++ticksWhileRunning;
        }
    });
    timer.start();

    const ExtractResult result = extractAndWait(app(), u"\\unzip.exe -o big.zip"_s);
    returned = true;

    QVERIFY2(result.ok(), qPrintable(result.message));
    QCOMPARE(result.filesWritten, 48);
    QVERIFY(ticksWhileRunning > 0);
}

void tst_Extractor::parallelExtractionsKeepWorkingFolder()
{
    const QString workingFolder = QDir::currentPath();
    QVERIFY(ArchiveWriter::writeZip(app(u"a.zip"_s), {ArchiveMember::file(u"A/a.txt"_s, "a")}));
    QVERIFY(ArchiveWriter::writeSevenZip(app(u"b.7z"_s), {ArchiveMember::file(u"B/b.txt"_s, "b")}));

    ExtractResult first;
    ExtractResult second;
    std::unique_ptr<QThread> thread(
        QThread::create([&] { first = Trivet::ArchiveExtractor().extract(app(u"a.zip"_s), app(u"One"_s)); }));
    thread->start();
    second = Trivet::ArchiveExtractor().extract(app(u"b.7z"_s), app(u"Two"_s));
    QVERIFY(thread->wait(30000));

    QVERIFY2(first.ok(), qPrintable(first.message));
    QVERIFY2(second.ok(), qPrintable(second.message));
    QVERIFY(QFileInfo::exists(app(u"One/A/a.txt"_s)));
    QVERIFY(QFileInfo::exists(app(u"Two/B/b.txt"_s)));
    QCOMPARE(QDir::currentPath(), workingFolder);
}

void tst_Extractor::unpackingIntoTheLauncherFolderStaysInside_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<ExtractStatus>("status");
    QTest::newRow("a program") << u"Portable/Program.exe"_s << ExtractStatus::Success;
    QTest::newRow("a member named like the work folder") << u".trivet-work/evil.txt"_s << ExtractStatus::UnsafeMember;
}

// Packages for the launcher's own folder are staged in its hidden work folder, not beside it: on a stick
// the folder beside it is the user's drive.
void tst_Extractor::unpackingIntoTheLauncherFolderStaysInside()
{
    QFETCH(QString, member);
    QFETCH(ExtractStatus, status);
    QVERIFY(ArchiveWriter::writeZip(app(u"pkg.zip"_s), {ArchiveMember::file(member, "x")}));

    const ExtractResult result = extractAndWait(app(), u"\\7za.exe x -aoa pkg.zip"_s);

    QCOMPARE(result.status, status);
    QCOMPARE(QDir(m_root->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{u"app"_s});
    QVERIFY(!QFileInfo::exists(app(u".trivet-work"_s)) || status != ExtractStatus::Success);
    QCOMPARE(QFileInfo::exists(app(member)), status == ExtractStatus::Success);

    // While it works, the staging folder is inside the work folder.
    Trivet::Extract::StagingFolder staging;
    QVERIFY(staging.prepare(app(), Trivet::workFolder(app())).ok());
    const QString stagedIn = QFileInfo(QString::fromStdU16String(staging.root().u16string())).absolutePath();
    QCOMPARE(stagedIn, QFileInfo(Trivet::workFolder(app())).canonicalFilePath());
}

// The launcher closing while it unpacks: the extraction stops and the folder is as it was.
void tst_Extractor::cancelledExtractionChangesNothing()
{
    writeFile(app(u"Pkg/Pkg.exe"_s), "installed earlier");
    QList<ArchiveMember> members;
    for (int i = 0; i < 200; ++i) {
        members.append(ArchiveMember::file(u"Data/file%1.txt"_s.arg(i), "new"));
    }
    members.append(ArchiveMember::file(u"Pkg.exe"_s, "new program"));
    QVERIFY(ArchiveWriter::writeZip(app(u"pkg.zip"_s), members));
    const auto before = snapshot(m_root->path());

    const std::atomic_bool cancelled{true};
    const ExtractResult result = Trivet::ArchiveExtractor(&cancelled).extract(app(u"pkg.zip"_s), app(u"Pkg"_s));
    QCOMPARE(result.status, ExtractStatus::Cancelled);
    QCOMPARE(snapshot(m_root->path()), before);

    // Closing while an extraction runs ends it, and leaves the folder old or new, never a mix.
    auto extractor = std::make_unique<Extractor>();
    extractor->run(app(), u"\\unzip.exe -o -d Pkg pkg.zip"_s);
    extractor.reset();
    QFile program(app(u"Pkg/Pkg.exe"_s));
    QVERIFY(program.open(QIODevice::ReadOnly));
    const bool old = snapshot(m_root->path()) == before;
    const bool complete = program.readAll() == "new program" && QFileInfo::exists(app(u"Pkg/Data/file0.txt"_s)) &&
                          QFileInfo::exists(app(u"Pkg/Data/file199.txt"_s));
    QVERIFY2(old || complete, "the folder holds a mix of the old and the new program");
}

void tst_Extractor::fileAndFolderNeverReplaceEachOther_data()
{
    QTest::addColumn<bool>("folderOverFile");
    QTest::newRow("folder in the archive, file on the drive") << true;
    QTest::newRow("file in the archive, folder on the drive") << false;
}

void tst_Extractor::fileAndFolderNeverReplaceEachOther()
{
    QFETCH(bool, folderOverFile);
    if (folderOverFile) {
        writeFile(app(u"Pkg/notes"_s), "the user's own notes");
    } else {
        writeFile(app(u"Pkg/notes/today.txt"_s), "the user's own notes");
    }
    QList<ArchiveMember> members{ArchiveMember::file(u"Pkg.exe"_s, "new program")};
    members.append(folderOverFile ? ArchiveMember::file(u"notes/readme.txt"_s, "packaged")
                                  : ArchiveMember::file(u"notes"_s, "packaged"));
    QVERIFY(ArchiveWriter::writeZip(app(u"pkg.zip"_s), members));
    const auto before = snapshot(m_root->path());

    const ExtractResult result = extractAndWait(app(), u"\\unzip.exe -o -d Pkg pkg.zip"_s);

    QCOMPARE(result.status, ExtractStatus::WriteFailed);
    QCOMPARE(snapshot(m_root->path()), before);
}

void tst_Extractor::removalsStayInsideTheDestination_data()
{
    QTest::addColumn<QString>("removal");
    QTest::addColumn<QStringList>("removed"); // what goes; a failed install removes nothing
    QTest::addColumn<bool>("ok");

    QTest::newRow("a file") << u"old.txt"_s << QStringList{u"old.txt"_s} << true;
    QTest::newRow("a link") << u"latest"_s << QStringList{u"latest"_s} << true;
    QTest::newRow("a folder") << u"notes"_s << QStringList() << true;
    QTest::newRow("nothing there") << u"gone.txt"_s << QStringList() << true;
    QTest::newRow("a file the package brings") << u"Pkg.exe"_s << QStringList() << true;
    QTest::newRow("outside") << u"../outside.txt"_s << QStringList() << false;
    QTest::newRow("absolute") << u"/outside.txt"_s << QStringList() << false;
    QTest::newRow("behind a link") << u"linked/outside.txt"_s << QStringList() << false;
}

// The files an update removes lie inside the program's folder: a removal that would reach out of it, by a name or
// through a folder that became a link, refuses the whole install; folders are never removed.
void tst_Extractor::removalsStayInsideTheDestination()
{
    QFETCH(QString, removal);
    QFETCH(QStringList, removed);
    QFETCH(bool, ok);

    writeFile(app(u"outside.txt"_s), "not the program's");
    writeFile(app(u"Pkg/Pkg.exe"_s), "old program");
    writeFile(app(u"Pkg/old.txt"_s), "old");
    writeFile(app(u"Pkg/notes/today.txt"_s), "the user's notes");
    QVERIFY(makeLink(u"old.txt"_s, app(u"Pkg/latest"_s)));
    QVERIFY(makeLink(app(), app(u"Pkg/linked"_s)));
#ifdef Q_OS_WIN
    const DWORD attributes =
        GetFileAttributesW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(app(u"Pkg/linked"_s)).utf16()));
    if ((attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) &&
        QByteArrayView(QTest::currentDataTag()).contains("link")) {
        QSKIP("this system's links are not reparse points to its own calls (as Wine's are not)");
    }
#endif
    QVERIFY(ArchiveWriter::writeZip(app(u"pkg.zip"_s), {ArchiveMember::file(u"Pkg.exe"_s, "new program")}));
    const auto before = snapshot(m_root->path());
    Trivet::ExtractOptions options;
    options.changeStaged = [&](const QString &, const QList<Trivet::PlacedFile> &) {
        return Trivet::StagedChanges{{}, {removal.startsWith(u'/') ? app() + removal : removal}};
    };

    const ExtractResult result = Trivet::ArchiveExtractor().extract(app(u"pkg.zip"_s), app(u"Pkg"_s), options);

    QCOMPARE(result.ok(), ok);
    QCOMPARE(result.removed, removed);
    auto expected = before;
    if (ok) {
        expected.insert(u"app/Pkg/Pkg.exe"_s, "new program");
    }
    for (const QString &file : removed) {
        expected.remove(u"app/Pkg/"_s + file);
    }
    QCOMPARE(snapshot(m_root->path()), expected);
}

// Two packages that unpack into the same new folder tree, as the entries that unpack into the launcher's own
// folder do: both must arrive whole, whichever reaches the folders first.
void tst_Extractor::extractionsIntoOneFolderTakeTurns()
{
    QList<ArchiveMember> left;
    QList<ArchiveMember> right;
    for (int i = 0; i < 40; ++i) {
        left.append(ArchiveMember::file(u"Shared/Deep/Tree%1/left.txt"_s.arg(i), "left"));
        right.append(ArchiveMember::file(u"Shared/Deep/Tree%1/right.txt"_s.arg(i), "right"));
    }
    QVERIFY(ArchiveWriter::writeZip(app(u"left.zip"_s), left));
    QVERIFY(ArchiveWriter::writeZip(app(u"right.zip"_s), right));

    for (int round = 0; round < 10; ++round) {
        const QString target = app(u"Target%1"_s.arg(round));
        ExtractResult first;
        ExtractResult second;
        std::unique_ptr<QThread> thread(
            QThread::create([&] { first = Trivet::ArchiveExtractor().extract(app(u"left.zip"_s), target); }));
        thread->start();
        second = Trivet::ArchiveExtractor().extract(app(u"right.zip"_s), target);
        QVERIFY(thread->wait(30000));
        QVERIFY2(first.ok(), qPrintable(first.message));
        QVERIFY2(second.ok(), qPrintable(second.message));
        QVERIFY(QFileInfo::exists(target + u"/Shared/Deep/Tree39/left.txt"_s));
        QVERIFY(QFileInfo::exists(target + u"/Shared/Deep/Tree39/right.txt"_s));
    }
}

void tst_Extractor::unpackedSizeMustFitTheFreeSpace_data()
{
    QTest::addColumn<qint64>("freeSpace");
    QTest::addColumn<ExtractStatus>("status");
    // 64 MiB of zeros pack into a few hundred kilobytes.
    QTest::newRow("unpacks to more than is free") << qint64(32) * 1024 * 1024 << ExtractStatus::NoSpace;
    QTest::newRow("fits with room to spare") << qint64(128) * 1024 * 1024 << ExtractStatus::Success;
}

void tst_Extractor::unpackedSizeMustFitTheFreeSpace()
{
    QFETCH(qint64, freeSpace);
    QFETCH(ExtractStatus, status);
    writeFile(app(u"Pkg/Pkg.exe"_s), "installed earlier");
    QVERIFY(
        ArchiveWriter::writeZip(app(u"bomb.zip"_s), {ArchiveMember::file(u"Pkg.exe"_s, "new program"),
                                                     ArchiveMember::file(u"zeros.bin"_s, QByteArray(64 << 20, 0))}));
    QVERIFY(QFileInfo(app(u"bomb.zip"_s)).size() < 1024 * 1024);
    const auto before = snapshot(m_root->path());

    const ExtractResult result = Trivet::ArchiveExtractor(nullptr, Trivet::workFolder(app()),
                                                          std::make_shared<Trivet::FixedFreeSpace>(freeSpace))
                                     .extract(app(u"bomb.zip"_s), app(u"Pkg"_s));

    QCOMPARE(result.status, status);
    if (status == ExtractStatus::NoSpace) {
        QCOMPARE(snapshot(m_root->path()), before);
    } else {
        QCOMPARE(QFileInfo(app(u"Pkg/zeros.bin"_s)).size(), qint64(64 << 20));
    }
}

void tst_Extractor::killedInstallIsOldOrNewAtTheNextStart_data()
{
    QTest::addColumn<bool>("hardLinks");
    QTest::addColumn<bool>("update");
    QTest::newRow("hard links") << true << false;
    // As on FAT: a replaced file's second name is a copy.
    QTest::newRow("no hard links") << false << false;
    // Over an earlier install: files the package no longer has go, and a file the user changed stays, the
    // package's version going in beside it, all in the one transaction.
    QTest::newRow("update") << true << true;
}

// A process installing over an older version is killed at random moments, half of them while it moves files
// into place, after the first moves. Whatever the moment, no file it replaces is ever missing (the launcher
// itself may be one), and the next start leaves the folder exactly as before or exactly as after, with nothing
// of the install left over; the install then succeeds.
void tst_Extractor::killedInstallIsOldOrNewAtTheNextStart()
{
    QFETCH(bool, hardLinks);
    QFETCH(bool, update);
    // Under the sanitizers each install takes several times as long; fewer kills still reach every phase.
    // The update's own steps are few beside the package's; fewer kills reach each of its phases too.
    const int Kills = qEnvironmentVariableIsSet("TRIVET_SANITIZED") ? 6 : update ? 8 : 20;
    constexpr int Replaced = 200;
    QMap<QString, QByteArray> oldFiles{{u"Prog/profile/bookmarks.html"_s, "the user's bookmarks"},
                                       {u"Prog/Prog.exe"_s, "old program"}};
    QList<ArchiveMember> members{ArchiveMember::file(u"Prog.exe"_s, "new program")};
    for (int i = 0; i < Replaced; ++i) {
        oldFiles.insert(u"Prog/data/%1/file%2.txt"_s.arg(i % 10).arg(i), "old " + QByteArray::number(i));
        members.append(ArchiveMember::file(u"data/%1/file%2.txt"_s.arg(i % 10).arg(i), "new " + QByteArray::number(i)));
        members.append(ArchiveMember::file(u"added/%1/file%2.txt"_s.arg(i % 10).arg(i), QByteArray(2000, 'n')));
    }
    QStringList changes; // the child's options
    QStringList removed; // below the application folder
    if (update) {
        // The user changed file0.txt; an older new version of it waits beside it.
        oldFiles.insert(u"Prog/data/0/file0.txt"_s, "the user's file0");
        oldFiles.insert(u"Prog/data/0/file0.txt.new"_s, "an older new 0");
        changes << u"--keep-aside"_s << u"data/0/file0.txt"_s;
        for (int i = 0; i < Replaced / 4; ++i) {
            const QString gone = u"old/%1/gone%2.txt"_s.arg(i % 10).arg(i);
            oldFiles.insert(u"Prog/"_s + gone, "gone " + QByteArray::number(i));
            changes << u"--remove"_s << gone;
            removed << u"Prog/"_s + gone;
        }
    }
    QVERIFY(ArchiveWriter::writeZip(app(u"prog.zip"_s), members));
    const auto resetToOld = [&] {
        QVERIFY(QDir(app(u"Prog"_s)).removeRecursively());
        for (auto it = oldFiles.cbegin(); it != oldFiles.cend(); ++it) {
            writeFile(app(it.key()), it.value());
        }
    };
    const auto install = [&](QProcess &child) {
        QStringList arguments = changes + QStringList{app(), app(u"prog.zip"_s), app(u"Prog"_s)};
        if (!hardLinks) {
            arguments.prepend(u"--no-hard-links"_s);
        }
        child.start(QStringLiteral(TRIVET_INSTALL_CHILD), arguments);
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
    };
    // The journal appears when the files are staged and the moves are about to begin.
    const auto moving = [&] {
        return !QDir(Trivet::workFolder(app())).entryList({u"*.journal"_s}, QDir::Files).isEmpty();
    };
    const auto waitUntilMoving = [&](QProcess &child) {
        while (!moving() && child.state() == QProcess::Running) {
            QThread::usleep(200);
        }
    };
    // "Prog.exe" is replaced and "added" moved in first of all (moves go in name order), so a kill from here on
    // leaves moves that must be undone, however busy the machine.
    const auto waitUntilMoved = [&](QProcess &child) {
        waitUntilMoving(child);
        while (!QFileInfo::exists(app(u"Prog/added"_s)) && child.state() == QProcess::Running) {
            QThread::usleep(200);
        }
    };

    resetToOld();
    const auto oldState = snapshot(m_root->path());
    const auto oldProgram = snapshot(app(u"Prog"_s));
    // The file system's own account of the uninterrupted install: the program's name is replaced by a rename
    // over it, never taken away first, so there is no instant without it. Only Linux gives that account.
#ifdef Q_OS_LINUX
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(app(u"Prog"_s)).constData(), IN_MOVED_FROM | IN_DELETE) >= 0);
#endif
    QElapsedTimer clock;
    QProcess whole;
    clock.start();
    install(whole);
    waitUntilMoving(whole);
    const qint64 staged = clock.elapsed();
    while (moving() && whole.state() == QProcess::Running) {
        QThread::usleep(200);
    }
    const qint64 moved = clock.elapsed();
    QVERIFY(whole.waitForFinished(60000));
    const qint64 duration = clock.elapsed();
    QCOMPARE(whole.exitCode(), 0);
    QStringList leftTheirName;
#ifdef Q_OS_LINUX
    alignas(inotify_event) char events[64 * 1024];
    for (ssize_t size; (size = read(watch, events, sizeof events)) > 0;) {
        for (ssize_t at = 0; at < size;) {
            const auto *event = reinterpret_cast<const inotify_event *>(events + at);
            leftTheirName.append(QString::fromUtf8(event->len > 0 ? event->name : ""));
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    close(watch);
#endif
    QCOMPARE(leftTheirName, QStringList());
    const auto newState = snapshot(m_root->path());
    // After = before overlaid with every member of the package: what the package does not name stays.
    QCOMPARE(newState.value(u"app/Prog/profile/bookmarks.html"_s), QByteArray("the user's bookmarks"));
    QCOMPARE(newState.value(u"app/Prog/data/7/file197.txt"_s), QByteArray("new 197"));
    QCOMPARE(newState.size(), oldState.size() + Replaced + 11 - removed.size());
    if (update) {
        QCOMPARE(newState.value(u"app/Prog/data/0/file0.txt"_s), QByteArray("the user's file0"));
        QCOMPARE(newState.value(u"app/Prog/data/0/file0.txt.new"_s), QByteArray("new 0"));
        QVERIFY(!newState.contains(u"app/Prog/old/3/gone13.txt"_s));
    }

    QRandomGenerator random(20261207);
    int sawOld = 0;
    int sawNew = 0;
    int interruptedMoves = 0;
    int mixedBeforeStart = 0;
    int undone = 0;
    const auto newProgram = snapshot(app(u"Prog"_s));
    for (int kill = 0; kill < Kills; ++kill) {
        resetToOld();
        QProcess child;
        install(child);
        if (kill % 4 == 1) {
            waitUntilMoved(child);
        } else if (kill % 4 == 3) {
            waitUntilMoving(child);
            QThread::usleep(random.bounded(quint32(moved - staged + 1) * 1000));
        } else {
            QThread::usleep(random.bounded(quint32(duration + 1) * 1000));
        }
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        interruptedMoves += moving() ? 1 : 0;
        for (auto it = oldFiles.cbegin(); it != oldFiles.cend(); ++it) {
            // A file that goes waits in the backup until the next start decides.
            QVERIFY2(removed.contains(it.key()) || QFileInfo::exists(app(it.key())),
                     qPrintable(u"kill %1 left no %2"_s.arg(kill).arg(it.key())));
        }
        const auto program = snapshot(app(u"Prog"_s));
        mixedBeforeStart += program != oldProgram && program != newProgram ? 1 : 0;
        const bool needsUndo = moving() && program != oldProgram;
        undone += needsUndo ? 1 : 0;

        QVERIFY(Trivet::removeWorkLeftovers(app()).ok());
        const auto state = snapshot(m_root->path());
        QVERIFY2(state == oldState || state == newState, qPrintable(u"kill %1 left a mix"_s.arg(kill)));
        QVERIFY2(!needsUndo || state == oldState, qPrintable(u"kill %1 was not undone"_s.arg(kill)));
        (state == oldState ? sawOld : sawNew)++;

        QProcess again;
        install(again);
        QVERIFY(again.waitForFinished(60000));
        QCOMPARE(again.exitCode(), 0);
        QCOMPARE(snapshot(m_root->path()), newState);
    }
    qInfo("%d kills in a %lld ms install (moving from %lld to %lld ms): %d while moving, %d of them after "
          "moves, %d with a mixed folder until the next start; %d left the old folder, %d the new",
          Kills, duration, staged, moved, interruptedMoves, undone, mixedBeforeStart, sawOld, sawNew);
    // Every fourth kill waits for the first moves: the undo itself must have been put to the test.
    QVERIFY2(undone > 0, qPrintable(u"none of %1 kills needed the undo"_s.arg(Kills)));
}

void tst_Extractor::placedFilesCarryTheDigestsOfTheirBytes_data()
{
    QTest::addColumn<bool>("sevenZip");
    QTest::newRow("zip") << false;
    QTest::newRow("7z") << true;
}

// The digests are taken beside the writing: every file's, whether empty, larger than the buffers that carry the
// bytes to the hashing, one of many small ones that share a buffer, or a name that a later member replaces.
void tst_Extractor::placedFilesCarryTheDigestsOfTheirBytes()
{
    QFETCH(bool, sevenZip);
    QList<ArchiveMember> members{ArchiveMember::file(u"empty"_s, {}), ArchiveMember::file(u"twice"_s, "first")};
    QRandomGenerator random(7);
    const auto bytes = [&random](qsizetype size) {
        std::vector<quint32> words(std::size_t(size / 4 + 1));
        random.fillRange(words.data(), qsizetype(words.size()));
        return QByteArray(reinterpret_cast<const char *>(words.data()), size);
    };
    members.append(ArchiveMember::file(u"large.bin"_s, bytes(3 * 1024 * 1024 + 7)));
    for (int i = 0; i < 300; ++i) {
        members.append(ArchiveMember::file(u"small/%1.dat"_s.arg(i), bytes(4000 + i)));
    }
    members.append(ArchiveMember::file(u"twice"_s, "second"));
    const QString archive = m_root->filePath(sevenZip ? u"p.7z"_s : u"p.zip"_s);
    QVERIFY(sevenZip ? ArchiveWriter::writeSevenZip(archive, members) : ArchiveWriter::writeZip(archive, members));

    const ExtractResult result = Trivet::ArchiveExtractor().extract(archive, app());
    QVERIFY2(result.ok(), qPrintable(result.message));
    QCOMPARE(result.placed.size(), members.size() - 1);
    for (const Trivet::PlacedFile &file : result.placed) {
        QFile written(app(file.path));
        QVERIFY2(written.open(QIODevice::ReadOnly), qPrintable(file.path));
        const QByteArray content = written.readAll();
        QCOMPARE(file.size, content.size());
        QVERIFY2(file.sha256 == QCryptographicHash::hash(content, QCryptographicHash::Sha256), qPrintable(file.path));
    }
    QCOMPARE(QFile(app(u"twice"_s)).size(), 6);
}

void tst_Extractor::membersLandWhateverTheirOrder_data()
{
    QTest::addColumn<bool>("sevenZip");
    QTest::addColumn<QList<ArchiveMember>>("members");
    // What Pkg holds afterwards, as snapshot() shows it.
    QTest::addColumn<QStringList>("expected");

    using M = ArchiveMember;
    const QList<M> foldersLast{M::file(u"Pkg/sub/a.txt"_s, "a"), M::file(u"Pkg/b.txt"_s, "b"), M::dir(u"Pkg/sub"_s),
                               M::dir(u"Pkg"_s)};
    const QList<M> foldersFirst{M::dir(u"Pkg"_s), M::dir(u"Pkg/sub"_s), M::file(u"Pkg/sub/a.txt"_s, "a"),
                                M::file(u"Pkg/b.txt"_s, "b")};
    const QStringList tree{u"b.txt=b"_s, u"sub=<dir>"_s, u"sub/a.txt=a"_s};
    QTest::newRow("folders after their files") << false << foldersLast << tree;
    QTest::newRow("folders before their files") << false << foldersFirst << tree;
    QTest::newRow("7z folders after their files") << true << foldersLast << tree;
    QTest::newRow("7z folders before their files") << true << foldersFirst << tree;
    // A later member of a name replaces what an earlier one left there, and is never written through a link.
    QTest::newRow("file over an earlier link")
        << false
        << QList{M::file(u"Pkg/real.ini"_s, "real"), M::symlink(u"Pkg/cfg.ini"_s, u"real.ini"_s),
                 M::file(u"Pkg/cfg.ini"_s, "own")}
        << QStringList{u"cfg.ini=own"_s, u"real.ini=real"_s};
    QTest::newRow("link over an earlier file")
        << false << QList{M::file(u"Pkg/a"_s, "first"), M::symlink(u"Pkg/a"_s, u"b"_s), M::file(u"Pkg/b"_s, "b")}
        << QStringList{u"a=-> "_s + u"b"_s, u"b=b"_s};
    QTest::newRow("file over an earlier empty folder")
        << false << QList{M::dir(u"Pkg/x"_s), M::file(u"Pkg/x"_s, "file")} << QStringList{u"x=file"_s};
    QTest::newRow("folder over an earlier file")
        << false << QList{M::file(u"Pkg/x"_s, "file"), M::file(u"Pkg/x/y"_s, "y")}
        << QStringList{u"x=<dir>"_s, u"x/y=y"_s};
    // More folders than the writer keeps open, visited in turns.
    QList<M> inTurns;
    QStringList inTurnsTree;
    for (const QString &file : {u"a"_s, u"b"_s}) {
        for (int folder = 0; folder < 70; ++folder) {
            inTurns.append(M::file(u"Pkg/f%1/%2"_s.arg(folder).arg(file), file.toUtf8()));
            inTurnsTree.append(u"f%1/%2=%2"_s.arg(folder).arg(file));
        }
    }
    for (int folder = 0; folder < 70; ++folder) {
        inTurnsTree.append(u"f%1=<dir>"_s.arg(folder));
    }
    QTest::newRow("folders in turns") << false << inTurns << inTurnsTree;
    QTest::newRow("set-user-ID bits") << true << QList{M::file(u"Pkg/run"_s, "#!/bin/sh\n", 04777)}
                                      << QStringList{u"run=#!/bin/sh\n"_s};
}

// Members are written in the archive's order, whatever it is: a folder named after its files, a name given
// twice. Files and folders keep the archive's times, and their modes pass through the user's umask without
// set-user-ID bits.
void tst_Extractor::membersLandWhateverTheirOrder()
{
    QFETCH(bool, sevenZip);
    QFETCH(QList<ArchiveMember>, members);
    QFETCH(QStringList, expected);
    if (QTest::currentDataTag() == QByteArrayView("link over an earlier file") && !linksAreSeen(app())) {
        QSKIP("this system's links are not reparse points to its own calls (as Wine's are not)");
    }
    const QString archive = m_root->filePath(sevenZip ? u"p.7z"_s : u"p.zip"_s);
    QVERIFY(writeArchive(archive, sevenZip, members));

    const mode_t umaskBefore = ::umask(027);
    const ExtractResult result = Trivet::ArchiveExtractor().extract(archive, app());
    ::umask(umaskBefore);

    QVERIFY2(result.ok(), qPrintable(result.message));
    QStringList found;
    const auto entries = snapshot(app(u"Pkg"_s));
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        found.append(it.key() + u'=' + QString::fromUtf8(it.value()).remove(app(u"Pkg/"_s)));
    }
    found.sort();
    expected.sort();
    QCOMPARE(found, expected);
    // Folders the archive names, and every file, as the archive says.
    QStringList timed;
    for (const ArchiveMember &member : std::as_const(members)) {
        if (member.kind == ArchiveMember::Dir) {
            timed.append(app(member.name));
        }
    }
    QDirIterator it(app(u"Pkg"_s), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
#ifdef Q_OS_UNIX
        // Windows has no mode bits to get wrong.
        struct stat status
        {
        };
        QCOMPARE(::lstat(QFile::encodeName(info.filePath()).constData(), &status), 0);
        QVERIFY2((status.st_mode & 07027) == 0, qPrintable(info.filePath()));
#endif
        if (info.isFile() || timed.contains(info.filePath())) {
            QCOMPARE(info.lastModified(), QDateTime::fromSecsSinceEpoch(1262304000));
        }
    }
}

void tst_Extractor::programInUseIsReplacedOrKept_data()
{
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("hardLinks");
    // A running program is mapped from its file, which may then be renamed but neither written nor deleted.
    QTest::newRow("running, hard links") << true << true;
    QTest::newRow("running, no hard links") << true << false;
    // Held open by a program that lets nobody rename or delete it: nothing can be replaced, and nothing is.
    QTest::newRow("held without sharing") << false << true;
}

void tst_Extractor::programInUseIsReplacedOrKept()
{
#ifndef Q_OS_WIN
    QSKIP("a file in use keeps nobody from replacing it on POSIX systems");
#else
    QFETCH(bool, running);
    QFETCH(bool, hardLinks);
    const QString program = app(u"Prog/Prog.exe"_s);
    QVERIFY(QDir().mkpath(app(u"Prog"_s)));
    // A real program, so that it can be mapped the way Windows runs it.
    QVERIFY(QFile::copy(QStringLiteral(TRIVET_INSTALL_CHILD), program));
    writeFile(app(u"Prog/readme.txt"_s), "old readme");
    QVERIFY(ArchiveWriter::writeZip(app(u"prog.zip"_s), {ArchiveMember::file(u"Prog.exe"_s, "new program"),
                                                         ArchiveMember::file(u"readme.txt"_s, "new readme")}));
    const auto before = snapshot(app(u"Prog"_s));

    const DWORD sharing = running ? FILE_SHARE_READ | FILE_SHARE_DELETE : FILE_SHARE_READ;
    const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(program).utf16()),
                                    GENERIC_READ | GENERIC_EXECUTE, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    QVERIFY(file != INVALID_HANDLE_VALUE);
    const HANDLE image =
        running ? CreateFileMappingW(file, nullptr, PAGE_EXECUTE_READ | SEC_IMAGE, 0, 0, nullptr) : nullptr;
    QVERIFY(!running || image);
    Trivet::Extract::StagedInstaller::setHardLinks(hardLinks);
    const ExtractResult result = extractAndWait(app(), u"\\unzip.exe -o -d Prog prog.zip"_s);
    Trivet::Extract::StagedInstaller::setHardLinks(true);
    if (image) {
        CloseHandle(image);
    }
    CloseHandle(file);

    if (running) {
        QVERIFY2(result.ok(), qPrintable(result.message));
        QCOMPARE(snapshot(app(u"Prog"_s)),
                 (QMap<QString, QByteArray>{{u"Prog.exe"_s, "new program"}, {u"readme.txt"_s, "new readme"}}));
    } else {
        QCOMPARE(result.status, ExtractStatus::WriteFailed);
        QVERIFY2(result.message.contains(u"Prog.exe"_s), qPrintable(result.message));
        // The old file never left its name, so nothing needed restoring.
        QVERIFY2(!result.message.contains(u"restored"_s), qPrintable(result.message));
        QCOMPARE(snapshot(app(u"Prog"_s)), before);
    }
    // Whatever was set aside goes at the next start at the latest.
    QVERIFY(Trivet::removeWorkLeftovers(app()).ok());
    QCOMPARE(filesBelow(app()), (QStringList{u"Prog/Prog.exe"_s, u"Prog/readme.txt"_s, u"prog.zip"_s}));
#endif
}

QTEST_GUILESS_MAIN(tst_Extractor)
#include "tst_extractor.moc"
