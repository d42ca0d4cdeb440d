#pragma once

#include "common/download/DownloadHandle.h"
#include "common/download/DownloadResult.h"
#include "common/download/FailureReason.h"
#include "common/platform/AppFolder.h"
#include "common/platform/ProcessStarter.h"
#include "common/platform/ProgramKind.h"
#include "common/trust/SignedProgramList.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/CatalogueView.h"
#include "launcher/catalogue/StatusLines.h"
#include "launcher/install/PackageInstaller.h"
#include "launcher/install/ProgramRunner.h"
#include "launcher/upkeep/OutdatedPrograms.h"

#include <QHash>
#include <QNetworkProxy>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

namespace Trivet {

class Downloader;
class DownloadHandle;
struct DownloadRequest;

class IniFile;
class LanguageTexts;

// The message of a failed installation: the general text, and the reason in a line of its own.
QString failureText(const LanguageTexts &texts, const FailureReason &reason);

// What a click on a catalogue icon does: the program is started from its folder, or its package is
// installed by the PackageInstaller and what came of it is shown; off-line, the tab's information line says
// why nothing starts. Also the hover texts and the AntiVir definition update.
//
// Every download remembers which entry it is for, so a completion installs what it fetched even when
// other clicks came meanwhile, and an entry whose package is already on its way is not fetched twice.
// Entries that share a package (ERUNT and NTREGOPT) share its one download and install too: a click on
// the second while the first one's is under way waits for it, and then starts its own program.
//
// It shows everything through a CatalogueView and reads settings and texts through the documents the
// window holds, so it runs without a window. Its lines go through StatusLines: they tell of the request under
// way until it ends, then say how it ended (ready, failed, cancelled), and a language switch says them again.
class LaunchController final : public QObject
{
    Q_OBJECT

public:
    LaunchController(const AppFolder &folder, IniFile &settings, const LanguageTexts &texts,
                     std::shared_ptr<ProcessStarter> processes, CatalogueView &view, QObject *parent = nullptr);
    ~LaunchController() override;

    // Decided once at start-up from the local address.
    void setOffline(bool offline) { m_offline = offline; }
    // Asked by both readers at every download.
    void setProxySource(const std::function<QNetworkProxy()> &source);
    // The logins of proxies that ask for one, shared by both readers and with every later download of the run;
    // a proxy that asks for one is answered by asking the user through the view.
    void setProxyLogins(const std::shared_ptr<ProxyLogins> &logins);
    bool isOffline() const { return m_offline; }

    // The lines of the catalogue tabs, for the controllers that share them.
    StatusLines &lines() { return m_lines; }

    Downloader *packageDownloader() const { return m_downloader; }     // Downloader1
    Downloader *definitionDownloader() const { return m_definitions; } // DownloadUpdate1

    // The identifier of the most recent package request ("OFF-6"), and "1bis" once a definition
    // download was started.
    QString downloadAppId() const { return m_downloadAppId; }
    QString updateDownloadId() const { return m_updateDownloadId; }
    QString downloadUrl() const { return m_downloadUrl; }

    // Whether a download or an installation of the entry is under way, or it waits for that of another
    // entry with the same package.
    bool isBusy(const QString &id) const;
    // Whether any package or definition download, or an installation, is under way; leaving now would cut it.
    bool hasWorkRunning() const;

    // A package read on Downloader1 for a caller of its own: progress, the busy pointer and the download
    // lines show as for a catalogue package, and onFetched (in context's thread, as with connect) installs what
    // arrives. nullptr, and onFetched never runs, when the same file is already on its way. Cancelled by
    // cancelDownloads, onFetched gets a result with DownloadStatus::Cancelled.
    DownloadHandle *fetchPackage(const DownloadRequest &request, const QObject *context,
                                 std::function<void(const DownloadResult &)> onFetched);

    // How long a cut-off package download is kept for the next click to continue.
    static constexpr std::chrono::hours PartialDownloadLife{24 * 7};
    // At start: drops the kept partial downloads that are too old or whose address is neither a catalogue
    // entry's nor one of otherUrls (packages fetched for others, such as the office suite).
    void prunePartialDownloads(const QSet<QString> &otherUrls);

    void launch(int tab, int slot);
    // Fetches the entry's package and installs it although the program is there, keeping what the user changed
    // or added, and starts nothing afterwards; ends with installationFinished(id, ok) as a click does, and says
    // what was kept. False, with a message saying why, when off-line, while the entry is busy, for an entry
    // whose package does not unpack into a folder, or while the program runs from the drive.
    // Quiet: a caller that tells the outcome itself (the update window) gets no message boxes, only the result.
    enum class Feedback { Messages, Quiet };
    bool reinstall(const QString &id, Feedback feedback = Feedback::Messages);
    // Whether the entry has an install record and the settings now name another checksum for its package.
    bool isOutdated(const QString &id) const;
    // Whether the entry's program is on the drive now.
    bool isPresent(const CatalogueEntry &entry) const;
    // The description of the icon, and, for a program that a click would download, that it would and how
    // large it is as far as known. Reads nothing from the disk: what is on the drive is as last checked.
    void hover(int tab, int slot);
    // Looks which programs of a tab are on the drive and marks their icons; when the tab is shown and after
    // each installation, so the marks follow what was installed or removed meanwhile.
    void checkPresence(int tab);
    // The programs on the drive that have a newer package, in the catalogue's order, with the size of the
    // new package as the settings give it.
    QList<OutdatedProgram> outdatedPrograms() const;
    // Reads again which packages the kept signed program list vouches for, for the hover texts: at start and
    // whenever a new program list was taken. Checking the list's signature and reading into it costs too much
    // for every pointer move.
    void refreshCoveredPackages();
    void startDefinitionDownload();
    // Gives up every read the progress bar shows: the package reads (their parts stay for the next click to
    // continue) and the definition download. Whatever waited for them ends without a message.
    void cancelDownloads();

