#pragma once

#include "launcher/catalogue/CatalogueView.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

namespace Trivet {

class LanguageTexts;

// What a line says, kept as language keys with their arguments rather than as text, so it can be said again
// in another language; and which request (a catalogue entry's id, "OOP", "1bis") it tells of, so the line can
// give way to what became of that request.
class Phrase
{
public:
    Phrase() = default;
    // The key's text with %1, %2, ... replaced by the arguments.
    static Phrase key(QStringView key, const QStringList &arguments = {});
    // Said the same in every language: a number, a text from the settings.
    static Phrase plain(const QString &text);

    // This phrase followed by next, about what this one is about.
    Phrase operator+(const Phrase &next) const;
    // The same words, telling of the request id.
    Phrase about(const QString &id) const;
    QString subject() const { return m_subject; }

    bool isEmpty() const { return m_parts.isEmpty(); }
    QString say(const std::function<QString(QStringView key)> &lookup) const;

private:
    struct Part
    {
        QString key;
        QString text;
        QStringList arguments;
    };
    QList<Part> m_parts;
    QString m_subject;
};

// The information and download lines of the catalogue tabs and the progress bar's text, between the
// controllers and the window: it remembers what each line says, so a language switch says it all again, and
// lets the lines that tell of a request give way to its outcome on every tab at once. Texts handed over as
// plain text (by controllers that show their own) are kept as they are.
class StatusLines final : public CatalogueView
{
public:
    // Whether a text is looked up afresh or taken from the files as last read (for what follows the pointer).
    enum class Lookup { Checked, Held };

    StatusLines(const LanguageTexts &texts, CatalogueView &window);

    void showInfo(int tab, const Phrase &phrase, Lookup lookup = Lookup::Checked);
    void showInfo(int tab, const Phrase &phrase, Tone tone, Lookup lookup = Lookup::Checked);
    void showDownloadLine(int tab, const Phrase &phrase, Lookup lookup = Lookup::Checked);
    // The bar's text in the current language's words and numbers.
    void showProgress(qint64 received, qint64 total);

    // The lines that tell of the request id say what became of it, and tell of nothing after that; an absent
    // phrase leaves those lines as they are.
    void settle(const QString &id, const std::optional<Phrase> &info, const std::optional<Phrase> &download);
    Phrase info(int tab) const { return m_info.value(tab); }
    Phrase downloadLine(int tab) const { return m_download.value(tab); }

    // Every line and the bar's text again, in the language now chosen.
    void redraw();

    // CatalogueView
    using CatalogueView::showInfo;
    void showInfo(int tab, const QString &text) override;
    void showInfo(int tab, const QString &text, Tone tone) override;
    void showDownloadLine(int tab, const QString &text) override;
    void showCaption(int tab, int slot, const QString &text) override;
    void emphasizeCaption(int tab, int slot) override;
    void resetCaptions() override;
    void showOnStick(int tab, int slot, bool onStick, const QString &spoken) override;
    void showOutdated(int tab, int slot, bool outdated, const QString &spoken) override;
    void showBusy(bool busy) override;
    void showProgress(qint64 received, qint64 total, const QString &text) override;
    void showMessage(MessageKind kind, const QString &title, const QString &text) override;
    std::optional<ProxyLogin> askProxyLogin(const ProxyLoginQuestion &question) override;

private:
    QString say(const Phrase &phrase, Lookup lookup) const;
    QString progressText(qint64 received, qint64 total) const;

    const LanguageTexts &m_texts;
    CatalogueView &m_window;
    QHash<int, Phrase> m_info;
    QHash<int, Phrase> m_download;
    std::optional<std::pair<qint64, qint64>> m_progress; // received and total while the bar shows
};

} // namespace Trivet
