#include "common/network/InternetSettings.h"

#include "common/settings/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>

#if defined(Q_OS_WIN)
#include "common/platform/UserRegistry.h"
#endif

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

Q_LOGGING_CATEGORY(lcNetwork, "trivet.network")

const QString Section = u"Internet Settings"_s;
const QString ServerKey = u"ProxyServer"_s;
const QString EnableKey = u"ProxyEnable"_s;
// A proxy named without a port listens where browsers look for it.
constexpr quint16 DefaultPort = 80;

#if defined(Q_OS_WIN)
UserRegistryKey registry()
{
    return UserRegistryKey(InternetSettings::registryKey());
}
#endif

} // namespace

InternetSettings::InternetSettings(QString file)
    : m_file(file.isEmpty() ? sharedFile() : std::move(file))
{
}

QString InternetSettings::sharedFile()
{
    // Not the program's own configuration folder, which differs between the launcher and the updater.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/Quillory Vidi/Internet Settings.ini"_s;
}

QString InternetSettings::registryKey()
{
    return u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"_s;
}

std::optional<QString> InternetSettings::server() const
{
#if defined(Q_OS_WIN)
    const QString value = registry().text(ServerKey).value_or(QString());
#else
    const QString value = IniFile(m_file).value(Section, ServerKey);
#endif
    // An empty value fills the boxes with nothing, just as an absent one leaves them empty.
    return value.isEmpty() ? std::nullopt : std::optional<QString>(value);
}

bool InternetSettings::isEnabled() const
{
#if defined(Q_OS_WIN)
    // Windows writes a DWORD; other programs have left a string, or binary data of a DWORD's size.
    const QString value = registry().text(EnableKey).value_or(QString());
#else
    const QString value = IniFile(m_file).value(Section, EnableKey);
#endif
    // Written as 1 or 0; typed by hand, the usual words for on count too.
    const QString enabled = value.trimmed();
    return std::ranges::any_of(
        std::initializer_list<QStringView>{u"1", u"true", u"yes", u"on"},
        [&enabled](QStringView word) { return enabled.compare(word, Qt::CaseInsensitive) == 0; });
}

SaveResult InternetSettings::write(const QString &server, bool enabled) const
{
#if defined(Q_OS_WIN)
    // The server first, so a proxy is never switched on with the previous one; ProxyEnable as the DWORD that
    // Windows itself writes.
    const UserRegistryKey key = registry();
    if (!key.setText(ServerKey, server) || !key.setNumber(EnableKey, enabled ? 1 : 0)) {
        return {SaveResult::Status::WriteFailed, u"The Internet settings could not be written."_s};
    }
    return {};
#else
    if (!QDir().mkpath(QFileInfo(m_file).absolutePath())) {
        return {SaveResult::Status::OpenFailed, u"Cannot create the folder of "_s + QDir::toNativeSeparators(m_file)};
    }
    IniFile file(m_file);
    // One write for both values, so a proxy is never switched on with the previous server.
    return file.replaceSection(Section, {EnableKey + u'=' + (enabled ? u'1' : u'0'), ServerKey + u'=' + server});
#endif
}

QNetworkProxy InternetSettings::proxy() const
{
    if (!isEnabled()) {
        return QNetworkProxy::NoProxy;
    }
    QString server = this->server().value_or(QString());
    // "http=proxy:3128;https=proxy:3129": downloads are HTTP, so the HTTP entry or else the first.
    if (server.contains(u'=')) {
        const QStringList entries = server.split(u';', Qt::SkipEmptyParts);
        const auto http = std::ranges::find_if(
            entries, [](const QString &entry) { return entry.trimmed().startsWith(u"http=", Qt::CaseInsensitive); });
        const QString chosen = http != entries.end() ? *http : entries.value(0);
        server = chosen.section(u'=', 1);
    }
    const auto [hostText, portText] = split(server);
    if (hostText.trimmed().isEmpty()) {
        return QNetworkProxy::NoProxy;
    }
    const std::optional<QString> host = parseHost(hostText);
    if (!host) {
        qCWarning(lcNetwork) << "proxy" << server << "names no host name or IP address; downloading directly";
        return QNetworkProxy::NoProxy;
    }
    if (portText.trimmed().isEmpty()) {
        return QNetworkProxy(QNetworkProxy::HttpProxy, *host, DefaultPort);
    }
    // A port that is no port at all says the value is wrong: guessing one would send every download to a
    // port the user never named, so they go direct instead.
    const std::optional<quint16> port = parsePort(portText);
    if (!port) {
        qCWarning(lcNetwork) << "proxy" << server << "has no port between 1 and 65535; downloading directly";
        return QNetworkProxy::NoProxy;
    }
    return QNetworkProxy(QNetworkProxy::HttpProxy, *host, *port);
}

std::optional<QString> InternetSettings::parseHost(const QString &text)
{
    QString host = text.trimmed();
    const bool bracketed = host.startsWith(u'[') && host.endsWith(u']');
    if (bracketed) {
        host = host.mid(1, host.size() - 2);
    }
    if (host.contains(u':')) {
        const QHostAddress address(host);
        if (address.protocol() != QAbstractSocket::IPv6Protocol) {
            return std::nullopt;
        }
        return host;
    }
    if (bracketed || host.isEmpty() || host.size() > 253) {
        return std::nullopt;
    }
    // Digits and dots only: an IPv4 address, all four parts of it, each at most 255.
    static const QRegularExpression numeric(u"^[0-9.]+$"_s);
    if (numeric.match(host).hasMatch()) {
        const QStringList parts = host.split(u'.');
        const bool ipv4 = parts.size() == 4 && std::ranges::all_of(parts, [](const QString &part) {
                              bool ok = false;
                              return !part.isEmpty() && part.size() <= 3 && part.toUInt(&ok) <= 255 && ok;
                          });
        return ipv4 ? std::optional<QString>(host) : std::nullopt;
    }
    // A host name: labels of letters, digits and hyphens, none beginning or ending with a hyphen.
    static const QRegularExpression name(
        u"^(?:[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?\\.)*[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?\\.?$"_s);
    return name.match(host).hasMatch() ? std::optional<QString>(host) : std::nullopt;
}

std::optional<quint16> InternetSettings::parsePort(const QString &text)
{
    const QString digits = text.trimmed();
    static const QRegularExpression onlyDigits(u"^[0-9]{1,5}$"_s);
    if (!onlyDigits.match(digits).hasMatch()) {
        return std::nullopt;
    }
    const uint port = digits.toUInt();
    return port >= 1 && port <= 65535 ? std::optional<quint16>(quint16(port)) : std::nullopt;
}

std::pair<QString, QString> InternetSettings::split(const QString &server)
{
    // An IPv6 address is written in brackets, its colons being no port separators.
    if (const QString trimmed = server.trimmed(); trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close > 0) {
            const QString rest = trimmed.mid(close + 1);
            return {trimmed.mid(1, close - 1), rest.startsWith(u':') ? rest.mid(1).section(u':', 0, 0) : QString()};
        }
    }
    const QStringList pieces = server.split(u':');
    return {pieces.value(0), pieces.value(1)};
}

QString InternetSettings::join(const QString &host, const QString &port)
{
    const QString trimmed = host.trimmed();
    const bool ipv6 = trimmed.contains(u':') && !trimmed.startsWith(u'[');
    return (ipv6 ? u'[' + trimmed + u']' : host) + u':' + port;
}

} // namespace Trivet