    // The lines as start-up leaves them: the welcome line on the first tab, the others empty, and the
    // captions the settings give.
    void showStartState();
    // The welcome line of one tab in the current language and connectivity state.
    void showWelcome(int tab);
    // Every line again, in the language now chosen.
    void redrawLines() { m_lines.redraw(); }
    // The pointer moved over the free surface of a tab: the descriptions of icons give way to the
    // welcome lines, and bold captions turn back.
    void surfaceHovered();

signals:
    // An installation ended: the program is in place and was started, or could not be because it needs Wine
    // (ok), or the failure message was shown.
    void installationFinished(const QString &id, bool ok);
    // The same end with what the installer did, just before installationFinished; not for an entry that
    // waited for another's install of their shared package.
    void updateFinished(const QString &id, const Trivet::InstallResult &result);
    // How far the download of an entry's package has come.
    void packageProgress(const QString &id, qint64 received, qint64 total);
    // A definition download ended with its message; ok when new definitions arrived.
    void definitionUpdateFinished(bool ok);

private:
    // How an entry's request ended, as its lines say it.
    enum class Outcome { Ready, Failed, Cancelled };
    using Lookup = StatusLines::Lookup;

    // start: whether the program starts once installed.
    void beginPackageDownload(const CatalogueEntry &entry, const QString &package, bool start = true);
    void showWelcome(int tab, Lookup lookup);
    // Whether the entry's program, judged before a download, needs Wine and there is none.
    bool cannotRunHere(const CatalogueEntry &entry) const;
    QString text(QStringView key) const;
    void showOnAllTabs(const Phrase &downloadLine);
    void updateBusyState();
    // "received of total" in the language's word.
    static Phrase bytesOf(qint64 received, qint64 total);
    Phrase outcomePhrase(const CatalogueEntry &entry, Outcome outcome) const;

    void onProgress(const QString &id, qint64 received, qint64 total);
    void onDefinitionProgress(qint64 received, qint64 total);
    void reportFailedRead(const DownloadResult &result);
    void onDefinitionsFetched(const Trivet::DownloadResult &result);
    void announceDefinitions(const DownloadResult &fetched);

    // What the installer is asked for the entry; the address and checksum only when it is fetched.
    PackageRequest packageRequest(const CatalogueEntry &entry) const;
    // Says what came of an installation: a failure with the reason in a line of its own.
    void onInstalled(const Trivet::InstallResult &result);
    // The entries whose package the entry's install placed (one package serving two icons) are installed by
    // it too: each gets the same record, so the shared files go only with the last of them.
    void shareRecord(const CatalogueEntry &entry);
    void succeed(const CatalogueEntry &entry);
    void endInstallation(const CatalogueEntry &entry, Outcome outcome);
    // The entries that waited for owner's package: each starts its program when the package brought it, and
    // fails otherwise.
    void endWaiting(const QString &owner, Outcome ownerOutcome);
    // What the settings say of the size of the entry's package; -1 when they say nothing usable.
    qint64 settingsSize(const CatalogueEntry &entry) const;
    // The entry's caption as the settings name it, or the program's own name.
    QString caption(const CatalogueEntry &entry) const;
    // Why an update of the entry cannot begin now, as a line under the message; empty when it can.
    QString reinstallRefusal(const CatalogueEntry &entry, const EntryPaths &paths) const;
    // Tells which of the user's files an update kept.
    void showKeptFiles(const InstallResult &result);
    // Whether the signed list names the checksum the settings give for the entry's package, the one its
    // download is checked against.
    bool isCovered(const CatalogueEntry &entry) const;
    // Ends the entry's installation before or without its package, as a failed one ends.
    void fail(const CatalogueEntry &entry, FailureReason reason, const QString &detail);
    QString failureText(const FailureReason &reason) const;

    AppFolder m_folder;
    IniFile &m_settings;
    const LanguageTexts &m_texts;
    CatalogueView &m_view;
    StatusLines m_lines;
    ProgramRunner m_runner;
    PackageInstaller *m_installer;
    bool m_offline = true;
    Downloader *m_downloader;
    Downloader *m_definitions;
    QString m_downloadAppId;
    QString m_updateDownloadId;
    QString m_downloadUrl;
    // A package read on its way, with what its asker waits for, so a cancel can end the asker's wait.
    struct PackageRead
    {
        QPointer<DownloadHandle> handle;
        DownloadRequest request;
        QPointer<const QObject> context;
        std::function<void(const DownloadResult &)> onFetched;
    };
    QHash<QString, PackageRead> m_reads; // by request id
    QPointer<DownloadHandle> m_definitionRead;
    QSet<QString> m_quiet;                        // ids of the reinstalls whose outcome their caller tells
    QSet<QString> m_fetching;                     // ids of the packages on their way (entries, the office suite)
    QHash<QString, QString> m_packageOwners;      // entry id by the package its fetch and install are under way for
    QHash<QString, QString> m_waitingFor;         // entry id → the entry whose install of their package it waits for
    QHash<QString, qint64> m_packageSizes;        // what servers said of packages' sizes, by id
    QHash<QString, qint64> m_settingsSizes;       // what the settings say of them, as last checked
    QHash<QString, bool> m_present;               // whether the program is on the drive, as last checked
    QSet<QString> m_outdated;                     // ids of the programs on the drive with a newer package, likewise
    QHash<QString, ProgramKind> m_installedKinds; // what the program on the drive is, as last checked
    SignedProgramList m_signedList;               // as last read
    QSet<QString> m_covered;                      // ids of the entries whose package it vouches for, as last checked
};

} // namespace Trivet
