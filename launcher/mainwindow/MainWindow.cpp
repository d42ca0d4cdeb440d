#include "launcher/mainwindow/MainWindow.h"

#include "common/product/Product.h"
#include "common/widgets/ProxyLoginDialog.h"
#include "launcher/art/ArtCatalogue.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/catalogue/OfficeSuite.h"
#include "launcher/help/AboutBox.h"
#include "launcher/help/HelpController.h"
#include "launcher/mainwindow/CatalogueTabPage.h"
#include "launcher/mainwindow/FileCheckWindow.h"
#include "launcher/mainwindow/IconButton.h"
#include "launcher/mainwindow/LanguageItems.h"
#include "launcher/mainwindow/MessageBox.h"
#include "launcher/mainwindow/OfficeSuiteWindow.h"
#include "launcher/mainwindow/OwnAppsTabPage.h"
#include "launcher/mainwindow/SearchBox.h"
#include "launcher/mainwindow/UpdateProgramsWindow.h"
#include "launcher/mainwindow/WindowPlacement.h"
#include "launcher/network/ProxyController.h"
#include "launcher/ownapps/OwnAppEditor.h"
#include "launcher/ownapps/OwnAppsController.h"
#include "launcher/search/SearchController.h"
#include "launcher/updates/UpdateController.h"
#include "launcher/updates/UpdatePrompt.h"
#include "launcher/upkeep/FileCheck.h"
#include "launcher/upkeep/UpdateQueue.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>
#include <limits>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcMainWindow, "trivet.mainwindow")

namespace Trivet {
namespace {

const QString windowTitleText = u"Quillory Vidi"_s;
// Message boxes carry the program's name as their title.
const QString programTitle = Trivet::Product::LauncherName.toString();

// The language key of a tab's title, which is also the text of its File-menu item.
QString tabTitleKey(int tab)
{
    return u"stab%1"_s.arg(tab + 1);
}

} // namespace

MainWindow::MainWindow(LauncherContext context, QWidget *parent)
    : QMainWindow(parent)
    , m_context(std::move(context))
    , m_settings(m_context.folder.iniPath())
    , m_texts(m_context.folder.root())
    , m_session(m_context.folder, m_settings, m_texts, m_context.addresses)
{
    setObjectName(u"Form1"_s);
    setWindowTitle(windowTitleText);
    setWindowIcon(Art::productIcon());
    buildCentralArea();
    buildMenus();

    m_launcher = new LaunchController(m_context.folder, m_settings, m_texts, m_context.processes, *this, this);
    if (!m_context.internetSettings) {
        m_context.internetSettings = std::make_shared<InternetSettings>();
    }
    // Every download asks the store afresh, so a proxy set in the window applies to the next one.
    m_launcher->setProxySource([store = m_context.internetSettings] { return store->proxy(); });
    // A proxy's login, once given, serves every later download of this run and is asked for again next run.
    m_launcher->setProxyLogins(std::make_shared<ProxyLogins>());
    m_proxy = new ProxyController(m_context.internetSettings, m_texts, *this, this);
    m_help = new HelpController(m_context.folder, m_settings, m_texts, m_context.processes, this);
    connect(m_help, &HelpController::openFailed, this,
            [this](const QString &message) { MessageBox::warning(this, programTitle, message); });
    // The other controllers' lines go through the catalogue's, which keeps what every line says.
    m_officeSuite = new OfficeSuiteController(m_context.folder, m_settings, m_texts, m_context.processes, *m_launcher,
                                              m_launcher->lines(), *this, this);
    m_programActions = new ProgramActions(m_context.folder, m_settings, m_texts, *m_launcher, *this, this);
    connect(m_programActions, &ProgramActions::checkFilesRequested, this, &MainWindow::checkFilesRequested);
    connect(m_programActions, &ProgramActions::checkFilesRequested, this, &MainWindow::checkProgram);
    for (CatalogueTabPage *page : std::as_const(m_catalogueTabs)) {
        const int tab = int(m_catalogueTabs.indexOf(page));
        connect(page, &CatalogueTabPage::iconClicked, m_launcher,
                [this, tab](int slot) { m_launcher->launch(tab, slot); });
        connect(page, &CatalogueTabPage::iconMenuRequested, this,
                [this, tab](int slot, const QPoint &at) { showIconMenu(tab, slot, at); });
        connect(page, &CatalogueTabPage::iconActionChosen, m_programActions,
                [this, tab](int slot, ProgramAction action) { m_programActions->trigger(tab, slot, action); });
        connect(page, &CatalogueTabPage::iconHovered, m_launcher,
                [this, tab](int slot) { m_launcher->hover(tab, slot); });
        connect(page, &CatalogueTabPage::surfaceHovered, m_launcher, &LaunchController::surfaceHovered);
    }
    // What is on the drive is looked at when a tab comes into view, not at every pointer move.
    connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::checkShownTab);
    connect(m_ownTab, &OwnAppsTabPage::surfaceHovered, m_launcher, &LaunchController::surfaceHovered);

