#include "common/settings/IniFile.h"
#include "common/trust/FileDigest.h"
#include "common/trust/PackageVerifier.h"
#include "common/trust/TrustedKeys.h"
#include "tests/support/ArchiveWriter.h"
#include "tests/support/ExtractAndWait.h"
#include "tests/support/PortableFolder.h"

#include <QProcess>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace Trivet;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run publishTool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(TRIVET_PUBLISH), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

// TrivetPublish as a publisher runs it: a key pair, a signed mirror from a folder of packages and the
// shipped settings, and the refusals of bad input.
class PublishTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void publishedMirrorVerifies();
    void badInputWritesNothing_data();
    void badInputWritesNothing();

private:
    QStringList publishArguments(const QString &out) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_packages;
    QString m_key;
};

void PublishTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_packages = m_dir->filePath(u"packages"_s);
    QVERIFY(QDir().mkpath(m_packages));
    using Test::ArchiveMember;
    QVERIFY(Test::ArchiveWriter::writeZip(m_packages + u"/mpad35.zip"_s,
                                          {ArchiveMember::file(u"Metapad/Metapad.exe"_s, "a program\n", 0755)}));
    QVERIFY(Test::ArchiveWriter::writeZip(m_packages + u"/TrivetUpdate.zip"_s,
                                          {ArchiveMember::file(u"TrivetDesk"_s, "the new launcher\n", 0755),
                                           ArchiveMember::file(u"ver.dat"_s, "1.3.0\r\n")}));
    QFile putty(m_packages + u"/PuTTY.exe"_s);
    QVERIFY(putty.open(QIODevice::WriteOnly) && putty.write(QByteArray(70000, 'p')) == 70000);
    putty.close();

    m_key = m_dir->filePath(u"keys/publisher"_s);
    QVERIFY(QDir().mkpath(m_dir->filePath(u"keys"_s)));
    const Run keygen = publishTool({u"keygen"_s, m_key});
    QVERIFY2(keygen.exitCode == 0, qPrintable(keygen.err));
    // The private half is the publisher's alone; a second keygen never replaces a key.
#ifdef Q_OS_UNIX
    // Windows keeps who may read a file in its access lists, not in mode bits.
    struct stat info = {};
    QCOMPARE(stat(QFile::encodeName(m_key + u".private"_s).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0600));
#endif
    QVERIFY(QFile::permissions(m_key + u".key"_s).testFlag(QFileDevice::ReadOther));
    QCOMPARE(publishTool({u"keygen"_s, m_key}).exitCode, 1);
}

QStringList PublishTest::publishArguments(const QString &out) const
{
    return {u"publish"_s,
            u"--packages"_s,
            m_packages,
            u"--template"_s,
            Test::shippedPortableFolder() + u"/Trivet.ini"_s,
            u"--base-url"_s,
            u"http://127.0.0.1:8080/mirror/"_s,
            u"--key"_s,
            m_key + u".private"_s,
            u"--serial"_s,
            u"12"_s,
            u"--version"_s,
            u"1.3.0"_s,
            u"--out"_s,
            out};
}

