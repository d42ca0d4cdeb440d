#include "common/platform/AppFolder.h"
#include "common/platform/ExtractorCommand.h"
#include "common/settings/IniFile.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/texts/TextKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace Qt::StringLiterals;
using namespace Trivet;

namespace {

const QString Section = u"[Applications]\n"_s;

void writeText(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

const CatalogueEntry &entry(QStringView id)
{
    const CatalogueEntry *e = Catalogue::entryById(id);
    if (!e) {
        qFatal("no catalogue entry %s", qPrintable(id.toString()));
    }
    return *e;
}

// "\Metapad\Metapad.exe" → "Metapad"
QString firstComponent(QStringView tail)
{
    return tail.mid(1).toString().section(u'\\', 0, 0);
}

} // namespace

class tst_Catalogue final : public QObject
{
    Q_OBJECT

private slots:
    void everyTabSlotHasItsOwnEntry();
    void textKeysFollowTheIdentifier();
    void oddRowsKeepTheirData_data();
    void oddRowsKeepTheirData();
    void extractionCommandsMatchPackageAndFolder();
    void antiVirFileList();

    void entryAt_data();
    void entryAt();
    void entryById_data();
    void entryById();

    void configurableEntries_data();
    void configurableEntries();
    void fixedEntriesResolveBelowTheFolder();
    void existingFilesAreFoundWhateverTheCase();
    void theDriveIsTheVolumeTheFolderIsOn_data();
    void theDriveIsTheVolumeTheFolderIsOn();
};

void tst_Catalogue::everyTabSlotHasItsOwnEntry()
{
    const QStringList prefixes{u"AV-"_s, u"OFF-"_s, u"SYS-"_s, u"MISC-"_s};
    const QList<int> expectedSlots{6, 10, 10, 10};
    QSet<QString> ids;
    int count = 0;
    for (int tab = 0; tab < Catalogue::TabCount; ++tab) {
        QCOMPARE(Catalogue::slotCount(tab), expectedSlots.at(tab));
        for (int slot = 0; slot < Catalogue::slotCount(tab); ++slot) {
            const CatalogueEntry *e = Catalogue::entryAt(tab, slot);
            QVERIFY(e);
            QCOMPARE(e->tab, tab);
            QCOMPARE(e->slot, slot);
            QCOMPARE(e->id.toString(), prefixes.at(tab) + QString::number(slot + 1));
            QCOMPARE(Catalogue::entryById(e->id), e);
            ids.insert(e->id.toString());
            ++count;
        }
    }
    QCOMPARE(count, Catalogue::EntryCount);
    QCOMPARE(ids.size(), Catalogue::EntryCount);
    for (const CatalogueEntry &e : Catalogue::entries()) {
        QVERIFY2(ids.contains(e.id.toString()), qPrintable(e.id.toString()));
    }
}

void tst_Catalogue::textKeysFollowTheIdentifier()
{
    for (const CatalogueEntry &e : Catalogue::entries()) {
        const QString id = e.id.toString();
        QCOMPARE(e.captionKey.toString(), u"app"_s + id);
        QCOMPARE(e.urlKey.toString(), u"URL"_s + id);
        QVERIFY2(!e.name.isEmpty() && !e.hoverKey.isEmpty() && !e.key1.isEmpty() && !e.key2.isEmpty(), qPrintable(id));
        QVERIFY2(e.isConfigurable() || e.executable.startsWith(u'\\'), qPrintable(id));
        QVERIFY2(e.isConfigurable() || !e.startPath.isEmpty(), qPrintable(id));
        QVERIFY2(e.isConfigurable() == !e.installExeKey.isEmpty(), qPrintable(id));
        // Keys are matched without regard to case: the two spellings must name one key.
        QVERIFY2(e.launchExeKey.compare(e.installExeKey, Qt::CaseInsensitive) == 0, qPrintable(id));
        QVERIFY2(e.launchDirKey.compare(e.installDirKey, Qt::CaseInsensitive) == 0, qPrintable(id));
        // The language files are checked against the key registry, so every text the entry shows must be in it.
        for (const QStringView key : {e.hoverKey, e.key1, e.key2}) {
            QVERIFY2(isTextKey(key), qPrintable(id + u": "_s + key.toString()));
        }
    }
}

void tst_Catalogue::oddRowsKeepTheirData_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    // Language files carry these spellings; a tidied-up key would show empty text.
    QTest::newRow("SYS-7 doubled l") << u"SYS-7"_s << u"key1"_s << u"llbEasyClean1"_s;
    QTest::newRow("SYS-8 doubled l") << u"SYS-8"_s << u"key1"_s << u"llbMemTest1"_s;
    QTest::newRow("OFF-2 key1") << u"OFF-2"_s << u"key1"_s << u"lbFreebyte1"_s;
    QTest::newRow("OFF-2 key2") << u"OFF-2"_s << u"key2"_s << u"lbFreeByte2"_s;
    QTest::newRow("OFF-3 hover") << u"OFF-3"_s << u"hover"_s << u"lbFoxit"_s;
    QTest::newRow("OFF-3 key1") << u"OFF-3"_s << u"key1"_s << u"lbFoxIt1"_s;
    QTest::newRow("MISC-6 key1") << u"MISC-6"_s << u"key1"_s << u"lbProdkey1"_s;
    QTest::newRow("MISC-6 key2") << u"MISC-6"_s << u"key2"_s << u"lbProdKey2"_s;
    QTest::newRow("AV-1 key1") << u"AV-1"_s << u"key1"_s << u"lbAntivir1"_s;
    QTest::newRow("MISC-4 notice") << u"MISC-4"_s << u"notice"_s
                                   << u"The program will be extracted first. Please wait..."_s;
    QTest::newRow("MISC-3 notice") << u"MISC-3"_s << u"notice"_s << QString();
    QTest::newRow("MISC-10 start") << u"MISC-10"_s << u"start"_s << u"\\OperaUSB\\op.com"_s;
    QTest::newRow("MISC-10 exe") << u"MISC-10"_s << u"exe"_s << u"\\OperaUSB\\operausb.exe"_s;
    QTest::newRow("SYS-9 exe") << u"SYS-9"_s << u"exe"_s << u"\\putty.exe"_s;
    QTest::newRow("SYS-9 package") << u"SYS-9"_s << u"package"_s << u"\\PuTTY.exe"_s;
    QTest::newRow("AV-5 exe") << u"AV-5"_s << u"exe"_s << u"\\mrt.exe"_s;
    QTest::newRow("AV-5 package") << u"AV-5"_s << u"package"_s << u"\\Windows-KB890830-ENU.exe"_s;
    QTest::newRow("SYS-2 command") << u"SYS-2"_s << u"command"_s << u"\\unzip.exe -o -d erunt erunt"_s;
    QTest::newRow("SYS-4 command") << u"SYS-4"_s << u"command"_s << u"\\unzip -o -d Trout Trout.zip"_s;
    QTest::newRow("OFF-4 launch key") << u"OFF-4"_s << u"launchExe"_s << u"AppOFF-4exe"_s;
    QTest::newRow("OFF-4 install key") << u"OFF-4"_s << u"installExe"_s << u"appOFF-4exe"_s;
    QTest::newRow("OFF-8 launch dir") << u"OFF-8"_s << u"launchDir"_s << u"AppOFF-8dir"_s;
    QTest::newRow("OFF-3 launch key") << u"OFF-3"_s << u"launchExe"_s << u"appOFF-3exe"_s;
    QTest::newRow("AV-3 exe key") << u"AV-3"_s << u"launchExe"_s << u"appAV-3exe"_s;
    QTest::newRow("AV-3 no dir key") << u"AV-3"_s << u"launchDir"_s << QString();
}

