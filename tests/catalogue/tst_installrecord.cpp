#include "launcher/install/InstallRecord.h"
#include "launcher/install/RecordedFiles.h"
#include "tests/support/PortableFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Trivet;
using namespace Qt::StringLiterals;

namespace {

const QByteArray digest = QCryptographicHash::hash("program", QCryptographicHash::Sha256).toHex();

// A record as an install writes it, with the given lines added.
QByteArray recordWith(const QByteArray &lines)
{
    return "# written by hand\nformat=1\nentry=OFF-6\npackage=mpad35.zip\nsha256=" + digest +
           "\nsize=7\ndate=2026-12-08T13:51:52Z\nfile=7 " + digest + " Metapad/Metapad.exe\n" + lines;
}

} // namespace

class TestInstallRecord : public QObject
{
    Q_OBJECT

private slots:
    // A record is input like any file on the stick: whatever it says, it names nothing outside the portable
    // folder, nothing through a link and none of the folder's own files, and a bad one is refused with the
    // line that made it bad.
    void hostileRecordsAreRefusedWithAReason_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason"); // empty: the record is taken

        const auto file = [](const QByteArray &path) -> QByteArray { return "file=7 " + digest + ' ' + path + '\n'; };
        QTest::newRow("as written") << recordWith({}) << QString();
        QTest::newRow("spaces and CRLF") << recordWith("file=7 " + digest + " Metapad/read me.txt\r\n") << QString();
        QTest::newRow("absolute") << recordWith(file("/etc/passwd")) << u"line 9: the path is absolute"_s;
        QTest::newRow("backslash absolute") << recordWith(file("\\Windows\\notepad.exe")) << u"is absolute"_s;
        QTest::newRow("drive") << recordWith(file("C:/autoexec.bat")) << u"names a drive"_s;
        QTest::newRow("parent step") << recordWith(file("Metapad/../../outside")) << u"climbs out"_s;
        QTest::newRow("parent step inside") << recordWith(file("Metapad/../Metapad/x")) << u"climbs out"_s;
        QTest::newRow("through a link") << recordWith(file("Linked/victim.txt")) << u"leads through the link"_s;
        QTest::newRow("settings") << recordWith(file("Trivet.ini")) << u"own Trivet.ini"_s;
        QTest::newRow("settings in other case") << recordWith(file("trivet.INI")) << u"own trivet.INI"_s;
        QTest::newRow("languages") << recordWith(file("Languages/English.lng")) << u"own Languages"_s;
        QTest::newRow("keys") << recordWith(file("Keys\\publisher.key")) << u"own Keys"_s;
        QTest::newRow("launcher") << recordWith(file("TrivetDesk.exe")) << u"own TrivetDesk.exe"_s;
        QTest::newRow("updater") << recordWith(file("Updater")) << u"own Updater"_s;
        QTest::newRow("records") << recordWith(file(".trivet-records/OFF-7.record")) << u"own .trivet-records"_s;
        QTest::newRow("garbage line") << recordWith("\x01\xff garbage without a key\n") << u"line 9: not a key"_s;
        QTest::newRow("file without digest") << recordWith("file=7 Metapad/x\n") << u"line 9: not SIZE SHA256"_s;
        QTest::newRow("negative size") << recordWith("file=-7 " + digest + " a\n") << u"not SIZE SHA256"_s;
        QTest::newRow("listed twice") << recordWith(file("Metapad/Metapad.exe")) << u"listed twice"_s;
        QTest::newRow("unknown key") << recordWith("owner=root\n") << u"unknown key owner"_s;
        QTest::newRow("second package") << recordWith("package=other.zip\n") << u"package comes twice"_s;
        QTest::newRow("package with folder")
            << recordWith({}).replace("=mpad35.zip", "=../mpad35.zip") << u"line 4: not a file name"_s;
        QTest::newRow("entry as path") << recordWith({}).replace("=OFF-6", "=../OFF-6") << u"not an entry"_s;
        QTest::newRow("other format") << recordWith({}).replace("format=1", "format=2") << u"format"_s;
        QTest::newRow("empty") << QByteArray() << u"no format line"_s;
        QTest::newRow("no date") << recordWith({}).replace("date=", "#") << u"no date line"_s;
        QTest::newRow("huge") << recordWith(QByteArray(17 * 1024 * 1024, '#')) << u"larger than any record"_s;
    }

    void hostileRecordsAreRefusedWithAReason()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        Test::PortableFolder folder;
        QTemporaryDir elsewhere;
        folder.writeFile(u"Metapad/Metapad.exe"_s, "program");
        const QString link = folder.path(u"Linked"_s);
#ifdef Q_OS_WIN
        // QFile::link makes a shortcut file here; the file system follows only a symbolic link.
        const bool linked =
            CreateSymbolicLinkW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(link).utf16()),
                                reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(elsewhere.path()).utf16()),
                                SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
            QFileInfo(link).isDir();
        if (!linked && reason.contains(u"link"_s)) {
            QSKIP("no symbolic link to a folder could be made (Wine 8 makes none: CreateSymbolicLinkW fails)");
        }
#else
        QVERIFY(QFile::link(elsewhere.path(), link));
