#pragma once

#include "common/download/DownloadResult.h"
#include "common/download/FailureReason.h"
#include "common/platform/AppFolder.h"
#include "common/platform/ArchiveExtractor.h"
#include "common/platform/BackgroundTasks.h"
#include "common/trust/TrustedKeys.h"
#include "launcher/catalogue/CatalogueView.h"
#include "launcher/updates/UpdateOffer.h"

#include <QObject>
#include <QString>
#include <memory>

namespace Trivet {

class Downloader;
class IniFile;
class LanguageTexts;
class ProcessStarter;
class SettingsPackage;

// The launcher's side of updates: the version check at start-up and its prompt, the fresh settings file,
// and the hand-over to the Updater. It reads on the catalogue's Downloader1, each read routed by its own
// handle, and shows lines and messages through the catalogue's view, so it runs without a window.
class UpdateController final : public QObject
{
    Q_OBJECT

public:
    UpdateController(const AppFolder &folder, IniFile &settings, const LanguageTexts &texts,
                     std::shared_ptr<ProcessStarter> processes, CatalogueView &view, Downloader *downloader,
                     QObject *parent = nullptr);
    ~UpdateController() override;

    // On-line and with ver.dat beside the launcher: fetches update.dat from the settings' update address and
    // offers a newer version when it arrives. Off-line or without ver.dat nothing is fetched.
    void checkVersion(bool offline);
    QString installedVersion() const { return m_installedVersion; }

    // The prompt was answered: OpenPage opens the product's page. Whatever the answer, update.dat goes; the
    // hand-over for UpdateNow is the caller's, as it is for the Settings menu.
    void answerPrompt(Trivet::UpdateAnswer answer);

    // Fetches the settings package; the settings are replaced, keeping the user's own entries, once it has
    // arrived and unpacked. A second request while one is on its way is ignored. With a key in Keys the
    // package's signature comes too (its address plus ".sig"), both wait in the work folder, and the list is
    // taken only when a trusted key signed it, its serial is not below the one of the list kept beside the
    // settings (Trivet.zip with Trivet.zip.sig, checked again) and its [List] Serial is the signed one; then
    // both are kept in the application folder. Otherwise nothing of the settings changes.
    void downloadSettingsPackage();
    // Whether the settings package is on its way or being put in place.
    bool isFetchingSettingsPackage() const;

    // Starts the Updater from the application folder. False, after telling the user, when it is missing or
    // cannot be started: the launcher then keeps running.
    bool startUpdater();

signals:
    // The version offered is newer than the installed one; the prompt's texts in the current language.
    void newVersionOffered(const Trivet::UpdatePromptTexts &texts);
    // The version check has ended, whether or not it offered anything.
    void versionChecked();
    // The settings package has been handled; ok when the settings were replaced.
    void settingsPackageFinished(bool ok);

private:
    QString settingsPackageTarget() const;
    void onVersionFetched(const Trivet::DownloadResult &result);
    void onSettingsProgress(qint64 received, qint64 total);
    void onSettingsFetched(const Trivet::DownloadResult &result);
    void onSettingsSignatureFetched(const Trivet::DownloadResult &result);
    void unpackSettingsPackage(const QString &archive);
    // Where a signed list and its signature wait until they are checked and taken.
    QString signedListFolder() const;
    void keepSignedList();
    void dropSignedList();
    void finishSettingsPackage(const ExtractResult &unpacked);
    void failSettingsPackage(FailureReason reason, const QString &why);
    void showOnOtherTabs(const QString &line);
    QString text(QStringView key) const;

    AppFolder m_folder;
    IniFile &m_settings;
    const LanguageTexts &m_texts;
    std::shared_ptr<ProcessStarter> m_processes;
    CatalogueView &m_view;
    Downloader *m_downloader;
    QString m_installedVersion;

    std::unique_ptr<SettingsPackage> m_package; // while one is being unpacked and installed
    TrustedKeys m_keys;                         // read afresh for each settings package
    QString m_signedSerial; // the verified serial of the list on its way; empty when it is not signed
    bool m_fetchingList = false;
    // Last, so it goes first: when the launcher closes, the unpack stops at its next member and leaves the
    // settings as they are, before the package it works on goes.
    BackgroundTasks m_unpacking;
};

// The version file the check fetches is only good for the run that fetched it: it goes once its offer has
// been answered, and when the launcher ends.
void removeVersionFile(const AppFolder &folder);

} // namespace Trivet
