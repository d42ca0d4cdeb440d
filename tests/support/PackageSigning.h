#pragma once

#include "common/trust/Ed25519.h"
#include "common/trust/PackageSignature.h"
#include "common/trust/TrustedKeys.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// The publisher's side for the programs' tests: the signature file of bytes published under a name, and a key
// put in a portable folder's Keys. Needs trivet_trust.

namespace Trivet::Test {

inline QByteArray signatureFile(const QByteArray &bytes, const QString &fileName, const QString &sequence,
                                const QByteArray &privateKey)
{
    QTemporaryDir folder;
    QFile package(QDir(folder.path()).filePath(fileName));
    if (!package.open(QIODevice::WriteOnly) || package.write(bytes) != bytes.size()) {
        return {};
    }
    package.close();
    QString reason;
    const std::optional<PackageSignature> signature = signPackage(package.fileName(), sequence, privateKey, &reason);
    return signature ? signature->toText() : QByteArray();
}

inline bool trustKey(const QString &appRoot, const QByteArray &publicKey,
                     const QString &name = QStringLiteral("publisher.key"))
{
    const QDir keys(QDir(appRoot).filePath(QStringLiteral("Keys")));
    QFile file(keys.filePath(name));
    const QByteArray text = publicKeyFileText(publicKey, {});
    return QDir().mkpath(keys.path()) && file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace Trivet::Test