    m_ownApps = new OwnAppsController(m_context.folder, m_settings, m_texts, m_context.processes, *m_ownTab, this);
    connect(m_ownTab, &OwnAppsTabPage::slotClicked, m_ownApps, &OwnAppsController::launch);
    connect(m_ownTab->settingsButton(), &QPushButton::clicked, this, &MainWindow::openOwnAppEditor);
    connect(m_ownApps, &OwnAppsController::editorRequested, this, [this](int slot) {
        openOwnAppEditor();
        m_editor->selectSlot(slot);
    });
    connect(m_ownTab->adjustDriveButton(), &QPushButton::clicked, m_ownApps, &OwnAppsController::adjustDriveLetters);

    m_searchController = new SearchController(m_context.folder, m_settings, m_texts, *m_launcher, *m_ownApps,
                                              Catalogue::TabCount, *m_search, this);
    m_search->setPictureSource([this](int tab, int slot) {
        const IconButton *icon = tab < Catalogue::TabCount ? catalogueIcon(tab, slot) : m_ownTab->icon(slot);
        // A tab not yet shown has not drawn its pictures; a result of it still shows its program's.
        if (tab < Catalogue::TabCount && icon && !icon->hasPicture()) {
            return Art::catalogueIcon(Catalogue::entryAt(tab, slot)->id, CatalogueTabPage::iconSize);
        }
        return icon ? icon->picture() : QPixmap();
    });
    connect(m_search, &SearchBox::queryChanged, m_searchController, &SearchController::setQuery);
    connect(m_search, &SearchBox::startRequested, m_searchController, &SearchController::start);
    // The marks of the results follow what was installed meanwhile.
    connect(m_launcher, &LaunchController::installationFinished, m_searchController, &SearchController::rebuild);
    auto *find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, [this] { m_search->focusField(); });
    m_updates = new UpdateController(m_context.folder, m_settings, m_texts, m_context.processes, m_launcher->lines(),
                                     m_launcher->packageDownloader(), this);
    connect(m_updates, &UpdateController::newVersionOffered, this, &MainWindow::showUpdatePrompt);
    // A new program list may vouch for other packages than the one it replaced.
    connect(m_updates, &UpdateController::settingsPackageFinished, m_launcher, [this](bool ok) {
        if (ok) {
            m_launcher->refreshCoveredPackages();
            // Its checksums may name newer packages of programs on the drive.
            checkShownTab();
        }
    });
}

MainWindow::~MainWindow()
{
    // The editor is a window of its own and works on this window's controller.
    delete m_editor;
}

// ---------------------------------------------------------------------------------------------
// Building the window

