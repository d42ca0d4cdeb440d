#pragma once

#include "common/platform/AppFolder.h"
#include "launcher/install/ProgramRunner.h"
#include "launcher/ownapps/OwnAppSlot.h"

#include <QObject>
#include <QString>
#include <array>
#include <memory>

namespace Trivet {

class IniFile;
class LanguageTexts;
class OwnAppsView;
class ProcessStarter;
struct ProcessStart;

// The user's own programs: what their slots show, what a click starts, what the editor saves, and how
// their paths follow the stick to another drive. It reads and writes section [MyOwnApps] through the
// settings document the window holds and shows the slots through an OwnAppsView, so it runs without a
// window. A click on a slot not in use asks for the editor on that slot; a slot whose program did not start
// says which path failed and why, and offers the editor, since the fix is there. A Windows program on a
// system without Wine is explained as every start explains it.
class OwnAppsController final : public QObject
{
    Q_OBJECT

public:
    // The paths the drive adjustment works on: the program and the icon of each slot.
    struct WorkingCopy
    {
        QString path;
        QString icon;
    };

    enum class SaveOutcome { Saved, Incomplete, NotWritten };

    OwnAppsController(const AppFolder &folder, IniFile &settings, const LanguageTexts &texts,
                      std::shared_ptr<ProcessStarter> processes, OwnAppsView &view, QObject *parent = nullptr);

    // At start-up: notes the drive the launcher runs from in [USBDriveLetter] (NewDriveLetter always,
    // OldDriveLetter when there is none yet) and takes the working copies of the paths.
    void recordDriveLetters();
    // Fills the slots from the settings: pictures, names, and for a slot not in use the question mark
    // without a tool tip.
    void showSlots();
    // Starts the slot's program as the settings hold it now, so an edit by hand counts at the next click.
    void launch(int slot);
    // Points every path that lay on the drive of the last adjustment to the drive the launcher runs from
    // now, saves them, refreshes the slots when the drive changed, and reports how many paths moved.
    void adjustDriveLetters();

    OwnAppSlot slot(int slot) const;
    // Writes the slot when all three texts are there, and shows its name and picture.
    SaveOutcome save(int slot, const OwnAppSlot &values);

    // The picture the editor previews for values: the question mark for a slot still named as unused.
    QString previewPicture(const OwnAppSlot &values) const;
    // How the settings keep the path of a file on the stick: relative to the application folder when it lies
    // below it, so it stays right on any drive; otherwise absolute. Native separators either way.
    QString storedPath(const QString &file) const;
    // The file a command line starts, when it names an existing one; otherwise empty.
    QString programFile(const QString &commandLine) const;
    // How a command line is started.
    ProcessStart processFor(const QString &commandLine) const;

    QString currentDrive() const { return m_newDrive; }
    QString lastAdjustedDrive() const { return m_oldDrive; }
    const std::array<WorkingCopy, OwnAppSlot::Count> &workingCopies() const { return m_copies; }

signals:
    // The user should see the editor, on this slot.
    void editorRequested(int slot);

private:
    QString value(const QString &key) const;
    bool write(const QString &section, const QString &key, const QString &value);
    void readWorkingCopies();
    void showSlot(int slot);
    // Why program, which the starter could not start, did not start, in the user's words; and the editor.
    void explainFailedStart(int slot, const QString &program);
    void reportAdjustment(int moved, const QString &from, const QString &to);
    // A path as written, or below the application folder when it is relative and names something there.
    QString resolved(const QString &path) const;
    bool isFile(const QString &path) const;
    QString placeholderPicture() const;

    AppFolder m_folder;
    IniFile &m_settings;
    const LanguageTexts &m_texts;
    OwnAppsView &m_view;
    ProgramRunner m_runner;
    std::array<WorkingCopy, OwnAppSlot::Count> m_copies;
    QString m_newDrive;
    QString m_oldDrive;
};

} // namespace Trivet
