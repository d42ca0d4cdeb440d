#pragma once

#include "common/download/DownloadResult.h"
#include "common/download/FailureReason.h"
#include "common/network/InternetSettings.h"
#include "common/network/ProxyLogins.h"
#include "common/platform/AppFolder.h"
#include "common/platform/ArchiveExtractor.h"
#include "common/platform/BackgroundTasks.h"
#include "common/platform/FreeSpace.h"
#include "common/settings/LanguageTexts.h"
#include "common/trust/TrustedKeys.h"

#include <QDeadlineTimer>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace Trivet {

class Downloader;
class ProcessStarter;
class SingleInstance;

// What the Updater does, without its window: it fetches the update package while the launcher ends, waits
// until the launcher's lock is free, checks and unpacks the package over the application folder as one
// journaled transaction, and starts the launcher again. The package must hold the launcher (and, when it has
// one, the Updater) as programs of this system, or nothing is placed. Once placed, the old files wait in the
// work folder until the new launcher holds its lock; a launcher that cannot start, or does not within
// confirmWait, gets the old files back, and the old launcher starts. A package that is missing, damaged or
// refused changes nothing, and the launcher starts as it was; a launcher that does not end in time is left
// running and nothing changes. After a failure the launcher starts at leave(), so its window never hides the
// reason. A kill at any moment leaves a launcher that starts, and the next start of
// either program finishes or undoes the interrupted install.
//
// With a key in Keys, the package's signature is fetched beside it (its address plus ".sig"), and nothing is
// placed unless a trusted key signed this package under its name, for a version newer than ver.dat, and the
// package's own ver.dat names that version. Without a key the package is placed as it comes, and the note
// for the launcher says the update was not verified. A Keys folder in the package is placed only from a
// package that verified: an unverified one cannot add a key.
class UpdaterController final : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString packageUrl;
        QString sha256; // of the package, when the settings name it
        std::chrono::milliseconds launcherWait{std::chrono::seconds(30)};
        // How long the new launcher has to take its lock, on a slow stick too.
        std::chrono::milliseconds confirmWait{std::chrono::seconds(30)};
        std::shared_ptr<const FreeSpace> freeSpace = {}; // null: the volume's own figure
        // The user's proxy store, read when the download starts; null: the one the launcher shares.
        std::shared_ptr<const InternetSettings> internetSettings = {};

        // The package comes from [VersionCheck] updaterURL when the settings name one, else from the maker's
        // address; its SHA-256 from [Checksums].
        static Options fromSettings(const AppFolder &folder);
    };

    UpdaterController(const AppFolder &folder, std::shared_ptr<ProcessStarter> processes, Options options,
                      QObject *parent = nullptr);
    ~UpdaterController() override;

    // Starts the download and the wait for the launcher.
    void start();

    // Only finishes or undoes what an interrupted install left, and starts the launcher, as the start script
    // asks when it finds no launcher. False when no launcher could be started.
    static bool recover(const AppFolder &folder, ProcessStarter &processes);

    // Leaving before the files are put in place, or after a failure: the download is abandoned, nothing is
    // unpacked and the launcher starts again. False when the launcher could not be started (or the files are
    // being put in place, which is not interrupted).
    bool leave();

    bool isInstalling() const { return m_state == State::Installing || m_state == State::Confirming; }
    // Asks the user for the user name and password a proxy wants (a modal dialog); nullopt when the user
    // cancels. Without one, such a proxy fails the download with its reason.
    using ProxyLoginPrompt = std::function<std::optional<ProxyLogin>(const ProxyLoginQuestion &question)>;
    void setProxyLoginPrompt(ProxyLoginPrompt prompt) { m_askProxyLogin = std::move(prompt); }

    // The launcher's file name, as the user knows it.
    QString launcherFile() const;
    // Texts in the language the settings choose, English behind it, and the numbers of that language.
    QString text(QStringView key) const { return m_texts.text(key); }
    QLocale locale() const { return m_locale; }

signals:
    void progressed(qint64 received, qint64 total);
    // The files are being put in place; verified: the package's signature was checked.
    void installing(bool verified);
    void installed();
    // Nothing was changed, for the reason given. The launcher, as it was, starts at leave(), once the user has
    // read the reason.
    void failed(const QString &message);
    // The launcher did not end in time: nothing was changed and it keeps running.
    void launcherStillRunning(const QString &message);
    // Nothing is left to do; the program may end.
    void finished();

private:
    enum class State { Idle, Waiting, Installing, Confirming, Ended };

    void pollLauncher();
    void onFetched(const Trivet::DownloadResult &result);
    void onSignatureFetched(const Trivet::DownloadResult &result);
    // Whether the fetched package may be placed; fails the update when not.
    bool verifyFetched();
    void installWhenReady();
    void afterInstall(const ExtractResult &result);
    void pollConfirmation();
    void takeBack(const QString &reason);
    void fail(FailureReason reason, const QString &detail);
    void stopWaiting();
    bool startLauncher();
    void removeFetchedPackage();
    void removeFetchedSignature();

    AppFolder m_folder;
    std::shared_ptr<ProcessStarter> m_processes;
    Options m_options;
    LanguageTexts m_texts;
    QLocale m_locale;
    State m_state = State::Idle;

    Downloader *m_downloader = nullptr;
    std::optional<DownloadResult> m_fetched;
    TrustedKeys m_keys;
    std::optional<DownloadResult> m_signature; // only read when a key is trusted
    QString m_signedVersion;                   // the version the verified signature names
    ProxyLoginPrompt m_askProxyLogin;

    QTimer m_poll;
    QDeadlineTimer m_deadline;
    std::unique_ptr<SingleInstance> m_launcherLock;
    std::unique_ptr<SingleInstance> m_ownLock;
    QString m_awaitingJournal;
    bool m_launcherEnded = false;
    bool m_launcherStarted = false;

    // Last, so it goes first: ending while the files are put in place, the install stops and takes back what
    // it placed before anything it reports to goes.
    BackgroundTasks m_installer;
};

} // namespace Trivet