void tst_Catalogue::oddRowsKeepTheirData()
{
    QFETCH(QString, id);
    QFETCH(QString, field);
    QFETCH(QString, expected);

    const CatalogueEntry &e = entry(id);
    const QHash<QString, QStringView> fields{
        {u"hover"_s, e.hoverKey},
        {u"key1"_s, e.key1},
        {u"key2"_s, e.key2},
        {u"notice"_s, e.extractNotice},
        {u"start"_s, e.startPath},
        {u"exe"_s, e.executable},
        {u"package"_s, e.package},
        {u"command"_s, e.command},
        {u"launchExe"_s, e.launchExeKey},
        {u"installExe"_s, e.installExeKey},
        {u"launchDir"_s, e.launchDirKey},
    };
    QVERIFY(fields.contains(field));
    QCOMPARE(fields.value(field).toString(), expected);
}

// The extraction command must unpack the saved package, and put the program where the click looks for it.
void tst_Catalogue::extractionCommandsMatchPackageAndFolder()
{
    for (const CatalogueEntry &e : Catalogue::entries()) {
        const QByteArray idText = e.id.toUtf8();
        const char *id = idText.constData();
        switch (e.kind) {
        case InstallKind::Direct:
        case InstallKind::SelfExtracting:
            QVERIFY2(e.command.isEmpty(), id);
            continue;
        case InstallKind::Unzip:
        case InstallKind::SevenZip:
        case InstallKind::AntiVir:
            break;
        }

        QString error;
        const std::optional<ExtractorCommand> command = ExtractorCommand::parse(e.command, &error);
        QVERIFY2(command, qPrintable(e.id.toString() + u": "_s + error));
        const auto expectedTool =
            e.kind == InstallKind::SevenZip ? ExtractorCommand::Tool::SevenZip : ExtractorCommand::Tool::Unzip;
        QVERIFY2(command->tool == expectedTool, id);
        QVERIFY2(command->archive.compare(e.package.mid(1), Qt::CaseInsensitive) == 0, id);
        if (e.kind == InstallKind::SevenZip) {
            QVERIFY2(command->targetFolder.isEmpty(), id);
        }
        if (!command->targetFolder.isEmpty() && !e.isConfigurable()) {
            QVERIFY2(command->targetFolder.compare(firstComponent(e.executable), Qt::CaseInsensitive) == 0, id);
            QVERIFY2(command->targetFolder.compare(firstComponent(e.startPath), Qt::CaseInsensitive) == 0, id);
        }
    }
}

