#include "common/download/Downloader.h"
#include "tools/mirror/MirrorServer.h"

#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;
using Trivet::Downloader;
using Trivet::DownloadResult;
using Trivet::DownloadStatus;
using Trivet::MirrorServer;
using Misbehaviour = Trivet::MirrorServer::Misbehaviour;

namespace {

constexpr int Timeout = 5000;

// Bytes that differ at every position, so a shifted, repeated or truncated body is noticed.
QByteArray payload(qsizetype size, quint32 seed = 1)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = 2463534242u + seed;
    for (char &c : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    return data;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Everything a Downloader tells its host, in order.
class Recorder final : public QObject
{
public:
    struct Progress
    {
        qint64 cur;
        qint64 max;
        QString saveFile;
    };
    struct Complete
    {
        qint64 max;
        QString saveFile;
    };

    explicit Recorder(Downloader *downloader)
    {
        connect(downloader, &Downloader::DownloadProgress, this, [this](qint64 cur, qint64 max, const QString &f) {
            progress.append({cur, max, f});
            events.append(u"progress"_s);
        });
        connect(downloader, &Downloader::DownloadError, this, [this](const QString &f, const QString &reason) {
            errors.append(f);
            reasons.append(reason);
            events.append(u"error"_s);
        });
        connect(downloader, &Downloader::DownloadFinished, this, [this](const QString &, const DownloadResult &r) {
            results.append(r);
            events.append(u"finished"_s);
        });
        connect(downloader, &Downloader::DownloadComplete, this, [this](qint64 max, const QString &f) {
            completes.append({max, f});
            events.append(u"complete"_s);
        });
        connect(downloader, &Downloader::BeginDownloadFailed, this, [this](const QString &message) {
            beginFailures.append(message);
            events.append(u"beginFailed"_s);
        });
    }

    bool waitForCompletes(int count, int timeout = Timeout)
    {
        return QTest::qWaitFor([&] { return completes.size() >= count; }, timeout);
    }

    // The events of the reads without the progress notifications, which come in varying numbers.
    QString outline() const
    {
        QStringList outline = events;
        outline.removeAll(u"progress"_s);
        return outline.join(u' ');
    }

    QStringList events;
    QList<Progress> progress;
    QStringList errors;
    QStringList reasons;
    QList<DownloadResult> results;
    QList<Complete> completes;
    QStringList beginFailures;
};

} // namespace

class TestDownloader final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void writesExactBody_data();
    void writesExactBody();
    void failedReadKeepsOldTarget_data();
    void failedReadKeepsOldTarget();
    void unusableRequestEndsThroughSignals_data();
    void unusableRequestEndsThroughSignals();
    void missingTargetFolderFails();
    void longerTargetHoldsOnlyNewContent();
    void twoReadsReportSeparately();
    void secondReadOfSameTargetIsRefused();
    void progressCountsUpToAnnouncedSize();
    void completionHandlerMayFetchSameTargetAgain();
    void deletingAbandonsReads();
    void proxyCarriesTheRequest();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QStringList entries() const
    {
        return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    std::unique_ptr<Downloader> downloader() const
    {
        auto d = std::make_unique<Downloader>();
        d->setProxy(QNetworkProxy::NoProxy);
        return d;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MirrorServer> m_server;
};

void TestDownloader::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_server = std::make_unique<MirrorServer>();
    m_server->setSlowPace(512, std::chrono::milliseconds(120));
    QVERIFY2(m_server->listen(), qPrintable(m_server->errorString()));
}

void TestDownloader::cleanup()
{
    m_server.reset();
    m_dir.reset();
}

void TestDownloader::writesExactBody_data()
{
    QTest::addColumn<Misbehaviour>("misbehaviour");
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("redirected");
    QTest::addColumn<bool>("sizeAnnounced");

    QTest::newRow("announced length") << Misbehaviour::None << qsizetype(100000) << false << true;
    QTest::newRow("several megabytes") << Misbehaviour::None << qsizetype(3 << 20) << false << true;
    QTest::newRow("empty body") << Misbehaviour::None << qsizetype(0) << false << true;
    QTest::newRow("no content length") << Misbehaviour::NoContentLength << qsizetype(50000) << false << false;
    QTest::newRow("chunked") << Misbehaviour::Chunked << qsizetype(70001) << false << false;
    QTest::newRow("redirected") << Misbehaviour::None << qsizetype(4000) << true << true;
}

void TestDownloader::writesExactBody()
{
    QFETCH(Misbehaviour, misbehaviour);
    QFETCH(qsizetype, size);
    QFETCH(bool, redirected);
    QFETCH(bool, sizeAnnounced);

    const QByteArray body = payload(size);
    m_server->setBody(u"/pkg/file.zip"_s, body);
    m_server->setMisbehaviour(u"/pkg/file.zip"_s, misbehaviour);
    m_server->setMisbehaviour(u"/start"_s, Misbehaviour::Redirect, u"/pkg/file.zip"_s);
    const QString requested = redirected ? u"/start"_s : u"/pkg/file.zip"_s;

    auto d = downloader();
    Recorder recorder(d.get());
    const QString target = path(u"file.zip"_s);
    QVERIFY(d->BeginDownload(m_server->url(requested).toString(), target));
    QVERIFY(recorder.waitForCompletes(1));

    QCOMPARE(recorder.outline(), u"finished complete"_s);
    QCOMPARE(recorder.completes.at(0).max, qint64(size));
    QCOMPARE(recorder.completes.at(0).saveFile, target);
    QVERIFY(recorder.results.at(0).ok());
    QCOMPARE(readFile(target), body);
    QCOMPARE(entries(), QStringList{u"file.zip"_s});
    QCOMPARE(m_server->requestCount(u"/pkg/file.zip"_s), 1);
    QCOMPARE(d->activeCount(), 0);
    // Progress is told only when there is a size to measure it against.
    if (sizeAnnounced && size > 0) {
        QVERIFY(!recorder.progress.isEmpty());
    }
    for (const auto &progress : std::as_const(recorder.progress)) {
        QVERIFY(sizeAnnounced);
        QCOMPARE(progress.max, qint64(size));
        QCOMPARE(progress.saveFile, target);
    }
}

void TestDownloader::failedReadKeepsOldTarget_data()
{
    QTest::addColumn<Misbehaviour>("misbehaviour");
    QTest::addColumn<qint64>("maximumSize");
    QTest::addColumn<DownloadStatus>("status");
    QTest::addColumn<QString>("redirectTarget");

    const qint64 noLimit = qint64(4) << 30;
    QTest::newRow("not found") << Misbehaviour::NotFound << noLimit << DownloadStatus::HttpError << QString();
    QTest::newRow("shorter than announced")
        << Misbehaviour::WrongLength << noLimit << DownloadStatus::LengthMismatch << QString();
    QTest::newRow("dropped connection") << Misbehaviour::DropConnection << noLimit << DownloadStatus::LengthMismatch
                                        << QString();
    QTest::newRow("stall") << Misbehaviour::Stall << noLimit << DownloadStatus::Stalled << QString();
    QTest::newRow("redirect loop") << Misbehaviour::RedirectLoop << noLimit << DownloadStatus::NetworkError
                                   << QString();
    QTest::newRow("announced size over maximum")
        << Misbehaviour::None << qint64(1000) << DownloadStatus::TooLarge << QString();
    QTest::newRow("unannounced size over maximum")
        << Misbehaviour::NoContentLength << qint64(1000) << DownloadStatus::TooLarge << QString();
    QTest::newRow("redirect to a local file")
        << Misbehaviour::Redirect << noLimit << DownloadStatus::NetworkError << u"file:///etc/hostname"_s;
}

void TestDownloader::failedReadKeepsOldTarget()
{
    QFETCH(Misbehaviour, misbehaviour);
    QFETCH(qint64, maximumSize);
    QFETCH(DownloadStatus, status);
    QFETCH(QString, redirectTarget);

    m_server->setBody(u"/file.zip"_s, payload(200000));
    m_server->setMisbehaviour(u"/file.zip"_s, misbehaviour, redirectTarget);
    const QString target = path(u"file.zip"_s);
    const QByteArray old = "the package fetched last week";
    QVERIFY(writeFile(target, old));

    auto d = downloader();
    d->setStallTimeout(std::chrono::milliseconds(300));
    d->setMaximumSize(maximumSize);
    Recorder recorder(d.get());
    QVERIFY(d->BeginDownload(m_server->url(u"/file.zip"_s).toString(), target));
    QVERIFY(recorder.waitForCompletes(1));

    QCOMPARE(recorder.outline(), u"error finished complete"_s);
    QCOMPARE(recorder.errors, QStringList{target});
    QVERIFY(!recorder.reasons.at(0).isEmpty());
    QCOMPARE(recorder.results.at(0).status, status);
    QCOMPARE(recorder.completes.at(0).saveFile, target);
    QCOMPARE(readFile(target), old);
    QCOMPARE(entries(), QStringList{u"file.zip"_s}); // no temporary file left behind
    QVERIFY(!d->isDownloading(target));
    QTest::qWait(50);
    QCOMPARE(recorder.completes.size(), 1);
}

void TestDownloader::unusableRequestEndsThroughSignals_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("saveFile");

