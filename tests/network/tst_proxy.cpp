#include "common/network/InternetSettings.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/mainwindow/MainWindow.h"
#include "launcher/mainwindow/MessageBox.h"
#include "tests/support/IniWrite.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/ProxyLoginAnswers.h"
#include "tests/support/RecordingProcessStarter.h"
#include "tests/support/StoredProxy.h"
#include "tools/mirror/MirrorServer.h"

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Trivet;

namespace {

// Every line the program logs while a test runs, to look for what must never be in one.
QStringList loggedLines;
QtMessageHandler previousHandler = nullptr;
void keepLogLine(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    loggedLines.append(message);
    previousHandler(type, context, message);
}

// The files below folder that hold text, by path.
QStringList filesHolding(const QString &folder, const QByteArray &text)
{
    QStringList holding;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text)) {
            holding.append(file.fileName());
        }
    }
    return holding;
}

} // namespace

class TestProxy : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Test::PortableFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_user;
    std::shared_ptr<InternetSettings> m_store;
    std::unique_ptr<Test::StoredProxy> m_stored; // what m_store keeps, as stored

    std::unique_ptr<MainWindow> startWindow()
    {
        auto window = std::make_unique<MainWindow>(
            LauncherContext{m_folder->appFolder(), std::make_shared<FixedAddressSource>(u"192.168.1.20"_s),
                            std::make_shared<Test::RecordingProcessStarter>(), m_store});
        return window->startUp() ? std::move(window) : nullptr;
    }
    QString storePath() const { return m_user->filePath(u"Internet Settings.ini"_s); }
    template <typename T> T *control(MainWindow &window, const QString &name) { return window.findChild<T *>(name); }
    QString T(const QString &key) const { return translation(key, m_folder->path(u"Languages/English.lng"_s)); }

    // AV-2 and AV-4 come from a host that only the proxy reaches, and the proxy wants anna's password.
    bool serveBehindLoginProxy(MirrorServer &proxy, const QString &password)
    {
        if (!proxy.listen()) {
            return false;
        }
        for (const QString &program : {u"/aswclnr.exe"_s, u"/mwav.exe"_s}) {
            proxy.setBody(program, "program");
            proxy.setMisbehaviour(program, MirrorServer::Misbehaviour::ProxyPassword);
            if (!writeIni(u"Applications"_s, u"URL" + (program == u"/mwav.exe" ? u"AV-4"_s : u"AV-2"_s),
                          u"http://packages.invalid"_s + program, m_folder->appFolder().iniPath())) {
                return false;
            }
        }
        proxy.setProxyLogin(u"anna"_s, password);
        return true;
    }

