#include "common/platform/RegularFile.h"
#include "common/settings/SaveResult.h"
#include "common/trust/Ed25519.h"
#include "common/trust/PackageSignature.h"
#include "common/trust/PackageVerifier.h"
#include "common/trust/TrustedKeys.h"
#include "tools/publish/MirrorPublisher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

using namespace Qt::StringLiterals;
using namespace Trivet;

// The publisher's side of the chain of trust: makes key pairs, signs packages, checks signatures and lays
// out a signed mirror. Every failure says why on standard error and ends with a status other than 0.
namespace {

constexpr int Usage = 2;
constexpr int Failed = 1;

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

int fail(const QString &message, int code = Failed)
{
    err() << "TrivetPublish: " << message << Qt::endl;
    return code;
}

// Written only when nothing is there yet: an existing key is never replaced by accident.
bool writeNewFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, permissions)) {
        *error = path + u": "_s + file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *error = path + u": "_s + file.errorString();
        file.remove();
        return false;
    }
    return true;
}

int keygen(const QStringList &args)
{
    if (args.size() != 1) {
        return fail(u"usage: TrivetPublish keygen OUT-BASENAME"_s, Usage);
    }
    const QString privatePath = args.at(0) + u".private"_s;
    const QString publicPath = args.at(0) + u".key"_s;
    for (const QString &path : {privatePath, publicPath}) {
        if (QFileInfo::exists(path)) {
            return fail(path + u" is already there; it is not replaced"_s);
        }
    }
    const std::optional<Ed25519::KeyPair> pair = Ed25519::generate();
    if (!pair) {
        return fail(u"libcrypto could not make a key pair"_s);
    }
    QString error;
    if (!writeNewFile(privatePath, privateKeyFileText(pair->privateKey),
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner, &error)) {
        return fail(error);
    }
    const QString comment = QFileInfo(publicPath).fileName() + u", fingerprint "_s + fingerprintOf(pair->publicKey);
    if (!writeNewFile(publicPath, publicKeyFileText(pair->publicKey, comment),
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                          QFileDevice::ReadOther,
                      &error)) {
        QFile::remove(privatePath);
        return fail(error);
    }
    out() << "Private key: " << privatePath << " (keep it secret)\n"
          << "Public key:  " << publicPath << ", fingerprint " << fingerprintOf(pair->publicKey)
          << " (put it in the Keys folder beside the launcher)" << Qt::endl;
    return 0;
}

std::optional<QByteArray> readPrivateKey(const QString &path, QString *error)
{
    const FileRead read = readRegularFile(path, MaxTrustFileSize);
    if (!read.ok()) {
        *error = path + u": "_s + read.message;
        return std::nullopt;
    }
    QString reason;
    std::optional<QByteArray> key = parsePrivateKeyFile(read.bytes, &reason);
    if (!key) {
        *error = path + u": not a private key file: "_s + reason;
    }
    return key;
}

int sign(const QStringList &args)
{
    if (args.size() != 3) {
        return fail(u"usage: TrivetPublish sign PRIVATE-KEY FILE SEQUENCE"_s, Usage);
    }
    QString error;
    const std::optional<QByteArray> key = readPrivateKey(args.at(0), &error);
    if (!key) {
        return fail(error);
    }
    const std::optional<PackageSignature> signature = signPackage(args.at(1), args.at(2), *key, &error);
    if (!signature) {
        return fail(error);
    }
    const QString target = args.at(1) + PackageSignature::Suffix;
    if (const SaveResult saved = saveAtomically(target, signature->toText()); !saved.ok()) {
        return fail(target + u": "_s + saved.message);
    }
    out() << "Wrote " << target << " (" << signature->fileName << ", sequence " << signature->sequence << ", key "
          << signature->keyFingerprint << ')' << Qt::endl;
    return 0;
}

