#include "common/trust/Ed25519.h"
#include "common/trust/PackageSignature.h"
#include "common/trust/PackageVerifier.h"
#include "common/trust/TrustedKeys.h"
#include "tests/support/PipeWatchdog.h"
#include "tests/support/PortableFolder.h"

#include <QTest>
using namespace Qt::StringLiterals;
using namespace Trivet;

namespace QTest {
template <> char *toString(const VerificationStatus &status)
{
    static const char *const names[] = {"Success",    "NoSignature",  "Malformed",        "WrongFile",
                                        "UnknownKey", "BadSignature", "PackageUnreadable"};
    return qstrdup(names[int(status)]);
}
} // namespace QTest

// A publisher's key in Keys, a package and its signature, and the ways each can be wrong.
class TrustTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void verification_data();
    void verification();
    void replay_data();
    void replay();

private:
    QByteArray signatureOf(const QString &packagePath, const QString &sequence, const Ed25519::KeyPair &key) const;

    Ed25519::KeyPair m_publisher;
    Ed25519::KeyPair m_stranger;
};

void TrustTest::initTestCase()
{
    const std::optional<Ed25519::KeyPair> publisher = Ed25519::generate();
    const std::optional<Ed25519::KeyPair> stranger = Ed25519::generate();
    QVERIFY(publisher && stranger);
    QVERIFY(publisher->publicKey != stranger->publicKey);
    m_publisher = *publisher;
    m_stranger = *stranger;
}

QByteArray TrustTest::signatureOf(const QString &packagePath, const QString &sequence,
                                  const Ed25519::KeyPair &key) const
{
    QString reason;
    const std::optional<PackageSignature> signature = signPackage(packagePath, sequence, key.privateKey, &reason);
    if (!signature) {
        qWarning().noquote() << reason;
        return {};
    }
    return signature->toText();
}

void TrustTest::verification_data()
{
    // Keys: files of the Keys folder, each "good", "stranger" (a good file of another key), "short" (31
    // bytes), "text" (not base64), "empty", "huge" (10 MB), "folder" or "pipe". Signature: "good", "other
    // name" (a good signature of TrivetUpdate.zip), "sequence edited", "stranger", "empty", "huge", "text",
    // "long" (65 bytes), "none".
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("signature");
    QTest::addColumn<bool>("packageChanged");
    QTest::addColumn<VerificationStatus>("expected");
    QTest::addColumn<QString>("refusedKeyReason"); // of the one refused key file, when there is one

    using S = VerificationStatus;
    const QStringList good{u"good"_s};
    QTest::newRow("verified") << good << u"good"_s << false << S::Success << QString();
    QTest::newRow("package changed by one byte") << good << u"good"_s << true << S::BadSignature << QString();
    QTest::newRow("signature of another file") << good << u"other name"_s << false << S::WrongFile << QString();
    QTest::newRow("sequence edited") << good << u"sequence edited"_s << false << S::BadSignature << QString();
    QTest::newRow("signed by another key") << good << u"stranger"_s << false << S::UnknownKey << QString();
    QTest::newRow("only another key trusted")
        << QStringList{u"stranger"_s} << u"good"_s << false << S::UnknownKey << QString();
    QTest::newRow("no key at all") << QStringList() << u"good"_s << false << S::UnknownKey << QString();
    // A bad key file is refused with its reason and spoils neither the good key beside it nor the run.
    QTest::newRow("key of 31 bytes") << QStringList{u"short"_s, u"good"_s} << u"good"_s << false << S::Success
                                     << u"31 bytes instead of 32"_s;
    QTest::newRow("key not base64") << QStringList{u"text"_s, u"good"_s} << u"good"_s << false << S::Success
                                    << u"not base64"_s;
    QTest::newRow("key file empty") << QStringList{u"empty"_s, u"good"_s} << u"good"_s << false << S::Success
                                    << u"empty"_s;
    QTest::newRow("key file of 10 MB") << QStringList{u"huge"_s, u"good"_s} << u"good"_s << false << S::Success
                                       << u"larger than 4096 bytes"_s;
    QTest::newRow("key file a folder") << QStringList{u"folder"_s, u"good"_s} << u"good"_s << false << S::Success
                                       << u"not a regular file"_s;
    QTest::newRow("key file a pipe") << QStringList{u"pipe"_s, u"good"_s} << u"good"_s << false << S::Success
                                     << u"not a regular file"_s;
    QTest::newRow("only a bad key") << QStringList{u"short"_s} << u"good"_s << false << S::UnknownKey
                                    << u"31 bytes instead of 32"_s;
    QTest::newRow("signature file empty") << good << u"empty"_s << false << S::Malformed << QString();
    QTest::newRow("signature file of 10 MB") << good << u"huge"_s << false << S::Malformed << QString();
    QTest::newRow("signature not base64") << good << u"text"_s << false << S::Malformed << QString();
    QTest::newRow("signature of 65 bytes") << good << u"long"_s << false << S::Malformed << QString();
    QTest::newRow("no signature") << good << u"none"_s << false << S::NoSignature << QString();
}

