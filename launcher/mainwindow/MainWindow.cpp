#include "launcher/mainwindow/MainWindow.h"

#include "common/platform/FileExists.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "common/settings/TextKeys.h"
#include "launcher/art/ArtCatalogue.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/mainwindow/IconButton.h"
#include "launcher/mainwindow/LanguageItems.h"
#include "launcher/mainwindow/MessageBox.h"
#include "launcher/mainwindow/TabPage.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcMainWindow, "trivet.mainwindow")

namespace Trivet {
namespace {

const QString windowTitleText = u"Quillory Vidi"_s;
const QString programTitle = u"TrivetDesk"_s;

struct CatalogueTabNames
{
    QStringView prefix;       // caption labels "LbOFF1" …, settings keys "appOFF-1" …
    QStringView infoLine;     // "LbOffInfo"
    QStringView downloadLine; // "LbOffDownload"
    QStringView welcomeKey;   // text of the information line while on-line
};

constexpr std::array<CatalogueTabNames, 4> catalogueTabNames{{
    {u"AV", u"LbAVInfo", u"LbAVDownload", u"lbWelcome1"},
    {u"OFF", u"LbOffInfo", u"LbOffDownload", u"LbWelcome2"},
    {u"SYS", u"LbSysInfo", u"LbSysDownload", u"LbWelcome2"},
    {u"MISC", u"LbMiscInfo", u"LbMiscDownload", u"LbWelcome2"},
}};

constexpr int catalogueIconSize = 48;
constexpr int ownIconSize = 49;

QLabel *makeLine(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setMinimumHeight(label->fontMetrics().height() * 2 + 4);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLabel *makeCaption(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    label->setFixedWidth(104);
    label->setMinimumHeight(label->fontMetrics().height() * 2 + 2);
    return label;
}

} // namespace

MainWindow::MainWindow(LauncherContext context, QWidget *parent)
    : QMainWindow(parent)
    , m_context(std::move(context))
{
    setObjectName(u"Form1"_s);
    setWindowTitle(windowTitleText);
    setWindowIcon(QIcon(Art::productPicture(64)));
    buildMenus();
    buildCentralArea();
    m_launcher = new LaunchController(this);
}

MainWindow::~MainWindow() = default;

// ---------------------------------------------------------------------------------------------
// Building the window

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();

    m_fileMenu = bar->addMenu(u"File"_s);
    m_fileMenu->setObjectName(u"mnuFile"_s);
    for (int i = 0; i < 5; ++i) {
        QAction *action = m_fileMenu->addAction(QString());
        action->setObjectName(u"mnustab%1"_s.arg(i + 1));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, i] { selectTab(i); });
        m_tabActions[i] = action;
    }
    m_fileMenu->addSeparator();
    m_openOfficeAction = m_fileMenu->addAction(u"OpenOffice.org Portable"_s);
    m_openOfficeAction->setObjectName(u"mnuOpenOfficePortable"_s);
    m_openOfficeAction->setEnabled(false); // the office suite's window is not part of this build yet
    m_fileMenu->addSeparator();
    m_exitAction = m_fileMenu->addAction(QString());
    m_exitAction->setObjectName(u"mnuExit"_s);
    connect(m_exitAction, &QAction::triggered, this, &MainWindow::shutDown);

    m_settingsMenu = bar->addMenu(u"Settings"_s);
    m_settingsMenu->setObjectName(u"mnuSettings"_s);
    for (const QString &name : {u"mnuDownloadUpdate"_s, u"mnuDownloadIni"_s, u"mnuEditIniFile"_s}) {
        QAction *action = m_settingsMenu->addAction(QString());
        action->setObjectName(name);
        action->setEnabled(false); // wired up with the update and settings features
    }

    m_languageMenu = bar->addMenu(u"Language"_s);
    m_languageMenu->setObjectName(u"mnuLanguage"_s);
    const auto &items = languageItems();
    for (int i = 0; i < int(items.size()); ++i) {
        QAction *action = m_languageMenu->addAction(items[i].caption.toString());
        action->setObjectName(items[i].objectName.toString());
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, i] { switchLanguage(i); });
        m_languageActions[i] = action;
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
    for (QAction *action : {help, about, home}) {
        action->setEnabled(false); // wired up with the help and about features
    }
}

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
    const QStringList initialCaptions{u"Antivirus Tools"_s, u"Office Tools"_s, u"System Tools"_s, u"Nice to Have"_s,
                                      u"My Own"_s};
    for (int tab = 0; tab < 4; ++tab) {
        m_tabs->addTab(buildCatalogueTab(tab), initialCaptions[tab]);
    }
    m_tabs->addTab(buildOwnAppsTab(), initialCaptions[4]);
    connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::syncTabMenu);
    layout->addWidget(m_tabs, 1);

    auto *footer = new QHBoxLayout;
    m_progress = new QProgressBar(central);
    m_progress->setObjectName(u"ProgBarDownload"_s);
    m_progress->setTextVisible(false);
    m_progress->setVisible(false);
    QSizePolicy keepSpace = m_progress->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    m_progress->setSizePolicy(keepSpace);
    m_exitButton = new QPushButton(central);
    m_exitButton->setObjectName(u"Command1"_s);
    m_exitButton->setMinimumWidth(110);
    connect(m_exitButton, &QPushButton::clicked, this, &MainWindow::shutDown);
    footer->addWidget(m_progress, 1);
    footer->addSpacing(12);
    footer->addWidget(m_exitButton);
    layout->addLayout(footer);

    setCentralWidget(central);
    setMinimumSize(660, 560);
}

