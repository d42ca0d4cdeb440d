#pragma once

#include <QString>

namespace Trivet {

// What the proxy controller needs from the window's proxy frame (see CatalogueView for the pattern).
class ProxyView
{
public:
    enum class Alert { Exclamation, Critical };

    virtual ~ProxyView() = default;

    // The server as read at start-up, whole and split into the address and port boxes.
    virtual void showProxyServer(const QString &server, const QString &address, const QString &port) = 0;
    virtual void showProxyChecked(bool checked) = 0;
    // The address and port boxes; the Set button stays usable, so a proxy can also be switched off.
    virtual void enableProxyInputs(bool enabled) = 0;
    virtual void showProxyMessage(Alert kind, const QString &title, const QString &text) = 0;
};

} // namespace Trivet
