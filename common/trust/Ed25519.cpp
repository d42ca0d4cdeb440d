#include "common/trust/Ed25519.h"

#include <memory>
#include <openssl/evp.h>

namespace Trivet::Ed25519 {
namespace {

struct PkeyFree
{
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};
struct PkeyContextFree
{
    void operator()(EVP_PKEY_CTX *context) const { EVP_PKEY_CTX_free(context); }
};
struct DigestContextFree
{
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using PkeyContext = std::unique_ptr<EVP_PKEY_CTX, PkeyContextFree>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

const unsigned char *bytes(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}

Pkey privateKeyFrom(const QByteArray &privateKey)
{
    if (privateKey.size() != PrivateKeySize) {
        return nullptr;
    }
    return Pkey(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, bytes(privateKey), privateKey.size()));
}

QByteArray rawKey(EVP_PKEY *key, int (*get)(const EVP_PKEY *, unsigned char *, size_t *), qsizetype size)
{
    QByteArray raw(size, Qt::Uninitialized);
    size_t length = raw.size();
    if (get(key, reinterpret_cast<unsigned char *>(raw.data()), &length) != 1 || length != size_t(size)) {
        return {};
    }
    return raw;
}

} // namespace

std::optional<KeyPair> generate()
{
    const PkeyContext context(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
    EVP_PKEY *made = nullptr;
    if (!context || EVP_PKEY_keygen_init(context.get()) != 1 || EVP_PKEY_keygen(context.get(), &made) != 1) {
        return std::nullopt;
    }
    const Pkey key(made);
    KeyPair pair{rawKey(key.get(), EVP_PKEY_get_raw_public_key, PublicKeySize),
                 rawKey(key.get(), EVP_PKEY_get_raw_private_key, PrivateKeySize)};
    if (pair.publicKey.isEmpty() || pair.privateKey.isEmpty()) {
        return std::nullopt;
    }
    return pair;
}

QByteArray publicKeyOf(const QByteArray &privateKey)
{
    const Pkey key = privateKeyFrom(privateKey);
    return key ? rawKey(key.get(), EVP_PKEY_get_raw_public_key, PublicKeySize) : QByteArray();
}

QByteArray sign(const QByteArray &privateKey, QByteArrayView message)
{
    const Pkey key = privateKeyFrom(privateKey);
    const DigestContext context(EVP_MD_CTX_new());
    if (!key || !context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return {};
    }
    QByteArray signature(SignatureSize, Qt::Uninitialized);
    size_t length = signature.size();
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()), &length,
                       reinterpret_cast<const unsigned char *>(message.data()), message.size()) != 1 ||
        length != size_t(SignatureSize)) {
        return {};
    }
    return signature;
}

bool verify(const QByteArray &publicKey, QByteArrayView message, const QByteArray &signature)
{
    if (publicKey.size() != PublicKeySize || signature.size() != SignatureSize) {
        return false;
    }
    const Pkey key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytes(publicKey), publicKey.size()));
    const DigestContext context(EVP_MD_CTX_new());
    if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(context.get(), bytes(signature), signature.size(),
                            reinterpret_cast<const unsigned char *>(message.data()), message.size()) == 1;
}

} // namespace Trivet::Ed25519
