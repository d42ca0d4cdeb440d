#include "SettingsWrites.h"
#include "common/platform/WorkFolder.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "launcher/catalogue/Catalogue.h"
#include "tests/support/IniWrite.h"
#include "tests/support/WriteProtection.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <filesystem>

using namespace Qt::StringLiterals;
using namespace Trivet;
using Trivet::Test::WriteProtection;

namespace QTest {
template <> char *toString(const SaveResult::Status &status)
{
    static const char *const names[] = {"Success", "OpenFailed", "WriteFailed", "CommitFailed"};
    return qstrdup(names[int(status)]);
}
} // namespace QTest

namespace {

void setModified(const QString &path, const QDateTime &time)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

// The file as a FAT stick shows it: times in 2-second steps, nothing else that would tell a change.
FileStamp fatStamp(const QString &path)
{
    FileStamp stamp = fileStampOf(path);
    stamp.modifiedMs -= stamp.modifiedMs % 2000;
    stamp.modifiedNs = 0;
    stamp.changedNs = 0;
    stamp.identity = 0;
    return stamp;
}

// An edit of an IniFile: {"set", section, key, value} or {"section", section, entries...}.
using Edits = QList<QStringList>;

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_file;

    void write(const QByteArray &bytes)
    {
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray contents() const
    {
        QFile f(m_file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        m_file = m_dir.filePath(u"Trivet.ini"_s);
        QFile::remove(m_file);
    }

    void readRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << QByteArray("[A]\r\nk=v\r\n") << u"A"_s << u"k"_s << u"v"_s;
        QTest::newRow("names ignore case") << QByteArray("[Applications]\r\nappOFF-4exe=ff.exe\r\n")
                                           << u"APPLICATIONS"_s << u"AppOFF-4exe"_s << u"ff.exe"_s;
        QTest::newRow("blanks trimmed") << QByteArray("  [ A ]  \n  k  =   v w  \n") << u"A"_s << u"k"_s << u"v w"_s;
        QTest::newRow("double quotes removed") << QByteArray("[A]\nk = \" x\"\n") << u"A"_s << u"k"_s << u" x"_s;
        QTest::newRow("single quotes removed") << QByteArray("[A]\nk='y '\n") << u"A"_s << u"k"_s << u"y "_s;
        QTest::newRow("unmatched quote kept") << QByteArray("[A]\nk=\"x'\n") << u"A"_s << u"k"_s << u"\"x'"_s;
        QTest::newRow("semicolon after value is data")
            << QByteArray("[A]\npepsi=diet ;gag\n") << u"A"_s << u"pepsi"_s << u"diet ;gag"_s;
        QTest::newRow("comment line") << QByteArray("[A]\n;k=1\nk=2\n") << u"A"_s << u"k"_s << u"2"_s;
        QTest::newRow("hash starts a key") << QByteArray("[A]\n#k=1\n") << u"A"_s << u"#k"_s << u"1"_s;
        QTest::newRow("first duplicate key wins") << QByteArray("[A]\nk=1\nk=2\n") << u"A"_s << u"k"_s << u"1"_s;
        QTest::newRow("first duplicate section wins")
            << QByteArray("[A]\nk=1\n[B]\nx=0\n[a]\nk=2\nj=3\n") << u"A"_s << u"k"_s << u"1"_s;
        QTest::newRow("key only in later duplicate section")
            << QByteArray("[A]\nk=1\n[A]\nj=3\n") << u"A"_s << u"j"_s << QString();
        QTest::newRow("LF endings") << QByteArray("[A]\nk=1\n") << u"A"_s << u"k"_s << u"1"_s;
        QTest::newRow("CR endings") << QByteArray("[A]\rk=1\r") << u"A"_s << u"k"_s << u"1"_s;
        QTest::newRow("no final line end") << QByteArray("[A]\r\nk=1") << u"A"_s << u"k"_s << u"1"_s;
        QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF[A]\r\nk=1\r\n") << u"A"_s << u"k"_s << u"1"_s;
        QTest::newRow("a later line's BOM is no file BOM")
            << QByteArray("[A]\nk=1\n\xEF\xBB\xBF[B]\nj=2\n") << u"B"_s << u"j"_s << QString();
        QTest::newRow("key before any section") << QByteArray("k=0\n[A]\n") << u"A"_s << u"k"_s << QString();
        QTest::newRow("absent key") << QByteArray("[A]\nk=1\n") << u"A"_s << u"x"_s << QString();
        QTest::newRow("absent section") << QByteArray("[A]\nk=1\n") << u"B"_s << u"k"_s << QString();
        QTest::newRow("section without bracket is no section")
            << QByteArray("[A\nk=1\n") << u"A"_s << u"k"_s << QString();
        QTest::newRow("equals in value") << QByteArray("[A]\nurl=http://h/?a=b\n") << u"A"_s << u"url"_s
                                         << u"http://h/?a=b"_s;
        QTest::newRow("UTF-8 value") << QByteArray("[Language]\nDefault=Fran\xC3\xA7"
                                                   "ais.lng\n")
                                     << u"Language"_s << u"Default"_s << u"Français.lng"_s;
        QTest::newRow("legacy Western value") << QByteArray("[Language]\nDefault=Fran\xE7"
                                                            "ais.lng\n")
                                              << u"Language"_s << u"Default"_s << u"Français.lng"_s;
    }

    void readRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        write(file);
        QCOMPARE(readIni(section, key, m_file), expected);
    }

