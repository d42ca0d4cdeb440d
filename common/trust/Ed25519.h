#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// Ed25519 keys and signatures through libcrypto's EVP interface; nothing of the algorithm is written here.
// Keys are the raw 32-byte forms (the private key is the seed), signatures the raw 64 bytes.

namespace Trivet::Ed25519 {

inline constexpr qsizetype PublicKeySize = 32;
inline constexpr qsizetype PrivateKeySize = 32;
inline constexpr qsizetype SignatureSize = 64;

struct KeyPair
{
    QByteArray publicKey;
    QByteArray privateKey;
};

// A new key pair from the system's random source; nothing when libcrypto could not make one.
std::optional<KeyPair> generate();

// The public half of a private key; empty for a key of the wrong length.
QByteArray publicKeyOf(const QByteArray &privateKey);

// The signature of message; empty for a key of the wrong length or when libcrypto fails.
QByteArray sign(const QByteArray &privateKey, QByteArrayView message);

// Whether signature is publicKey's signature of message. False for keys and signatures of the wrong length.
bool verify(const QByteArray &publicKey, QByteArrayView message, const QByteArray &signature);

} // namespace Trivet::Ed25519
