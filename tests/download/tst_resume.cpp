#include "common/download/Downloader.h"
#include "common/download/PartialDownload.h"
#include "common/platform/WorkFolder.h"
#include "tests/support/Payload.h"
#include "tools/mirror/MirrorServer.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using Trivet::Downloader;
using Trivet::DownloadHandle;
using Trivet::DownloadRequest;
using Trivet::DownloadResult;
using Trivet::DownloadStatus;
using Trivet::MirrorServer;
using Trivet::PartialDownload;
using Misbehaviour = Trivet::MirrorServer::Misbehaviour;

namespace {

using Trivet::Test::payload;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

DownloadResult fetch(Downloader &downloader, const DownloadRequest &request)
{
    DownloadResult result;
    result.status = DownloadStatus::InvalidRequest;
    DownloadHandle *handle = downloader.beginDownload(request);
    if (!handle) {
        return result;
    }
    QEventLoop loop;
    QObject::connect(handle, &DownloadHandle::finished, &loop, [&](const DownloadResult &finished) {
        result = finished;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return result;
}

} // namespace

class TestResume final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void continuesOnlyWhatFollows_data();
    void continuesOnlyWhatFollows();
    void startKeepsOnlyRecentPartsOfWantedPackages_data();
    void startKeepsOnlyRecentPartsOfWantedPackages();
};

void TestResume::continuesOnlyWhatFollows_data()
{
    QTest::addColumn<Misbehaviour>("answer");
    QTest::addColumn<bool>("fileChanged");
    // Whether the second read, after asking for the rest, had to ask again for the whole file.
    QTest::addColumn<bool>("startedOver");

    QTest::newRow("206 with the rest") << Misbehaviour::None << false << false;
    QTest::newRow("206 of the whole file, claimed as the rest") << Misbehaviour::WrongRange << false << true;
    QTest::newRow("200: the file changed") << Misbehaviour::None << true << false;
    QTest::newRow("200: the server ignores ranges") << Misbehaviour::IgnoreRanges << false << false;
    QTest::newRow("416") << Misbehaviour::RefuseRange << false << true;
}

void TestResume::continuesOnlyWhatFollows()
{
    QFETCH(Misbehaviour, answer);
    QFETCH(bool, fileChanged);
    QFETCH(bool, startedOver);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString partials = dir.filePath(u"work/downloads"_s);
    const QString target = dir.filePath(u"mpad35.zip"_s);
    const QByteArray before = payload(300 * 1024, 1);
    const QByteArray after = payload(310 * 1024, 2);
    const QByteArray wanted = fileChanged ? after : before;

    MirrorServer mirror;
    QVERIFY(mirror.listen());
    mirror.setBody(u"/mpad35.zip"_s, before);
    mirror.setMisbehaviour(u"/mpad35.zip"_s, Misbehaviour::DropConnection);
    QVERIFY(QFile(target).open(QIODevice::WriteOnly)); // an old copy, which only a checked file replaces

    Downloader downloader;
    DownloadRequest request{mirror.url(u"/mpad35.zip"_s).toString(), target, u"OFF-6"_s};
    request.resumeFolder = partials;
    request.sha256 = QString::fromLatin1(QCryptographicHash::hash(wanted, QCryptographicHash::Sha256).toHex());

    // Cut off half-way: the half stays, described by the server's validators.
    const DownloadResult cut = fetch(downloader, request);
    QCOMPARE(cut.status, DownloadStatus::LengthMismatch);
    const qint64 half = before.size() / 2;
    QCOMPARE(readFile(PartialDownload::dataPath(partials, target)), before.left(half));
    const std::optional<PartialDownload> kept = PartialDownload::read(PartialDownload::infoPath(partials, target));
    QVERIFY(kept && kept->canResume());
    QCOMPARE(kept->total, before.size());
    QCOMPARE(kept->id, u"OFF-6"_s);
    QCOMPARE(readFile(target), QByteArray()); // the old copy is untouched

    // Qt sends a request again when the connection closes before the answer was read; only what follows counts.
    const qsizetype firstRequests = mirror.rangeRequests(u"/mpad35.zip"_s).size();
    if (fileChanged) {
        mirror.setBody(u"/mpad35.zip"_s, after);
    }
    mirror.setMisbehaviour(u"/mpad35.zip"_s, answer);
    const DownloadResult done = fetch(downloader, request);
    QVERIFY2(done.ok(), qPrintable(done.message));
    QCOMPARE(done.bytes, wanted.size());
    QCOMPARE(done.total, wanted.size());
    QVERIFY(readFile(target) == wanted);

    QList<QByteArray> ranges{"bytes=" + QByteArray::number(half) + '-'};
    if (startedOver) {
        ranges.append(QByteArray());
    }
    QCOMPARE(mirror.rangeRequests(u"/mpad35.zip"_s).mid(firstRequests), ranges);
    QCOMPARE(QDir(partials).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestResume::startKeepsOnlyRecentPartsOfWantedPackages_data()
{
    QTest::addColumn<int>("ageDays");
    QTest::addColumn<QString>("url");
    QTest::addColumn<qint64>("keptBytes");
    QTest::addColumn<bool>("withPart");
    QTest::addColumn<bool>("kept");

    const QString wanted = u"http://mirror.example/mpad35.zip"_s;
    QTest::newRow("recent, still in the settings") << 6 << wanted << qint64(100) << true << true;
    QTest::newRow("older than a week") << 8 << wanted << qint64(100) << true << false;
    QTest::newRow("address no longer in the settings")
        << 0 << u"http://old.example/mpad35.zip"_s << qint64(100) << true << false;
    QTest::newRow("description without its part") << 0 << wanted << qint64(100) << false << false;
    QTest::newRow("part as large as the whole") << 0 << wanted << qint64(1000) << true << false;
}

void TestResume::startKeepsOnlyRecentPartsOfWantedPackages()
{
    QFETCH(int, ageDays);
    QFETCH(QString, url);
    QFETCH(qint64, keptBytes);
    QFETCH(bool, withPart);
    QFETCH(bool, kept);

    QTemporaryDir dir;
    const QString folder = Trivet::partialDownloadFolder(dir.path());
    QVERIFY(QDir().mkpath(folder));
    // What an interrupted install left in the work folder goes at start; the partial downloads have rules of
    // their own.
    const QString leftover = QDir(Trivet::workFolder(dir.path())).filePath(u"stage-1"_s);
    QVERIFY(QDir().mkpath(leftover));
    const QString target = dir.filePath(u"mpad35.zip"_s);
    PartialDownload partial{url, u"OFF-6"_s, "\"abc\"", {}, 1000};
    QVERIFY(partial.write(PartialDownload::infoPath(folder, target)));
    if (withPart) {
        QFile part(PartialDownload::dataPath(folder, target));
        QVERIFY(part.open(QIODevice::WriteOnly));
        part.write(QByteArray(keptBytes, 'x'));
        QVERIFY(part.flush());
        QVERIFY(part.setFileTime(QDateTime::currentDateTime().addDays(-ageDays), QFileDevice::FileModificationTime));
    }
    QFile(QDir(folder).filePath(u"stray.tmp"_s)).open(QIODevice::WriteOnly);

    QVERIFY(Trivet::removeWorkLeftovers(dir.path()).ok());
    QVERIFY(!QFileInfo::exists(leftover));
    Trivet::prunePartialDownloads(folder, {u"http://mirror.example/mpad35.zip"_s}, std::chrono::hours(24 * 7));
    const QStringList expected = kept ? QStringList{u"mpad35.zip.part"_s, u"mpad35.zip.part.info"_s} : QStringList();
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    QCOMPARE(Trivet::partialDownloadSizes(folder).value(u"OFF-6"_s, -1), qint64(kept ? 1000 : -1));
}

QTEST_GUILESS_MAIN(TestResume)
#include "tst_resume.moc"
