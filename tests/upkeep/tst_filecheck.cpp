#include "common/platform/Sha256.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/install/InstallRecord.h"
#include "launcher/mainwindow/FileCheckWindow.h"
#include "launcher/mainwindow/MainWindow.h"
#include "launcher/mainwindow/MessageBox.h"
#include "launcher/upkeep/FileCheck.h"
#include "tests/support/ArchiveWriter.h"
#include "tests/support/IniWrite.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingProcessStarter.h"
#include "tools/mirror/MirrorServer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Trivet;
using Test::ArchiveMember;

namespace {

// Keeps what the check shows, in the window's place.
struct RecordingCheckView final : FileCheckView
{
    QString status;
    QStringList lines;
    bool cancelEnabled = false;
    bool repairEnabled = false;
    int progressFiles = 0; // as the bar's text last counted them

    void showCheckStatus(const QString &text) override { status = text; }
    void showCheckProgress(qint64, qint64, const QString &text) override
    {
        progressFiles = text.section(u' ', 0, 0).toInt();
    }
    void showCheckedPrograms(const QList<ProgramLines> &programs) override
    {
        lines.clear();
        for (const ProgramLines &program : programs) {
            lines.append(program.heading);
            for (const QString &file : program.files) {
                lines.append(u"  "_s + file);
            }
        }
    }
    void enableCheckButtons(bool cancel, bool repair) override
    {
        cancelEnabled = cancel;
        repairEnabled = repair;
    }
};

// What a row does to the stick after the install of Metapad's three files.
enum class Damage { None, FlipAndRemove, GrowFile, UnreadableRecord, NoRecords, OtherProgramGone };

} // namespace

class TestFileCheck : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Test::PortableFolder> m_folder;

    QString english(const QString &key) const { return translation(key, m_folder->path(u"Languages/English.lng"_s)); }

    // Writes the files and the record an install of them would have left.
    void install(const QString &entry, const QList<std::pair<QString, QByteArray>> &files)
    {
        InstallRecord record{.entry = entry,
                             .package = u"package.zip"_s,
                             .packageSha256 = QByteArray(32, 'p'),
                             .packageSize = 1,
                             .date = QDateTime::currentDateTimeUtc(),
                             .files = {}};
        for (const auto &[path, bytes] : files) {
            m_folder->writeFile(path, bytes);
            Sha256 hash;
            hash.add(bytes);
            record.files.append({path, bytes.size(), hash.result()});
        }
        QVERIFY(writeInstallRecord(m_folder->root(), record).ok());
    }

    void installMetapad()
    {
        install(u"OFF-6"_s, {{u"Metapad/Metapad.exe"_s, QByteArray(5000, 'm')},
                             {u"Metapad/b.dll"_s, "library bytes"},
                             {u"Metapad/c.txt"_s, "read me"}});
    }