void MainWindow::buildCentralArea()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(8);

    auto *header = new QHBoxLayout;
    auto *picture = new QLabel(central);
    picture->setObjectName(u"Image6"_s);
    picture->setPixmap(Art::productPicture(48));
    picture->setFixedSize(48, 48);
    auto *title = new QLabel(windowTitleText, central);
    title->setObjectName(u"LbTitel"_s);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    titleFont.setBold(true);
    title->setFont(titleFont);
    header->addWidget(picture);
    header->addWidget(title, 1);
    layout->addLayout(header);

    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(u"SSTab1"_s);
    for (int tab = 0; tab < Catalogue::TabCount; ++tab) {
        const CatalogueTab &names = Catalogue::tabs()[tab];
        auto *page = new CatalogueTabPage(tab, names);
        m_catalogueTabs.append(page);
        m_tabs->addTab(page, names.initialTitle.toString());
    }
    m_catalogueTabs.front()->setSideWidget(buildProxyFrame(m_catalogueTabs.front()));
    m_ownTab = new OwnAppsTabPage(Catalogue::TabCount + 1);
    m_tabs->addTab(m_ownTab, u"My Own"_s);
    connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::syncTabMenu);
    // While the search field holds text, the programs found stand in the tabs' place.
    m_search = new SearchBox(central);
    connect(m_search, &SearchBox::resultsShown, this, [this, layout](bool shown) {
        m_tabs->setVisible(!shown);
        layout->setStretchFactor(m_search, shown ? 1 : 0);
    });
    layout->addWidget(m_search);
    layout->addWidget(m_tabs, 1);

    auto *footer = new QHBoxLayout;
    m_progress = new QProgressBar(central);
    m_progress->setObjectName(u"ProgBarDownload"_s);
    m_progress->setTextVisible(true);
    m_progress->setVisible(false);
    QSizePolicy keepSpace = m_progress->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    m_progress->setSizePolicy(keepSpace);
    // Beside the bar and only with it: gives up what the bar shows.
    m_cancelDownload = new QPushButton(central);
    m_cancelDownload->setObjectName(u"cmdCancelDownload"_s);
    m_cancelDownload->setFocusPolicy(Qt::StrongFocus);
    m_cancelDownload->setVisible(false);
    m_cancelDownload->setEnabled(false);
    QSizePolicy buttonSpace = m_cancelDownload->sizePolicy();
    buttonSpace.setRetainSizeWhenHidden(true); // the exit button stays where it is
    m_cancelDownload->setSizePolicy(buttonSpace);
    connect(m_cancelDownload, &QPushButton::clicked, this, [this] { m_launcher->cancelDownloads(); });
    m_exitButton = new QPushButton(central);
    m_exitButton->setObjectName(u"Command1"_s);
    m_exitButton->setMinimumWidth(110);
    connect(m_exitButton, &QPushButton::clicked, this, &MainWindow::leave);
    footer->addWidget(m_progress, 1);
    footer->addWidget(m_cancelDownload);
    footer->addSpacing(12);
    footer->addWidget(m_exitButton);
    layout->addLayout(footer);

    setCentralWidget(central);
    setMinimumSize(660, 560);
}

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();

    m_fileMenu = bar->addMenu(u"File"_s);
    m_fileMenu->setObjectName(u"mnuFile"_s);
    for (int i = 0; i < m_tabs->count(); ++i) {
        QAction *action = m_fileMenu->addAction(QString());
        action->setObjectName(u"mnustab%1"_s.arg(i + 1));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, i] { selectTab(i); });
        m_tabActions.append(action);
    }
    m_fileMenu->addSeparator();
    m_openOfficeAction = m_fileMenu->addAction(u"OpenOffice.org Portable"_s);
    m_openOfficeAction->setObjectName(u"mnuOpenOfficePortable"_s);
    connect(m_openOfficeAction, &QAction::triggered, this, [this] { m_officeSuite->open(); });
    m_fileMenu->addSeparator();
    m_exitAction = m_fileMenu->addAction(QString());
    m_exitAction->setObjectName(u"mnuExit"_s);
    connect(m_exitAction, &QAction::triggered, this, &MainWindow::leave);
    m_translatedActions.append(m_exitAction);

    m_settingsMenu = bar->addMenu(u"Settings"_s);
    m_settingsMenu->setObjectName(u"mnuSettings"_s);
    for (const QString &name : {u"mnuDownloadUpdate"_s, u"mnuDownloadIni"_s, u"mnuEditIniFile"_s}) {
        QAction *action = m_settingsMenu->addAction(QString());
        action->setObjectName(name);
        m_translatedActions.append(action);
    }
    connect(m_settingsMenu->actions().at(0), &QAction::triggered, this, &MainWindow::handOverToUpdater);
    connect(m_settingsMenu->actions().at(1), &QAction::triggered, this,
            [this] { m_updates->downloadSettingsPackage(); });
    connect(m_settingsMenu->actions().at(2), &QAction::triggered, this, [this] { m_help->editSettings(); });
    m_settingsMenu->addSeparator();
    QAction *updatePrograms = m_settingsMenu->addAction(QString());
    updatePrograms->setObjectName(u"mnuUpdatePrograms"_s);
    m_translatedActions.append(updatePrograms);
    connect(updatePrograms, &QAction::triggered, this, &MainWindow::openUpdatePrograms);
    QAction *checkAll = m_settingsMenu->addAction(QString());
    checkAll->setObjectName(u"mnuCheckAll"_s);
    connect(checkAll, &QAction::triggered, this, [this] { checkProgram(QString()); });
    m_translatedActions.append(checkAll);

    m_languageMenu = bar->addMenu(u"Language"_s);
    m_languageMenu->setObjectName(u"mnuLanguage"_s);
    const auto &items = languageItems();
    for (int i = 0; i < int(items.size()); ++i) {
        QAction *action = m_languageMenu->addAction(items[i].caption.toString());
        action->setObjectName(items[i].objectName.toString());
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, i] { switchLanguage(i); });
        m_languageActions.append(action);
    }

    m_helpMenu = bar->addMenu(u"Help"_s);
    m_helpMenu->setObjectName(u"mnuHelpRoot"_s);
    QAction *help = m_helpMenu->addAction(QString());
    help->setObjectName(u"mnuHelp"_s);
    m_helpMenu->addSeparator();
    QAction *about = m_helpMenu->addAction(QString());
    about->setObjectName(u"mnuAbout"_s);
    QAction *home = m_helpMenu->addAction(QString());
    home->setObjectName(u"mnuHomePage"_s);
    connect(help, &QAction::triggered, this, [this] { m_help->openHelp(); });
    connect(about, &QAction::triggered, this, &MainWindow::showAboutBox);
    connect(home, &QAction::triggered, this, [this] { m_help->openHomePage(); });
    for (QAction *action : {help, about, home}) {
        m_translatedActions.append(action);
    }
}

