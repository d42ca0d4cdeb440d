#include "common/platform/Connectivity.h"
#include "common/settings/LangHandler.h"
#include "launcher/install/InstallRecord.h"
#include "launcher/mainwindow/CatalogueTabPage.h"
#include "launcher/mainwindow/IconButton.h"
#include "launcher/mainwindow/MainWindow.h"
#include "launcher/mainwindow/MessageBox.h"
#include "tests/support/OwnWarnings.h"
#include "tests/support/PortableFolder.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QMenu>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Trivet;

class TestIconMenu : public QObject
{
    Q_OBJECT

public slots:
    // The desktop's file manager, as far as the launcher sees it.
    void openedByDesktop(const QUrl &url) { m_opened.append(url); }

private:
    std::unique_ptr<Test::PortableFolder> m_folder;
    QList<QUrl> m_opened;

    // The window with Metapad on its tab, off-line, and the menu of Metapad's icon as Shift+F10 opens it.
    QMenu *openMetapadMenu(MainWindow &window)
    {
        if (!window.startUp()) {
            return nullptr;
        }
        window.show();
        window.findChild<QTabWidget *>(u"SSTab1"_s)->setCurrentIndex(1);
        IconButton *icon = window.catalogueIcon(1, 5);
        icon->setFocus();
        QTest::keyClick(icon, Qt::Key_F10, Qt::ShiftModifier);
        return window.catalogueTab(1)->findChild<QMenu *>(u"mnuProgram"_s);
    }

    QString english(const QString &key) const { return translation(key, m_folder->path(u"Languages/English.lng"_s)); }

    // Metapad as an install leaves it, with a file the user changed since.
    void installMetapad()
    {
        InstallRecord record{u"OFF-6"_s, u"mpad35.zip"_s, QByteArray(32, 'p'), 100, QDateTime::currentDateTimeUtc(),
                             {}};
        for (const auto &[path, content] : {std::pair{u"Metapad/Metapad.exe"_s, QByteArray("program")},
                                            std::pair{u"Metapad/docs/read me.txt"_s, QByteArray("read me")},
                                            std::pair{u"Metapad/Metapad.ini"_s, QByteArray("as shipped")}}) {
            m_folder->writeFile(path, content);
            record.files.append({path, content.size(), QCryptographicHash::hash(content, QCryptographicHash::Sha256)});
        }
        QVERIFY(writeInstallRecord(m_folder->root(), record).ok());
        m_folder->writeFile(u"Metapad/Metapad.ini"_s, "changed by the user");
    }

private slots:
    void initTestCase()
    {
        Test::installOwnWarningGuard();
        MessageBox::setRecording(true);
    }

    void init()
    {
        m_opened.clear();
        QDesktopServices::setUrlHandler(u"file"_s, this, "openedByDesktop");
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        MessageBox::takeShown();
        Test::ownWarnings().clear();
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(u"file"_s); }

    void cleanup() { QVERIFY2(Test::ownWarnings().isEmpty(), qPrintable(Test::ownWarnings().join(u"\n"_s))); }

    // The keyboard's two ways and a right click open the menu of the icon, with what applies to an installed
    // program off-line; Remove asks first, and only a Yes takes the program and its mark off the stick.
    void menuRemovesTheProgramAfterAYes_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("yes");
        QTest::newRow("Shift+F10, Yes") << u"Shift+F10"_s << true;
        QTest::newRow("Menu key, No") << u"Menu"_s << false;
        QTest::newRow("right click, No") << u"right click"_s << false;
    }

    void menuRemovesTheProgramAfterAYes()
    {
        QFETCH(QString, way);
        QFETCH(bool, yes);
        installMetapad();
        MainWindow window({m_folder->appFolder(), std::make_shared<FixedAddressSource>(u"127.0.0.1"_s), nullptr});
        QVERIFY(window.startUp());
        window.show();
        window.findChild<QTabWidget *>(u"SSTab1"_s)->setCurrentIndex(1);
        IconButton *icon = window.catalogueIcon(1, 5);
        QVERIFY(icon->isMarked());
        MessageBox::takeShown();

        icon->setFocus();
        if (way == u"Shift+F10") {
            QTest::keyClick(icon, Qt::Key_F10, Qt::ShiftModifier);
        } else if (way == u"Menu") {
            QTest::keyClick(icon, Qt::Key_Menu);
        } else {
            // What the desktop makes of a right click.
            QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(4, 4), icon->mapToGlobal(QPoint(4, 4)));
            QCoreApplication::sendEvent(icon, &click);
        }
        auto *menu = window.catalogueTab(1)->findChild<QMenu *>(u"mnuProgram"_s);
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QStringList items;
        for (const QAction *action : menu->actions()) {
            QCOMPARE(action->text(), english(action->objectName()));
            items.append(action->objectName() + (action->isEnabled() ? u""_s : u" (disabled)"_s));
        }
        QCOMPARE(items, (QStringList{u"mnuProgStart"_s, u"mnuProgReinstall (disabled)"_s, u"mnuProgCheck"_s,
                                     u"mnuProgOpenFolder"_s, u"mnuProgRemove"_s}));

        MessageBox::setNextAnswer(yes ? QMessageBox::Yes : QMessageBox::No);
        menu->findChild<QAction *>(u"mnuProgRemove"_s)->trigger();
        const QString question = english(u"MsgRemoveAsk"_s).replace(u"%1"_s, u"Metapad"_s);
        if (!yes) {
            const QList<MessageBox::Shown> shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().text, question);
            QVERIFY(icon->isMarked());
            QVERIFY(m_folder->exists(u"Metapad/Metapad.exe"_s));
            // No removal runs in the background: the menu still offers everything.
            QCOMPARE(window.programActions()->offered(1, 5).size(), items.size());
            return;
        }
        QTRY_VERIFY(!icon->isMarked());
        QVERIFY(!m_folder->exists(u"Metapad/Metapad.exe"_s));
        QVERIFY(!m_folder->exists(u"Metapad/docs"_s));
        QCOMPARE(m_folder->readFile(u"Metapad/Metapad.ini"_s), "changed by the user");
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0).text, question);
        QCOMPARE(shown.at(1).text, english(u"MsgRemovedKept"_s).replace(u"%1"_s, u"Metapad"_s) + u"\n"_s +
                                       QDir::toNativeSeparators(u"Metapad/Metapad.ini"_s));
    }

    // Open Folder hands the program's own folder to the desktop, and Check Files asks for the check of that
    // program, without a message either way.
    void menuItemsReachTheirReceivers()
    {
        installMetapad();
        MainWindow window({m_folder->appFolder(), std::make_shared<FixedAddressSource>(u"127.0.0.1"_s), nullptr});
        QSignalSpy checks(&window, &MainWindow::checkFilesRequested);
        QMenu *menu = openMetapadMenu(window);
        QVERIFY(menu);
        MessageBox::takeShown();

        menu->findChild<QAction *>(u"mnuProgOpenFolder"_s)->trigger();
        QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(m_folder->path(u"Metapad"_s))});
        menu->findChild<QAction *>(u"mnuProgCheck"_s)->trigger();
        QCOMPARE(checks.size(), 1);
        QCOMPARE(checks.first().first().toString(), u"OFF-6"_s);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
};

QTEST_MAIN(TestIconMenu)
#include "tst_iconmenu.moc"