    const QString target = u"package.zip"_s;
    QTest::newRow("empty url") << QString() << target;
    QTest::newRow("blank url") << u"   "_s << target;
    QTest::newRow("relative url") << u"Trivet.zip"_s << target;
    QTest::newRow("malformed host") << u"http://exa mple.com/x.zip"_s << target;
    QTest::newRow("no host") << u"http:///x.zip"_s << target;
    QTest::newRow("ftp") << u"ftp://127.0.0.1/x.zip"_s << target;
    QTest::newRow("local file") << u"file:///etc/hostname"_s << target;
    QTest::newRow("no target") << u"http://127.0.0.1:1/x.zip"_s << QString();
}

void TestDownloader::unusableRequestEndsThroughSignals()
{
    QFETCH(QString, url);
    QFETCH(QString, saveFile);
    const QString target = saveFile.isEmpty() ? saveFile : path(saveFile);

    auto d = downloader();
    Recorder recorder(d.get());
    QVERIFY(d->BeginDownload(url, target));
    // The host's own code after BeginDownload runs before any of its handlers.
    QVERIFY(recorder.events.isEmpty());
    QCOMPARE(d->activeCount(), 0);

    QVERIFY(recorder.waitForCompletes(1));
    QCOMPARE(recorder.outline(), u"beginFailed error finished complete"_s);
    static const QRegularExpression format(
        u"^\\d+:Error in call to BeginDownload\\(\\)\\.\r\n\r\nError Description: \\S.*$"_s,
        QRegularExpression::DotMatchesEverythingOption);
    QVERIFY2(format.match(recorder.beginFailures.at(0)).hasMatch(), qPrintable(recorder.beginFailures.at(0)));
    QCOMPARE(recorder.results.at(0).status, DownloadStatus::InvalidRequest);
    QCOMPARE(recorder.completes.at(0).max, qint64(0));
    QCOMPARE(recorder.completes.at(0).saveFile, target);
    QVERIFY(entries().isEmpty());
}