void tst_Catalogue::antiVirFileList()
{
    const auto &files = Catalogue::antiVirFiles();
    QCOMPARE(files.front().toString(), u"alldiscs.avp"_s);
    QCOMPARE(files.back().toString(), u"wksstats.dll"_s);
    QVERIFY(std::is_sorted(files.begin(), files.end()));
    QVERIFY(std::adjacent_find(files.begin(), files.end()) == files.end());
    QVERIFY(std::find(files.begin(), files.end(), u"weblink") != files.end());

    const CatalogueEntry &antiVir = entry(u"AV-1");
    QCOMPARE(antiVir.executable, Catalogue::AntiVirControlCentre);
    QCOMPARE(antiVir.package, Catalogue::AntiVirPackage);
    QVERIFY(Catalogue::AntiVirControlCentre.startsWith(QString(Catalogue::AntiVirBasicFolder + u'\\')));
    QVERIFY(Catalogue::AntiVirBasicFolder.startsWith(QString(Catalogue::AntiVirFolder + u'\\')));
}

void tst_Catalogue::entryAt_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("id");

    QTest::newRow("first") << 0 << 0 << u"AV-1"_s;
    QTest::newRow("last antivirus") << 0 << 5 << u"AV-6"_s;
    QTest::newRow("office 0") << 1 << 0 << u"OFF-1"_s;
    QTest::newRow("office 9") << 1 << 9 << u"OFF-10"_s;
    QTest::newRow("system 6") << 2 << 6 << u"SYS-7"_s;
    QTest::newRow("last") << 3 << 9 << u"MISC-10"_s;
    QTest::newRow("antivirus has six") << 0 << 6 << QString();
    QTest::newRow("office has ten") << 1 << 10 << QString();
    QTest::newRow("negative slot") << 2 << -1 << QString();
    QTest::newRow("negative tab") << -1 << 0 << QString();
    QTest::newRow("own apps tab") << 4 << 0 << QString();
    QTest::newRow("far out") << 1000 << 1000 << QString();
}

