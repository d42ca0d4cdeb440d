#pragma once

#include "common/settings/SaveResult.h"

#include <QNetworkProxy>
#include <QString>
#include <optional>

namespace Trivet {

// The user's proxy, kept where the system keeps it for every program of that user: on Windows the current
// user's Internet Settings in the registry; elsewhere a per-user "Internet Settings.ini" with the same two
// values. It lives outside the portable folder on purpose: it is the machine's setting, not the stick's.
//
//   ProxyServer  "host:port", as the user typed it; an IPv6 address in brackets, "[::1]:3128"
//   ProxyEnable  1 when downloads go through that proxy, 0 when they go direct; true, yes and on also mean on
//
// Nothing is cached: the launcher and the updater read it at every download, so a change takes effect at
// once in both.
class InternetSettings final
{
public:
    // file: the settings file where there is no registry; empty for the one both programs share.
    explicit InternetSettings(QString file = {});

    // The shared file: "Quillory Vidi/Internet Settings.ini" in the user's configuration folder.
    static QString sharedFile();
    // The registry key, below HKEY_CURRENT_USER, that holds the two values on Windows.
    static QString registryKey();

    std::optional<QString> server() const; // nullopt when the value is absent or empty
    bool isEnabled() const;
    SaveResult write(const QString &server, bool enabled) const;

    // What downloads use: an HTTP proxy at the server's host and port while enabled, none otherwise. Without
    // a port the proxy is on port 80; with one outside 1-65535, downloads go direct.
    QNetworkProxy proxy() const;

    // The one reading of a proxy's address, for the stored value and for the window that writes it: a host
    // name ("proxy.lan"), an IPv4 address ("10.0.0.1") or an IPv6 address, in brackets ("[::1]") or, where no
    // port follows, without. Surrounding blanks are dropped. Gives the host as downloads name it (an IPv6
    // address without its brackets); nullopt for anything else.
    static std::optional<QString> parseHost(const QString &text);
    // A port as typed: digits only, 1 to 65535, blanks around allowed; nullopt otherwise.
    static std::optional<quint16> parsePort(const QString &text);

    // "10.0.0.1:8080" → {"10.0.0.1", "8080"}; further pieces after the second colon are ignored.
    // "[::1]:3128" → {"::1", "3128"}.
    static std::pair<QString, QString> split(const QString &server);
    // The value split() reads back: an IPv6 address gets its brackets.
    static QString join(const QString &host, const QString &port);

private:
    QString m_file;
};

} // namespace Trivet
