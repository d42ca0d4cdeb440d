#pragma once

#include <QHash>
#include <QNetworkProxy>
#include <QObject>
#include <QString>

namespace Trivet {

class LanguageTexts;

// A user name and password for a proxy, as the user typed them.
struct ProxyLogin
{
    QString user;
    QString password;
};

// What the login dialog shows, in the user's language: the controller fills it, the window only shows it.
struct ProxyLoginQuestion
{
    QString title;
    QString text; // names the proxy, and says so when the last name and password were not accepted
    QString userLabel;
    QString passwordLabel;
    QString ok;
    QString cancel;
    QString user; // the name tried last, filled in for the user

    // proxy: "host:port"; again: the proxy refused the name and password it was given.
    static ProxyLoginQuestion make(const LanguageTexts &texts, const QString &proxy, const QString &user, bool again);
};

// The user names and passwords the user gave for proxies, by proxy, for this run of the program only: they
// are kept in memory and never written anywhere, so the next start asks again. One instance serves every
// Downloader of a program, so one answer carries all later reads through the same proxy.
class ProxyLogins final : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // proxy with the login kept for its host and port; unchanged when there is none or it is no HTTP proxy.
    QNetworkProxy apply(QNetworkProxy proxy) const;
    void keep(const QNetworkProxy &proxy, const ProxyLogin &login);

    // While one read asks the user, others that meet a proxy's request for a login wait for the answer
    // instead of opening a second dialog.
    bool isAsking() const { return m_asking; }
    void beginAsking() { m_asking = true; }
    // given: the user answered with a login rather than cancelling.
    void endAsking(bool given);

Q_SIGNALS:
    void answered(bool given);

private:
    static QString key(const QNetworkProxy &proxy);

    QHash<QString, ProxyLogin> m_logins; // by "host:port"
    bool m_asking = false;
};

} // namespace Trivet
