#include "launcher/ownapps/OwnAppEditor.h"

#include "common/platform/AppFolder.h"
#include "common/platform/RegularFile.h"
#include "common/product/Product.h"
#include "common/settings/IniFile.h"
#include "launcher/mainwindow/MessageBox.h"
#include "launcher/ownapps/FileDialog.h"
#include "launcher/ownapps/OwnAppsController.h"
#include "launcher/ownapps/Picture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

// Message boxes carry the program's name as their title.
const QString programTitle = Trivet::Product::LauncherName.toString();
const QString missingFieldText = u"Application Name, Application path or Icon path is missing!"_s;
const QString pathNotFoundText = u"Path not found!"_s;
const QString extractFirstText = u"Please extract an icon first!"_s;
const QString iconNotSavedText = u"The icon could not be saved!"_s;
const QString slotNotSavedText = u"The settings could not be saved, because the drive cannot be written!"_s;

const QString allFilesFilter = u"All Files (*)"_s;

constexpr int previewSize = 49;

QLabel *makePictureBox(const QString &name, bool scaled, QWidget *parent)
{
    auto *box = new QLabel(parent);
    box->setObjectName(name);
    box->setFixedSize(previewSize, previewSize);
    box->setFrameShape(QFrame::StyledPanel);
    box->setFrameShadow(QFrame::Sunken);
    box->setAlignment(Qt::AlignCenter);
    box->setScaledContents(scaled);
    return box;
}

// The icon the system shows for path, drawn at size × size on background as a picture box holds it, so
// it can be saved as a bitmap without transparency. Null when path names neither a regular file nor a folder:
// the icon provider may look into the file for its type, and a pipe would hold the window until written to. A
// file without an icon of its own gets the icon of its type.
QPixmap fileIconPicture(const QString &path, int size, const QColor &background)
{
    const QFileInfo info(path);
    if (!info.isDir() && !isRegularFile(path)) {
        return {};
    }
    const QFileIconProvider provider;
    QIcon icon = provider.icon(info);
    if (icon.isNull()) {
        icon = provider.icon(info.isDir() ? QAbstractFileIconProvider::Folder : QAbstractFileIconProvider::File);
    }
    if (icon.isNull()) {
        icon = QApplication::style()->standardIcon(info.isDir() ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    }
    QPixmap picture(size, size);
    picture.fill(background);
    QPainter painter(&picture);
    icon.paint(&painter, picture.rect());
    return picture;
}

} // namespace

OwnAppEditor::OwnAppEditor(OwnAppsController &apps, const IniFile &settings, const AppFolder &folder, QWidget *parent)
    : QDialog(parent)
    , m_apps(apps)
    , m_texts(folder.root())
    , m_folder(folder)
{
    setObjectName(u"frmAddApp"_s);
    setWindowTitle(u"Quilory / My Own apps settings..."_s);
    buildControls();
    m_texts.select(settings.value(u"Language", u"Default"));
    applyTexts();
    loadSlot(0);
}