#endif
        const QString file = installRecordPath(folder.root(), u"OFF-6"_s);
        folder.writeFile(QDir(folder.root()).relativeFilePath(file), text);

        const InstallRecordRead read = readInstallRecord(folder.root(), file);
        if (reason.isEmpty()) {
            QVERIFY2(read.record, qPrintable(read.refusal));
            QCOMPARE(read.record->entry, u"OFF-6"_s);
            QCOMPARE(read.record->files.first().sha256.toHex(), digest);
            QCOMPARE(read.record->files.last().path.startsWith(u"Metapad/"_s), true);
        } else {
            QVERIFY(!read.record);
            QVERIFY2(read.refusal.contains(reason), qPrintable(read.refusal));
        }
    }

    // One package serving two icons: both records name the shared file, so it belongs to both and goes only
    // with the last; a file only one names belongs to that one.
    void aSharedFileBelongsToEveryEntryThatNamesIt()
    {
        Test::PortableFolder folder;
        const QByteArray sha = QByteArray::fromHex(digest);
        InstallRecord first{u"SYS-4"_s,
                            u"erunt.zip"_s,
                            sha,
                            7,
                            QDateTime::currentDateTimeUtc(),
                            {{u"ERUNT/ERUNT.EXE"_s, 7, sha}, {u"ERUNT/ERDNT.EXE"_s, 7, sha}}};
        InstallRecord second = first;
        second.entry = u"SYS-5"_s;
        second.files.removeLast();
        QList<InstallRecord> read;
        for (const InstallRecord &record : {first, second}) {
            const SaveResult saved = writeInstallRecord(folder.root(), record);
            QVERIFY2(saved.ok(), qPrintable(saved.message));
            const InstallRecordRead back =
                readInstallRecord(folder.root(), installRecordPath(folder.root(), record.entry));
            QVERIFY2(back.record, qPrintable(back.refusal));
            read.append(*back.record);
        }
        const QHash<QString, QStringList> owners = filesOwnedBy(read);
        QCOMPARE(owners.size(), 2);
        QCOMPARE(owners.value(u"ERUNT/ERUNT.EXE"_s), (QStringList{u"SYS-4"_s, u"SYS-5"_s}));
        QCOMPARE(owners.value(u"ERUNT/ERDNT.EXE"_s), QStringList{u"SYS-4"_s});

        // What reading refuses is never written.
        InstallRecord hostile = first;
        hostile.files.append({u"Trivet.ini"_s, 7, sha});
        QVERIFY(!writeInstallRecord(folder.root(), hostile).ok());
        QCOMPARE(readInstallRecord(folder.root(), installRecordPath(folder.root(), u"SYS-4"_s)).record->files.size(),
                 2);
    }
    // What a check, an update and a removal see of each recorded file: a flipped byte in a file of the same
    // size, a shorter file, a link or folder in a file's place, a file gone. Records that do not read are named
    // with their reason and left out.
    void recordedFilesAreComparedWithTheDrive()
    {
        Test::PortableFolder folder;
        QTemporaryDir elsewhere;
        const auto sha = [](const QByteArray &bytes) {
            return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
        };
        InstallRecord record{u"OFF-6"_s, u"mpad35.zip"_s, sha("zip"), 3, QDateTime::currentDateTimeUtc(), {}};
        const QList<std::pair<QString, FileState>> expected{
            {u"Metapad/same.txt"_s, FileState::Unchanged},  {u"Metapad/flipped.txt"_s, FileState::Changed},
            {u"Metapad/shorter.txt"_s, FileState::Changed}, {u"Metapad/linked.txt"_s, FileState::Changed},
            {u"Metapad/folder.txt"_s, FileState::Changed},  {u"Metapad/gone.txt"_s, FileState::Missing}};
        for (const auto &[path, state] : expected) {
            record.files.append({path, 8, sha("contents")});
        }
        folder.writeFile(u"Metapad/same.txt"_s, "contents");
        folder.writeFile(u"Metapad/flipped.txt"_s, "contentS");
        folder.writeFile(u"Metapad/shorter.txt"_s, "content");
        QFile::copy(folder.path(u"Metapad/same.txt"_s), elsewhere.filePath(u"target"_s));
        QVERIFY(QFile::link(elsewhere.filePath(u"target"_s), folder.path(u"Metapad/linked.txt"_s)));
        QVERIFY(QDir(folder.root()).mkpath(u"Metapad/folder.txt"_s));
        QVERIFY(writeInstallRecord(folder.root(), record).ok());
        folder.writeFile(u".trivet-records/SYS-4.record"_s, recordWith("file=7 " + digest + " /etc/passwd\n"));

        QStringList refusals;
        const QList<InstallRecord> records = readInstallRecords(folder.root(), &refusals);
        QCOMPARE(records.size(), 1);
        QCOMPARE(refusals.size(), 1);
        QVERIFY2(refusals.first().startsWith(u"SYS-4.record: line 9"_s), qPrintable(refusals.first()));

        qint64 read = 0;
        const QList<CheckedFile> checked =
            checkRecordedFiles(folder.root(), records.first(), nullptr, [&](qint64 bytes) { read += bytes; });
        QCOMPARE(checked.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QCOMPARE(checked.at(i).path, expected.at(i).first);
            QCOMPARE(checked.at(i).state, expected.at(i).second);
        }
        QCOMPARE(read, 5 * 8);

        const std::atomic_bool cancelled = true;
        QVERIFY(checkRecordedFiles(folder.root(), records.first(), &cancelled).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestInstallRecord)
#include "tst_installrecord.moc"
