#include "common/network/InternetSettings.h"

#include "common/settings/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

#if defined(Q_OS_WIN)
#include <QSettings>
#endif

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

const QString Section = u"Internet Settings"_s;
const QString ServerKey = u"ProxyServer"_s;
const QString EnableKey = u"ProxyEnable"_s;
// A proxy named without a port listens where browsers look for it.
constexpr quint16 DefaultPort = 80;

#if defined(Q_OS_WIN)
QSettings registry()
{
    return QSettings(u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"_s,
                     QSettings::NativeFormat);
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

std::optional<QString> InternetSettings::server() const
{
#if defined(Q_OS_WIN)
    const QVariant value = registry().value(ServerKey);
    return value.isValid() ? std::optional<QString>(value.toString()) : std::nullopt;
#else
    // An empty value fills the boxes with nothing, just as an absent one leaves them empty.
    const QString value = IniFile(m_file).value(Section, ServerKey);
    return value.isEmpty() ? std::nullopt : std::optional<QString>(value);
#endif
}

bool InternetSettings::isEnabled() const
{
#if defined(Q_OS_WIN)
    const QString value = registry().value(EnableKey).toString();
#else
    const QString value = IniFile(m_file).value(Section, EnableKey);
#endif
    return value.trimmed() == u"1";
}

SaveResult InternetSettings::write(const QString &server, bool enabled) const
{
#if defined(Q_OS_WIN)
    QSettings settings = registry();
    settings.setValue(EnableKey, enabled ? 1 : 0);
    settings.setValue(ServerKey, server);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
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
    const auto [host, portText] = split(server);
    if (host.trimmed().isEmpty()) {
        return QNetworkProxy::NoProxy;
    }
    bool valid = false;
    const quint16 port = portText.trimmed().toUShort(&valid);
    return QNetworkProxy(QNetworkProxy::HttpProxy, host.trimmed(), valid && port > 0 ? port : DefaultPort);
}

std::pair<QString, QString> InternetSettings::split(const QString &server)
{
    const QStringList pieces = server.split(u':');
    return {pieces.value(0), pieces.value(1)};
}

} // namespace Trivet
