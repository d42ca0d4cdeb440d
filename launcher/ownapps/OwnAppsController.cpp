#include "launcher/ownapps/OwnAppsController.h"

#include "common/platform/CommandLine.h"
#include "common/platform/FileExists.h"
#include "common/platform/ProcessStarter.h"
#include "common/platform/RelativePath.h"
#include "common/product/Product.h"
#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/ownapps/DriveMove.h"
#include "launcher/ownapps/OwnAppsView.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

namespace {
Q_LOGGING_CATEGORY(lcOwnApps, "trivet.ownapps")

const QString driveSection = u"USBDriveLetter"_s;
const QString newDriveKey = u"NewDriveLetter"_s;
const QString oldDriveKey = u"OldDriveLetter"_s;
const QString startToolTip = u"To Start the Application, click on the Icon."_s;

bool isSlot(int slot)
{
    return slot >= 0 && slot < Trivet::OwnAppSlot::Count;
}

} // namespace

namespace Trivet {

OwnAppsController::OwnAppsController(const AppFolder &folder, IniFile &settings, const LanguageTexts &texts,
                                     std::shared_ptr<ProcessStarter> processes, OwnAppsView &view, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_settings(settings)
    , m_texts(texts)
    , m_view(view)
    , m_runner(
          std::move(processes), texts,
          [&view](const QString &title, const QString &text) { view.showMessage(title, text); },
          ProgramRunner::FailureLog::Info)
{
}

QString OwnAppsController::value(const QString &key) const
{
    return m_settings.value(OwnAppSlot::section(), key);
}

bool OwnAppsController::write(const QString &section, const QString &key, const QString &value)
{
    const SaveResult saved = m_settings.setValue(section, key, value);
    if (!saved.ok()) {
        qCInfo(lcOwnApps) << "could not save" << key << saved.message;
    }
    return saved.ok();
}

// ---------------------------------------------------------------------------------------------
// Slots

OwnAppSlot OwnAppsController::slot(int slot) const
{
    if (!isSlot(slot)) {
        return {};
    }
    return {value(OwnAppSlot::nameKey(slot)), value(OwnAppSlot::pathKey(slot)), value(OwnAppSlot::iconKey(slot))};
}

void OwnAppsController::showSlots()
{
    for (int slot = 0; slot < OwnAppSlot::Count; ++slot) {
        showSlot(slot);
    }
}

void OwnAppsController::showSlot(int slot)
{
    const OwnAppSlot values = this->slot(slot);
    m_view.showSlotName(slot, values.name);
    if (values.path == OwnAppSlot::unusedPath()) {
        m_view.showSlotToolTip(slot, QString());
        m_view.showSlotPicture(slot, placeholderPicture());
        return;
    }
    if (!values.icon.isEmpty() && values.icon != OwnAppSlot::unusedIcon()) {
        m_view.showSlotPicture(slot, resolved(values.icon));
    }
    m_view.showSlotToolTip(slot, startToolTip);
}

void OwnAppsController::launch(int slot)
{
    if (!isSlot(slot)) {
        return;
    }
    const QString commandLine = value(OwnAppSlot::pathKey(slot));
    if (commandLine.trimmed().isEmpty() || commandLine == OwnAppSlot::unusedPath()) {
        emit editorRequested(slot);
        return;
    }
    const ProcessStart request = processFor(commandLine);
    // Without Wine the runner has said what to install; the slot itself is right.
    if (const StartResult started = m_runner.start(request); !started.installed()) {
        qCInfo(lcOwnApps) << "slot" << slot + 1 << "did not start";
        explainFailedStart(slot, request.program);
    }
}

void OwnAppsController::explainFailedStart(int slot, const QString &program)
{
    // Looked at after the starter failed, so the starter alone decides what starts; this only names the
    // likeliest reason. None of these looks opens the file, which may be a pipe.
    const QFileInfo info(program);
    QStringView key = u"errOwnAppNoStart";
    if (!info.exists()) {
        key = u"errOwnAppMissing";
    } else if (info.isDir()) {
        key = u"errOwnAppFolder";
    }
    const QString text =
        m_texts.text(key).arg(QDir::toNativeSeparators(program)) + u"\n\n"_s + m_texts.text(u"MsgOwnAppEdit");
    if (m_view.confirm(Product::LauncherName.toString(), text)) {
        emit editorRequested(slot);
    }
}

OwnAppsController::SaveOutcome OwnAppsController::save(int slot, const OwnAppSlot &values)
{
    if (!isSlot(slot)) {
        return SaveOutcome::NotWritten;
    }
    if (!values.isComplete()) {
        return SaveOutcome::Incomplete;
    }
    const QString &section = OwnAppSlot::section();
    if (!write(section, OwnAppSlot::nameKey(slot), values.name) ||
        !write(section, OwnAppSlot::iconKey(slot), values.icon) ||
        !write(section, OwnAppSlot::pathKey(slot), values.path)) {
        return SaveOutcome::NotWritten;
    }
    // The working copies stay what the file holds.
    m_copies[slot] = {values.path, values.icon};
    showSlot(slot);
    return SaveOutcome::Saved;
}

// ---------------------------------------------------------------------------------------------
// Paths

QString OwnAppsController::resolved(const QString &path) const
{
    if (path.isEmpty() || QDir::isAbsolutePath(path)) {
        return resolveCaseInsensitive(path);
    }
    // A relative path is looked for beside the launcher first, where it still is after the stick moved. It is
    // the user's own command line, which may name any file, so it is joined as written.
    const QString below = resolveCaseInsensitive(joinTail(m_folder.root(), path));
    return QFileInfo::exists(below) ? below : path;
}

bool OwnAppsController::isFile(const QString &path) const
{
    return fileExists(resolved(path));
}

QString OwnAppsController::placeholderPicture() const
{
    return m_folder.path(u"\\Icons\\Qmark.gif");
}

QString OwnAppsController::previewPicture(const OwnAppSlot &values) const
{
    return values.name == OwnAppSlot::unusedName() ? placeholderPicture() : resolved(values.icon);
}

QString OwnAppsController::storedPath(const QString &file) const
{
    const QString absolute = QFileInfo(file).absoluteFilePath();
    const QString relative = QDir(m_folder.root()).relativeFilePath(absolute);
    // Another drive, or a way up with "..", is outside.
    return QDir::toNativeSeparators(staysBelowFolder(relative, RelativePath::Option::NamesFile) ? relative : absolute);
}

QString OwnAppsController::programFile(const QString &commandLine) const
{
    const CommandLine split = CommandLine::split(commandLine, [this](const QString &p) { return isFile(p); });
    return split.programFound ? resolved(split.program) : QString();
}

ProcessStart OwnAppsController::processFor(const QString &commandLine) const
{
    const CommandLine split = CommandLine::split(commandLine, [this](const QString &p) { return isFile(p); });
    // The program inherits the launcher's current folder, as a program started from the launcher's own
    // command line would.
    return {split.programFound ? resolved(split.program) : split.program, split.arguments, QDir::currentPath(),
            WindowStyle::Normal};
}

// ---------------------------------------------------------------------------------------------
// Drive letters

void OwnAppsController::readWorkingCopies()
{
    for (int slot = 0; slot < OwnAppSlot::Count; ++slot) {
        m_copies[slot] = {value(OwnAppSlot::pathKey(slot)), value(OwnAppSlot::iconKey(slot))};
    }
}

void OwnAppsController::recordDriveLetters()
{
    m_newDrive = m_folder.volumeRoot();
    readWorkingCopies();
    // Written only when it changed, so a start from the same drive leaves the file alone.
    if (m_settings.value(driveSection, newDriveKey) != m_newDrive) {
        write(driveSection, newDriveKey, m_newDrive);
    }
    m_oldDrive = m_settings.value(driveSection, oldDriveKey);
    if (m_oldDrive.isEmpty()) {
        write(driveSection, oldDriveKey, m_newDrive);
        m_oldDrive = m_settings.value(driveSection, oldDriveKey);
    }
}

void OwnAppsController::adjustDriveLetters()
{
    if (m_newDrive.isEmpty()) {
        return;
    }
    // Read afresh: the editor or a hand edit may have changed the settings since start-up, and what
    // is written back must not undo that.
    readWorkingCopies();
    const DriveMove move(m_oldDrive, m_newDrive, [this](const QString &p) { return isFile(p); });
    const QString &section = OwnAppSlot::section();
    int movedPaths = 0;
    for (int slot = 0; slot < OwnAppSlot::Count; ++slot) {
        WorkingCopy &copy = m_copies[slot];
        if (copy.path != OwnAppSlot::unusedPath()) {
            const QString moved = move.commandLine(copy.path);
            if (moved != copy.path && write(section, OwnAppSlot::pathKey(slot), moved)) {
                copy.path = moved;
                ++movedPaths;
            }
        }
        if (copy.icon != OwnAppSlot::unusedIcon()) {
            const QString moved = move.file(copy.icon);
            if (moved != copy.icon && write(section, OwnAppSlot::iconKey(slot), moved)) {
                copy.icon = moved;
                ++movedPaths;
            }
        }
    }
    const QString from = m_oldDrive;
    if (!DriveMove::sameDrive(m_oldDrive, m_newDrive)) {
        write(driveSection, oldDriveKey, m_newDrive);
        m_oldDrive = m_settings.value(driveSection, oldDriveKey);
        showSlots();
    }
    reportAdjustment(movedPaths, from, m_newDrive);
}

void OwnAppsController::reportAdjustment(int moved, const QString &from, const QString &to)
{
    QString text;
    if (moved == 0) {
        text = m_texts.text(u"MsgDriveNothing");
    } else if (moved == 1) {
        text = m_texts.text(u"MsgDriveMovedOne").arg(from, to);
    } else {
        text = m_texts.text(u"MsgDriveMoved").arg(QString::number(moved), from, to);
    }
    m_view.showReport(Product::LauncherName.toString(), text);
}

} // namespace Trivet