QGroupBox *MainWindow::buildProxyFrame(QWidget *page)
{
    auto *frame = new QGroupBox(page);
    frame->setObjectName(u"Frame1"_s);
    auto *form = new QGridLayout(frame);
    m_proxyCheck = new QCheckBox(frame);
    m_proxyCheck->setObjectName(u"ChkProxy"_s);
    auto *addressLabel = new QLabel(frame);
    addressLabel->setObjectName(u"LbAdress"_s);
    m_proxyAddress = new QLineEdit(frame);
    m_proxyAddress->setObjectName(u"TxtProxyIP"_s);
    addressLabel->setBuddy(m_proxyAddress);
    auto *portLabel = new QLabel(frame);
    portLabel->setObjectName(u"LbProxyPort"_s);
    m_proxyPort = new QLineEdit(frame);
    m_proxyPort->setObjectName(u"TxtProxyPort"_s);
    m_proxyPort->setMaximumWidth(70);
    portLabel->setBuddy(m_proxyPort);
    auto *set = new QPushButton(frame);
    set->setObjectName(u"CmdSetProxy"_s);
    // The server as it was read at start-up; kept, never shown.
    m_proxyOriginal = new QLineEdit(frame);
    m_proxyOriginal->setObjectName(u"TxtOrgProxy"_s);
    m_proxyOriginal->setVisible(false);
    form->addWidget(m_proxyCheck, 0, 0, 1, 2);
    form->addWidget(addressLabel, 1, 0);
    form->addWidget(m_proxyAddress, 1, 1);
    form->addWidget(portLabel, 2, 0);
    form->addWidget(m_proxyPort, 2, 1, Qt::AlignLeft);
    form->addWidget(set, 3, 1, Qt::AlignRight);
    connect(m_proxyCheck, &QCheckBox::clicked, this, [this](bool checked) { m_proxy->toggle(checked); });
    connect(set, &QPushButton::clicked, this,
            [this] { m_proxy->set(m_proxyAddress->text(), m_proxyPort->text(), m_proxyCheck->isChecked()); });
    return frame;
}

// ---------------------------------------------------------------------------------------------
// Start-up and shut-down

bool MainWindow::startUp()
{
    selectTab(0);

    const StartupSession::Start start = m_session.start(*m_launcher, {m_officeSuite->packageUrl()});
    checkLanguageItem(start.checkedLanguage);
    if (!start.ok()) {
        MessageBox::warning(this, programTitle, start.message);
        shutDown();
        return false;
    }

    m_launcher->setOffline(isOffline());
    m_ownApps->recordDriveLetters();
    m_launcher->showStartState();
    m_proxy->showStored();
    applyLanguageTexts();
    m_ownApps->showSlots();
    // The menus show their pictures whether or not ver.dat is there for the version check.
    applyMenuPictures();
    m_updates->checkVersion(isOffline());
    if (const QString version = m_session.updatedTo(); !version.isEmpty()) {
        QString told = m_texts.text(u"MsgUpdatedTo").replace(u"%1"_s, version);
        // An update placed without a check of its signature says so, where the user reads that it came.
        if (!m_session.updateVerified()) {
            told += u"\n\n"_s + m_texts.text(u"msgUpdUnverified");
        }
        // Said once the window is on the screen, over it.
        QMetaObject::invokeMethod(
            this, [this, told] { MessageBox::information(this, programTitle, told); }, Qt::QueuedConnection);
    }
    qCInfo(lcMainWindow) << "started in" << m_context.folder.root() << (isOffline() ? "off-line" : "on-line");
    return true;
}