void TestDownloader::missingTargetFolderFails()
{
    m_server->setBody(u"/file.zip"_s, payload(5000));
    const QString target = path(u"no such folder/file.zip"_s);

    auto d = downloader();
    Recorder recorder(d.get());
    QVERIFY(d->BeginDownload(m_server->url(u"/file.zip"_s).toString(), target));
    QVERIFY(recorder.waitForCompletes(1));

    QCOMPARE(recorder.outline(), u"error finished complete"_s);
    QCOMPARE(recorder.results.at(0).status, DownloadStatus::WriteFailed);
    QCOMPARE(recorder.completes.at(0).max, qint64(5000));
    QVERIFY(entries().isEmpty());
}

void TestDownloader::longerTargetHoldsOnlyNewContent()
{
    const QByteArray body = payload(100);
    m_server->setBody(u"/ver.dat"_s, body);
    const QString target = path(u"update.dat"_s);
    QVERIFY(writeFile(target, QByteArray(10000, 'x')));

    auto d = downloader();
    Recorder recorder(d.get());
    QVERIFY(d->BeginDownload(m_server->url(u"/ver.dat"_s).toString(), target));
    QVERIFY(recorder.waitForCompletes(1));

    QCOMPARE(readFile(target), body);
}

void TestDownloader::twoReadsReportSeparately()
{
    const QByteArray first = payload(3072, 1);
    const QByteArray second = payload(2048, 2);
    m_server->setBody(u"/a.zip"_s, first);
    m_server->setBody(u"/b.zip"_s, second);
    m_server->setMisbehaviour(u"/a.zip"_s, Misbehaviour::Slow);
    m_server->setMisbehaviour(u"/b.zip"_s, Misbehaviour::Slow);
    const QString a = path(u"a.zip"_s);
    const QString b = path(u"b.zip"_s);

    auto d = downloader();
    Recorder recorder(d.get());
    QVERIFY(d->BeginDownload(m_server->url(u"/a.zip"_s).toString(), a));
    QVERIFY(d->BeginDownload(m_server->url(u"/b.zip"_s).toString(), b));
    QCOMPARE(d->activeCount(), 2);
    QVERIFY(d->isDownloading(a));
    QVERIFY(d->isDownloading(b));
    QVERIFY(recorder.waitForCompletes(2));

    QCOMPARE(readFile(a), first);
    QCOMPARE(readFile(b), second);
    QHash<QString, qint64> sizes{{a, first.size()}, {b, second.size()}};
    for (const auto &complete : std::as_const(recorder.completes)) {
        QCOMPARE(complete.max, sizes.take(complete.saveFile));
    }
    QVERIFY(sizes.isEmpty()); // each target completed exactly once
    QSet<QString> progressed;
    for (const auto &progress : std::as_const(recorder.progress)) {
        QCOMPARE(progress.max, progress.saveFile == a ? qint64(first.size()) : qint64(second.size()));
        progressed.insert(progress.saveFile);
    }
    QCOMPARE(progressed, (QSet<QString>{a, b}));
}

