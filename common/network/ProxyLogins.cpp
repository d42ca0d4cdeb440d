#include "common/network/ProxyLogins.h"

#include "common/network/InternetSettings.h"
#include "common/settings/LanguageTexts.h"

namespace Trivet {

ProxyLoginQuestion ProxyLoginQuestion::make(const LanguageTexts &texts, const QString &proxy, const QString &user,
                                            bool again)
{
    return {texts.text(u"FrmProxyLogin"),
            texts.text(again ? u"lbProxyLoginAgain" : u"lbProxyLogin").arg(proxy),
            texts.text(u"lbProxyUser"),
            texts.text(u"lbProxyPassword"),
            texts.text(u"cmdProxyLogin"),
            texts.text(u"cmdProxyCancel"),
            user};
}

QString ProxyLogins::key(const QNetworkProxy &proxy)
{
    return InternetSettings::join(proxy.hostName(), QString::number(proxy.port())).toLower();
}

QNetworkProxy ProxyLogins::apply(QNetworkProxy proxy) const
{
    if (proxy.type() != QNetworkProxy::HttpProxy) {
        return proxy;
    }
    const auto kept = m_logins.constFind(key(proxy));
    if (kept != m_logins.cend()) {
        proxy.setUser(kept->user);
        proxy.setPassword(kept->password);
    }
    return proxy;
}

void ProxyLogins::keep(const QNetworkProxy &proxy, const ProxyLogin &login)
{
    m_logins.insert(key(proxy), login);
}

void ProxyLogins::endAsking(bool given)
{
    m_asking = false;
    emit answered(given);
}

} // namespace Trivet