void tst_Catalogue::entryAt()
{
    QFETCH(int, tab);
    QFETCH(int, slot);
    QFETCH(QString, id);

    const CatalogueEntry *e = Catalogue::entryAt(tab, slot);
    if (id.isEmpty()) {
        QVERIFY(!e);
    } else {
        QVERIFY(e);
        QCOMPARE(e->id.toString(), id);
    }
}

void tst_Catalogue::entryById_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("found");

    QTest::newRow("OFF-6") << u"OFF-6"_s << true;
    QTest::newRow("MISC-10") << u"MISC-10"_s << true;
    QTest::newRow("MISC-1 is not MISC-10") << u"MISC-1"_s << true;
    QTest::newRow("small letters") << u"off-6"_s << false;
    QTest::newRow("mixed letters") << u"Av-1"_s << false;
    QTest::newRow("OpenOffice package") << u"OOP"_s << false;
    QTest::newRow("version file") << u"A"_s << false;
    QTest::newRow("settings package") << u"0"_s << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("trailing blank") << u"OFF-6 "_s << false;
    QTest::newRow("beyond the tab") << u"AV-7"_s << false;
    QTest::newRow("slot zero") << u"SYS-0"_s << false;
    QTest::newRow("prefix only") << u"SYS-"_s << false;
}

void tst_Catalogue::entryById()
{
    QFETCH(QString, id);
    QFETCH(bool, found);

    const CatalogueEntry *e = Catalogue::entryById(id);
    QCOMPARE(e != nullptr, found);
    if (e) {
        QCOMPARE(e->id.toString(), id);
    }
}

void tst_Catalogue::configurableEntries_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("configured");
    QTest::addColumn<QString>("executable"); // relative to the folder, '/' separators; empty: none
    QTest::addColumn<QString>("package");    // likewise

    QTest::newRow("OFF-3 shipped") << u"OFF-3"_s << QByteArray("appOFF-3dir=FoxitReader\nappOFF-3exe=FoxitReader.exe\n")
                                   << true << u"FoxitReader/FoxitReader.exe"_s << u"foxitreader.zip"_s;
    QTest::newRow("OFF-4 either spelling")
        << u"OFF-4"_s << QByteArray("APPOFF-4DIR=FirefoxPortable\nappoff-4exe=FirefoxPortable.exe\n") << true
        << u"FirefoxPortable/FirefoxPortable.exe"_s << u"PortFireFox.zip"_s;
    QTest::newRow("MISC-8 nested folder")
        << u"MISC-8"_s << QByteArray("appMISC-8dir=Chat\\Miranda\nappMISC-8exe=miranda32.exe\n") << true
        << u"Chat/Miranda/miranda32.exe"_s << u"Miranda.zip"_s;
    QTest::newRow("OFF-8 folder with a blank")
        << u"OFF-8"_s << QByteArray("appOFF-8dir=Abi Word\nappOFF-8exe=AbiWordPortable.exe\n") << true
        << u"Abi Word/AbiWordPortable.exe"_s << u"PortableAbiWord.zip"_s;
    QTest::newRow("AV-3 shipped") << u"AV-3"_s << QByteArray("appAV-3exe=stinger.exe\n") << true << u"stinger.exe"_s
                                  << u"stinger.exe"_s;

    // Without values the program can never be found; the fixed package may still be fetched, and the
    // installation then reports the program missing.
    QTest::newRow("OFF-3 no keys") << u"OFF-3"_s << QByteArray() << false << QString() << u"foxitreader.zip"_s;
    QTest::newRow("OFF-5 no exe") << u"OFF-5"_s << QByteArray("appOFF-5dir=ThunderbirdPortable\n") << false << QString()
                                  << u"PortThunderbird.zip"_s;
    QTest::newRow("MISC-8 no dir") << u"MISC-8"_s << QByteArray("appMISC-8exe=miranda32.exe\n") << false << QString()
                                   << u"Miranda.zip"_s;
    // AV-3 saves its package under the value: an empty value must not turn into the folder itself.
    QTest::newRow("AV-3 empty") << u"AV-3"_s << QByteArray("appAV-3exe=\n") << false << QString() << QString();
    QTest::newRow("AV-3 missing") << u"AV-3"_s << QByteArray() << false << QString() << QString();
    QTest::newRow("AV-3 blanks") << u"AV-3"_s << QByteArray("appAV-3exe=   \n") << false << QString() << QString();

    // Values that would put the download or the started program outside the folder.
    QTest::newRow("AV-3 climbs out") << u"AV-3"_s << QByteArray("appAV-3exe=..\\..\\.profile\n") << false << QString()
                                     << QString();
    QTest::newRow("AV-3 climbs out midway")
        << u"AV-3"_s << QByteArray("appAV-3exe=sub/../../x.exe\n") << false << QString() << QString();
    QTest::newRow("AV-3 names a folder") << u"AV-3"_s << QByteArray("appAV-3exe=tools\\\n") << false << QString()
                                         << QString();
    QTest::newRow("AV-3 dot") << u"AV-3"_s << QByteArray("appAV-3exe=.\n") << false << QString() << QString();
    QTest::newRow("OFF-8 dir climbs out") << u"OFF-8"_s << QByteArray("appOFF-8dir=..\nappOFF-8exe=abi.exe\n") << false
                                          << QString() << u"PortableAbiWord.zip"_s;
    QTest::newRow("OFF-3 leading separator")
        << u"OFF-3"_s << QByteArray("appOFF-3dir=\\FoxitReader\nappOFF-3exe=Foxit.exe\n") << true
        << u"FoxitReader/Foxit.exe"_s << u"foxitreader.zip"_s;
}

