#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/install/InstallRecord.h"
#include "launcher/mainwindow/IconButton.h"
#include "launcher/mainwindow/MainWindow.h"
#include "launcher/mainwindow/MessageBox.h"
#include "launcher/mainwindow/UpdateProgramsWindow.h"
#include "tests/support/ArchiveWriter.h"
#include "tests/support/IniWrite.h"
#include "tests/support/OwnWarnings.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingProcessStarter.h"
#include "tools/mirror/MirrorServer.h"

#include <QAction>
#include <QCryptographicHash>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using namespace Trivet;
using Test::ArchiveMember;
using Test::ArchiveWriter;

namespace {

struct Program
{
    int slot;
    QString id;
    QString exe; // where the package puts it, below the portable folder
    QString package;
};
const QList<Program> programs{{5, u"OFF-6"_s, u"Metapad/Metapad.exe"_s, u"mpad35.zip"_s},
                              {8, u"OFF-9"_s, u"Spread32/Spread32.exe"_s, u"Spread32.zip"_s}};

QByteArray packageOf(const QString &exe, const QByteArray &content)
{
    return ArchiveWriter::zip({ArchiveMember::file(exe.section(u'/', -1), content, 0755)});
}

void moveOver(QWidget *widget)
{
    const QPoint pos(2, 2);
    QMouseEvent event(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

class TestUpdateWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Test::PortableFolder> m_folder;
    QString T(const QString &key) const { return translation(key, m_folder->path(u"Languages/English.lng"_s)); }

private slots:
    void initTestCase()
    {
        Test::installOwnWarningGuard();
        MessageBox::setRecording(true);
        QStandardPaths::setTestModeEnabled(true);
    }

    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        MessageBox::takeShown();
        Test::ownWarnings().clear();
    }

    void cleanup()
    {
        QVERIFY2(Test::ownWarnings().isEmpty(), qPrintable(Test::ownWarnings().join(u"\n"_s)));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // Two programs on the stick whose packages the settings now name newer ones of: their icons carry the
    // update mark, the window lists both, Update brings both to the new version, and the marks go.
    void updateWindowBringsMarkedProgramsUpToDate()
    {
        MirrorServer mirror;
        QVERIFY(mirror.listen());
        const QString ini = m_folder->appFolder().iniPath();
        QVERIFY(writeIni(u"Platform"_s, u"NativePackages"_s, u"1"_s, ini));
        for (const Program &program : programs) {
            const QString urlPath = u"/packages/"_s + program.id;
            mirror.setBody(urlPath, packageOf(program.exe, "version 1 of " + program.id.toUtf8()));
            QVERIFY(writeIni(u"Applications"_s, u"URL"_s + program.id, mirror.url(urlPath).toString(), ini));
        }
        auto starter = std::make_shared<Test::RecordingProcessStarter>();
        MainWindow window({m_folder->appFolder(), std::make_shared<FixedAddressSource>(u"192.168.1.20"_s), starter});
        QVERIFY(window.startUp());
        window.show();
        auto *tabs = window.findChild<QTabWidget *>(u"SSTab1"_s);
        tabs->setCurrentIndex(1);
        QSignalSpy finished(window.launchController(), &LaunchController::installationFinished);
        for (const Program &program : programs) {
            QTest::mouseClick(window.catalogueIcon(1, program.slot), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
            QVERIFY(finished.takeFirst().at(1).toBool());
            QVERIFY(!window.catalogueIcon(1, program.slot)->isOutdated());
        }

        // A new program list names other packages.
        QByteArray newSize;
        for (const Program &program : programs) {
            const QByteArray package = packageOf(program.exe, "version 2 of " + program.id.toUtf8());
            mirror.setBody(u"/packages/"_s + program.id, package);
            const QByteArray sha = QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex();
            QVERIFY(writeIni(u"Checksums"_s, program.package, QString::fromLatin1(sha), ini));
        }
        QVERIFY(writeIni(u"Sizes"_s, u"mpad35.zip"_s, u"2500000"_s, ini));
        tabs->setCurrentIndex(0);
        tabs->setCurrentIndex(1);
        for (const Program &program : programs) {
            IconButton *icon = window.catalogueIcon(1, program.slot);
            QVERIFY(icon->isOutdated() && icon->isMarked());
            QCOMPARE(icon->accessibleDescription(), T(u"lbOnStick"_s) + u' ' + T(u"lbOutdated"_s));
        }
        QVERIFY(!window.catalogueIcon(1, 0)->isOutdated());
        const auto *info = window.findChild<QLabel *>(u"LbOffInfo"_s);
        moveOver(window.catalogueIcon(1, 5));
        QCOMPARE(info->text(), T(u"lbMeta"_s) + u'\n' + T(u"lbUpdateAvailable"_s).arg(u"2.4 MB"_s));
        moveOver(window.catalogueIcon(1, 8));
        QCOMPARE(info->text(), T(u"lbSpread"_s) + u'\n' + T(u"lbUpdateAvailableUnsized"_s));

        auto *menuItem = window.findChild<QAction *>(u"mnuUpdatePrograms"_s);
        QCOMPARE(menuItem->text(), T(u"mnuUpdatePrograms"_s));
        menuItem->trigger();
        UpdateProgramsWindow *dialog = window.updateProgramsWindow();
        QVERIFY(dialog && dialog->isVisible() && dialog->isModal());
        QCOMPARE(dialog->objectName(), u"FrmUpdatePrograms"_s);
        QCOMPARE(dialog->windowTitle(), T(u"FrmUpdatePrograms"_s));
        auto *list = dialog->findChild<QTreeWidget *>(u"lstUpdatePrograms"_s);
        QCOMPARE(list->topLevelItemCount(), 2);
        for (int row = 0; row < 2; ++row) {
            const QTreeWidgetItem *item = list->topLevelItem(row);
            QCOMPARE(item->text(UpdateProgramsWindow::ProgramColumn),
                     window.settings().value(u"Applications", QString(u"app"_s + programs[row].id)));
            QCOMPARE(item->checkState(UpdateProgramsWindow::ProgramColumn), Qt::Checked);
        }
        QCOMPARE(list->topLevelItem(0)->text(UpdateProgramsWindow::SizeColumn), u"2.4 MB"_s);
        auto *close = dialog->findChild<QPushButton *>(u"cmdCancelUpdates"_s);
        QCOMPARE(close->text(), T(u"cmdClose"_s));

        // The user changed the first program's file: the update keeps it, and says so in the window, not in a box.
        m_folder->writeFile(programs[0].exe, "changed by the user");
        QTest::mouseClick(dialog->findChild<QPushButton *>(u"cmdUpdatePrograms"_s), Qt::LeftButton);
        QCOMPARE(close->text(), T(u"cmdCancelDownload"_s));
        auto *summary = dialog->findChild<QLabel *>(u"lbUpdSummary"_s);
        QTRY_VERIFY_WITH_TIMEOUT(summary->isVisible(), 20000);
        QCOMPARE(summary->text(), T(u"lbUpdSummary"_s).arg(2).arg(0).arg(0));
        QCOMPARE(close->text(), T(u"cmdClose"_s));
        QVERIFY(!dialog->findChild<QProgressBar *>(u"prgUpdate"_s)->isVisible());
        QVERIFY(!dialog->findChild<QPushButton *>(u"cmdUpdatePrograms"_s)->isVisible());
        for (int row = 0; row < 2; ++row) {
            const Program &program = programs[row];
            QCOMPARE(list->topLevelItem(row)->text(UpdateProgramsWindow::StateColumn), T(u"lbUpdDone"_s));
            QCOMPARE(m_folder->readFile(row == 0 ? program.exe + u".new"_s : program.exe),
                     "version 2 of " + program.id.toUtf8());
            QVERIFY(!window.catalogueIcon(1, program.slot)->isOutdated());
            QCOMPARE(window.catalogueIcon(1, program.slot)->accessibleDescription(), T(u"lbOnStick"_s));
        }
        QCOMPARE(m_folder->readFile(programs[0].exe), "changed by the user");
        QVERIFY(dialog->findChild<QWidget *>(u"txtUpdKept"_s)->isVisible());
        QVERIFY(MessageBox::takeShown().isEmpty());
        // One request for each version of each program: the updates ran once each.
        for (const Program &program : programs) {
            QCOMPARE(mirror.requestCount(u"/packages/"_s + program.id), 2);
        }
        QTest::mouseClick(close, Qt::LeftButton);
        QTRY_VERIFY(!window.updateProgramsWindow());

        // Opened again, it has nothing left to do.
        menuItem->trigger();
        dialog = window.updateProgramsWindow();
        QVERIFY(dialog);
        QCOMPARE(dialog->findChild<QLabel *>(u"lbUpdNothing"_s)->text(), T(u"lbUpdAllCurrent"_s));
        QVERIFY(!dialog->findChild<QPushButton *>(u"cmdUpdatePrograms"_s)->isVisible());
        dialog->close();
    }
};

QTEST_MAIN(TestUpdateWindow)
#include "tst_updatewindow.moc"
