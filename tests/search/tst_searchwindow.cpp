#include "common/platform/Connectivity.h"
#include "common/settings/IniFile.h"
#include "launcher/mainwindow/IconButton.h"
#include "launcher/mainwindow/MainWindow.h"
#include "tests/support/IniWrite.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingProcessStarter.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace Trivet {

class SearchWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void typedQueryStartsTheChosenProgram()
    {
        Test::PortableFolder folder;
        folder.copyShippedFiles();
        folder.writeFile(u"Metapad/Metapad.exe"_s, "program");
        folder.writeFile(u"Notes/notes.exe"_s, "program");
        const QString ini = folder.appFolder().iniPath();
        QVERIFY(writeIni(u"Platform"_s, u"NativePackages"_s, u"1"_s, ini));
        QVERIFY(writeIni(u"MyOwnApps"_s, u"MyOwnAppName2"_s, u"Metapad notes"_s, ini));
        QVERIFY(writeIni(u"MyOwnApps"_s, u"MyOwnAppPath2"_s, u"Notes/notes.exe"_s, ini));
        auto starter = std::make_shared<Test::RecordingProcessStarter>();
        MainWindow window({folder.appFolder(), std::make_shared<FixedAddressSource>(u"192.168.1.20"_s), starter});
        QVERIFY(window.startUp());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *field = window.findChild<QLineEdit *>(u"txtSearch"_s);
        auto *list = window.findChild<QListWidget *>(u"lstSearchResults"_s);
        auto *none = window.findChild<QLabel *>(u"lbSearchNone"_s);
        auto *tabs = window.findChild<QTabWidget *>(u"SSTab1"_s);
        QVERIFY(field && list && none && tabs);
        QCOMPARE(field->maxLength(), 100);
        QCOMPARE(field->placeholderText(), window.texts().text(u"lbSearchHint"));

        // Ctrl+F puts the keyboard in the field; a letter typed on an icon begins the search with that letter.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        IconButton *icon = window.catalogueIcon(0, 0);
        icon->setFocus();
        QTest::keyClick(icon, Qt::Key_F, Qt::ControlModifier);
        QTRY_COMPARE(QApplication::focusWidget(), field);
        icon->setFocus();
        QTest::keyClick(icon, Qt::Key_Slash, Qt::NoModifier, '/');
        QCOMPARE(QApplication::focusWidget(), field);
        QVERIFY(field->text().isEmpty());
        icon->setFocus();
        QTest::keyClick(icon, Qt::Key_M, Qt::NoModifier);
        QCOMPARE(field->text(), u"m"_s);
        QTest::keyClicks(field, u"etapad zzzq"_s);
        QVERIFY(none->isVisible() && !list->isVisible() && !tabs->isVisible());
        QVERIFY(none->text().contains(u"metapad zzzq"_s));
        // The field's clear button empties it and brings the tabs back.
        auto *clear = field->findChild<QToolButton *>();
        QVERIFY(field->isClearButtonEnabled() && clear && clear->isVisible());
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(field->text().isEmpty());
        QVERIFY(tabs->isVisible() && !list->isVisible() && !none->isVisible());
        QTest::keyClicks(field, u"metapad zzzq"_s);

        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(field->text().isEmpty());
        QVERIFY(tabs->isVisible() && !list->isVisible() && !none->isVisible());

        QTest::keyClicks(field, u"METAPAD"_s);
        QVERIFY(list->isVisible() && !tabs->isVisible());
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->data(Qt::AccessibleTextRole).toString(),
                 u"Metapad, %1, %2"_s.arg(window.texts().text(u"stab2"), window.texts().text(u"lbOnStick")));
        QCOMPARE(list->item(1)->data(Qt::AccessibleTextRole).toString(),
                 u"Metapad notes, %1"_s.arg(window.texts().text(u"stab5")));
        // Metapad's tab was never shown, so its icon has not drawn its picture yet; the result still shows it.
        QVERIFY(!window.catalogueIcon(1, 5)->hasPicture());
        QVERIFY(!list->item(0)->icon().isNull());
        // Down stops at the last line, Up at the first; Enter starts the chosen one as a click on its icon does.
        QTest::keyClick(field, Qt::Key_Down);
        QTest::keyClick(field, Qt::Key_Down);
        QTest::keyClick(field, Qt::Key_Up);
        QTest::keyClick(field, Qt::Key_Up);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(starter->programs().size(), 1);
        QVERIFY2(starter->programs().back().endsWith(u"Metapad/Metapad.exe"_s), qPrintable(starter->programs().back()));
        QTest::keyClick(field, Qt::Key_Down);
        QTest::keyClick(field, Qt::Key_Down);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(starter->programs().size(), 2);
        QVERIFY2(starter->programs().back().endsWith(u"Notes/notes.exe"_s), qPrintable(starter->programs().back()));
    }
};

} // namespace Trivet

QTEST_MAIN(Trivet::SearchWindowTest)
#include "tst_searchwindow.moc"