void PublishTest::publishedMirrorVerifies()
{
    const QString out = m_dir->filePath(u"mirror"_s);
    const Run published = publishTool(publishArguments(out));
    QVERIFY2(published.exitCode == 0, qPrintable(published.err));
    // The shipped settings name packages this folder does not hold; their addresses stay and are named.
    QVERIFY2(published.err.contains(u"URLOFF-1 names Deepburn.zip"_s), qPrintable(published.err));
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{u"PuTTY.exe"_s, u"Trivet.zip"_s, u"Trivet.zip.sig"_s, u"TrivetUpdate.zip"_s,
                          u"TrivetUpdate.zip.sig"_s, u"mpad35.zip"_s, u"update.dat"_s}));
    QCOMPARE(QDir(out).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());

    // Both signatures verify with the public key in a Keys folder, with the serial and the version.
    QVERIFY(QDir().mkpath(m_dir->filePath(u"app/Keys"_s)));
    QVERIFY(QFile::copy(m_key + u".key"_s, m_dir->filePath(u"app/Keys/publisher.key"_s)));
    const TrustedKeys keys = loadTrustedKeys(m_dir->filePath(u"app"_s));
    QCOMPARE(keys.keys.size(), 1);
    const Verification list =
        verifyPackageFile(out + u"/Trivet.zip"_s, out + u"/Trivet.zip.sig"_s, u"Trivet.zip"_s, keys);
    QVERIFY2(list.ok(), qPrintable(list.message));
    QCOMPARE(list.sequence, u"12"_s);
    const Verification update =
        verifyPackageFile(out + u"/TrivetUpdate.zip"_s, out + u"/TrivetUpdate.zip.sig"_s, u"TrivetUpdate.zip"_s, keys);
    QVERIFY2(update.ok(), qPrintable(update.message));
    QCOMPARE(update.sequence, u"1.3.0"_s);
    QFile versionFile(out + u"/update.dat"_s);
    QVERIFY(versionFile.open(QIODevice::ReadOnly));
    QCOMPARE(versionFile.readAll(), QByteArray("1.3.0\r\n"));

    // The list inside names every package's SHA-256 and size, its serial and the addresses below the base.
    Test::PortableFolder unpacked;
    QVERIFY(QFile::copy(out + u"/Trivet.zip"_s, unpacked.path(u"Trivet.zip"_s)));
    QVERIFY(Test::extractAndWait(unpacked.root(), u"\\unzip.exe -o Trivet.zip"_s).ok());
    const IniFile ini(unpacked.path(u"Trivet.ini"_s));
    for (const QString &name : {u"mpad35.zip"_s, u"PuTTY.exe"_s, u"TrivetUpdate.zip"_s}) {
        const std::optional<QByteArray> source = sha256OfFile(m_packages + u'/' + name);
        QVERIFY(source);
        QCOMPARE(ini.value(u"Checksums", name), QString::fromLatin1(source->toHex()));
        QCOMPARE(sha256OfFile(out + u'/' + name), source);
        QCOMPARE(ini.value(u"Sizes", name), QString::number(QFileInfo(out + u'/' + name).size()));
    }
    QCOMPARE(ini.sectionEntries(u"Checksums").size(), 3);
    QCOMPARE(ini.value(u"List", u"Serial"), u"12"_s);
    QCOMPARE(ini.value(u"Applications", u"URLOFF-6"), u"http://127.0.0.1:8080/mirror/mpad35.zip"_s);
    QCOMPARE(ini.value(u"Applications", u"URLIni"), u"http://127.0.0.1:8080/mirror/Trivet.zip"_s);
    QCOMPARE(ini.value(u"VersionCheck", u"updateURL"), u"http://127.0.0.1:8080/mirror/update.dat"_s);
    QCOMPARE(ini.value(u"VersionCheck", u"updaterURL"), u"http://127.0.0.1:8080/mirror/TrivetUpdate.zip"_s);
    QCOMPARE(ini.value(u"Applications", u"URLOFF-1"), u"http://packages.quillory.example/packages/Deepburn.zip"_s);

    // The tool's own check agrees, and tells a changed package from the signed one.
    QCOMPARE(publishTool({u"verify"_s, m_dir->filePath(u"app/Keys"_s), out + u"/Trivet.zip"_s}).exitCode, 0);
    QFile tampered(out + u"/mpad35.zip"_s);
    QVERIFY(tampered.open(QIODevice::Append) && tampered.write("x") == 1);
    tampered.close();
    QCOMPARE(publishTool({u"sign"_s, m_key + u".private"_s, out + u"/mpad35.zip"_s, u"3"_s}).exitCode, 0);
    QCOMPARE(publishTool({u"verify"_s, m_dir->filePath(u"app/Keys"_s), out + u"/mpad35.zip"_s}).exitCode, 0);
    QVERIFY(tampered.open(QIODevice::Append) && tampered.write("y") == 1);
    tampered.close();
    const Run refused = publishTool({u"verify"_s, m_dir->filePath(u"app/Keys"_s), out + u"/mpad35.zip"_s});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains(u"not the package its signature vouches for"_s), qPrintable(refused.err));
}

void PublishTest::badInputWritesNothing_data()
{
    QTest::addColumn<QString>("option"); // replaced, or removed with an empty value
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("packageFile"); // added to the packages folder; a name ending in '/' a folder
    QTest::addColumn<QString>("says");

    QTest::newRow("serial not a number") << u"--serial"_s << u"twelve"_s << QString() << u"serial"_s;
    QTest::newRow("no serial") << u"--serial"_s << QString() << QString() << u"--serial"_s;
    QTest::newRow("version not digits") << u"--version"_s << u"1.3-beta"_s << QString() << u"version"_s;
    QTest::newRow("update without version") << u"--version"_s << QString() << QString() << u"TrivetUpdate.zip"_s;
    QTest::newRow("ftp base address") << u"--base-url"_s << u"ftp://example.org/"_s << QString() << u"http"_s;
    QTest::newRow("key not a key") << u"--key"_s << QStringLiteral(TRIVET_SOURCE_DIR "/portable/ver.dat") << QString()
                                   << u"not a private key file"_s;
    QTest::newRow("missing template") << u"--template"_s << u"/nonexistent/Trivet.ini"_s << QString()
                                      << u"Trivet.ini"_s;
    QTest::newRow("output is the packages folder") << u"--out"_s << u"packages"_s << QString() << u"packages folder"_s;
    QTest::newRow("folder among the packages") << QString() << QString() << u"Extras/"_s << u"not a regular file"_s;
    QTest::newRow("a list among the packages") << QString() << QString() << u"Trivet.zip"_s << u"writes this file"_s;
    QTest::newRow("a signature among the packages")
        << QString() << QString() << u"mpad35.zip.sig"_s << u"writes this file"_s;
}

void PublishTest::badInputWritesNothing()
{
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(QString, packageFile);
    QFETCH(QString, says);

    const QString out = value == u"packages"_s ? m_packages : m_dir->filePath(u"mirror"_s);
    const QStringList before = QDir(m_packages).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QStringList arguments = publishArguments(out);
    if (value == u"packages"_s) {
        value = out;
    }
    if (!option.isEmpty()) {
        const qsizetype at = arguments.indexOf(option);
        QVERIFY(at > 0);
        if (value.isEmpty()) {
            arguments.remove(at, 2);
        } else {
            arguments[at + 1] = value;
        }
    }
    if (packageFile.endsWith(u'/')) {
        QVERIFY(QDir().mkpath(m_packages + u'/' + packageFile));
    } else if (!packageFile.isEmpty()) {
        QFile extra(m_packages + u'/' + packageFile);
        QVERIFY(extra.open(QIODevice::WriteOnly) && extra.write("extra") == 5);
    }
    const Run run = publishTool(arguments);
    QVERIFY(run.exitCode > 0);
    QVERIFY2(run.err.contains(says), qPrintable(run.err));
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             out == m_packages ? before : QStringList());
}

QTEST_GUILESS_MAIN(PublishTest)
#include "tst_publish.moc"