    void longValuesAreReadWhole()
    {
        const QString longValue(300, u'x');
        write("[A]\r\nk=" + longValue.toLatin1() + "\r\n");
        QCOMPARE(readIni(u"A"_s, u"k"_s, m_file), longValue);
        QVERIFY(writeIni(u"A"_s, u"j"_s, longValue + u'y', m_file));
        QCOMPARE(readIni(u"A"_s, u"j"_s, m_file), longValue + u'y');
    }

    void missingFileReadsEmptyAndCreatesNothing()
    {
        QCOMPARE(readIni(u"A"_s, u"k"_s, m_file), QString());
        QCOMPARE(readIniSection(m_file, u"A"_s), QString());
        QVERIFY(!QFileInfo::exists(m_file));
    }

    void malformedInputNeverCrashes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe[\x00]=\x80\x81\n\r\r\n=", 15);
        QTest::newRow("only brackets") << QByteArray("[]\n[\n]\n[[]]\n=\n==\n");
        QTest::newRow("huge line") << QByteArray(200000, 'a');
        QTest::newRow("empty") << QByteArray();
    }

    void malformedInputNeverCrashes()
    {
        QFETCH(QByteArray, file);
        write(file);
        QCOMPARE(readIni(u"A"_s, u"k"_s, m_file), QString());
        readIniSection(m_file, u""_s);
        QVERIFY(writeIni(u"A"_s, u"k"_s, u"v"_s, m_file));
        QCOMPARE(readIni(u"A"_s, u"k"_s, m_file), u"v"_s);
    }

    void writeReplacesOnlyThatLine()
    {
        const QByteArray before = "; hand-written\r\n[Language]\r\n  Default = English.lng   \r\n"
                                  "[MyOwnApps]\nMyOwnAppName1=Tool ;x\n\n[Other]\r\nz=1";
        write(before);
        QVERIFY(writeIni(u"language"_s, u"DEFAULT"_s, u"Deutsch.lng"_s, m_file));
        QByteArray expected = before;
        expected.replace("  Default = English.lng   ", "Default=Deutsch.lng");
        QCOMPARE(contents(), expected);
    }

    void writeAddsMissingKeyToItsSection()
    {
        write("[A]\r\nk=1\r\n\r\n[B]\r\nx=2\r\n");
        QVERIFY(writeIni(u"A"_s, u"j"_s, u"3"_s, m_file));
        QCOMPARE(contents(), QByteArray("[A]\r\nk=1\r\nj=3\r\n\r\n[B]\r\nx=2\r\n"));
    }

    void writeAppendsMissingSectionAndCreatesFile()
    {
        QVERIFY(writeIni(u"USBDriveLetter"_s, u"NewDriveLetter"_s, u"/media/stick"_s, m_file));
        QCOMPARE(contents(), QByteArray("[USBDriveLetter]\r\nNewDriveLetter=/media/stick\r\n"));

        write("[A]\nk=1");
        QVERIFY(writeIni(u"B"_s, u"x"_s, u"2"_s, m_file));
        QCOMPARE(contents(), QByteArray("[A]\nk=1\n\n[B]\nx=2\n"));
    }

    void writtenValuesReadBackUnchanged_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("padded") << u"  padded  "_s;
        QTest::newRow("quoted") << u"\"quoted\""_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("semicolon") << u"a ;b"_s;
        QTest::newRow("cyrillic") << u"Български"_s;
    }

    void writtenValuesReadBackUnchanged()
    {
        QFETCH(QString, value);
        QVERIFY(writeIni(u"A"_s, u"k"_s, value, m_file));
        QCOMPARE(readIni(u"A"_s, u"k"_s, m_file), value);
    }

    void lineBreaksInValuesCannotAddEntries()
    {
        QVERIFY(writeIni(u"A"_s, u"k"_s, u"x\r\n[B]\r\nevil=1"_s, m_file));
        QCOMPARE(readIni(u"B"_s, u"evil"_s, m_file), QString());
        QVERIFY(readIni(u"A"_s, u"k"_s, m_file).startsWith(u"x"_s));
    }

    void legacyFileKeepsItsEncoding()
    {
        write("[Language]\r\nDefault=Fran\xE7"
              "ais.lng\r\n[X]\r\nname=Caf\xE9\r\n");
        QVERIFY(writeIni(u"X"_s, u"name"_s, u"Crème"_s, m_file));
        QCOMPARE(contents(), QByteArray("[Language]\r\nDefault=Fran\xE7"
                                        "ais.lng\r\n[X]\r\nname=Cr\xE8me\r\n"));

        // A character the code page cannot hold turns the file into UTF-8 without losing anything.
        QVERIFY(writeIni(u"X"_s, u"name"_s, u"Ω"_s, m_file));
        QCOMPARE(readIni(u"Language"_s, u"Default"_s, m_file), u"Français.lng"_s);
        QCOMPARE(readIni(u"X"_s, u"name"_s, m_file), u"Ω"_s);
    }

    void legacyLanguageFilesUseTheirCodePage()
    {
        const QString bulgarian = m_dir.filePath(u"Bulgarian.lng"_s);
        QFile b(bulgarian);
        QVERIFY(b.open(QIODevice::WriteOnly));
        b.write("[Translation]\r\nmnuFile=\xD4\xE0\xE9\xEB\r\n"); // "Файл" in Windows-1251
        b.close();
        QCOMPARE(readLangText(u"Translation"_s, u"mnufile"_s, bulgarian), u"Файл"_s);

        const QString greek = m_dir.filePath(u"Greek.lng"_s);
        QFile g(greek);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write("[Translation]\r\nmnuFile=\xC1\xF1\xF7\xE5\xDF\xEF\r\n"); // "Αρχείο" in Windows-1253
        g.close();
        QCOMPARE(translation(u"mnuFile"_s, greek), u"Αρχείο"_s);
    }

    void failedWriteLeavesFileAsItWas()
    {
        write("[A]\r\nk=1\r\n");
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        const bool writable =
            QFileInfo(m_dir.path()).isWritable() && QFile(m_dir.filePath(u"probe"_s)).open(QIODevice::WriteOnly);
        const bool written = writeIni(u"A"_s, u"k"_s, u"2"_s, m_file);
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::remove(m_dir.filePath(u"probe"_s));
        if (writable) {
            QSKIP("running with rights that ignore folder permissions");
        }
        QVERIFY(!written);
        QCOMPARE(contents(), QByteArray("[A]\r\nk=1\r\n"));
    }

    void saveReplacesTheFileInsteadOfWritingIntoIt()
    {
        // A second name for the old file keeps the old content: the new file was written beside it and
        // renamed over it, so an interrupted save can never leave a half-written settings file.
        write("[A]\r\nk=1\r\n");
        const QString oldName = m_dir.filePath(u"old.ini"_s);
        QFile::remove(oldName);
        std::error_code linked;
        std::filesystem::create_hard_link(m_file.toStdU16String(), oldName.toStdU16String(), linked);
        QVERIFY2(!linked, linked.message().c_str());
        QVERIFY(writeIni(u"A"_s, u"k"_s, u"2"_s, m_file));
        QCOMPARE(readIni(u"A"_s, u"k"_s, m_file), u"2"_s);
        QFile old(oldName);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("[A]\r\nk=1\r\n"));
        const QStringList leftovers = QDir(m_dir.path()).entryList({u"Trivet.ini?*"_s}, QDir::Files | QDir::Hidden);
        QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(u", "_s)));
    }

    void readSectionJoinsEntriesWithNul()
    {
        write("[MyOwnApps]\r\nA=1\r\n; note\r\n\r\nB=2\r\n[Next]\r\nC=3\r\n");
        const QString section = readIniSection(m_file, u"myownapps"_s);
        QCOMPARE(section.size(), 7);
        QCOMPARE(section, u"A=1"_s + QChar(u'\0') + u"B=2"_s);
        QCOMPARE(readIniSection(m_file, u"Absent"_s), QString());
    }

    void writeSectionKeepsItsPlace()
    {
        write("[Language]\r\nDefault=English.lng\r\n\r\n[MyOwnApps]\r\n; mine\r\nA=1\r\nB=2\r\n\r\n[Z]\r\nz=1\r\n");
        QVERIFY(writeIniSection(m_file, u"MyOwnApps"_s, {u"A=9"_s, u"C=3"_s}));
        QCOMPARE(
            contents(),
            QByteArray(
                "[Language]\r\nDefault=English.lng\r\n\r\n[MyOwnApps]\r\n; mine\r\nA=9\r\nC=3\r\n\r\n[Z]\r\nz=1\r\n"));
        QCOMPARE(readIni(u"MyOwnApps"_s, u"B"_s, m_file), QString());

        QVERIFY(writeIniSection(m_file, u"USBDriveLetter"_s, {u"OldDriveLetter=E:"_s}));
        QCOMPARE(readIni(u"USBDriveLetter"_s, u"OldDriveLetter"_s, m_file), u"E:"_s);
        QCOMPARE(readIni(u"Z"_s, u"z"_s, m_file), u"1"_s);
    }

    // A file edited by hand between two reads is seen at the next read, even on a FAT stick where an edit
    // of the same length within the same 2-second step keeps the file's time; a file whose bytes did not
    // change is not parsed again.
    void iniFileSeesHandEdits_data()
    {
        QTest::addColumn<bool>("aged");
        QTest::addColumn<QByteArray>("edited");
        QTest::addColumn<bool>("sameTime");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("parses");

        const QByteArray before = "[A]\r\nk=1\r\n";
        QTest::newRow("longer value") << false << QByteArray("[A]\r\nk=10\r\n") << false << u"10"_s << 2;
        QTest::newRow("same size, same time") << false << QByteArray("[A]\r\nk=2\r\n") << true << u"2"_s << 2;
        QTest::newRow("old file, same size") << true << QByteArray("[A]\r\nk=2\r\n") << false << u"2"_s << 2;
        QTest::newRow("same bytes written again") << false << before << false << u"1"_s << 1;
        QTest::newRow("old file touched") << true << before << false << u"1"_s << 1;
        QTest::newRow("removed") << false << QByteArray() << false << QString() << 2;
    }

    void iniFileSeesHandEdits()
    {
        QFETCH(bool, aged);
        QFETCH(QByteArray, edited);
        QFETCH(bool, sameTime);
        QFETCH(QString, expected);
        QFETCH(int, parses);

        write("[A]\r\nk=1\r\n");
        if (aged) {
            setModified(m_file, QDateTime::currentDateTime().addSecs(-3600));
        }
        const IniFile file(m_file, fatStamp);
        QCOMPARE(file.value(u"A", u"k"), u"1"_s);
        const QDateTime time = QFileInfo(m_file).lastModified();
        if (edited.isNull()) {
            QVERIFY(QFile::remove(m_file));
        } else {
            write(edited);
        }
        if (sameTime) {
            setModified(m_file, time);
            QCOMPARE(fatStamp(m_file).modifiedMs, time.toMSecsSinceEpoch() - time.toMSecsSinceEpoch() % 2000);
        }
        QCOMPARE(file.value(u"A", u"k"), expected);
        QCOMPARE(file.value(u"a", u"K"), expected);
        QCOMPARE(file.parseCount(), parses);
    }

    void iniFileParsesOnceForManyReads()
    {
        QVERIFY(QFile::copy(QStringLiteral(TRIVET_SOURCE_DIR "/portable/Trivet.ini"), m_file));
        QFile::setPermissions(m_file, QFile::ReadOwner | QFile::WriteOwner);
        const IniFile file(m_file);
        QVERIFY(file.exists());
        // Just copied, the file's time is too recent to trust; later it is old enough that a stat is all.
        for (const bool aged : {false, true}) {
            if (aged) {
                setModified(m_file, QDateTime::currentDateTime().addSecs(-3600));
            }
            int compared = 0;
            for (const QString &section : {u"Language"_s, u"MyOwnApps"_s, u"Applications"_s, u"VersionCheck"_s}) {
                const QStringList entries = file.sectionEntries(section.toUpper());
                QCOMPARE(entries.join(QChar(u'\0')), readIniSection(m_file, section));
                for (const QString &entry : entries) {
                    const QString key = entry.section(u'=', 0, 0);
                    QCOMPARE(file.value(section, key.toLower()), readIni(section, key, m_file));
                    ++compared;
                }
            }
            QVERIFY(compared > 100);
        }
        QCOMPARE(file.parseCount(), 1);
    }

    void iniFileKeepsItsOwnWrites()
    {
        write("; mine\r\n[Language]\r\nDefault=English.lng\r\n\r\n[MyOwnApps]\r\nA=1\r\n");
        IniFile file(m_file);
        QCOMPARE(file.value(u"Language", u"Default"), u"English.lng"_s);

        QVERIFY(file.setValue(u"language"_s, u"default"_s, u"Deutsch.lng"_s).ok());
        QVERIFY(file.replaceSection(u"MyOwnApps"_s, {u"B=2"_s}).ok());
        QVERIFY(file.setValue(u"Proxy"_s, u"ProxyServer"_s, u"10.0.0.1"_s).ok());
        QCOMPARE(contents(), QByteArray("; mine\r\n[Language]\r\nDefault=Deutsch.lng\r\n\r\n[MyOwnApps]\r\nB=2\r\n"
                                        "\r\n[Proxy]\r\nProxyServer=10.0.0.1\r\n"));
        QCOMPARE(file.value(u"Language", u"Default"), u"Deutsch.lng"_s);
        QCOMPARE(file.sectionEntries(u"MyOwnApps"), QStringList{u"B=2"_s});
        QCOMPARE(file.value(u"Proxy", u"ProxyServer"), u"10.0.0.1"_s);
        QCOMPARE(file.parseCount(), 1);

        // A hand edit right after the program's own write is still seen, even where it keeps the file's time.
        IniFile onFat(m_file, fatStamp);
        QVERIFY(onFat.setValue(u"Proxy"_s, u"ProxyServer"_s, u"10.0.0.2"_s).ok());
        const QDateTime time = QFileInfo(m_file).lastModified();
        QByteArray edited = contents();
        edited.replace("10.0.0.2", "10.0.0.3");
        write(edited);
        setModified(m_file, time);
        QCOMPARE(onFat.value(u"Proxy", u"ProxyServer"), u"10.0.0.3"_s);
        QCOMPARE(onFat.parseCount(), 2);
        // And so is every later one, however many looks found the file unchanged in between.
        QCOMPARE(onFat.value(u"Proxy", u"ProxyServer"), u"10.0.0.3"_s);
        edited.replace("10.0.0.3", "10.0.0.4");
        write(edited);
        setModified(m_file, time);
        QCOMPARE(onFat.value(u"Proxy", u"ProxyServer"), u"10.0.0.4"_s);
        QCOMPARE(onFat.value(u"Proxy", u"ProxyServer"), u"10.0.0.4"_s);
        QCOMPARE(onFat.parseCount(), 3);
    }

    // After any series of writes the held document reads exactly as the written file does when read afresh.
    void writtenDocumentMatchesTheFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Edits>("edits");

        const QByteArray settings = "; head\r\nk=0\r\n[A]\r\na=1\r\n; note\r\nb=2\r\n\r\n\r\n[B]\r\nx=1\r\n[a]\r\nc=3";
        QTest::newRow("replace, add, append") << settings
                                              << Edits{{u"set"_s, u"A"_s, u"b"_s, u"20"_s},
                                                       {u"set"_s, u"A"_s, u"new"_s, u"n"_s},
                                                       {u"set"_s, u"B"_s, u"y"_s, u"2"_s},
                                                       {u"set"_s, u"C"_s, u"z"_s, u"3"_s},
                                                       {u"set"_s, u"A"_s, u"new"_s, u"m"_s}};
        QTest::newRow("sections replaced") << settings
                                           << Edits{{u"section"_s, u"A"_s, u"p=1"_s, u"q=2"_s, u"r"_s},
                                                    {u"set"_s, u"A"_s, u"s"_s, u"4"_s},
                                                    {u"section"_s, u"B"_s},
                                                    {u"section"_s, u"D"_s, u"d=1"_s},
                                                    {u"set"_s, u"D"_s, u"e"_s, u"2"_s}};
        QTest::newRow("written lines that read as headers")
            << settings
            << Edits{{u"set"_s, u"A"_s, u"[B]x"_s, u"1"_s},
                     {u"set"_s, u"B"_s, u"y"_s, u"2"_s},
                     {u"section"_s, u"A"_s, u"p=1"_s, u"[E]"_s, u"e=5"_s},
                     {u"set"_s, u"E"_s, u"f"_s, u"6"_s},
                     {u"set"_s, u"a]b"_s, u"k"_s, u"7"_s},
                     {u"set"_s, u"a]b"_s, u"k"_s, u"8"_s}};
        QTest::newRow("odd keys") << settings
                                  << Edits{{u"set"_s, u"A"_s, u";a"_s, u"1"_s},
                                           {u"set"_s, u"A"_s, u"k=v"_s, u"2"_s},
                                           {u"set"_s, u"A"_s, u"Ключ"_s, u"3"_s},
                                           {u"set"_s, u"A"_s, u"КЛЮЧ"_s, u"4"_s},
                                           {u"set"_s, u"A"_s, QString(), u"5"_s}};
        QTest::newRow("empty file") << QByteArray()
                                    << Edits{{u"set"_s, u"A"_s, u"a"_s, u"1"_s},
                                             {u"section"_s, u"B"_s, u"b=2"_s},
                                             {u"set"_s, u"A"_s, u"c"_s, u"3"_s}};
        QTest::newRow("legacy file turned into UTF-8")
            << QByteArray("[A]\r\nname=Caf\xE9\r\n")
            << Edits{{u"set"_s, u"A"_s, u"x"_s, u"Crème"_s}, {u"set"_s, u"A"_s, u"y"_s, u"Ω"_s}};
    }

    void writtenDocumentMatchesTheFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(Edits, edits);
        write(file);
        IniFile ini(m_file);
        const QStringList sections{u"A"_s, u"a"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s, u"a]b"_s, u""_s};
        const QStringList keys{u"a"_s, u"b"_s, u"c"_s, u"new"_s, u"[B]x"_s, u"x"_s,    u"y"_s,    u"z"_s,   u"p"_s,
                               u"r"_s, u"s"_s, u"k"_s, u";a"_s,  u"k=v"_s,  u"ключ"_s, QString(), u"name"_s};
        for (const QStringList &edit : edits) {
            const SaveResult saved = edit.first() == u"set"_s ? ini.setValue(edit.at(1), edit.at(2), edit.at(3))
                                                              : ini.replaceSection(edit.at(1), edit.mid(2));
            QVERIFY2(saved.ok(), qPrintable(saved.message));
            for (const QString &section : sections) {
                QCOMPARE(ini.sectionEntries(section).join(QChar(u'\0')), readIniSection(m_file, section));
                for (const QString &key : keys) {
                    QCOMPARE(ini.value(section, key), readIni(section, key, m_file));
                }
            }
        }
        QCOMPARE(ini.parseCount(), 1);
    }

    void failedSaveKeepsFileAndDocument_data()
    {
        QTest::addColumn<bool>("protectFolder");
        QTest::newRow("read-only folder") << true;
        QTest::newRow("read-only file") << false;
    }

    void failedSaveKeepsFileAndDocument()
    {
        QFETCH(bool, protectFolder);
        write("[A]\r\nk=1\r\n");
        IniFile file(m_file);
        QCOMPARE(file.value(u"A", u"k"), u"1"_s);

        SaveResult saved;
        SaveResult savedSection;
        bool writable = false;
        {
            const WriteProtection protection(protectFolder ? m_dir.path() : m_file);
            writable = protectFolder ? QFile(m_dir.filePath(u"probe"_s)).open(QIODevice::WriteOnly)
                                     : QFile(m_file).open(QIODevice::Append);
            saved = file.setValue(u"A"_s, u"k"_s, u"2"_s);
            savedSection = file.replaceSection(u"B"_s, {u"x=1"_s});
        }
        QFile::remove(m_dir.filePath(u"probe"_s));
        if (writable) {
            QSKIP("neither permissions nor an immutable flag keep this process from writing");
        }
        QVERIFY(!saved.ok());
        QVERIFY(!savedSection.ok());
        QCOMPARE(saved.status, SaveResult::Status::OpenFailed);
        QVERIFY(!saved.message.isEmpty());
        QCOMPARE(contents(), QByteArray("[A]\r\nk=1\r\n"));
        QCOMPARE(file.value(u"A", u"k"), u"1"_s);
        QCOMPARE(file.sectionEntries(u"B"), QStringList());
        QCOMPARE(file.parseCount(), 1);
        const QStringList leftovers = QDir(m_dir.path()).entryList({u"Trivet.ini?*"_s}, QDir::Files | QDir::Hidden);
        QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(u", "_s)));
    }
    // The launcher killed in the middle of writing its settings: the file is always a whole one, the one
    // before the write in progress or the one after it, and the next start leaves nothing else beside it.
    void killedWritesLeaveOldOrNewSettings()
    {
        constexpr int Kills = 20;
        constexpr int Writes = 200;
        const QByteArray initial = "; the user's own notes\r\n[Options]\r\nLanguage=Deutsch\r\nLast=0\r\n"
                                   "[Window]\r\nTop=10\r\n";
        // expected[n] is the file after write n; expected[0] the one before the first.
        QList<QByteArray> expected{initial};
        IniDocument document = IniDocument::fromBytes(initial, TextEncoding::Utf8);
        for (int n = 1; n <= Writes; ++n) {
            document.setValue(SettingsWrites::Section.toString(), SettingsWrites::Key.toString(),
                              SettingsWrites::value(n));
            expected.append(document.toBytes());
        }
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString settings = folder.filePath(u"Trivet.ini"_s);
        const auto reset = [&] {
            QFile::remove(settings);
            QFile file(settings);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(initial), initial.size());
        };
        const auto start = [&](QProcess &child) {
            child.start(QStringLiteral(TRIVET_SETTINGS_CHILD), {settings, QString::number(Writes)});
            QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
        };
        const auto read = [&] {
            QFile file(settings);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };

        reset();
        QElapsedTimer clock;
        QProcess whole;
        clock.start();
        start(whole);
        QVERIFY(whole.waitForFinished(60000));
        const qint64 duration = clock.elapsed();
        QCOMPARE(whole.exitCode(), 0);
        QCOMPARE(read(), expected.last());

        // Each kill comes a random time after a random write was reported, so the kills fall among the
        // writes whatever else keeps the machine busy.
        QRandomGenerator random(20261207);
        int inProgress = 0;
        int leftovers = 0;
        int finished = 0;
        for (int kill = 0; kill < Kills; ++kill) {
            reset();
            QProcess child;
            start(child);
            const int after = random.bounded(Writes);
            QByteArray reported;
            const auto lastReported = [&] {
                const QList<QByteArray> lines = reported.trimmed().split('\n');
                return lines.constLast().toInt();
            };
            while (lastReported() < after && child.state() == QProcess::Running) {
                child.waitForReadyRead(1000);
                reported += child.readAllStandardOutput();
            }
            QThread::usleep(random.bounded(quint32(duration * 1000 / Writes + 1)));
            child.kill();
            QVERIFY(child.waitForFinished(10000));
            // The child names each write once it is complete; the one after the last named may be complete too.
            reported += child.readAllStandardOutput();
            const int done = lastReported();
            const qsizetype found = expected.indexOf(read());
            QVERIFY2(found == done || found == done + 1,
                     qPrintable(u"kill %1 after write %2 left %3"_s.arg(kill).arg(done).arg(found)));
            inProgress += found == done + 1 ? 1 : 0;
            finished += done == Writes ? 1 : 0;
            QCOMPARE(IniFile(settings).value(SettingsWrites::Section, SettingsWrites::Key),
                     found == 0 ? u"0"_s : SettingsWrites::value(int(found)));

            const QStringList all{u"Trivet.ini"_s};
            const auto entries = [&] {
                return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            };
            leftovers += entries() != all ? 1 : 0;
            QVERIFY(removeWorkLeftovers(folder.path()).ok());
            QVERIFY(removeWriteLeftovers(folder.path(), Catalogue::rootFileNames()).ok());
            QCOMPARE(entries(), all);
        }
        qInfo("%d kills in %d writes of %lld ms: %d with a write complete but not yet reported, %d after the "
              "last write, %d left a temporary file until the next start",
              Kills, Writes, duration, inProgress, finished, leftovers);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