void tst_Catalogue::configurableEntries()
{
    QFETCH(QString, id);
    QFETCH(QByteArray, settings);
    QFETCH(bool, configured);
    QFETCH(QString, executable);
    QFETCH(QString, package);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const AppFolder folder(dir.path());
    writeText(folder.iniPath(), "[Language]\nDefault=English.lng\n\n" + Section.toUtf8() + settings);

    const CatalogueEntry &e = entry(id);
    const auto full = [&dir](const QString &relative) {
        return relative.isEmpty() ? QString() : dir.path() + u'/' + relative;
    };
    for (const Phase phase : {Phase::Launch, Phase::Install}) {
        const EntryPaths paths = Catalogue::resolvePaths(e, folder, IniFile(folder.iniPath()), phase);
        QCOMPARE(paths.configured, configured);
        QCOMPARE(paths.executable, full(executable));
        QCOMPARE(paths.startPath, full(executable));
        QCOMPARE(paths.package, full(package));
        QVERIFY(paths.package != dir.path());
        QVERIFY(paths.executable != dir.path());
        if (!configured) {
            QVERIFY(!QFileInfo::exists(paths.executable));
        }
    }
}

void tst_Catalogue::fixedEntriesResolveBelowTheFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const AppFolder folder(dir.path());
    const QString root = dir.path() + u'/';

    // A folder without a settings file: fixed entries do not need one.
    const EntryPaths opera =
        Catalogue::resolvePaths(entry(u"MISC-10"), folder, IniFile(folder.iniPath()), Phase::Launch);
    QVERIFY(opera.configured);
    QCOMPARE(opera.executable, root + u"OperaUSB/operausb.exe"_s);
    QCOMPARE(opera.startPath, root + u"OperaUSB/op.com"_s);
    QCOMPARE(opera.package, root + u"OperaUSB.zip"_s);

    const EntryPaths erunt =
        Catalogue::resolvePaths(entry(u"SYS-2"), folder, IniFile(folder.iniPath()), Phase::Install);
    const EntryPaths ntregopt =
        Catalogue::resolvePaths(entry(u"SYS-3"), folder, IniFile(folder.iniPath()), Phase::Install);
    QCOMPARE(erunt.package, root + u"erunt.zip"_s);
    QCOMPARE(ntregopt.package, erunt.package);
    QCOMPARE(erunt.executable, root + u"erunt/erunt.exe"_s);
    QCOMPARE(ntregopt.executable, root + u"erunt/NTREGOPT.EXE"_s);

    const EntryPaths winamp =
        Catalogue::resolvePaths(entry(u"MISC-9"), folder, IniFile(folder.iniPath()), Phase::Launch);
    QCOMPARE(winamp.executable, root + u"Portable Winamp/winamp.exe"_s);

    // Settings values of configurable entries must not leak into fixed ones.
    writeText(folder.iniPath(), "[Applications]\nappOFF-6exe=other.exe\nappOFF-6dir=Other\n");
    const EntryPaths metapad =
        Catalogue::resolvePaths(entry(u"OFF-6"), folder, IniFile(folder.iniPath()), Phase::Launch);
    QCOMPARE(metapad.executable, root + u"Metapad/Metapad.exe"_s);
    QCOMPARE(metapad.package, root + u"mpad35.zip"_s);
}