void MainWindow::shutDown()
{
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    if (m_editor) {
        m_editor->close();
    }
    m_session.end();
    hide();
    emit shutDownFinished();
}

bool MainWindow::leave()
{
    if (m_shutDown) {
        return true;
    }
    // The editor asks about its unsaved edits first; staying there keeps the launcher open.
    if (m_editor && !m_editor->close()) {
        return false;
    }
    // Leaving cuts whatever is on its way; the packages and settings then stay as they were.
    const bool working =
        m_launcher->hasWorkRunning() || m_officeSuite->isUnpacking() || m_updates->isFetchingSettingsPackage();
    if (working && MessageBox::askYesNo(this, QMessageBox::Question, programTitle, m_texts.text(u"MsgQuitWhileBusy")) !=
                       QMessageBox::Yes) {
        return false;
    }
    shutDown();
    return true;
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // Keys a text field takes never arrive here; those an icon leaves do.
    const QString text = event->text();
    const bool plain = (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == 0;
    if (plain && text.size() == 1 && (text == u"/" || text.front().isLetter())) {
        m_search->focusField(text == u"/" ? QString() : text);
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (leave()) {
        event->accept();
    } else {
        event->ignore();
    }
}

// ---------------------------------------------------------------------------------------------
// Texts

void MainWindow::applyLanguageTexts()
{
    const auto setText = [this](const char16_t *objectName, QStringView key) {
        if (auto *w = findChild<QWidget *>(QString::fromUtf16(objectName))) {
            const QString text = m_texts.text(key);
            if (auto *label = qobject_cast<QLabel *>(w)) {
                label->setText(text);
            } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
                button->setText(text);
            } else if (auto *box = qobject_cast<QGroupBox *>(w)) {
                box->setTitle(text);
            }
        }
    };
    setText(u"Frame1", u"FrmProxy");
    setText(u"ChkProxy", u"chkProxy");
    setText(u"LbAdress", u"lbAddress");
    setText(u"LbProxyPort", u"lbProxPort");
    setText(u"Command1", u"cmdExit");
    setText(u"CmdSetProxy", u"cmdSet");
    setText(u"cmdSettings", u"cmdSettings");
    setText(u"cmdAdjustDriveLetter", u"cmdUSBDrive");
    setText(u"cmdCancelDownload", u"cmdCancelDownload");
    m_cancelDownload->setAccessibleName(m_texts.text(u"lbCancelDownload"));
    m_cancelDownload->setToolTip(m_texts.text(u"lbCancelDownload"));
    for (int i = 0; i < m_tabs->count(); ++i) {
        const QString title = m_texts.text(tabTitleKey(i));
        m_tabs->setTabText(i, title);
        m_tabActions[i]->setText(title);
    }
    for (QMenu *menu : {m_languageMenu, m_settingsMenu, m_helpMenu, m_fileMenu}) {
        menu->setTitle(m_texts.text(menu->objectName()));
    }
    for (QAction *action : std::as_const(m_translatedActions)) {
        action->setText(m_texts.text(action->objectName()));
    }
    const QString translated = m_texts.text(u"Translated");
    for (CatalogueTabPage *page : std::as_const(m_catalogueTabs)) {
        page->showTranslatedBy(translated);
    }
    m_ownTab->showTranslatedBy(translated);
    m_search->setHint(m_texts.text(u"lbSearchHint"));
    if (m_searchController) {
        m_searchController->rebuild();
    }
    // The marks' spoken descriptions in the new language.
    checkShownTab();
}

void MainWindow::checkShownTab()
{
    const int shown = m_tabs->currentIndex();
    if (m_launcher && shown >= 0 && shown < Catalogue::TabCount) {
        m_launcher->checkPresence(shown);
    }
}

void MainWindow::showOnStick(int tab, int slot, bool onStick, const QString &spoken)
{
    if (CatalogueTabPage *page = m_catalogueTabs.value(tab)) {
        page->showOnStick(slot, onStick, spoken);
    }
}

void MainWindow::showOutdated(int tab, int slot, bool outdated, const QString &spoken)
{
    if (CatalogueTabPage *page = m_catalogueTabs.value(tab)) {
        page->showOutdated(slot, outdated, spoken);
    }
}

void MainWindow::applyMenuPictures()
{
    const auto &items = languageItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        m_languageActions[qsizetype(i)]->setIcon(Art::menuIcon(items[i].picture, items[i].picture));
    }
    if (auto *help = findChild<QAction *>(u"mnuHelp"_s)) {
        help->setIcon(Art::menuIcon(11, 10));
    }
    if (auto *home = findChild<QAction *>(u"mnuHomePage"_s)) {
        home->setIcon(Art::menuIcon(12, 11));
    }
    m_exitAction->setIcon(Art::menuIcon(13, 12));
    m_openOfficeAction->setIcon(Art::menuIcon(14, 12));
}

