#include "launcher/network/ProxyController.h"

#include "common/product/Product.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/network/ProxyView.h"

#include <QLoggingCategory>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

Q_LOGGING_CATEGORY(lcProxy, "trivet.proxy")

// Message boxes carry the program's name as their title.
const QString messageTitle = Trivet::Product::LauncherName.toString();

} // namespace

ProxyController::ProxyController(std::shared_ptr<const InternetSettings> store, const LanguageTexts &texts,
                                 ProxyView &view, QObject *parent)
    : QObject(parent)
    , m_store(std::move(store))
    , m_texts(texts)
    , m_view(view)
{
}

void ProxyController::showStored()
{
    if (const std::optional<QString> server = m_store->server()) {
        const auto [address, port] = InternetSettings::split(*server);
        m_view.showProxyServer(*server, address, port);
    }
    const bool enabled = m_store->isEnabled();
    m_view.showProxyChecked(enabled);
    m_view.enableProxyInputs(enabled);
}

void ProxyController::toggle(bool checked)
{
    m_view.enableProxyInputs(checked);
}

void ProxyController::set(const QString &address, const QString &port, bool enabled)
{
    // A proxy that is switched on must be one downloads can use; switched off, what the boxes hold is kept as
    // it is, for switching it on again.
    if (enabled) {
        const QStringView refusal = !InternetSettings::parseHost(address) ? u"MsgProxyBadHost"
                                    : !InternetSettings::parsePort(port)  ? u"MsgProxyBadPort"
                                                                          : QStringView();
        if (!refusal.isEmpty()) {
            m_view.showProxyMessage(ProxyView::Alert::Exclamation, messageTitle, m_texts.text(refusal));
            return;
        }
    }
    const QString server =
        enabled ? InternetSettings::join(address.trimmed(), port.trimmed()) : InternetSettings::join(address, port);
    const SaveResult saved = m_store->write(server, enabled);
    if (!saved.ok()) {
        // Only the error: confirming a setting that was not saved would be a lie.
        qCWarning(lcProxy) << "cannot save the proxy settings:" << saved.message;
        m_view.showProxyMessage(ProxyView::Alert::Critical, u"Error Found"_s, u"Error!"_s);
        return;
    }
    m_view.showProxyMessage(ProxyView::Alert::Exclamation, messageTitle, m_texts.text(u"MsgProxyOK"));
}

} // namespace Trivet