QWidget *MainWindow::buildCatalogueTab(int tab)
{
    const CatalogueTabNames &names = catalogueTabNames[tab];
    auto *page = new TabPage;
    m_pages[tab] = page;
    connect(page, &TabPage::mouseMoved, this, &MainWindow::onTabSurfaceMoved);

    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(12, 12, 12, 8);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    const int slotTotal = Catalogue::slotCount(tab);
    const int columns = tab == 0 ? 3 : 5;
    for (int slot = 0; slot < slotTotal; ++slot) {
        const CatalogueEntry *entry = Catalogue::entryAt(tab, slot);
        auto *icon = new IconButton(catalogueIconSize, page);
        icon->setObjectName(u"Image%1_%2"_s.arg(tab + 1).arg(slot));
        if (entry) {
            icon->setPicture(Art::catalogueIcon(entry->id, catalogueIconSize));
        }
        auto *caption = makeCaption(u"Lb%1%2"_s.arg(names.prefix).arg(slot + 1), QString(), page);
        connect(icon, &IconButton::clicked, this, [this, tab, slot] { emit catalogueIconClicked(tab, slot); });
        connect(icon, &IconButton::hovered, this, [this, tab, slot] { emit catalogueIconHovered(tab, slot); });
        auto *cell = new QVBoxLayout;
        cell->setSpacing(2);
        cell->addWidget(icon, 0, Qt::AlignHCenter);
        cell->addWidget(caption, 0, Qt::AlignHCenter);
        grid->addLayout(cell, (slot / columns) * 2, slot % columns, Qt::AlignHCenter | Qt::AlignTop);
        m_icons[tab].append(icon);
        m_captions[tab].append(caption);
    }
    if (tab == 0) {
        auto *row = new QHBoxLayout;
        row->addLayout(grid);
        row->addSpacing(12);
        buildProxyFrame(page);
        row->addWidget(m_proxyFrame, 0, Qt::AlignTop);
        row->addStretch(1);
        layout->addLayout(row);
    } else {
        layout->addLayout(grid);
    }
    layout->addStretch(1);

    m_infoLines[tab] = makeLine(names.infoLine.toString(), page);
    m_downloadLines[tab] = makeLine(names.downloadLine.toString(), page);
    m_downloadLines[tab]->setMinimumHeight(m_downloadLines[tab]->fontMetrics().height() + 4);
    layout->addWidget(m_infoLines[tab]);
    layout->addWidget(m_downloadLines[tab]);
    m_translated[tab] = new QLabel(page);
    m_translated[tab]->setObjectName(u"LbTranslate%1"_s.arg(tab + 1));
    m_translated[tab]->setAlignment(Qt::AlignRight);
    m_translated[tab]->setEnabled(false);
    layout->addWidget(m_translated[tab]);
    return page;
}