FileCheckWindow *MainWindow::fileCheckWindow() const
{
    return m_fileCheck;
}

void MainWindow::checkProgram(const QString &id)
{
    if (m_fileCheck) {
        m_fileCheck->raise();
        m_fileCheck->activateWindow();
        return;
    }
    // The check goes with its window: closing it stops the reading, and a repair under way installs on.
    m_fileCheck = new FileCheckWindow({m_texts.text(u"FrmCheckFiles"), m_texts.text(u"cmdCancelCheck"),
                                       m_texts.text(u"cmdRepair"), m_texts.text(u"cmdClose")},
                                      this);
    m_fileCheck->setAttribute(Qt::WA_DeleteOnClose);
    m_fileCheck->setWindowModality(Qt::WindowModal);
    m_fileCheck->setWindowIcon(windowIcon());
    auto *check = new FileCheck(m_context.folder, m_settings, m_texts, *m_fileCheck, m_fileCheck);
    check->setReinstaller([this](const QString &entry) { return m_launcher->reinstall(entry); });
    connect(m_launcher, &LaunchController::installationFinished, check, &FileCheck::installationFinished);
    connect(m_fileCheck, &FileCheckWindow::cancelClicked, check, &FileCheck::cancel);
    connect(m_fileCheck, &FileCheckWindow::repairClicked, check, &FileCheck::repair);
    m_fileCheck->adjustSize();
    placeOver(m_fileCheck, this);
    m_fileCheck->show();
    if (id.isEmpty()) {
        check->checkAll();
    } else {
        check->checkProgram(id);
    }
}

OwnAppEditor *MainWindow::ownAppEditor() const
{
    return m_editor;
}

void MainWindow::openOwnAppEditor()
{
    // One editor at a time: pressing again brings the open one to the front as it is.
    if (!m_editor) {
        // A dialog of this window: it stays in front of it, and opens over it, wholly on its screen.
        m_editor = new OwnAppEditor(*m_ownApps, m_settings, m_context.folder, this);
        m_editor->setAttribute(Qt::WA_DeleteOnClose);
        m_editor->setWindowIcon(windowIcon());
        m_editor->adjustSize();
        placeOver(m_editor, this);
    }
    m_editor->show();
    m_editor->raise();
    m_editor->activateWindow();
}

AboutBox *MainWindow::aboutBox() const
{
    return m_about;
}

void MainWindow::showAboutBox()
{
    // One box: a second press brings the open one forward.
    if (!m_about) {
        QString mail = Product::MailAddress.toString();
        mail.remove(u"mailto:"_s);
        m_about = new AboutBox(mail, Product::WebSite.toString(), this);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_about, &AboutBox::mailClicked, m_help, &HelpController::openMail);
        connect(m_about, &AboutBox::webClicked, m_help, &HelpController::openWebSite);
    }
    // Its close button speaks the language that carries the check mark.
    m_about->setCloseText(checkedLanguageFile().isEmpty() ? u"&Close"_s : m_texts.text(u"cmdClose", u"&Close"_s));
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

UpdateProgramsWindow *MainWindow::updateProgramsWindow() const
{
    return m_updateWindow;
}

