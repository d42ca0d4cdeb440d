#include "launcher/catalogue/StatusLines.h"

#include "common/download/ProgressText.h"
#include "common/settings/LanguageTexts.h"

namespace Trivet {

Phrase Phrase::key(QStringView key, const QStringList &arguments)
{
    Phrase phrase;
    phrase.m_parts.append({key.toString(), {}, arguments});
    return phrase;
}

Phrase Phrase::plain(const QString &text)
{
    Phrase phrase;
    if (!text.isEmpty()) {
        phrase.m_parts.append({{}, text, {}});
    }
    return phrase;
}

Phrase Phrase::operator+(const Phrase &next) const
{
    Phrase joined = *this;
    joined.m_parts.append(next.m_parts);
    return joined;
}

Phrase Phrase::about(const QString &id) const
{
    Phrase told = *this;
    told.m_subject = id;
    return told;
}

QString Phrase::say(const std::function<QString(QStringView)> &lookup) const
{
    QString said;
    for (const Part &part : m_parts) {
        if (part.key.isEmpty()) {
            said += part.text;
            continue;
        }
        QString text = lookup(part.key);
        // Replaced from the last, so %1 does not eat the start of %10.
        for (qsizetype i = part.arguments.size(); i > 0; --i) {
            text.replace(u'%' + QString::number(i), part.arguments[i - 1]);
        }
        said += text;
    }
    return said;
}

StatusLines::StatusLines(const LanguageTexts &texts, CatalogueView &window)
    : m_texts(texts)
    , m_window(window)
{
}

QString StatusLines::say(const Phrase &phrase, Lookup lookup) const
{
    return phrase.say(
        [this, lookup](QStringView key) { return lookup == Lookup::Held ? m_texts.heldText(key) : m_texts.text(key); });
}

void StatusLines::showInfo(int tab, const Phrase &phrase, Lookup lookup)
{
    m_info.insert(tab, phrase);
    m_window.showInfo(tab, say(phrase, lookup));
}

void StatusLines::showInfo(int tab, const Phrase &phrase, Tone tone, Lookup lookup)
{
    m_info.insert(tab, phrase);
    m_window.showInfo(tab, say(phrase, lookup), tone);
}

void StatusLines::showDownloadLine(int tab, const Phrase &phrase, Lookup lookup)
{
    m_download.insert(tab, phrase);
    m_window.showDownloadLine(tab, say(phrase, lookup));
}

QString StatusLines::progressText(qint64 received, qint64 total) const
{
    return Trivet::progressText(received, total, m_texts.text(u"lbOf"), languageLocale(m_texts.current().fileName));
}

void StatusLines::showProgress(qint64 received, qint64 total)
{
    m_progress = {received, total};
    m_window.showProgress(received, total, progressText(received, total));
}

void StatusLines::settle(const QString &id, const std::optional<Phrase> &info, const std::optional<Phrase> &download)
{
    if (id.isEmpty()) {
        return;
    }
    const auto tabsTelling = [&id](const QHash<int, Phrase> &lines) {
        QList<int> tabs;
        for (auto it = lines.cbegin(); it != lines.cend(); ++it) {
            if (it.value().subject() == id) {
                tabs.append(it.key());
            }
        }
        return tabs;
    };
    const QList<int> infoTabs = tabsTelling(m_info);
    if (info) {
        for (const int tab : infoTabs) {
            showInfo(tab, *info);
        }
    }
    if (download) {
        // A tab whose information line now tells the outcome does not say it twice.
        const auto asKeys = [](QStringView key) { return key.toString(); };
        const bool same = info && info->say(asKeys) == download->say(asKeys);
        for (const int tab : tabsTelling(m_download)) {
            showDownloadLine(tab, same && infoTabs.contains(tab) ? Phrase() : *download);
        }
    }
}

void StatusLines::redraw()
{
    for (auto it = m_info.cbegin(); it != m_info.cend(); ++it) {
        m_window.showInfo(it.key(), say(it.value(), Lookup::Checked));
    }
    for (auto it = m_download.cbegin(); it != m_download.cend(); ++it) {
        m_window.showDownloadLine(it.key(), say(it.value(), Lookup::Checked));
    }
    if (m_progress) {
        m_window.showProgress(m_progress->first, m_progress->second,
                              progressText(m_progress->first, m_progress->second));
    }
}

void StatusLines::showInfo(int tab, const QString &text)
{
    showInfo(tab, Phrase::plain(text));
}

void StatusLines::showInfo(int tab, const QString &text, Tone tone)
{
    showInfo(tab, Phrase::plain(text), tone);
}

void StatusLines::showDownloadLine(int tab, const QString &text)
{
    showDownloadLine(tab, Phrase::plain(text));
}

void StatusLines::showCaption(int tab, int slot, const QString &text)
{
    m_window.showCaption(tab, slot, text);
}

void StatusLines::emphasizeCaption(int tab, int slot)
{
    m_window.emphasizeCaption(tab, slot);
}

void StatusLines::resetCaptions()
{
    m_window.resetCaptions();
}

void StatusLines::showOnStick(int tab, int slot, bool onStick, const QString &spoken)
{
    m_window.showOnStick(tab, slot, onStick, spoken);
}

void StatusLines::showOutdated(int tab, int slot, bool outdated, const QString &spoken)
{
    m_window.showOutdated(tab, slot, outdated, spoken);
}

void StatusLines::showBusy(bool busy)
{
    if (!busy) {
        m_progress.reset();
    }
    m_window.showBusy(busy);
}

void StatusLines::showProgress(qint64 received, qint64 total, const QString &text)
{
    m_progress.reset(); // a text of the caller's own, said as it is
    m_window.showProgress(received, total, text);
}

void StatusLines::showMessage(MessageKind kind, const QString &title, const QString &text)
{
    m_window.showMessage(kind, title, text);
}

std::optional<ProxyLogin> StatusLines::askProxyLogin(const ProxyLoginQuestion &question)
{
    return m_window.askProxyLogin(question);
}

} // namespace Trivet