void TrustTest::verification()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, signature);
    QFETCH(bool, packageChanged);
    QFETCH(VerificationStatus, expected);
    QFETCH(QString, refusedKeyReason);

    Test::PortableFolder folder;
    QVERIFY(folder.isValid());
    const QByteArray packageBytes = QByteArray("PK\x03\x04 the program list ") + QByteArray(5000, 'x');
    folder.writeFile(u"Trivet.zip"_s, packageBytes);
    folder.writeFile(u"TrivetUpdate.zip"_s, packageBytes);
    folder.writeFile(u"Keys/README.txt"_s, "Not a key file: only *.key files are read.\n");
    const QString package = folder.path(u"Trivet.zip"_s);

    QStringList pipes;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QString &kind = keys.at(i);
        const QString name = u"Keys/"_s + QString::number(i) + u'-' + kind + u".key"_s;
        const QByteArray header = "Trivet-Public-Key 1\n# a comment line\n\n";
        if (kind == u"good"_s) {
            folder.writeFile(name, publicKeyFileText(m_publisher.publicKey, u"the publisher"_s));
        } else if (kind == u"stranger"_s) {
            folder.writeFile(name, publicKeyFileText(m_stranger.publicKey, {}));
        } else if (kind == u"short"_s) {
            folder.writeFile(name, header + "Ed25519: " + m_publisher.publicKey.left(31).toBase64() + '\n');
        } else if (kind == u"text"_s) {
            folder.writeFile(name, header + "Ed25519: this is not base64!\n");
        } else if (kind == u"empty"_s) {
            folder.writeFile(name, {});
        } else if (kind == u"huge"_s) {
            folder.writeFile(name, publicKeyFileText(m_publisher.publicKey, {}) + QByteArray(10 << 20, '#'));
        } else if (kind == u"folder"_s) {
            QVERIFY(QDir().mkpath(folder.path(name)));
        } else if (kind == u"pipe"_s) {
#ifdef Q_OS_UNIX
            QVERIFY(QDir().mkpath(folder.path(u"Keys"_s)));
            QVERIFY(Test::makeNamedPipe(folder.path(name)));
            pipes.append(folder.path(name));
#else
            QSKIP("Named pipes are a Unix thing");
#endif
        }
    }

    QByteArray signatureBytes;
    if (signature == u"good"_s) {
        signatureBytes = signatureOf(package, u"7"_s, m_publisher);
    } else if (signature == u"other name"_s) {
        signatureBytes = signatureOf(folder.path(u"TrivetUpdate.zip"_s), u"7"_s, m_publisher);
    } else if (signature == u"sequence edited"_s) {
        signatureBytes = signatureOf(package, u"7"_s, m_publisher).replace("Sequence: 7", "Sequence: 9");
    } else if (signature == u"stranger"_s) {
        signatureBytes = signatureOf(package, u"7"_s, m_stranger);
    } else if (signature == u"huge"_s) {
        signatureBytes = signatureOf(package, u"7"_s, m_publisher) + QByteArray(10 << 20, '\n');
    } else if (signature == u"text"_s || signature == u"long"_s) {
        QString reason;
        const std::optional<PackageSignature> parsed =
            PackageSignature::parse(signatureOf(package, u"7"_s, m_publisher), &reason);
        QVERIFY(parsed);
        PackageSignature edited = *parsed;
        QByteArray text = edited.toText();
        const QByteArray encoded = edited.signature.toBase64();
        text.replace(encoded,
                     signature == u"text"_s ? QByteArray("not*base64") : QByteArray(edited.signature + 'x').toBase64());
        signatureBytes = text;
    }
    if (signature != u"none"_s) {
        folder.writeFile(u"Trivet.zip.sig"_s, signatureBytes);
        QVERIFY(signature == u"empty"_s || !signatureBytes.isEmpty());
    }
    if (packageChanged) {
        QByteArray changed = packageBytes;
        changed[2000] = changed[2000] ^ 1;
        folder.writeFile(u"Trivet.zip"_s, changed);
    }