void MainWindow::openUpdatePrograms()
{
    if (!m_updateWindow) {
        auto *window = new UpdateProgramsWindow(this);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowIcon(windowIcon());
        // The queue goes with its window; a download under way when the window closes is cancelled first.
        auto *queue = new UpdateQueue(
            m_texts, *window,
            [this](const QString &id) { return m_launcher->reinstall(id, LaunchController::Feedback::Quiet); },
            [this] { m_launcher->cancelDownloads(); }, window);
        connect(window, &UpdateProgramsWindow::updateRequested, queue, &UpdateQueue::start);
        connect(window, &UpdateProgramsWindow::cancelRequested, queue, &UpdateQueue::cancel);
        connect(m_launcher, &LaunchController::packageProgress, queue, &UpdateQueue::programProgress);
        connect(m_launcher, &LaunchController::updateFinished, queue, &UpdateQueue::programUpdated);
        connect(m_launcher, &LaunchController::installationFinished, queue, &UpdateQueue::programFinished);
        queue->offer(m_launcher->outdatedPrograms(), m_launcher->isOffline());
        m_updateWindow = window;
        placeOver(window, this);
    }
    m_updateWindow->show();
    m_updateWindow->raise();
    m_updateWindow->activateWindow();
}

void MainWindow::showUpdatePrompt(const UpdatePromptTexts &texts)
{
    auto *prompt = new UpdatePrompt(texts, this);
    connect(prompt, &UpdatePrompt::answered, this, [this](UpdateAnswer answer) {
        m_updates->answerPrompt(answer);
        if (answer == UpdateAnswer::UpdateNow) {
            handOverToUpdater();
        }
    });
    prompt->show();
}

void MainWindow::handOverToUpdater()
{
    // The Updater replaces the launcher's files, so the launcher ends once it has started; the editor's
    // unsaved edits are asked about before, and staying there keeps the launcher.
    if (m_editor && !m_editor->close()) {
        return;
    }
    if (m_updates->startUpdater()) {
        shutDown();
    }
}

// ---------------------------------------------------------------------------------------------
// Tabs and languages

void MainWindow::selectTab(int index)
{
    syncTabMenu(index);
    m_tabs->setCurrentIndex(index);
}

void MainWindow::syncTabMenu(int index)
{
    for (int i = 0; i < m_tabActions.size(); ++i) {
        m_tabActions[i]->setChecked(i == index);
    }
}

void MainWindow::checkLanguageItem(const QString &fileName)
{
    const auto &items = languageItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        m_languageActions[qsizetype(i)]->setChecked(items[i].fileName == fileName);
    }
}

void MainWindow::switchLanguage(int item)
{
    const LanguageItem &chosen = languageItems()[item];
    for (int i = 0; i < m_languageActions.size(); ++i) {
        m_languageActions[i]->setChecked(i == item);
    }
    if (const QString notSaved = m_session.chooseLanguage(chosen.fileName.toString()); !notSaved.isEmpty()) {
        MessageBox::warning(this, programTitle, notSaved);
    }
    applyLanguageTexts();
    // The lines say again what they said, in the new language.
    m_launcher->redrawLines();
}

QString MainWindow::checkedLanguageFile() const
{
    const auto &items = languageItems();
    for (const QStringView name : languageCheckOrder()) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].objectName == name && m_languageActions[qsizetype(i)]->isChecked()) {
                return items[i].fileName.toString();
            }
        }
    }
    return {};
}

