#pragma once

#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/catalogue/CatalogueView.h"
#include "launcher/catalogue/OfficeSuiteView.h"
#include "launcher/mainwindow/LauncherContext.h"
#include "launcher/mainwindow/StartupSession.h"
#include "launcher/network/ProxyView.h"
#include "launcher/upkeep/ProgramActions.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace Trivet {

class AboutBox;
class CatalogueTabPage;
class FileCheckWindow;
class HelpController;
class IconButton;
class LaunchController;
class OfficeSuiteController;
class OfficeSuiteWindow;
class OwnAppEditor;
class OwnAppsController;
class OwnAppsTabPage;
class ProxyController;
class SearchBox;
class SearchController;
class UpdateController;
class UpdateProgramsWindow;
struct UpdatePromptTexts;

// The launcher's main window: the tabs of program icons, the menus, the shared progress bar and the exit
// button. It holds what its parts share (the settings document, the language texts, the connectivity
// state), shows what the controllers decide through their view interfaces, and keeps no rules of theirs.
class MainWindow final : public QMainWindow,
                         private CatalogueView,
                         private ProxyView,
                         private OfficeSuiteView,
                         private ProgramActionsView
{
    Q_OBJECT

public:
    explicit MainWindow(LauncherContext context, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Runs the start-up steps. False when the launcher cannot run (a message has been shown): the
    // caller then ends the program.
    bool startUp();

    // Leaves the launcher: the same steps whichever way the user chose. Emits shutDownFinished once.
    void shutDown();
    // The user's way out (Exit, the File menu, the close box): asks first while a download or an unpack runs,
    // and shuts down unless told to keep working. False when the launcher keeps running.
    bool leave();

    const AppFolder &folder() const { return m_context.folder; }
    QString localAddress() const { return m_session.localAddress(); }
    bool isOffline() const { return m_session.isOffline(); }

    // The documents every part reads, parsed once and refreshed when the files change.
    const IniFile &settings() const { return m_settings; }
    const LanguageTexts &texts() const { return m_texts; }

    LaunchController *launchController() const { return m_launcher; }
    ProgramActions *programActions() const { return m_programActions; }
    OfficeSuiteController *officeSuite() const { return m_officeSuite; }
    // The office suite's window while it is open.
    OfficeSuiteWindow *officeSuiteWindow() const;
    UpdateController *updateController() const { return m_updates; }
    // The about box while it is open.
    AboutBox *aboutBox() const;
    CatalogueTabPage *catalogueTab(int tab) const { return m_catalogueTabs.value(tab); }
    OwnAppsTabPage *ownAppsTab() const { return m_ownTab; }
    SearchBox *searchBox() const { return m_search; }
    // The editor of the own programs while it is open.
    OwnAppEditor *ownAppEditor() const;
    IconButton *catalogueIcon(int tab, int slot) const;
    QProgressBar *progressBar() const { return m_progress; }
    // The window of Update Programs on the Stick while it is open.
    UpdateProgramsWindow *updateProgramsWindow() const;

    // The language item of the Language menu that carries the check mark; empty when none does.
    QString checkedLanguageFile() const;

    // The window of a check of installed files while it is open.
    FileCheckWindow *fileCheckWindow() const;

public slots:
    // Opens the check of the entry's installed files over this window; with an empty id, of every program
    // installed with a record (Settings, Check All Programs).
    void checkProgram(const QString &id);

signals:
    void shutDownFinished();
    // Check Files was chosen in the menu of the entry's icon.
    void checkFilesRequested(const QString &id);

protected:
    void closeEvent(QCloseEvent *event) override;
    // A letter or "/" typed while no text field has the keyboard begins a search.
    void keyPressEvent(QKeyEvent *event) override;

private:
    // CatalogueView
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

    // ProxyView
    void showProxyServer(const QString &server, const QString &address, const QString &port) override;
    void showProxyChecked(bool checked) override;
    void enableProxyInputs(bool enabled) override;
    void showProxyMessage(ProxyView::Alert kind, const QString &title, const QString &text) override;

    // OfficeSuiteView
    bool confirmSuiteDownload(const QString &title, const QString &text) override;
    void showSuiteWindow() override;

    // ProgramActionsView
    bool confirm(const QString &title, const QString &text) override;
    void tell(MessageKind kind, const QString &title, const QString &text) override;

    void showIconMenu(int tab, int slot, const QPoint &at);

    void buildMenus();
    void buildCentralArea();
    QGroupBox *buildProxyFrame(QWidget *page);

    void selectTab(int index);
    void syncTabMenu(int index);
    void checkShownTab();
    void switchLanguage(int item);
    void checkLanguageItem(const QString &fileName);
    void applyLanguageTexts();
    void applyMenuPictures();
    void openOwnAppEditor();
    void showAboutBox();
    void openUpdatePrograms();
    void showUpdatePrompt(const Trivet::UpdatePromptTexts &texts);
    // The Settings menu's Download New Version and the prompt's Update now.
    void handOverToUpdater();

    LauncherContext m_context;
    IniFile m_settings;
    LanguageTexts m_texts;
    StartupSession m_session;
    bool m_shutDown = false;

    QTabWidget *m_tabs = nullptr;
    QList<CatalogueTabPage *> m_catalogueTabs;
    OwnAppsTabPage *m_ownTab = nullptr;
    SearchBox *m_search = nullptr;
    SearchController *m_searchController = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancelDownload = nullptr;
    QPushButton *m_exitButton = nullptr;

    QMenu *m_fileMenu = nullptr;
    QMenu *m_settingsMenu = nullptr;
    QMenu *m_languageMenu = nullptr;
    QMenu *m_helpMenu = nullptr;
    QList<QAction *> m_tabActions;
    QList<QAction *> m_languageActions;
    QList<QAction *> m_translatedActions;
    QAction *m_openOfficeAction = nullptr;
    QAction *m_exitAction = nullptr;
    LaunchController *m_launcher = nullptr;
    ProgramActions *m_programActions = nullptr;

    QCheckBox *m_proxyCheck = nullptr;
    QLineEdit *m_proxyAddress = nullptr;
    QLineEdit *m_proxyPort = nullptr;
    QLineEdit *m_proxyOriginal = nullptr;
    ProxyController *m_proxy = nullptr;
    OfficeSuiteController *m_officeSuite = nullptr;
    QPointer<OfficeSuiteWindow> m_officeSuiteWindow;
    OwnAppsController *m_ownApps = nullptr;
    QPointer<OwnAppEditor> m_editor;
    UpdateController *m_updates = nullptr;
    HelpController *m_help = nullptr;
    QPointer<AboutBox> m_about;
    QPointer<UpdateProgramsWindow> m_updateWindow;
    QPointer<FileCheckWindow> m_fileCheck;
};

} // namespace Trivet