private slots:
    void initTestCase() { MessageBox::setRecording(true); }

    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        m_user = std::make_unique<QTemporaryDir>();
        m_store = std::make_shared<InternetSettings>(storePath());
        m_stored = std::make_unique<Test::StoredProxy>(storePath());
        MessageBox::takeShown();
    }

    void cleanup() { m_stored.reset(); }

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
            QVERIFY(m_stored->set(u"ProxyServer"_s, server));
            QVERIFY(m_stored->set(u"ProxyEnable"_s, enable));
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
        QVERIFY(m_stored->set(u"ProxyServer"_s, server));
        QVERIFY(m_stored->set(u"ProxyEnable"_s, enable));
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

    // Windows keeps ProxyEnable as a DWORD, and the store writes it so; what other programs left there, of any
    // type, is read as well.
    void registryValuesOfEveryTypeAreRead_data()
    {
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("enabled");
        using Key = UserRegistryKey;
        const auto text = [](const QString &value) {
            return QByteArray(reinterpret_cast<const char *>(value.utf16()), value.size() * 2);
        };
        QTest::newRow("DWORD 1") << quint32(Key::Dword) << QByteArray("\x01\0\0\0", 4) << true;
        QTest::newRow("DWORD 0") << quint32(Key::Dword) << QByteArray(4, '\0') << false;
        QTest::newRow("DWORD 2") << quint32(Key::Dword) << QByteArray("\x02\0\0\0", 4) << false;
        QTest::newRow("QWORD 1") << quint32(Key::Qword) << QByteArray("\x01\0\0\0\0\0\0\0", 8) << true;
        QTest::newRow("binary 1") << quint32(Key::Binary) << QByteArray("\x01\0\0\0", 4) << true;
        QTest::newRow("binary 0") << quint32(Key::Binary) << QByteArray(4, '\0') << false;
        QTest::newRow("binary of another size") << quint32(Key::Binary) << QByteArray("\x01", 1) << false;
        QTest::newRow("string 1") << quint32(Key::String) << text(u"1"_s) + QByteArray(2, '\0') << true;
        QTest::newRow("string without its end") << quint32(Key::String) << text(u"1"_s) << true;
        QTest::newRow("expandable yes") << quint32(Key::ExpandString) << text(u"yes"_s) + QByteArray(2, '\0') << true;
        QTest::newRow("list, on first") << quint32(Key::MultiString) << text(u"on"_s) + QByteArray(6, '\0') << true;
    }

    void registryValuesOfEveryTypeAreRead()
    {
        if (!Test::StoredProxy::usesRegistry()) {
            QSKIP("the registry is Windows's");
        }
        QFETCH(quint32, type);
        QFETCH(QByteArray, data);
        QFETCH(bool, enabled);
        QVERIFY(m_stored->set(u"ProxyServer"_s, u"proxy.lan:3128"_s));
        QVERIFY(m_stored->setRaw(u"ProxyEnable"_s, {type, data}));

        QCOMPARE(m_store->isEnabled(), enabled);
        QCOMPARE(m_store->proxy().type(), enabled ? QNetworkProxy::HttpProxy : QNetworkProxy::NoProxy);

        QVERIFY(m_store->write(u"other.lan:8080"_s, enabled).ok());
        const auto enable = m_stored->raw(u"ProxyEnable"_s);
        QVERIFY(enable);
        QCOMPARE(enable->type, quint32(UserRegistryKey::Dword));
        QCOMPARE(enable->data, enabled ? QByteArray("\x01\0\0\0", 4) : QByteArray(4, '\0'));
        QCOMPARE(m_stored->raw(u"ProxyServer"_s)->type, quint32(UserRegistryKey::String));
        QCOMPARE(m_store->server(), std::optional<QString>(u"other.lan:8080"_s));
        QCOMPARE(m_store->isEnabled(), enabled);
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
        QCOMPARE(m_stored->get(u"ProxyServer"_s), stored);
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
        QCOMPARE(m_stored->get(u"ProxyEnable"_s), u"0"_s);
        QCOMPARE(m_stored->get(u"ProxyServer"_s), u"127.0.0.1:"_s);
        fetchOnce();
        QCOMPARE(proxy.requestCount(u"/aswclnr.exe"_s), 1);
        QCOMPARE(origin.requestCount(u"/aswclnr.exe"_s), 1);
    }

    // Switched on, Set saves only a proxy downloads can use, read by the same rules the downloads read it with;
    // anything else is refused with a message naming the field, and the store keeps what it had. Switched off,
    // Set saves the boxes as they are.
    void setChecksTheProxyItSwitchesOn_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("refusal"); // the message's key; empty: saved
        QTest::addColumn<QString>("stored");
        const QString badHost = u"MsgProxyBadHost"_s;
        const QString badPort = u"MsgProxyBadPort"_s;
        const auto row = [](const char *name, bool checked, const QString &address, const QString &port,
                            const QString &refusal, const QString &stored = {}) {
            QTest::newRow(name) << checked << address << port << refusal << stored;
        };
        row("host name", true, u"proxy.example.com"_s, u"3128"_s, {}, u"proxy.example.com:3128"_s);
        row("single-label host", true, u"proxy"_s, u"8080"_s, {}, u"proxy:8080"_s);
        row("IPv4", true, u"10.0.0.1"_s, u"8080"_s, {}, u"10.0.0.1:8080"_s);
        row("IPv6 in brackets", true, u"[2001:db8::1]"_s, u"3128"_s, {}, u"[2001:db8::1]:3128"_s);
        row("blanks around", true, u" proxy.lan "_s, u" 80 "_s, {}, u"proxy.lan:80"_s);
        row("port 1", true, u"proxy.lan"_s, u"1"_s, {}, u"proxy.lan:1"_s);
        row("port 65535", true, u"proxy.lan"_s, u"65535"_s, {}, u"proxy.lan:65535"_s);
        row("port 0", true, u"proxy.lan"_s, u"0"_s, badPort);
        row("port 65536", true, u"proxy.lan"_s, u"65536"_s, badPort);
        row("port of letters", true, u"proxy.lan"_s, u"http"_s, badPort);
        row("port with a sign", true, u"proxy.lan"_s, u"+80"_s, badPort);
        row("empty port", true, u"proxy.lan"_s, QString(), badPort);
        row("empty address", true, QString(), u"3128"_s, badHost);
        row("address with a blank", true, u"proxy lan"_s, u"3128"_s, badHost);
        row("address with the port", true, u"proxy.lan:3128"_s, u"3128"_s, badHost);
        row("address as a URL", true, u"http://proxy.lan"_s, u"3128"_s, badHost);
        row("label beginning with a hyphen", true, u"-proxy.lan"_s, u"3128"_s, badHost);
        row("IPv4 part above 255", true, u"10.0.0.256"_s, u"3128"_s, badHost);
        row("IPv4 with three parts", true, u"10.0.1"_s, u"3128"_s, badHost);
        row("IPv6 that is none", true, u"[2001:db8::g]"_s, u"3128"_s, badHost);
        row("IPv6 missing its bracket", true, u"[2001:db8::1"_s, u"3128"_s, badHost);
        row("host name in brackets", true, u"[proxy.lan]"_s, u"3128"_s, badHost);
        row("bad address and port: the address is named", true, u"a b"_s, u"0"_s, badHost);
        row("off: saved as typed", false, u"a b"_s, u"x"_s, {}, u"a b:x"_s);
    }

    void setChecksTheProxyItSwitchesOn()
    {
        QFETCH(bool, checked);
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(QString, refusal);
        QFETCH(QString, stored);
        QVERIFY(m_store->write(u"kept.lan:3128"_s, !checked).ok());
        const QByteArray before = m_stored->snapshot();
        QVERIFY(!before.isEmpty());
        auto window = startWindow();
        QVERIFY(window);

        control<QCheckBox>(*window, u"ChkProxy"_s)->click();
        QCOMPARE(control<QCheckBox>(*window, u"ChkProxy"_s)->isChecked(), checked);
        control<QLineEdit>(*window, u"TxtProxyIP"_s)->setText(address);
        control<QLineEdit>(*window, u"TxtProxyPort"_s)->setText(port);
        control<QPushButton>(*window, u"CmdSetProxy"_s)->click();

        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, u"TrivetDesk"_s);
        if (!refusal.isEmpty()) {
            QVERIFY(!T(refusal).isEmpty());
            QCOMPARE(shown.first().text, T(refusal));
            QCOMPARE(m_stored->snapshot(), before);
            return;
        }
        QCOMPARE(shown.first().text, T(u"MsgProxyOK"_s));
        QCOMPARE(m_stored->get(u"ProxyServer"_s), stored);
        QCOMPARE(m_stored->get(u"ProxyEnable"_s), checked ? u"1"_s : u"0"_s);
        if (checked) {
            // What the frame accepted is what the downloads go through.
            const QNetworkProxy proxy = m_store->proxy();
            QCOMPARE(InternetSettings::join(proxy.hostName(), QString::number(proxy.port())), stored);
        }
    }

    // A proxy that wants a user name and password gets them from a dialog; the read is tried again with them,
    // and later reads of the run use them without asking. Refused ones are asked for again, three times at
    // most; Cancel, or the third refusal, gives the failure with its reason. Neither a file nor the log ever
    // holds a password.
    void aProxyLoginIsAskedForAndKeptForTheRun_data()
    {
        QTest::addColumn<QStringList>("answers"); // "right", "wrong" or "cancel", dialog by dialog
        QTest::addColumn<bool>("installed");
        QTest::newRow("right login") << QStringList{u"right"_s} << true;
        QTest::newRow("wrong, then right") << QStringList{u"wrong"_s, u"right"_s} << true;
        QTest::newRow("cancelled") << QStringList{u"cancel"_s} << false;
        QTest::newRow("refused three times") << QStringList{u"wrong"_s, u"wrong"_s, u"wrong"_s} << false;
    }

    void aProxyLoginIsAskedForAndKeptForTheRun()
    {
        QFETCH(QStringList, answers);
        QFETCH(bool, installed);
        const QString rightPassword = u"s3cret-Right"_s;
        const QString wrongPassword = u"s3cret-Wrong"_s;
        MirrorServer proxy;
        QVERIFY(serveBehindLoginProxy(proxy, rightPassword));
        const QString address = u"127.0.0.1:%1"_s.arg(proxy.port());
        QVERIFY(m_store->write(address, true).ok());
        // The version check at start-up meets the same proxy; nobody asked for it, so it asks nothing.
        proxy.setBody(u"/update.dat"_s, "9.9\r\n");
        proxy.setMisbehaviour(u"/update.dat"_s, MirrorServer::Misbehaviour::ProxyPassword);
        QVERIFY(writeIni(u"VersionCheck"_s, u"updateURL"_s, u"http://packages.invalid/update.dat"_s,
                         m_folder->appFolder().iniPath()));
        loggedLines.clear();
        previousHandler = qInstallMessageHandler(keepLogLine);
        const auto restoreHandler = qScopeGuard([] { qInstallMessageHandler(previousHandler); });

        QList<std::optional<ProxyLogin>> logins;
        for (const QString &answer : std::as_const(answers)) {
            logins.append(answer == u"cancel" ? std::nullopt
                                              : std::optional<ProxyLogin>(ProxyLogin{
                                                    u"anna"_s, answer == u"right" ? rightPassword : wrongPassword}));
        }
        Test::ProxyLoginAnswers dialogs(logins);
        auto window = startWindow();
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(proxy.requestCount(u"/update.dat"_s) > 0, 10000);
        const auto fetch = [&](int slot) {
            QSignalSpy finished(window->launchController(), &LaunchController::installationFinished);
            window->launchController()->launch(0, slot);
            QVERIFY(finished.wait(20000));
            QCOMPARE(finished.first().at(1).toBool(), installed);
        };
        fetch(1);

        QCOMPARE(dialogs.shown.size(), answers.size());
        for (qsizetype i = 0; i < dialogs.shown.size(); ++i) {
            const Test::ProxyLoginAnswers::Shown &shown = dialogs.shown.at(i);
            QCOMPARE(shown.title, T(u"FrmProxyLogin"_s));
            QCOMPARE(shown.text, T(i == 0 ? u"lbProxyLogin"_s : u"lbProxyLoginAgain"_s).arg(address));
            QCOMPARE(shown.user, i == 0 ? QString() : u"anna"_s);
            QVERIFY(shown.masked);
        }
        if (installed) {
            QVERIFY(MessageBox::takeShown().isEmpty());
            QVERIFY(m_folder->exists(u"aswclnr.exe"_s));
            // The next read of the run carries the login at once.
            fetch(3);
            QCOMPARE(dialogs.shown.size(), answers.size());
            QVERIFY(m_folder->exists(u"mwav.exe"_s));
        } else {
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().text, T(u"errMsg3"_s) + u'\n' + T(u"errReasonProxyPassword"_s).arg(address));
            QVERIFY(!m_folder->exists(u"aswclnr.exe"_s));
        }
        window.reset();
        for (const QString &password : {rightPassword, wrongPassword}) {
            QCOMPARE(filesHolding(m_folder->root(), password.toUtf8()), QStringList());
            QCOMPARE(filesHolding(m_user->path(), password.toUtf8()), QStringList());
            QCOMPARE(loggedLines.filter(password), QStringList());
        }
    }

    // Two reads that meet the proxy while its dialog is open wait for its answer: one question serves both.
    void readsMeetingTheProxyTogetherShareOneQuestion()
    {
        MirrorServer proxy;
        QVERIFY(serveBehindLoginProxy(proxy, u"right"_s));
        QVERIFY(m_store->write(u"127.0.0.1:%1"_s.arg(proxy.port()), true).ok());
        auto window = startWindow();
        QVERIFY(window);
        Test::ProxyLoginAnswers dialogs({ProxyLogin{u"anna"_s, u"right"_s}});
        // The other read has been refused too before the user answers.
        dialogs.answerWhen = [&proxy] {
            return proxy.requestCount(u"/aswclnr.exe"_s) > 0 && proxy.requestCount(u"/mwav.exe"_s) > 0;
        };
        QSignalSpy finished(window->launchController(), &LaunchController::installationFinished);
        window->launchController()->launch(0, 1);
        window->launchController()->launch(0, 3);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 20000);
        QCOMPARE(finished.at(0).at(1).toBool(), true);
        QCOMPARE(finished.at(1).at(1).toBool(), true);
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // A store that cannot be written says only that: no confirmation of what was not saved.
    void failedWriteShowsOnlyTheError()
    {
        if (Test::StoredProxy::usesRegistry()) {
            QSKIP("the user's Internet settings key is writable to every program of the user");
        }
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
