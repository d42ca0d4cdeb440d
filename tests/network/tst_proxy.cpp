#include "common/network/InternetSettings.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/mainwindow/MainWindow.h"
#include "launcher/mainwindow/MessageBox.h"
#include "tests/support/IniWrite.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingProcessStarter.h"
#include "tools/mirror/MirrorServer.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Trivet;

class TestProxy : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Test::PortableFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_user;
    std::shared_ptr<InternetSettings> m_store;

    std::unique_ptr<MainWindow> startWindow()
    {
        auto window = std::make_unique<MainWindow>(
            LauncherContext{m_folder->appFolder(), std::make_shared<FixedAddressSource>(u"192.168.1.20"_s),
                            std::make_shared<Test::RecordingProcessStarter>(), m_store});
        return window->startUp() ? std::move(window) : nullptr;
    }
    QString storePath() const { return m_user->filePath(u"Internet Settings.ini"_s); }
    template <typename T> T *control(MainWindow &window, const QString &name) { return window.findChild<T *>(name); }

private slots:
    void initTestCase() { MessageBox::setRecording(true); }

    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        m_user = std::make_unique<QTemporaryDir>();
        m_store = std::make_shared<InternetSettings>(storePath());
        MessageBox::takeShown();
    }

    void startUpShowsTheStoredProxy_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("enable");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("checked");
        QTest::newRow("address and port, on") << u"10.0.0.1:8080"_s << u"1"_s << u"10.0.0.1"_s << u"8080"_s << true;
        QTest::newRow("no port, off") << u"proxy.lan"_s << u"0"_s << u"proxy.lan"_s << QString() << false;
        QTest::newRow("several colons") << u"a.lan:3128:extra"_s << u"1"_s << u"a.lan"_s << u"3128"_s << true;
        QTest::newRow("nothing stored") << QString() << QString() << QString() << QString() << false;
        QTest::newRow("IPv6 in brackets") << u"[::1]:3128"_s << u"1"_s << u"::1"_s << u"3128"_s << true;
        QTest::newRow("on typed as yes") << u"proxy.lan:8080"_s << u"yes"_s << u"proxy.lan"_s << u"8080"_s << true;
    }

    void startUpShowsTheStoredProxy()
    {
        QFETCH(QString, server);
        QFETCH(QString, enable);
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(bool, checked);
        if (!server.isEmpty()) {
            QVERIFY(writeIni(u"Internet Settings"_s, u"ProxyServer"_s, server, storePath()));
            QVERIFY(writeIni(u"Internet Settings"_s, u"ProxyEnable"_s, enable, storePath()));
        }
        auto window = startWindow();
        QVERIFY(window);
        QVERIFY(control<QWidget>(*window, u"Frame1"_s)->isVisibleTo(window.get()));
        QCOMPARE(control<QLineEdit>(*window, u"TxtOrgProxy"_s)->text(), server);
        QCOMPARE(control<QLineEdit>(*window, u"TxtProxyIP"_s)->text(), address);
        QCOMPARE(control<QLineEdit>(*window, u"TxtProxyPort"_s)->text(), port);
        QCOMPARE(control<QCheckBox>(*window, u"ChkProxy"_s)->isChecked(), checked);
        QCOMPARE(control<QLineEdit>(*window, u"TxtProxyIP"_s)->isEnabled(), checked);
        QCOMPARE(control<QLineEdit>(*window, u"TxtProxyPort"_s)->isEnabled(), checked);
        // Set stays usable, so a stored proxy can always be switched off.
        QVERIFY(control<QPushButton>(*window, u"CmdSetProxy"_s)->isEnabled());
    }

    void downloadsUseTheStoredProxy_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("enable");
        QTest::addColumn<QString>("host"); // empty: downloads go direct
        QTest::addColumn<int>("port");
        QTest::newRow("address and port") << u"10.0.0.1:8080"_s << u"1"_s << u"10.0.0.1"_s << 8080;
        QTest::newRow("no port") << u"proxy.lan"_s << u"1"_s << u"proxy.lan"_s << 80;
        QTest::newRow("IPv6 in brackets") << u"[::1]:3128"_s << u"1"_s << u"::1"_s << 3128;
        QTest::newRow("IPv6 without a port") << u"[fe80::1]"_s << u"1"_s << u"fe80::1"_s << 80;
        QTest::newRow("IPv6 among several") << u"https=a.lan:1;http=[::1]:3128"_s << u"1"_s << u"::1"_s << 3128;
        QTest::newRow("highest port") << u"proxy.lan:65535"_s << u"1"_s << u"proxy.lan"_s << 65535;
        QTest::newRow("port above 65535") << u"proxy.lan:99999"_s << u"1"_s << QString() << 0;
        QTest::newRow("port 0") << u"proxy.lan:0"_s << u"1"_s << QString() << 0;
        QTest::newRow("port not a number") << u"proxy.lan:http"_s << u"1"_s << QString() << 0;
        QTest::newRow("on as true") << u"proxy.lan:8080"_s << u"True"_s << u"proxy.lan"_s << 8080;
        QTest::newRow("on as yes") << u"proxy.lan:8080"_s << u" YES "_s << u"proxy.lan"_s << 8080;
        QTest::newRow("on as on") << u"proxy.lan:8080"_s << u"on"_s << u"proxy.lan"_s << 8080;
        QTest::newRow("off as 0") << u"proxy.lan:8080"_s << u"0"_s << QString() << 0;
        QTest::newRow("off as no") << u"proxy.lan:8080"_s << u"no"_s << QString() << 0;
        QTest::newRow("off as anything else") << u"proxy.lan:8080"_s << u"2"_s << QString() << 0;
    }

    // What the next download goes through; a port that cannot be one sends it direct, with a line in the log.
    void downloadsUseTheStoredProxy()
    {
        QFETCH(QString, server);
        QFETCH(QString, enable);
        QFETCH(QString, host);
        QFETCH(int, port);
        QVERIFY(writeIni(u"Internet Settings"_s, u"ProxyServer"_s, server, storePath()));
        QVERIFY(writeIni(u"Internet Settings"_s, u"ProxyEnable"_s, enable, storePath()));
        if (host.isEmpty() && enable == u"1") {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"no port between 1 and 65535"_s));
        }

        const QNetworkProxy proxy = m_store->proxy();

        QCOMPARE(proxy.type(), host.isEmpty() ? QNetworkProxy::NoProxy : QNetworkProxy::HttpProxy);
        if (!host.isEmpty()) {
            QCOMPARE(proxy.hostName(), host);
            QCOMPARE(int(proxy.port()), port);
        }
    }

    // What Set stores is read back as typed, an IPv6 address too.
    void proxySetInTheWindowIsReadBack_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("stored");
        QTest::newRow("IPv4") << u"10.0.0.1"_s << u"10.0.0.1:3128"_s;
        QTest::newRow("IPv6") << u"::1"_s << u"[::1]:3128"_s;
    }

    void proxySetInTheWindowIsReadBack()
    {
        QFETCH(QString, address);
        QFETCH(QString, stored);
        {
            auto window = startWindow();
            QVERIFY(window);
            control<QCheckBox>(*window, u"ChkProxy"_s)->click();
            control<QLineEdit>(*window, u"TxtProxyIP"_s)->setText(address);
            control<QLineEdit>(*window, u"TxtProxyPort"_s)->setText(u"3128"_s);
            control<QPushButton>(*window, u"CmdSetProxy"_s)->click();
            MessageBox::takeShown();
        }
        QCOMPARE(readIni(u"Internet Settings"_s, u"ProxyServer"_s, storePath()), stored);
        QCOMPARE(m_store->proxy().hostName(), address);
        QCOMPARE(m_store->proxy().port(), quint16(3128));
        auto window = startWindow();
        QVERIFY(window);
        QCOMPARE(control<QLineEdit>(*window, u"TxtProxyIP"_s)->text(), address);
        QCOMPARE(control<QLineEdit>(*window, u"TxtProxyPort"_s)->text(), u"3128"_s);
    }

    // A proxy set in the window carries the next download; switched off, the next one goes direct.
    void downloadsFollowTheProxySetInTheWindow()
    {
        MirrorServer origin;
        MirrorServer proxy; // answers a proxy's request for an absolute address like any other
        QVERIFY(origin.listen() && proxy.listen());
        origin.setBody(u"/aswclnr.exe"_s, "program");
        proxy.setBody(u"/aswclnr.exe"_s, "program");
        QVERIFY(writeIni(u"Applications"_s, u"URLAV-2"_s, origin.url(u"/aswclnr.exe"_s).toString(),
                         m_folder->appFolder().iniPath()));
        auto window = startWindow();
        QVERIFY(window);
        const auto fetchOnce = [&] {
            QSignalSpy finished(window->launchController(), &LaunchController::installationFinished);
            window->launchController()->launch(0, 1);
            QVERIFY(finished.wait(10000));
            QCOMPARE(finished.first().at(1).toBool(), true);
        };

        control<QCheckBox>(*window, u"ChkProxy"_s)->click();
        control<QLineEdit>(*window, u"TxtProxyIP"_s)->setText(u"127.0.0.1"_s);
        control<QLineEdit>(*window, u"TxtProxyPort"_s)->setText(QString::number(proxy.port()));
        control<QPushButton>(*window, u"CmdSetProxy"_s)->click();
        QCOMPARE(MessageBox::takeShown().first().text,
                 translation(u"MsgProxyOK"_s, m_folder->path(u"Languages/English.lng"_s)));
        fetchOnce();
        QCOMPARE(proxy.requestCount(u"/aswclnr.exe"_s), 1);
        QCOMPARE(origin.requestCount(u"/aswclnr.exe"_s), 0);

        // Unchecking locks the boxes but not Set, which switches the proxy off.
        control<QCheckBox>(*window, u"ChkProxy"_s)->click();
        QVERIFY(!control<QLineEdit>(*window, u"TxtProxyIP"_s)->isEnabled());
        control<QLineEdit>(*window, u"TxtProxyPort"_s)->setText(QString());
        control<QPushButton>(*window, u"CmdSetProxy"_s)->click();
        MessageBox::takeShown();
        QCOMPARE(readIni(u"Internet Settings"_s, u"ProxyEnable"_s, storePath()), u"0"_s);
        QCOMPARE(readIni(u"Internet Settings"_s, u"ProxyServer"_s, storePath()), u"127.0.0.1:"_s);
        fetchOnce();
        QCOMPARE(proxy.requestCount(u"/aswclnr.exe"_s), 1);
        QCOMPARE(origin.requestCount(u"/aswclnr.exe"_s), 1);
    }

    // A store that cannot be written says only that: no confirmation of what was not saved.
    void failedWriteShowsOnlyTheError()
    {
        m_store = std::make_shared<InternetSettings>(m_folder->path(u"Trivet.ini/Internet Settings.ini"_s));
        auto window = startWindow();
        QVERIFY(window);
        control<QPushButton>(*window, u"CmdSetProxy"_s)->click();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, u"Error Found"_s);
        QCOMPARE(shown.first().text, u"Error!"_s);
    }
};

QTEST_MAIN(TestProxy)
#include "tst_proxy.moc"
