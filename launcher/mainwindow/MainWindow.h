#pragma once

#include "launcher/mainwindow/LauncherContext.h"

#include <QMainWindow>
#include <array>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace Trivet {

class IconButton;
class LaunchController;
class TabPage;

// The launcher's main window: five tabs of program icons, the menus, the information lines and the
// shared progress bar. It owns the state its handlers share (settings and language file paths, the
// connectivity state). The work behind a click lives in classes of its own that the window wires up.
class MainWindow final : public QMainWindow
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

    const LauncherContext &context() const { return m_context; }
    const AppFolder &folder() const { return m_context.folder; }
    QString iniPath() const { return m_iniPath; }
    QString langFile() const { return m_langFile; }
    QString localAddress() const { return m_localAddress; }
    bool isOffline() const;

    // Text of key in the active language file; empty when absent.
    QString T(const QString &key) const;

    // Controls the catalogue logic works on, by catalogue tab 0..3.
    IconButton *catalogueIcon(int tab, int slot) const;
    QLabel *catalogueCaption(int tab, int slot) const;
    QLabel *infoLine(int tab) const;
    QLabel *downloadLine(int tab) const;
    QProgressBar *progressBar() const { return m_progress; }
    QTabWidget *tabs() const { return m_tabs; }
    LaunchController *launchController() const { return m_launcher; }

    // Colours of the information lines.
    static QColor offlineColour();
    QColor normalTextColour() const;
    void setInfoLine(int tab, const QString &text, const QColor &colour);

    // The welcome line of one catalogue tab in the current language and connectivity state.
    void showWelcomeLine(int tab);
    // All caption labels of all tabs back to normal weight.
    void resetCaptionFonts();

    // The language item of the Language menu that carries the check mark; empty when none does.
    QString checkedLanguageFile() const;

signals:
    void shutDownFinished();
    void catalogueIconClicked(int tab, int slot);
    void catalogueIconHovered(int tab, int slot);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildCentralArea();
    QWidget *buildCatalogueTab(int tab);
    QWidget *buildOwnAppsTab();
    void buildProxyFrame(QWidget *page);

    void selectTab(int index);
    void syncTabMenu(int index);
    void onTabSurfaceMoved();
    void switchLanguage(int item);
    void applyLanguageTexts();
    void applyCatalogueCaptions();
    void applyMenuPictures();
    void updateAccessibleNames();

    // A message that must never show empty: active language, then English, then the built-in text.
    QString messageText(const QString &key, const QString &builtIn) const;

    LauncherContext m_context;
    QString m_iniPath;
    QString m_langFile;
    QString m_localAddress;
    bool m_shutDown = false;

    QTabWidget *m_tabs = nullptr;
    std::array<TabPage *, 5> m_pages{};
    std::array<QList<IconButton *>, 5> m_icons;
    std::array<QList<QLabel *>, 5> m_captions;
    std::array<QLabel *, 4> m_infoLines{};
    std::array<QLabel *, 4> m_downloadLines{};
    std::array<QLabel *, 5> m_translated{};
    QProgressBar *m_progress = nullptr;
    QPushButton *m_exitButton = nullptr;
    QPushButton *m_ownSettings = nullptr;
    QPushButton *m_adjustDrive = nullptr;
    QGroupBox *m_proxyFrame = nullptr;

    QMenu *m_fileMenu = nullptr;
    QMenu *m_settingsMenu = nullptr;
    QMenu *m_languageMenu = nullptr;
    QMenu *m_helpMenu = nullptr;
    std::array<QAction *, 5> m_tabActions{};
    std::array<QAction *, 10> m_languageActions{};
    QAction *m_openOfficeAction = nullptr;
    QAction *m_exitAction = nullptr;
    LaunchController *m_launcher = nullptr;
};

} // namespace Trivet