void OwnAppEditor::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->setSpacing(10);

    auto *header = new QHBoxLayout;
    m_preview = makePictureBox(u"ImageShowIcon"_s, true, this);
    m_title = new QLabel(u"Label1"_s, this);
    m_title->setObjectName(u"lbAppTitel"_s);
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    m_title->setFont(titleFont);
    header->addWidget(m_preview);
    header->addSpacing(6);
    header->addWidget(m_title, 1);
    layout->addLayout(header);

    auto *form = new QGridLayout;
    form->setHorizontalSpacing(8);
    form->setVerticalSpacing(6);
    form->setColumnStretch(1, 1);
    const auto addLabel = [this, form](const QString &name, const QString &text, int row) {
        auto *label = new QLabel(text, this);
        label->setObjectName(name);
        form->addWidget(label, row, 0);
        return label;
    };
    const auto addField = [this](const QString &name, const QString &text) {
        auto *field = new QLineEdit(text, this);
        field->setObjectName(name);
        field->setMinimumWidth(280);
        return field;
    };
    const auto addButton = [this](const QString &name, const QString &text) {
        auto *button = new QPushButton(text, this);
        button->setObjectName(name);
        return button;
    };

    m_numberLabel = addLabel(u"lbAppNumber"_s, u"Application Number"_s, 0);
    m_number = new QComboBox(this);
    m_number->setObjectName(u"cmbAppNumber"_s);
    for (int slot = 0; slot < OwnAppSlot::Count; ++slot) {
        m_number->addItem(u"App%1"_s.arg(slot + 1));
    }
    form->addWidget(m_number, 0, 1, Qt::AlignLeft);

    m_nameLabel = addLabel(u"lbAppName"_s, u"Application Name"_s, 1);
    m_name = addField(u"txtAppName"_s, u"Text1"_s);
    m_name->setPlaceholderText(OwnAppSlot::unusedName());
    form->addWidget(m_name, 1, 1, 1, 2);

    m_pathLabel = addLabel(u"lbAppExe"_s, u"Path to Application Executable"_s, 2);
    m_path = addField(u"txtAppPath"_s, QString());
    m_path->setPlaceholderText(OwnAppSlot::unusedPath());
    m_browsePath = addButton(u"cmdBrowsePath"_s, u"Browse..."_s);
    form->addWidget(m_path, 2, 1);
    form->addWidget(m_browsePath, 2, 2);

    m_iconLabel = addLabel(u"lbAppIcon"_s, u"Application Icon Name"_s, 3);
    m_icon = addField(u"txtIconName"_s, u"Text3"_s);
    m_browseIcon = addButton(u"cmdBrowseIcon"_s, u"Browse..."_s);
    form->addWidget(m_icon, 3, 1);
    form->addWidget(m_browseIcon, 3, 2);

    m_numberLabel->setBuddy(m_number);
    m_nameLabel->setBuddy(m_name);
    m_pathLabel->setBuddy(m_path);
    m_iconLabel->setBuddy(m_icon);
    layout->addLayout(form);

    auto *extraction = new QHBoxLayout;
    m_extract = addButton(u"cmdExtractIcon"_s, u"Extract Icon"_s);
    m_extractedView = makePictureBox(u"ImageExtractIcon"_s, false, this);
    m_saveIcon = addButton(u"cmdSaveIcon"_s, u"Save Icon..."_s);
    extraction->addWidget(m_extract);
    extraction->addWidget(m_extractedView);
    extraction->addWidget(m_saveIcon);
    extraction->addStretch(1);
    layout->addLayout(extraction);

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    auto *buttons = new QHBoxLayout;
    m_save = addButton(u"cmdSave"_s, u"Save Settings"_s);
    m_close = addButton(u"cmdClose"_s, u"Close"_s);
    m_save->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);

    connect(m_number, &QComboBox::currentIndexChanged, this, &OwnAppEditor::slotChosen);
    connect(m_browsePath, &QPushButton::clicked, this, &OwnAppEditor::browseProgram);
    connect(m_browseIcon, &QPushButton::clicked, this, &OwnAppEditor::browseIcon);
    connect(m_extract, &QPushButton::clicked, this, &OwnAppEditor::extractIcon);
    connect(m_saveIcon, &QPushButton::clicked, this, &OwnAppEditor::saveIcon);
    connect(m_save, &QPushButton::clicked, this, &OwnAppEditor::saveSlot);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
}

void OwnAppEditor::applyTexts()
{
    m_numberLabel->setText(m_texts.text(u"lbAppNumber"));
    m_nameLabel->setText(m_texts.text(u"lbAppName"));
    m_pathLabel->setText(m_texts.text(u"lbAppExe"));
    m_iconLabel->setText(m_texts.text(u"lbAppIcon"));
    m_browsePath->setText(m_texts.text(u"cmdBrowse"));
    m_browseIcon->setText(m_texts.text(u"cmdBrowse"));
    m_extract->setText(m_texts.text(u"cmdExtractIcon"));
    m_saveIcon->setText(m_texts.text(u"cmdSaveIcon"));
    m_save->setText(m_texts.text(u"cmdSave"));
    m_close->setText(m_texts.text(u"cmdClose"));
}

void OwnAppEditor::selectSlot(int slot)
{
    m_number->setCurrentIndex(slot);
}

bool OwnAppEditor::hasUnsavedEdits() const
{
    return fields() != m_loaded;
}

OwnAppSlot OwnAppEditor::fields() const
{
    return {m_name->text(), m_path->text(), m_icon->text()};
}

void OwnAppEditor::slotChosen(int slot)
{
    if (slot == m_shownSlot) {
        return;
    }
    if (!settleEdits()) {
        // The list goes back to the slot whose edits stay.
        const QSignalBlocker quiet(m_number);
        m_number->setCurrentIndex(m_shownSlot);
        return;
    }
    loadSlot(slot);
}

