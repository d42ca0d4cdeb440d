#pragma once

#include "common/platform/AppFolder.h"
#include "common/platform/Connectivity.h"

#include <QSet>
#include <QString>
#include <memory>

namespace Trivet {

class IniFile;
class LanguageTexts;
class LaunchController;

// What the launcher decides as it starts and ends, without a window: whether its files let it run, what a
// crash, a kill or a pulled stick left behind, whether it is on-line, which language it speaks and which one
// the user chose. The window asks and shows the answers.
class StartupSession final
{
public:
    struct Start
    {
        enum class Status { Ready, NoSettings, NoEnglish };

        Status status = Status::Ready;
        QString message;         // why the launcher ends; empty when it is ready
        QString checkedLanguage; // the language file the Language menu checks; empty for one it does not list

        bool ok() const { return status == Status::Ready; }
    };

    // The documents are the window's, read once and shared with every part.
    StartupSession(const AppFolder &folder, IniFile &settings, LanguageTexts &texts,
                   std::shared_ptr<const LocalAddressSource> addresses);

    // Selects the language the settings choose, English when that one cannot be used, and checks the files
    // without which the launcher cannot run. When it can, what earlier runs left goes (partial downloads of
    // neither a catalogue entry nor one of otherDownloads among them) and the on-line state is read.
    Start start(LaunchController &launcher, const QSet<QString> &otherDownloads);

    QString localAddress() const { return m_localAddress; }
    bool isOffline() const;
    // The version an Updater put in place just before this start; empty when this start follows none.
    QString updatedTo() const { return m_updatedTo; }
    // Whether that update's package had its signature checked.
    bool updateVerified() const { return m_updateVerified; }

    // The user chose a language: it is selected and saved. Returns what to tell the user when the choice
    // could not be saved, the first time only in a run (the choice holds until the launcher ends); else empty.
    [[nodiscard]] QString chooseLanguage(const QString &fileName);

    // The launcher ends: what was fetched for this run alone goes.
    void end();

private:
    void removeLeftovers(LaunchController &launcher, const QSet<QString> &otherDownloads);

    AppFolder m_folder;
    IniFile &m_settings;
    LanguageTexts &m_texts;
    std::shared_ptr<const LocalAddressSource> m_addresses;
    QString m_localAddress;
    QString m_updatedTo;
    bool m_updateVerified = true;
    bool m_toldSaveFailed = false;
};

} // namespace Trivet