void tst_Catalogue::existingFilesAreFoundWhateverTheCase()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const AppFolder folder(dir.path());
    const QString root = dir.path() + u'/';
    writeText(root + u"putty.exe"_s, "x");
    writeText(root + u"deepburn/deepburner.EXE"_s, "x");
    writeText(root + u"FOXIT/reader.exe"_s, "x");
    writeText(folder.iniPath(), "[Applications]\nappOFF-3dir=Foxit\nappOFF-3exe=Reader.exe\n");

    // Saved as "\PuTTY.exe", looked for as "\putty.exe": one file.
    const EntryPaths putty =
        Catalogue::resolvePaths(entry(u"SYS-9"), folder, IniFile(folder.iniPath()), Phase::Install);
    QCOMPARE(putty.package, root + u"putty.exe"_s);
    QCOMPARE(putty.executable, root + u"putty.exe"_s);

    const EntryPaths deepBurner =
        Catalogue::resolvePaths(entry(u"OFF-1"), folder, IniFile(folder.iniPath()), Phase::Launch);
    QCOMPARE(deepBurner.executable, root + u"deepburn/deepburner.EXE"_s);
    QVERIFY(QFileInfo::exists(deepBurner.executable));

    const EntryPaths foxit = Catalogue::resolvePaths(entry(u"OFF-3"), folder, IniFile(folder.iniPath()), Phase::Launch);
    QCOMPARE(foxit.executable, root + u"FOXIT/reader.exe"_s);
}

void tst_Catalogue::theDriveIsTheVolumeTheFolderIsOn_data()
{
    QTest::addColumn<QString>("folder");
    // Under Wine the temporary folder is on C: and the build on Z:.
    QTest::newRow("temporary folder") << QDir::tempPath();
    QTest::newRow("program folder") << QCoreApplication::applicationDirPath();
}

// The drive a moved stick is recognised by: the drive letter and colon on Windows ("E:"), the mount point
// elsewhere.
void tst_Catalogue::theDriveIsTheVolumeTheFolderIsOn()
{
    QFETCH(QString, folder);
    const QString path = QFileInfo(folder).absoluteFilePath();
    const QString drive = AppFolder(folder).volumeRoot();
#ifdef Q_OS_WIN
    QCOMPARE(drive, path.left(2).toUpper());
    QCOMPARE(drive.at(1), u':');
#else
    QVERIFY2(drive.startsWith(u'/') && (drive == u"/"_s || !drive.endsWith(u'/')), qPrintable(drive));
    QVERIFY2(QFileInfo(folder).canonicalFilePath().startsWith(drive), qPrintable(drive));
#endif
}

QTEST_GUILESS_MAIN(tst_Catalogue)
#include "tst_catalogue.moc"
