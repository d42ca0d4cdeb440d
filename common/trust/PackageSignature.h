#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// A package's detached signature: a small text file at the package's address plus ".sig"
// ("Trivet.zip.sig"), in TrustTextFormat's shape:
//
//     Trivet-Signature 1
//     File: Trivet.zip
//     Sequence: 42
//     Key: 3f6a0c1b9e2d4a57
//     Ed25519: <base64 of the 64-byte signature>
//
// File is the package's file name as published. Sequence orders the packages of one name: the program
// list's serial number, or the version an update package installs. Key is the fingerprint of the signing
// key (fingerprintOf). The signature is over
//
//     "Trivet-Signature 1" NUL <File as UTF-8> NUL <Sequence as UTF-8> NUL <SHA-256 of the package, 32 bytes>
//
// so it vouches for the bytes, for the name they are meant to be found under and for their place in the
// sequence: neither another package's signature nor an older signed package can pass for the current one.
// A name is 1 to 255 characters without a path separator, a sequence 1 to 64 characters without blanks;
// neither holds a control character.

namespace Trivet {

struct PackageSignature
{
    QString fileName;
    QString sequence;
    QString keyFingerprint;
    QByteArray signature; // 64 raw bytes

    static constexpr QStringView Suffix = u".sig";

    // The signature of a file's bytes; nothing, with *reason set, for anything else.
    static std::optional<PackageSignature> parse(const QByteArray &bytes, QString *reason);
    QByteArray toText() const;

    // What is signed; sha256 is the package's raw digest.
    static QByteArray signedMessage(const QString &fileName, const QString &sequence, const QByteArray &sha256);
};

// Whether a name or a sequence may be signed; *reason says why not.
bool isSignableFileName(const QString &fileName, QString *reason);
bool isSignableSequence(const QString &sequence, QString *reason);

// The signature of the package at packagePath under its file name and sequence, by privateKey. Nothing, with
// *reason set, when the package cannot be read, the name or sequence cannot be signed, or the key is bad.
std::optional<PackageSignature> signPackage(const QString &packagePath, const QString &sequence,
                                            const QByteArray &privateKey, QString *reason);

} // namespace Trivet