private slots:
    void initTestCase()
    {
        MessageBox::setRecording(true);
        QStandardPaths::setTestModeEnabled(true);
    }

    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        MessageBox::takeShown();
    }

    void cleanup() { m_folder.reset(); }

    // Each program is listed with what the check found of its files, and Repair is offered only for damage.
    void checkListsEveryProgram_data()
    {
        QTest::addColumn<Damage>("damage");
        QTest::addColumn<QString>("only"); // the one program checked; empty for all
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("status"); // how the line above the list begins
        QTest::addColumn<bool>("repair");
        QTest::newRow("as installed") << Damage::None << QString()
                                      << QStringList{u"Metapad: all 3 files are as installed."_s}
                                      << u"Check finished: 3 files, "_s << false;
        QTest::newRow("byte flipped, file gone")
            << Damage::FlipAndRemove << QString()
            << QStringList{u"Metapad: 2 of 3 files are not as installed."_s, u"  Missing: Metapad/c.txt"_s,
                           u"  Changed: Metapad/b.dll"_s}
            << u"Check finished: 3 files, "_s << true;
        QTest::newRow("file grown") << Damage::GrowFile << QString()
                                    << QStringList{u"Metapad: 1 of 3 files are not as installed."_s,
                                                   u"  Changed: Metapad/Metapad.exe"_s}
                                    << u"Check finished: 3 files, "_s << true;
        QTest::newRow("a record that does not read")
            << Damage::UnreadableRecord << QString()
            << QStringList{u"Metapad: all 3 files are as installed."_s,
                           u"ReSysInfo: the record of its files cannot be read: line 3: "_s}
            << u"Check finished: 3 files, "_s << false;
        QTest::newRow("no records") << Damage::NoRecords << QString() << QStringList{}
                                    << u"No program on the stick was installed with a record of its files yet."_s
                                    << false;
        QTest::newRow("one program of two")
            << Damage::OtherProgramGone << u"OFF-6"_s << QStringList{u"Metapad: all 3 files are as installed."_s}
            << u"Check finished: 3 files, "_s << false;
        QTest::newRow("one program without a record")
            << Damage::None << u"SYS-1"_s << QStringList{}
            << u"ReSysInfo was not installed with a record of its files, so they cannot be checked."_s << false;
    }
    void checkListsEveryProgram()
    {
        QFETCH(Damage, damage);
        QFETCH(QString, only);
        QFETCH(QStringList, lines);
        QFETCH(QString, status);
        QFETCH(bool, repair);
        if (damage != Damage::NoRecords) {
            installMetapad();
        }
        switch (damage) {
        case Damage::FlipAndRemove: {
            QByteArray bytes = m_folder->readFile(u"Metapad/b.dll"_s);
            bytes[3] = char(bytes[3] ^ 0x01);
            m_folder->writeFile(u"Metapad/b.dll"_s, bytes);
            m_folder->remove(u"Metapad/c.txt"_s);
            break;
        }
        case Damage::GrowFile:
            m_folder->writeFile(u"Metapad/Metapad.exe"_s, QByteArray(5001, 'm'));
            break;
        case Damage::UnreadableRecord:
            m_folder->writeFile(u".trivet-records/SYS-1.record"_s,
                                "format=1\nentry=SYS-1\npackage=x.zip\nsha256=" + QByteArray(64, '0') +
                                    "\nsize=1\ndate=2026-12-08T13:51:52Z\nfile=1 " + QByteArray(64, '0') +
                                    " ../outside.exe\n");
            break;
        case Damage::OtherProgramGone:
            install(u"MISC-1"_s, {{u"HoverSnap/HoverSnap.exe"_s, "snap"}});
            m_folder->remove(u"HoverSnap/HoverSnap.exe"_s);
            break;
        case Damage::None:
        case Damage::NoRecords:
            break;
        }
        if (damage == Damage::UnreadableRecord) {
            // The reason is the reader's own, whatever its words.
            const InstallRecordRead read =
                readInstallRecord(m_folder->root(), installRecordPath(m_folder->root(), u"SYS-1"_s));
            QVERIFY(!read.record);
            lines[1] = u"ReSysInfo: the record of its files cannot be read: "_s + read.refusal;
        }

        const IniFile settings(m_folder->appFolder().iniPath());
        const LanguageTexts texts(m_folder->root());
        RecordingCheckView view;
        FileCheck check(m_folder->appFolder(), settings, texts, view);
        QSignalSpy finished(&check, &FileCheck::checkFinished);
        if (only.isEmpty()) {
            check.checkAll();
        } else {
            check.checkProgram(only);
        }
        QVERIFY(view.cancelEnabled);
        QVERIFY(finished.wait(10000));
        QCOMPARE(view.lines, lines);
        QVERIFY2(view.status.startsWith(status), qPrintable(view.status));
        QCOMPARE(view.repairEnabled, repair);
        QVERIFY(!view.cancelEnabled);
    }

    // Cancel stops before the next file: the file being read is finished, the rest of its program and the
    // programs after it are not read, and what was found so far stays listed.
    void cancelStopsBeforeTheNextFile()
    {
        // A large file takes long enough to read for Cancel to arrive while it is read; being sparse, it takes
        // no room.
        installMetapad();
        const QString large = m_folder->path(u"Big/large.bin"_s);
        m_folder->writeFile(u"Big/small.txt"_s, "gone soon");
        m_folder->writeFile(u"Big/large.bin"_s, {});
        QVERIFY(QFile::resize(large, qint64(1) << 30));
        InstallRecord record{.entry = u"MISC-1"_s,
                             .package = u"big.zip"_s,
                             .packageSha256 = QByteArray(32, 'p'),
                             .packageSize = 1,
                             .date = QDateTime::currentDateTimeUtc(),
                             .files = {{u"Big/small.txt"_s, 9, QByteArray(32, 's')},
                                       {u"Big/large.bin"_s, qint64(1) << 30, QByteArray(32, 'l')},
                                       {u"Big/after.txt"_s, 5, QByteArray(32, 'a')}}};
        QVERIFY(writeInstallRecord(m_folder->root(), record).ok());
        // Entries are checked in the order of their names: MISC-1 before OFF-6.

        const IniFile settings(m_folder->appFolder().iniPath());
        const LanguageTexts texts(m_folder->root());
        RecordingCheckView view;
        FileCheck check(m_folder->appFolder(), settings, texts, view);
        QSignalSpy finished(&check, &FileCheck::checkFinished);
        check.checkAll();
        QTRY_VERIFY_WITH_TIMEOUT(view.progressFiles >= 1 || !finished.isEmpty(), 10000);
        // While it reads, the line above the bar names the program and the sizes read of all.
        QVERIFY2(view.status.startsWith(u"Checking HoverSnap... "_s) && view.status.endsWith(u" of 1.0 GB"_s),
                 qPrintable(view.status));
        check.cancel();
        QVERIFY(!finished.isEmpty() || finished.wait(30000));

        QVERIFY(check.wasCancelled());
        QCOMPARE(check.results().size(), 1);
        const ProgramCheck &big = check.results().first();
        QCOMPARE(big.entry, u"MISC-1"_s);
        QCOMPARE(big.fileCount, 3);
        QCOMPARE(big.checkedCount, 2);
        QCOMPARE(big.changed, (QStringList{u"Big/small.txt"_s, u"Big/large.bin"_s}));
        QVERIFY(big.missing.isEmpty());
        QCOMPARE(view.lines.value(0),
                 english(u"lbCheckPartial"_s)
                     .arg(readIni(u"Applications"_s, u"appMISC-1"_s, m_folder->appFolder().iniPath()), u"2"_s, u"3"_s));
        QCOMPARE(view.status, english(u"lbCheckCancelled"_s).arg(u"2"_s, u"6"_s));
        QVERIFY(view.repairEnabled);
    }

    // A program whose reinstall does not start, ends in failure or leaves its files changed is named as not
    // repaired, and Repair stays offered for it.
    void repairNamesWhatItCouldNotMend_data()
    {
        QTest::addColumn<bool>("starts");
        QTest::addColumn<bool>("ok");
        QTest::newRow("reinstall refused") << false << false;
        QTest::newRow("reinstall failed") << true << false;
        QTest::newRow("reinstall left the change") << true << true;
    }
    void repairNamesWhatItCouldNotMend()
    {
        QFETCH(bool, starts);
        QFETCH(bool, ok);
        installMetapad();
        m_folder->remove(u"Metapad/b.dll"_s);
        const IniFile settings(m_folder->appFolder().iniPath());
        const LanguageTexts texts(m_folder->root());
        RecordingCheckView view;
        FileCheck check(m_folder->appFolder(), settings, texts, view);
        QSignalSpy checked(&check, &FileCheck::checkFinished);
        check.checkAll();
        QVERIFY(checked.wait(10000));
        QStringList asked;
        check.setReinstaller([&](const QString &id) {
            asked.append(id);
            if (starts) {
                // The install ends later, as a download does.
                QMetaObject::invokeMethod(
                    &check, [&check, id, ok] { check.installationFinished(id, ok); }, Qt::QueuedConnection);
            }
            return starts;
        });
        QSignalSpy repaired(&check, &FileCheck::repairFinished);
        check.repair();
        QVERIFY(!repaired.isEmpty() || repaired.wait(10000));
        QCOMPARE(asked, QStringList{u"OFF-6"_s});
        QCOMPARE(view.status, u"Not repaired: Metapad"_s);
        QCOMPARE(view.lines,
                 (QStringList{u"Metapad: 1 of 3 files are not as installed."_s, u"  Missing: Metapad/b.dll"_s}));
        QVERIFY(view.repairEnabled);
    }

    // The window lists a changed file of an installed program, and Repair installs it again from its mirror,
    // after which the list shows it whole.
    void repairMakesTheListClean()
    {
        MirrorServer mirror;
        QVERIFY(mirror.listen());
        mirror.setBody(u"/packages/metapad.zip"_s,
                       Test::ArchiveWriter::zip({ArchiveMember::file(u"Metapad.exe"_s, QByteArray(4000, 'x'), 0755),
                                                 ArchiveMember::file(u"readme.txt"_s, "read me")}));
        QVERIFY(writeIni(u"Applications"_s, u"URLOFF-6"_s, mirror.url(u"/packages/metapad.zip"_s).toString(),
                         m_folder->appFolder().iniPath()));
        auto recorder = std::make_shared<Test::RecordingProcessStarter>();
        MainWindow window(
            LauncherContext{m_folder->appFolder(), std::make_shared<FixedAddressSource>(u"192.168.1.20"_s), recorder});
        QVERIFY(window.startUp());
        QSignalSpy installed(window.launchController(), &LaunchController::installationFinished);
        window.launchController()->launch(1, 5);
        QVERIFY(installed.wait(10000));
        QVERIFY(installed.first().at(1).toBool());

        QByteArray exe = m_folder->readFile(u"Metapad/Metapad.exe"_s);
        exe[100] = 'y';
        m_folder->writeFile(u"Metapad/Metapad.exe"_s, exe);

        auto *checkAll = window.findChild<QAction *>(u"mnuCheckAll"_s);
        QVERIFY(checkAll);
        QCOMPARE(checkAll->text(), english(u"mnuCheckAll"_s));
        checkAll->trigger();
        FileCheckWindow *dialog = window.fileCheckWindow();
        QVERIFY(dialog && dialog->isVisible() && dialog->isModal());
        QCOMPARE(dialog->objectName(), u"FrmCheckFiles"_s);
        QCOMPARE(dialog->windowTitle(), u"Check Files"_s);
        const QStringList damaged{u"Metapad: 1 of 2 files are not as installed."_s,
                                  u"  Changed: Metapad/Metapad.exe"_s};
        QTRY_COMPARE_WITH_TIMEOUT(dialog->listedLines(), damaged, 10000);
        auto *repair = dialog->findChild<QPushButton *>(u"cmdRepair"_s);
        QVERIFY(repair->isEnabled());
        repair->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialog->listedLines(), QStringList{u"Metapad: all 2 files are as installed."_s},
                                  20000);
        // A changed file is the user's, as at an update: it stays, and the package's copy lies beside it.
        QCOMPARE(m_folder->readFile(u"Metapad/Metapad.exe"_s), exe);
        QCOMPARE(m_folder->readFile(u"Metapad/Metapad.exe.new"_s), QByteArray(4000, 'x'));
        QVERIFY(!repair->isEnabled());
        QCOMPARE(mirror.requestCount(u"/packages/metapad.zip"_s), 2);

        dialog->findChild<QPushButton *>(u"cmdCloseCheck"_s)->click();
        QTRY_VERIFY(!window.fileCheckWindow());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        // Named as the system spells paths to its user.
        QVERIFY2(shown.first().text.contains(QDir::toNativeSeparators(u"Metapad/Metapad.exe"_s)),
                 qPrintable(shown.first().text));
    }
};

QTEST_MAIN(TestFileCheck)
#include "tst_filecheck.moc"
