#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The anchors of the chain of trust: the publishers' public keys, one small text file each in the folder
// Keys beside the executables. Whoever can write that folder can replace the programs too, so a key file
// there is trusted as much as they are.
//
// A public key file, "Keys/<name>.key":
//
//     Trivet-Public-Key 1
//     # Quillory Vidi demo mirror, made 2026-12-08
//     Ed25519: <base64 of the 32-byte public key>
//
// A private key file, kept by the publisher and never shipped (written with the owner's read and write
// permissions only):
//
//     Trivet-Private-Key 1
//     # Keep this file secret: whoever has it can sign packages for every launcher that trusts the key.
//     Ed25519: <base64 of the 32-byte private key (the seed)>
//
// The shape of both, comments included, is TrustTextFormat's. Files of the folder not named *.key (a note
// on how to add a key) are not key files.

namespace Trivet {

struct TrustedKey
{
    QString id;          // the key file's name, "publisher.key"
    QString fingerprint; // fingerprintOf(publicKey); a signature names its key by it
    QByteArray publicKey;
};

// A file of Keys that is not taken, and why.
struct RefusedKeyFile
{
    QString fileName;
    QString reason;
};

struct TrustedKeys
{
    QList<TrustedKey> keys;
    QList<RefusedKeyFile> refused;

    bool isEmpty() const { return keys.isEmpty(); }
};

// Key and signature files are a few hundred bytes; a larger one is refused unread.
inline constexpr qint64 MaxTrustFileSize = 4096;

// The first 16 hexadecimal digits of the public key's SHA-256: enough to tell a folder's keys apart. It only
// picks the key to try; the signature decides.
QString fingerprintOf(const QByteArray &publicKey);

// The keys in appFolder's Keys folder, and the files there that are not good key files. A missing folder
// holds no key. Every file is read within MaxTrustFileSize and only when it is a regular file, so a pipe, a
// device or a huge file costs nothing.
TrustedKeys loadTrustedKeys(const QString &appFolder);
// The same for the folder itself.
TrustedKeys loadKeysFolder(const QString &keysFolder);

// The public key of a public key file's bytes; nothing, with *reason set, for anything else.
std::optional<QByteArray> parsePublicKeyFile(const QByteArray &bytes, QString *reason);
QByteArray publicKeyFileText(const QByteArray &publicKey, const QString &comment);

// The private key of a private key file's bytes; nothing, with *reason set, for anything else.
std::optional<QByteArray> parsePrivateKeyFile(const QByteArray &bytes, QString *reason);
QByteArray privateKeyFileText(const QByteArray &privateKey);

} // namespace Trivet