void OwnAppEditor::loadSlot(int slot)
{
    const OwnAppSlot values = m_apps.slot(slot);
    m_shownSlot = slot;
    m_loaded = values.shownInFields();
    m_name->setText(m_loaded.name);
    m_icon->setText(m_loaded.icon);
    m_path->setText(m_loaded.path);
    m_title->setText(values.name);
    showPreview(values);
}

bool OwnAppEditor::settleEdits()
{
    if (!hasUnsavedEdits()) {
        return true;
    }
    const QString question = m_texts.text(u"MsgOwnAppUnsaved").arg(m_number->itemText(m_shownSlot));
    const MessageBox::SaveDiscardCancelTexts buttons{m_texts.text(u"cmdSaveEdits"), m_texts.text(u"cmdDiscardEdits"),
                                                     m_texts.text(u"cmdCancelEdits")};
    switch (MessageBox::askSaveDiscardCancel(this, programTitle, question, buttons)) {
    case QMessageBox::Save:
        return saveSlot();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void OwnAppEditor::reject()
{
    if (settleEdits()) {
        QDialog::reject();
    }
}

void OwnAppEditor::showPreview(const OwnAppSlot &values)
{
    // A picture that cannot be loaded leaves the one shown before.
    const QImage picture = readPicture(m_apps.previewPicture(values));
    if (!picture.isNull()) {
        m_preview->setPixmap(QPixmap::fromImage(picture));
    }
}

void OwnAppEditor::browseProgram()
{
#ifdef Q_OS_WIN
    const QString startFilter;
#else
    // Programs here carry no ".exe": the dialog starts on all files.
    const QString startFilter = allFilesFilter;
#endif
    const QString chosen = FileDialog::openFileName(this, {u"Executable (*.exe)"_s, allFilesFilter}, startFilter);
    if (!chosen.isEmpty()) {
        m_path->setText(chosen);
    }
}

void OwnAppEditor::browseIcon()
{
    const QString chosen =
        FileDialog::openFileName(this, {u"Bmp (*.bmp)"_s, u"Gif (*.gif)"_s, u"Icon (*.ico)"_s, allFilesFilter});
    if (!chosen.isEmpty()) {
        m_icon->setText(chosen);
    }
}

void OwnAppEditor::extractIcon()
{
    // The path field may hold arguments after the program; a folder gives the folder's icon.
    const QString text = m_path->text();
    QString target = m_apps.programFile(text);
    if (target.isEmpty() && QFileInfo::exists(resolveCaseInsensitive(text))) {
        target = resolveCaseInsensitive(text);
    }
    const QPixmap icon = fileIconPicture(target, IconSize, palette().color(QPalette::Window));
    if (icon.isNull()) {
        MessageBox::warning(this, programTitle, pathNotFoundText);
        return;
    }
    m_extracted.append(icon);
    m_extractedView->setPixmap(icon);
}

void OwnAppEditor::saveIcon()
{
    if (m_extracted.isEmpty()) {
        MessageBox::warning(this, programTitle, extractFirstText);
        return;
    }
    const QString chosen = FileDialog::saveFileName(this, {u"Png (*.png)"_s, u"Bmp (*.bmp)"_s}, m_folder.root());
    if (chosen.isEmpty()) {
        return;
    }
    const QString file = iconFileName(chosen);
    const char *format = iconFormat(file) == IconFormat::Bmp ? "BMP" : "PNG";
    // The icon shown is the one saved; written whole or not at all.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || !m_extracted.constLast().toImage().save(&out, format) || !out.commit()) {
        MessageBox::warning(this, programTitle, iconNotSavedText);
        return;
    }
    m_icon->setText(m_apps.storedPath(file));
}

bool OwnAppEditor::saveSlot()
{
    const OwnAppSlot values = fields().fromFields();
    switch (m_apps.save(m_shownSlot, values)) {
    case OwnAppsController::SaveOutcome::Incomplete:
        MessageBox::warning(this, programTitle, missingFieldText);
        return false;
    case OwnAppsController::SaveOutcome::NotWritten:
        MessageBox::warning(this, programTitle, slotNotSavedText);
        return false;
    case OwnAppsController::SaveOutcome::Saved:
        break;
    }
    m_loaded = fields();
    m_title->setText(values.name);
    showPreview(values);
    return true;
}

} // namespace Trivet