void MainWindow::buildProxyFrame(QWidget *page)
{
    m_proxyFrame = new QGroupBox(page);
    m_proxyFrame->setObjectName(u"Frame1"_s);
    auto *form = new QGridLayout(m_proxyFrame);
    auto *check = new QCheckBox(m_proxyFrame);
    check->setObjectName(u"ChkProxy"_s);
    auto *addressLabel = new QLabel(m_proxyFrame);
    addressLabel->setObjectName(u"LbAdress"_s);
    auto *address = new QLineEdit(m_proxyFrame);
    address->setObjectName(u"TxtProxyIP"_s);
    auto *portLabel = new QLabel(m_proxyFrame);
    portLabel->setObjectName(u"LbProxyPort"_s);
    auto *port = new QLineEdit(m_proxyFrame);
    port->setObjectName(u"TxtProxyPort"_s);
    port->setMaximumWidth(70);
    auto *set = new QPushButton(m_proxyFrame);
    set->setObjectName(u"CmdSetProxy"_s);
    form->addWidget(check, 0, 0, 1, 2);
    form->addWidget(addressLabel, 1, 0);
    form->addWidget(address, 1, 1);
    form->addWidget(portLabel, 2, 0);
    form->addWidget(port, 2, 1, Qt::AlignLeft);
    form->addWidget(set, 3, 1, Qt::AlignRight);
    // The proxy controls get their captions with the rest of the window; the frame is shown once the
    // launcher reads and writes the user's proxy settings.
    m_proxyFrame->setVisible(false);
}

QWidget *MainWindow::buildOwnAppsTab()
{
    auto *page = new TabPage;
    m_pages[4] = page;
    connect(page, &TabPage::mouseMoved, this, &MainWindow::onTabSurfaceMoved);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(12, 12, 12, 8);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    for (int slot = 0; slot < 10; ++slot) {
        auto *icon = new IconButton(ownIconSize, page);
        icon->setObjectName(u"Image5_%1"_s.arg(slot));
        auto *caption = makeCaption(u"lbMyOwnApp%1"_s.arg(slot + 1), u"MyOwnApp%1"_s.arg(slot + 1), page);
        auto *cell = new QVBoxLayout;
        cell->setSpacing(2);
        cell->addWidget(icon, 0, Qt::AlignHCenter);
        cell->addWidget(caption, 0, Qt::AlignHCenter);
        grid->addLayout(cell, (slot / 5) * 2, slot % 5, Qt::AlignHCenter | Qt::AlignTop);
        m_icons[4].append(icon);
        m_captions[4].append(caption);
    }
    layout->addLayout(grid);
    layout->addStretch(1);
    auto *buttons = new QHBoxLayout;
    m_ownSettings = new QPushButton(u"My Own Settings..."_s, page);
    m_ownSettings->setObjectName(u"cmdSettings"_s);
    m_adjustDrive = new QPushButton(u"Adjust USB-Drive Letter..."_s, page);
    m_adjustDrive->setObjectName(u"cmdAdjustDriveLetter"_s);
    // Both open features that are wired up with the own-application slots.
    m_ownSettings->setEnabled(false);
    m_adjustDrive->setEnabled(false);
    buttons->addWidget(m_ownSettings);
    buttons->addWidget(m_adjustDrive);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    m_translated[4] = new QLabel(page);
    m_translated[4]->setObjectName(u"LbTranslate5"_s);
    m_translated[4]->setAlignment(Qt::AlignRight);
    m_translated[4]->setEnabled(false);
    layout->addWidget(m_translated[4]);
    return page;
}

// ---------------------------------------------------------------------------------------------
// Start-up and shut-down

bool MainWindow::startUp()
{
    selectTab(0);

    m_iniPath = m_context.folder.iniPath();
    const QString language = readIni(u"Language"_s, u"Default"_s, m_iniPath);
    m_langFile = joinTail(m_context.folder.root(), QString(u"\\Languages\\"_s + language));
    if (!language.isEmpty()) {
        m_langFile = resolveCaseInsensitive(m_langFile);
    }

    const auto &items = languageItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (language == items[i].fileName) {
            m_languageActions[i]->setChecked(true);
        }
    }

    if (!fileExists(m_context.folder.path(u"\\Trivet.ini"))) {
        MessageBox::warning(this, programTitle,
                            messageText(u"errMsg1"_s, u"The settings file \"Trivet.ini\" was not found beside the "
                                                      u"launcher. Please download \"Quillory\" again!"_s));
        return false;
    }
    if (!fileExists(m_context.folder.path(u"\\Languages\\English.lng"))) {
        MessageBox::warning(this, programTitle,
                            u"Default Language file \"English.lng\" not found! please download \"Quillory\" again!"_s);
        return false;
    }

    m_localAddress = m_context.addresses ? m_context.addresses->localAddress() : loopbackAddress();

    m_progress->setVisible(false);
    showWelcomeLine(0);
    for (int tab = 1; tab < 4; ++tab) {
        m_infoLines[tab]->clear();
    }
    for (QLabel *line : m_downloadLines) {
        line->clear();
    }

    applyCatalogueCaptions();
    applyLanguageTexts();
    applyMenuPictures();
    qCInfo(lcMainWindow) << "started in" << m_context.folder.root() << (isOffline() ? "off-line" : "on-line");
    return true;
}

