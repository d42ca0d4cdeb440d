#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <optional>

struct evp_md_ctx_st;

namespace Trivet {

// A SHA-256 fed piece by piece, on libcrypto (several times faster than QCryptographicHash), so bytes can be
// hashed as they are written instead of read back afterwards.
class Sha256 final
{
public:
    Sha256();
    ~Sha256();
    Sha256(Sha256 &&) noexcept;
    Sha256 &operator=(Sha256 &&) noexcept;

    void add(QByteArrayView bytes);
    // Adds count zero bytes: the holes of a sparse member.
    void addZeros(qint64 count);
    // The 32 raw bytes of the digest; the hash starts afresh afterwards.
    QByteArray result();

    // The digest of a regular file's bytes, read in pieces; nothing when it is no regular file or cannot be read.
    static std::optional<QByteArray> ofFile(const QString &path);

private:
    struct Free
    {
        void operator()(evp_md_ctx_st *context) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> m_context;
};

} // namespace Trivet