int verify(const QStringList &args)
{
    if (args.size() != 2) {
        return fail(u"usage: TrivetPublish verify KEYS-FOLDER FILE"_s, Usage);
    }
    const TrustedKeys keys = loadKeysFolder(args.at(0));
    for (const RefusedKeyFile &refused : keys.refused) {
        err() << "TrivetPublish: key file " << refused.fileName << " refused: " << refused.reason << Qt::endl;
    }
    for (const TrustedKey &key : keys.keys) {
        out() << "Trusted key " << key.id << ", fingerprint " << key.fingerprint << '\n';
    }
    const QString package = args.at(1);
    const Verification verification =
        verifyPackageFile(package, package + PackageSignature::Suffix, QFileInfo(package).fileName(), keys);
    if (!verification.ok()) {
        return fail(verification.message);
    }
    out() << "Verified " << package << ": signed by " << verification.signer << ", sequence " << verification.sequence
          << Qt::endl;
    return 0;
}

int publish(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption packages(u"packages"_s, u"The folder of packages to publish."_s, u"folder"_s);
    const QCommandLineOption templateFile(u"template"_s, u"The settings file the program list is made from."_s,
                                          u"path"_s);
    const QCommandLineOption baseUrl(u"base-url"_s, u"The address the output folder is served at."_s, u"url"_s);
    const QCommandLineOption key(u"key"_s, u"The private key that signs."_s, u"path"_s);
    const QCommandLineOption serial(u"serial"_s, u"The program list's serial number."_s, u"number"_s);
    const QCommandLineOption version(u"version"_s, u"The version TrivetUpdate.zip installs."_s, u"version"_s);
    const QCommandLineOption outFolder(u"out"_s, u"The folder to lay the mirror out in."_s, u"folder"_s);
    parser.addOptions({packages, templateFile, baseUrl, key, serial, version, outFolder});
    if (!parser.parse(QStringList{u"TrivetPublish"_s} + arguments)) {
        return fail(parser.errorText(), Usage);
    }
    if (!parser.positionalArguments().isEmpty()) {
        return fail(u"publish takes no argument "_s + parser.positionalArguments().first(), Usage);
    }
    for (const QCommandLineOption &required : {packages, templateFile, baseUrl, key, serial, outFolder}) {
        if (!parser.isSet(required)) {
            return fail(u"publish needs --"_s + required.names().first(), Usage);
        }
    }
    QString error;
    const std::optional<QByteArray> privateKey = readPrivateKey(parser.value(key), &error);
    if (!privateKey) {
        return fail(error);
    }
    const Tools::MirrorPublisher publisher({parser.value(packages), parser.value(templateFile), parser.value(baseUrl),
                                            *privateKey, parser.value(serial), parser.value(version),
                                            parser.value(outFolder)});
    const Tools::MirrorPublisher::Outcome outcome = publisher.publish();
    for (const QString &warning : outcome.warnings) {
        err() << "TrivetPublish: warning: " << warning << Qt::endl;
    }
    if (!outcome.result.ok()) {
        return fail(outcome.result.message);
    }
    out() << "Published " << outcome.written.size() << " files in " << parser.value(outFolder) << Qt::endl;
    return 0;
}

const char *const UsageText =
    "usage: TrivetPublish COMMAND ...\n"
    "  keygen OUT-BASENAME             writes OUT-BASENAME.private (secret) and OUT-BASENAME.key\n"
    "  sign PRIVATE-KEY FILE SEQUENCE  writes FILE.sig\n"
    "  verify KEYS-FOLDER FILE         checks FILE against FILE.sig\n"
    "  publish --packages DIR --template Trivet.ini --base-url URL --key PRIVATE-KEY\n"
    "          --serial N [--version V] --out DIR\n";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"TrivetPublish"_s);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == u"--help"_s || args.first() == u"-h"_s) {
        (args.isEmpty() ? err() : out()) << UsageText << Qt::flush;
        return args.isEmpty() ? Usage : 0;
    }
    const QString command = args.takeFirst();
    if (command == u"keygen"_s) {
        return keygen(args);
    }
    if (command == u"sign"_s) {
        return sign(args);
    }
    if (command == u"verify"_s) {
        return verify(args);
    }
    if (command == u"publish"_s) {
        return publish(args);
    }
    err() << "TrivetPublish: unknown command " << command << '\n' << UsageText << Qt::flush;
    return Usage;
}
