#pragma once

#include <QString>

namespace Trivet {

// The local network address decides once, at start-up, whether the launcher is on-line:
// "127.0.0.1" means off-line. Tests put a fixed address in its place.
class LocalAddressSource
{
public:
    virtual ~LocalAddressSource() = default;
    virtual QString localAddress() const = 0;
};

// First IPv4 address of an interface that is up, running and not loopback; "127.0.0.1" when none.
class NetworkInterfaceAddressSource final : public LocalAddressSource
{
public:
    QString localAddress() const override;
};

class FixedAddressSource final : public LocalAddressSource
{
public:
    explicit FixedAddressSource(QString address)
        : m_address(std::move(address))
    {
    }
    QString localAddress() const override { return m_address; }

private:
    QString m_address;
};

inline const QString &loopbackAddress()
{
    static const QString address = QStringLiteral("127.0.0.1");
    return address;
}

} // namespace Trivet
