#include "tools/mirror/MirrorServer.h"

#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;
using Trivet::MirrorServer;

// The mirror also runs as a program that serves a folder, so it must not hand out what lies outside it.
class TestMirrorServer final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void answersRequests_data();
    void answersRequests();

private:
    // The raw answer to one request, read until the mirror closes the connection.
    QByteArray exchange(const QByteArray &request);

    QTemporaryDir m_dir;
    bool m_linked = false;
    MirrorServer m_server;
};

void TestMirrorServer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QDir dir(m_dir.path());
    QVERIFY(dir.mkpath(u"root/sub"_s));
    auto write = [](const QString &path, const QByteArray &data) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
    };
    QVERIFY(write(dir.filePath(u"secret.txt"_s), "secret"));
    QVERIFY(write(dir.filePath(u"root/file.txt"_s), "inside"));
    QVERIFY(write(dir.filePath(u"root/sub/deep.txt"_s), "deeper"));
#ifdef Q_OS_WIN
    // A file system link, not a shortcut, which is what QFile::link makes on Windows and is a plain file.
    const auto native = [&](const QString &name) {
        return reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(dir.filePath(name)).utf16());
    };
    m_linked = CreateSymbolicLinkW(native(u"root/link.txt"_s), native(u"secret.txt"_s), 0);
#else
    m_linked = QFile::link(dir.filePath(u"secret.txt"_s), dir.filePath(u"root/link.txt"_s));
    QVERIFY(m_linked);
#endif
    m_server.setRoot(dir.filePath(u"root"_s));
    QVERIFY(m_server.listen());
}

QByteArray TestMirrorServer::exchange(const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, m_server.port());
    if (!socket.waitForConnected(5000)) {
        return {};
    }
    socket.write(request);
    QByteArray answer;
    (void)QTest::qWaitFor(
        [&] {
            answer += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        5000);
    return answer + socket.readAll();
}

void TestMirrorServer::answersRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("statusLine");
    QTest::addColumn<QByteArray>("body");

    const QByteArray ok = "HTTP/1.1 200 OK";
    const QByteArray forbidden = "HTTP/1.1 403 Forbidden";
    const QByteArray notFound = "HTTP/1.1 404 Not Found";
    QTest::newRow("file") << QByteArray("GET /file.txt HTTP/1.1\r\n\r\n") << ok << QByteArray("inside");
    QTest::newRow("query ignored") << QByteArray("GET /sub/deep.txt?v=2 HTTP/1.1\r\n\r\n") << ok
                                   << QByteArray("deeper");
    QTest::newRow("dot-dot inside root") << QByteArray("GET /sub/../file.txt HTTP/1.1\r\n\r\n") << ok
                                         << QByteArray("inside");
    QTest::newRow("head") << QByteArray("HEAD /file.txt HTTP/1.1\r\n\r\n") << ok << QByteArray();
    QTest::newRow("dot-dot out of root") << QByteArray("GET /../secret.txt HTTP/1.1\r\n\r\n") << forbidden
                                         << QByteArray("Forbidden\n");
    QTest::newRow("encoded dot-dot") << QByteArray("GET /sub/%2e%2E/%2e%2e/secret.txt HTTP/1.1\r\n\r\n") << forbidden
                                     << QByteArray("Forbidden\n");
    QTest::newRow("backslash") << QByteArray("GET /..%5csecret.txt HTTP/1.1\r\n\r\n") << forbidden
                               << QByteArray("Forbidden\n");
    QTest::newRow("symlink out of root") << QByteArray("GET /link.txt HTTP/1.1\r\n\r\n") << notFound
                                         << QByteArray("<html><body><h1>404 Not Found</h1></body></html>\n");
    QTest::newRow("folder") << QByteArray("GET /sub HTTP/1.1\r\n\r\n") << notFound
                            << QByteArray("<html><body><h1>404 Not Found</h1></body></html>\n");
    QTest::newRow("post") << QByteArray("POST /file.txt HTTP/1.1\r\nContent-Length: 0\r\n\r\n")
                          << QByteArray("HTTP/1.1 405 Method Not Allowed") << QByteArray("Method Not Allowed\n");
    QTest::newRow("garbage") << QByteArray("hello\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request")
                             << QByteArray("Bad Request\n");
    QTest::newRow("endless head") << QByteArray(20000, 'a')
                                  << QByteArray("HTTP/1.1 431 Request Header Fields Too Large")
                                  << QByteArray("Request Header Fields Too Large\n");
}

void TestMirrorServer::answersRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, statusLine);
    QFETCH(QByteArray, body);
    if (!m_linked && request.contains("link.txt")) {
        QSKIP("this system made no symbolic link");
    }

    const QByteArray answer = exchange(request);
    const qsizetype headEnd = answer.indexOf("\r\n\r\n");
    QVERIFY2(headEnd > 0, answer.constData());
    QCOMPARE(answer.left(answer.indexOf("\r\n")), statusLine);
    QCOMPARE(answer.mid(headEnd + 4), body);
    if (request.startsWith("HEAD")) {
        QVERIFY(answer.left(headEnd).contains("\r\nContent-Length: 6"));
    }
}

QTEST_GUILESS_MAIN(TestMirrorServer)

#include "tst_mirrorserver.moc"