void TestDownloader::secondReadOfSameTargetIsRefused()
{
    m_server->setBody(u"/file.zip"_s, payload(2048));
    m_server->setMisbehaviour(u"/file.zip"_s, Misbehaviour::Slow);
    const QString target = path(u"file.zip"_s);
    const QString url = m_server->url(u"/file.zip"_s).toString();

    auto d = downloader();
    Recorder recorder(d.get());
    QVERIFY(d->BeginDownload(url, target));
    QVERIFY(!d->BeginDownload(url, target));
    // Another spelling of the same file is the same target.
    QVERIFY(!d->BeginDownload(url, m_dir->path() + u"/./sub/../file.zip"_s));
    QCOMPARE(d->activeCount(), 1);

    QVERIFY(recorder.waitForCompletes(1));
    QTest::qWait(50);
    QCOMPARE(recorder.completes.size(), 1);
    QCOMPARE(m_server->requestCount(u"/file.zip"_s), 1);
    QVERIFY(!d->isDownloading(target));
}

void TestDownloader::progressCountsUpToAnnouncedSize()
{
    m_server->setBody(u"/file.zip"_s, payload(4096));
    m_server->setMisbehaviour(u"/file.zip"_s, Misbehaviour::Slow);
    const QString target = path(u"file.zip"_s);

    auto d = downloader();
    Recorder recorder(d.get());
    QVERIFY(d->BeginDownload(m_server->url(u"/file.zip"_s).toString(), target));
    QVERIFY(recorder.waitForCompletes(1));

    QVERIFY(recorder.progress.size() >= 2);
    bool intermediate = false;
    qint64 previous = 0;
    for (const auto &progress : std::as_const(recorder.progress)) {
        QCOMPARE(progress.max, qint64(4096));
        QVERIFY(progress.cur >= previous);
        intermediate = intermediate || (progress.cur > 0 && progress.cur < 4096);
        previous = progress.cur;
    }
    QVERIFY(intermediate);
    QCOMPARE(recorder.progress.constLast().cur, qint64(4096));
    QCOMPARE(recorder.events.constLast(), u"complete"_s);
}