void MainWindow::shutDown()
{
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    // The version file fetched at start-up is only good for this run.
    const QString versionFile = m_context.folder.path(u"\\update.dat");
    if (QFile::exists(versionFile) && !QFile::remove(versionFile)) {
        qCWarning(lcMainWindow) << "cannot delete" << versionFile;
    }
    hide();
    emit shutDownFinished();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    shutDown();
    event->accept();
}

QString MainWindow::messageText(const QString &key, const QString &builtIn) const
{
    QString text = T(key);
    if (text.isEmpty()) {
        text = translation(key, m_context.folder.path(u"\\Languages\\English.lng"));
    }
    return text.isEmpty() ? builtIn : text;
}

// ---------------------------------------------------------------------------------------------
// Texts

QString MainWindow::T(const QString &key) const
{
    if (!isTextKey(key)) {
        // Every key the window reads must be one the language files are checked to carry.
        qCWarning(lcMainWindow) << "text key missing from the registry:" << key;
    }
    return translation(key, m_langFile);
}

void MainWindow::applyCatalogueCaptions()
{
    for (int tab = 0; tab < 4; ++tab) {
        for (int slot = 0; slot < m_captions[tab].size(); ++slot) {
            const QString key = u"app%1-%2"_s.arg(catalogueTabNames[tab].prefix).arg(slot + 1);
            m_captions[tab][slot]->setText(readIni(u"Applications"_s, key, m_iniPath));
        }
    }
    updateAccessibleNames();
}

void MainWindow::applyLanguageTexts()
{
    const auto setText = [this](const char16_t *objectName, const QString &key) {
        if (auto *w = findChild<QWidget *>(QString::fromUtf16(objectName))) {
            const QString text = T(key);
            if (auto *label = qobject_cast<QLabel *>(w)) {
                label->setText(text);
            } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
                button->setText(text);
            } else if (auto *box = qobject_cast<QGroupBox *>(w)) {
                box->setTitle(text);
            }
        }
    };
    setText(u"Frame1", u"FrmProxy"_s);
    setText(u"ChkProxy", u"chkProxy"_s);
    setText(u"LbAdress", u"lbAddress"_s);
    setText(u"LbProxyPort", u"lbProxPort"_s);
    setText(u"Command1", u"cmdExit"_s);
    setText(u"CmdSetProxy", u"cmdSet"_s);
    setText(u"cmdSettings", u"cmdSettings"_s);
    setText(u"cmdAdjustDriveLetter", u"cmdUSBDrive"_s);
    for (int i = 0; i < 5; ++i) {
        m_tabs->setTabText(i, T(u"stab%1"_s.arg(i + 1)));
    }
    const QList<QMenu *> menus{m_languageMenu, m_settingsMenu, m_helpMenu, m_fileMenu};
    for (QMenu *menu : menus) {
        menu->setTitle(T(menu->objectName()));
    }
    for (QAction *action : findChildren<QAction *>()) {
        const QString name = action->objectName();
        if (name == u"mnuAbout"_s || name == u"mnuDownloadIni"_s || name == u"mnuEditIniFile"_s ||
            name == u"mnuDownloadUpdate"_s || name == u"mnuHelp"_s || name == u"mnuExit"_s ||
            name == u"mnuHomePage"_s) {
            action->setText(T(name));
        }
    }
    for (int i = 0; i < 5; ++i) {
        m_tabActions[i]->setText(T(u"stab%1"_s.arg(i + 1)));
    }
    const QString translated = T(u"Translated"_s);
    for (QLabel *label : m_translated) {
        label->setText(translated);
    }
}