#ifdef Q_OS_UNIX
    // Opening a pipe would wait for a writer: the watchdog lets such a read go, and the test fails instead.
    Test::PipeWatchdog watchdog(pipes, std::chrono::seconds(5));
    const TrustedKeys trusted = loadTrustedKeys(folder.root());
    watchdog.stop();
    QVERIFY(!watchdog.released());
#else
    const TrustedKeys trusted = loadTrustedKeys(folder.root());
#endif
    QCOMPARE(trusted.refused.size(), refusedKeyReason.isEmpty() ? 0 : 1);
    if (!refusedKeyReason.isEmpty()) {
        QVERIFY2(trusted.refused.first().reason.contains(refusedKeyReason), qPrintable(trusted.refused.first().reason));
    }
    const Verification result = verifyPackageFile(package, folder.path(u"Trivet.zip.sig"_s), u"Trivet.zip"_s, trusted);
    QCOMPARE(result.status, expected);
    if (expected == VerificationStatus::Success) {
        QCOMPARE(result.sequence, u"7"_s);
        QVERIFY(result.signer.endsWith(u"-good.key"_s));
    } else {
        QVERIFY(!result.message.isEmpty());
        QVERIFY(result.sequence.isEmpty());
    }
    // The bytes as a download holds them give the same answer as the file (one that is there).
    if (signature != u"none"_s && signature != u"huge"_s) {
        QCOMPARE(verifyPackage(package, signatureBytes, u"Trivet.zip"_s, trusted).status, expected);
    }
}

void TrustTest::replay_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("taken");

    QTest::newRow("older serial") << u"serial"_s << u"6"_s << u"7"_s << false;
    QTest::newRow("same serial") << u"serial"_s << u"7"_s << u"7"_s << true;
    QTest::newRow("newer serial, more digits") << u"serial"_s << u"10"_s << u"9"_s << true;
    QTest::newRow("first list") << u"serial"_s << u"1"_s << QString() << true;
    QTest::newRow("serial not a number") << u"serial"_s << u"7a"_s << u"1"_s << false;
    QTest::newRow("negative serial") << u"serial"_s << u"-8"_s << u"1"_s << false;
    QTest::newRow("serial beyond 64 bits") << u"serial"_s << u"99999999999999999999"_s << u"1"_s << false;
    QTest::newRow("same version") << u"version"_s << u"1.2.8"_s << u"1.2.8"_s << false;
    QTest::newRow("older version") << u"version"_s << u"1.2.7"_s << u"1.2.8"_s << false;
    QTest::newRow("newer version, more digits") << u"version"_s << u"1.2.10"_s << u"1.2.9"_s << true;
    QTest::newRow("no version offered") << u"version"_s << QString() << u"1.2.8"_s << false;
}

void TrustTest::replay()
{
    QFETCH(QString, kind);
    QFETCH(QString, offered);
    QFETCH(QString, current);
    QFETCH(bool, taken);
    QCOMPARE(kind == u"serial"_s ? serialIsFresh(offered, current) : versionIsNewer(offered, current), taken);
}

QTEST_GUILESS_MAIN(TrustTest)
#include "tst_trust.moc"
