#pragma once

#include "launcher/catalogue/CatalogueView.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <functional>

namespace Trivet::Test {

// Keeps what the catalogue's controller shows, so its decisions are checked without a window.
class RecordingCatalogueView final : public CatalogueView
{
public:
    struct Line
    {
        QString text;
        Tone tone = Tone::Normal;
    };
    struct Message
    {
        MessageKind kind;
        QString title;
        QString text;
    };

    void showInfo(int tab, const QString &text) override
    {
        m_info[tab].text = text;
        if (infoShown) {
            infoShown(tab, text);
        }
    }
    void showInfo(int tab, const QString &text, Tone tone) override
    {
        m_info[tab] = {text, tone};
        if (infoShown) {
            infoShown(tab, text);
        }
    }
    void showDownloadLine(int tab, const QString &text) override
    {
        m_download[tab] = text;
        m_downloadHistory[tab].append(text);
    }
    void showCaption(int tab, int slot, const QString &text) override { captions[{tab, slot}] = text; }
    void emphasizeCaption(int tab, int slot) override { emphasized.append({tab, slot}); }
    void resetCaptions() override { emphasized.clear(); }
    void showOnStick(int tab, int slot, bool on, const QString &spoken) override
    {
        onStick[{tab, slot}] = {on, spoken};
    }
    void showOutdated(int tab, int slot, bool on, const QString &spoken) override
    {
        outdated[{tab, slot}] = {on, spoken};
    }
    void showBusy(bool on) override { busy = on; }
    void showProgress(qint64 received, qint64 total, const QString &text) override
    {
        progress = {received, total};
        progressText = text;
    }
    void showMessage(MessageKind kind, const QString &title, const QString &text) override
    {
        messages.append({kind, title, text});
    }

    // Answers as the login prompt tells, and cancels without one.
    std::optional<ProxyLogin> askProxyLogin(const ProxyLoginQuestion &question) override
    {
        loginQuestions.append(question);
        return loginPrompt ? loginPrompt(question) : std::nullopt;
    }

    Line info(int tab) const { return m_info.value(tab); }
    QString downloadLine(int tab) const { return m_download.value(tab); }
    // Every text the download line showed, oldest first.
    QStringList downloadLines(int tab) const { return m_downloadHistory.value(tab); }
    QList<Message> takeMessages() { return std::exchange(messages, {}); }

    QHash<QPair<int, int>, QString> captions;
    QList<QPair<int, int>> emphasized;
    QHash<QPair<int, int>, QPair<bool, QString>> onStick;  // the mark and what is said of it, by tab and slot
    QHash<QPair<int, int>, QPair<bool, QString>> outdated; // the update mark, likewise
    bool busy = false;
    QPair<qint64, qint64> progress;
    QString progressText;
    QList<Message> messages;
    // Told of every information line as it is shown, so a test can act at a given moment of a controller's work.
    std::function<void(int tab, const QString &text)> infoShown;
    QList<ProxyLoginQuestion> loginQuestions;
    std::function<std::optional<ProxyLogin>(const ProxyLoginQuestion &)> loginPrompt;

private:
    QHash<int, Line> m_info;
    QHash<int, QString> m_download;
    QHash<int, QStringList> m_downloadHistory;
};

} // namespace Trivet::Test
