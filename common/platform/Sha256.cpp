#include "common/platform/Sha256.h"

#include "common/platform/RegularFile.h"

#include <QFile>
#include <algorithm>
#include <openssl/evp.h>

namespace Trivet {

void Sha256::Free::operator()(evp_md_ctx_st *context) const
{
    EVP_MD_CTX_free(context);
}

Sha256::Sha256()
    : m_context(EVP_MD_CTX_new())
{
    if (!m_context || EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) != 1) {
        qFatal("libcrypto cannot compute SHA-256");
    }
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256 &&) noexcept = default;
Sha256 &Sha256::operator=(Sha256 &&) noexcept = default;

void Sha256::add(QByteArrayView bytes)
{
    EVP_DigestUpdate(m_context.get(), bytes.data(), std::size_t(bytes.size()));
}

void Sha256::addZeros(qint64 count)
{
    static const QByteArray zeros(64 * 1024, '\0');
    for (; count > 0; count -= zeros.size()) {
        add(QByteArrayView(zeros).first(std::min<qint64>(count, zeros.size())));
    }
}

QByteArray Sha256::result()
{
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int size = 0;
    EVP_DigestFinal_ex(m_context.get(), reinterpret_cast<unsigned char *>(digest.data()), &size);
    digest.truncate(size);
    EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr);
    return digest;
}

std::optional<QByteArray> Sha256::ofFile(const QString &path)
{
    // Checked before opening: opening a named pipe would wait for a writer.
    if (!isRegularFile(path)) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    Sha256 hash;
    QByteArray block(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 read = file.read(block.data(), block.size());
        if (read < 0) {
            return std::nullopt;
        }
        if (read == 0) {
            break;
        }
        hash.add(QByteArrayView(block).first(read));
    }
    return hash.result();
}

} // namespace Trivet