IconButton *MainWindow::catalogueIcon(int tab, int slot) const
{
    const CatalogueTabPage *page = m_catalogueTabs.value(tab);
    return page ? page->icon(slot) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// What the catalogue's controller shows

void MainWindow::showInfo(int tab, const QString &text)
{
    if (CatalogueTabPage *page = m_catalogueTabs.value(tab)) {
        page->showInfo(text);
    }
}

void MainWindow::showInfo(int tab, const QString &text, Tone tone)
{
    if (CatalogueTabPage *page = m_catalogueTabs.value(tab)) {
        page->showInfo(text, tone);
    }
}

void MainWindow::showDownloadLine(int tab, const QString &text)
{
    if (CatalogueTabPage *page = m_catalogueTabs.value(tab)) {
        page->showDownloadLine(text);
    }
}

void MainWindow::showCaption(int tab, int slot, const QString &text)
{
    if (CatalogueTabPage *page = m_catalogueTabs.value(tab)) {
        page->showCaption(slot, text);
    }
}

void MainWindow::emphasizeCaption(int tab, int slot)
{
    if (CatalogueTabPage *page = m_catalogueTabs.value(tab)) {
        page->emphasizeCaption(slot);
    }
}

void MainWindow::resetCaptions()
{
    for (CatalogueTabPage *page : std::as_const(m_catalogueTabs)) {
        page->resetCaptions();
    }
    m_ownTab->resetCaptions();
}

void MainWindow::showBusy(bool busy)
{
    if (busy) {
        m_progress->setValue(0);
        m_progress->setFormat(QString());
        m_progress->setVisible(true);
        setCursor(Qt::BusyCursor);
    } else {
        m_progress->setVisible(false);
        unsetCursor();
    }
    m_cancelDownload->setVisible(busy);
    m_cancelDownload->setEnabled(busy);
}

void MainWindow::showProgress(qint64 received, qint64 total, const QString &text)
{
    // The bar counts in int; larger files are shown in KiB.
    const bool large = total > std::numeric_limits<int>::max();
    m_progress->setMaximum(int(large ? total / 1024 : total));
    m_progress->setValue(int(large ? received / 1024 : received));
    m_progress->setFormat(text);
}

std::optional<ProxyLogin> MainWindow::askProxyLogin(const ProxyLoginQuestion &question)
{
    return ProxyLoginDialog::ask(question, this);
}

void MainWindow::showMessage(MessageKind kind, const QString &title, const QString &text)
{
    switch (kind) {
    case MessageKind::Information:
        MessageBox::information(this, title, text);
        return;
    case MessageKind::Warning:
        MessageBox::warning(this, title, text);
        return;
    case MessageKind::Critical:
        MessageBox::critical(this, title, text);
        return;
    }
}

void MainWindow::showProxyServer(const QString &server, const QString &address, const QString &port)
{
    m_proxyOriginal->setText(server);
    m_proxyAddress->setText(address);
    // A server without a colon names no port: the box keeps what it has.
    if (!port.isNull()) {
        m_proxyPort->setText(port);
    }
}

void MainWindow::showProxyChecked(bool checked)
{
    m_proxyCheck->setChecked(checked);
}

void MainWindow::enableProxyInputs(bool enabled)
{
    m_proxyAddress->setEnabled(enabled);
    m_proxyPort->setEnabled(enabled);
}

void MainWindow::showProxyMessage(ProxyView::Alert kind, const QString &title, const QString &text)
{
    if (kind == ProxyView::Alert::Critical) {
        MessageBox::critical(this, title, text);
    } else {
        MessageBox::warning(this, title, text);
    }
}

OfficeSuiteWindow *MainWindow::officeSuiteWindow() const
{
    return m_officeSuiteWindow;
}

bool MainWindow::confirmSuiteDownload(const QString &title, const QString &text)
{
    return MessageBox::askOkCancel(this, QMessageBox::Information, title, text) == QMessageBox::Ok;
}

bool MainWindow::confirm(const QString &title, const QString &text)
{
    return MessageBox::askYesNo(this, QMessageBox::Question, title, text, QMessageBox::No) == QMessageBox::Yes;
}

void MainWindow::tell(MessageKind kind, const QString &title, const QString &text)
{
    showMessage(kind, title, text);
}

void MainWindow::showIconMenu(int tab, int slot, const QPoint &at)
{
    CatalogueTabPage *page = m_catalogueTabs.value(tab);
    if (!page) {
        return;
    }
    QList<IconMenuItem> items;
    for (const OfferedAction &offered : m_programActions->offered(tab, slot)) {
        const QString key = actionTextKey(offered.action).toString();
        // The item's object name is its text's key, as with the window's other menu items.
        items.append({offered.action, key, m_texts.text(key), offered.enabled});
    }
    page->showIconMenu(slot, at, items);
}

void MainWindow::showSuiteWindow()
{
    if (!m_officeSuiteWindow) {
        m_officeSuiteWindow = new OfficeSuiteWindow(this);
        m_officeSuiteWindow->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_officeSuiteWindow, &OfficeSuiteWindow::componentClicked, m_officeSuite,
                &OfficeSuiteController::startComponent);
    }
    m_officeSuiteWindow->setCloseText(m_texts.text(u"cmdClose", u"&Close"_s));
    m_officeSuiteWindow->show();
    m_officeSuiteWindow->raise();
    m_officeSuiteWindow->activateWindow();
}

} // namespace Trivet