void MainWindow::applyMenuPictures()
{
    const auto &items = languageItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        m_languageActions[i]->setIcon(Art::menuIcon(items[i].picture, items[i].picture));
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

void MainWindow::updateAccessibleNames()
{
    for (int tab = 0; tab < 4; ++tab) {
        for (int slot = 0; slot < m_icons[tab].size(); ++slot) {
            QString name = m_captions[tab][slot]->text();
            if (name.isEmpty()) {
                if (const CatalogueEntry *entry = Catalogue::entryAt(tab, slot)) {
                    name = entry->name.toString();
                }
            }
            m_icons[tab][slot]->setAccessibleName(name);
            m_icons[tab][slot]->setToolTip(name);
        }
    }
    for (int slot = 0; slot < m_icons[4].size(); ++slot) {
        m_icons[4][slot]->setAccessibleName(m_captions[4][slot]->text());
    }
}

// ---------------------------------------------------------------------------------------------
// Tabs, language switching, information lines

void MainWindow::selectTab(int index)
{
    syncTabMenu(index);
    m_tabs->setCurrentIndex(index);
}

void MainWindow::syncTabMenu(int index)
{
    for (int i = 0; i < 5; ++i) {
        m_tabActions[i]->setChecked(i == index);
    }
}

void MainWindow::switchLanguage(int item)
{
    const LanguageItem &chosen = languageItems()[item];
    for (int i = 0; i < int(m_languageActions.size()); ++i) {
        m_languageActions[i]->setChecked(i == item);
    }
    m_langFile = m_context.folder.languageFile(chosen.fileName.toString());
    if (!writeIni(u"Language"_s, u"Default"_s, chosen.fileName.toString(), m_context.folder.iniPath())) {
        qCWarning(lcMainWindow) << "the language choice could not be saved";
    }
    applyLanguageTexts();
    showWelcomeLine(0);
}

bool MainWindow::isOffline() const
{
    return m_localAddress == loopbackAddress();
}

QColor MainWindow::offlineColour()
{
    return QColor(255, 0, 0);
}

QColor MainWindow::normalTextColour() const
{
    return palette().color(QPalette::ButtonText);
}

void MainWindow::setInfoLine(int tab, const QString &text, const QColor &colour)
{
    QLabel *line = m_infoLines.at(tab);
    QPalette p = line->palette();
    p.setColor(QPalette::WindowText, colour);
    line->setPalette(p);
    line->setText(text);
}

void MainWindow::showWelcomeLine(int tab)
{
    if (isOffline()) {
        setInfoLine(tab, T(u"lbNoInet"_s), offlineColour());
    } else {
        setInfoLine(tab, T(catalogueTabNames[tab].welcomeKey.toString()), normalTextColour());
    }
}

void MainWindow::resetCaptionFonts()
{
    for (const auto &captions : m_captions) {
        for (QLabel *caption : captions) {
            QFont font = caption->font();
            font.setBold(false);
            caption->setFont(font);
        }
    }
}

void MainWindow::onTabSurfaceMoved()
{
    for (int tab = 1; tab < 4; ++tab) {
        m_downloadLines[tab]->clear();
    }
    showWelcomeLine(0);
    resetCaptionFonts();
    for (int tab = 1; tab < 4; ++tab) {
        showWelcomeLine(tab);
    }
}

QString MainWindow::checkedLanguageFile() const
{
    for (const QStringView name : languageCheckOrder()) {
        const auto &items = languageItems();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].objectName == name && m_languageActions[i]->isChecked()) {
                return items[i].fileName.toString();
            }
        }
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Controls for the catalogue logic

IconButton *MainWindow::catalogueIcon(int tab, int slot) const
{
    if (tab < 0 || tab >= 4 || slot < 0 || slot >= m_icons[tab].size()) {
        return nullptr;
    }
    return m_icons[tab][slot];
}

QLabel *MainWindow::catalogueCaption(int tab, int slot) const
{
    if (tab < 0 || tab >= 4 || slot < 0 || slot >= m_captions[tab].size()) {
        return nullptr;
    }
    return m_captions[tab][slot];
}

QLabel *MainWindow::infoLine(int tab) const
{
    return m_infoLines.at(tab);
}

QLabel *MainWindow::downloadLine(int tab) const
{
    return m_downloadLines.at(tab);
}

} // namespace Trivet