void TestDownloader::completionHandlerMayFetchSameTargetAgain()
{
    const QByteArray body = payload(1000);
    m_server->setBody(u"/file.zip"_s, body);
    const QString target = path(u"file.zip"_s);
    const QString url = m_server->url(u"/file.zip"_s).toString();

    auto d = downloader();
    Recorder recorder(d.get());
    bool restarted = false;
    connect(d.get(), &Downloader::DownloadComplete, this, [&](qint64, const QString &saveFile) {
        if (!restarted) {
            restarted = d->BeginDownload(url, saveFile);
        }
    });
    QVERIFY(d->BeginDownload(url, target));
    QVERIFY(recorder.waitForCompletes(2));

    QVERIFY(restarted);
    QCOMPARE(recorder.outline(), u"finished complete finished complete"_s);
    QCOMPARE(m_server->requestCount(u"/file.zip"_s), 2);
    QCOMPARE(readFile(target), body);
}

void TestDownloader::deletingAbandonsReads()
{
    m_server->setBody(u"/file.zip"_s, payload(400000));
    m_server->setMisbehaviour(u"/file.zip"_s, Misbehaviour::Stall);
    const QString target = path(u"file.zip"_s);
    const QByteArray old = "old";
    QVERIFY(writeFile(target, old));

    auto d = downloader();
    int signalsAfterDeletion = 0;
    QVERIFY(d->BeginDownload(m_server->url(u"/file.zip"_s).toString(), target));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(u"/file.zip"_s), 1, Timeout);
    QTest::qWait(200); // half the body is on its way to the temporary file

    connect(d.get(), &Downloader::DownloadComplete, this, [&] { ++signalsAfterDeletion; });
    connect(d.get(), &Downloader::DownloadError, this, [&] { ++signalsAfterDeletion; });
    d.reset();

    QCOMPARE(entries(), QStringList{u"file.zip"_s});
    QCOMPARE(readFile(target), old);
    QTRY_COMPARE_WITH_TIMEOUT(m_server->openConnectionCount(), 0, Timeout);
    QCOMPARE(signalsAfterDeletion, 0);
}

void TestDownloader::proxyCarriesTheRequest()
{
    // The mirror answers a proxy's request for an absolute URL like any other, so the read can only
    // succeed if it went through the proxy: the host name does not exist.
    const QByteArray body = payload(3000);
    m_server->setBody(u"/file.zip"_s, body);
    const QString target = path(u"file.zip"_s);

    auto d = downloader();
    d->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, m_server->port()));
    Recorder recorder(d.get());
    QVERIFY(d->BeginDownload(u"http://mirror.invalid/file.zip"_s, target));
    QVERIFY(recorder.waitForCompletes(1));

    QCOMPARE(recorder.outline(), u"finished complete"_s);
    QCOMPARE(readFile(target), body);
}

QTEST_GUILESS_MAIN(TestDownloader)

#include "tst_downloader.moc"
