#pragma once

#include "common/platform/AppFolder.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/CatalogueView.h"
#include "launcher/upkeep/ProgramRemoval.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringView>

namespace Trivet {

class BackgroundTasks;
class IniFile;
class LanguageTexts;
class LaunchController;

// What the menu of a catalogue icon can do with its program, in the menu's order.
enum class ProgramAction { Start, Update, Reinstall, CheckFiles, OpenFolder, Remove };

struct OfferedAction
{
    ProgramAction action = ProgramAction::Start;
    bool enabled = true;

    bool operator==(const OfferedAction &) const = default;
};

// What decides which actions a program's menu offers.
struct ProgramFacts
{
    InstallKind kind = InstallKind::Unzip;
    bool busy = false;         // being fetched or unpacked
    bool offline = false;      // nothing can be fetched
    bool present = false;      // the program is on the stick
    bool recorded = false;     // its install left a record of its files
    bool outdated = false;     // the settings name a newer package than the one installed
    bool folderExists = false; // the program's folder is there to be opened
};

// The actions offered for a program, with whether each can be chosen now. A program being fetched or unpacked
// offers only a disabled Start; one whose package unpacks itself, and AntiVir, whose files the launcher moves
// and whose definitions change daily, offer Start and Open Folder only.
QList<OfferedAction> offeredActions(const ProgramFacts &facts);

// The language key of an action's menu item.
QStringView actionTextKey(ProgramAction action);

// What the icon menu's owner shows besides the menu: the question before a removal, and what came of it.
class ProgramActionsView
{
public:
    virtual ~ProgramActionsView() = default;
    // A Yes/No question whose default is No; true for Yes.
    virtual bool confirm(const QString &title, const QString &text) = 0;
    virtual void tell(CatalogueView::MessageKind kind, const QString &title, const QString &text) = 0;
};

// The menu of a catalogue icon: which actions apply to its program now, and doing the one chosen. Start,
// Update and Reinstall go to the LaunchController, Check Files to whoever shows the check, Open Folder to the
// desktop's file manager, and Remove from Stick to a ProgramRemoval off the window's thread.
class ProgramActions final : public QObject
{
    Q_OBJECT

public:
    ProgramActions(const AppFolder &folder, const IniFile &settings, const LanguageTexts &texts,
                   LaunchController &launcher, ProgramActionsView &view, QObject *parent = nullptr);
    ~ProgramActions() override;

    // The folder that holds the entry's program; empty when the settings name none.
    QString programFolder(const CatalogueEntry &entry) const;
    ProgramFacts facts(const CatalogueEntry &entry) const;
    // Empty outside the catalogue.
    QList<OfferedAction> offered(int tab, int slot) const;
    // Does what the menu item stands for; an action the menu would not offer now does nothing.
    void trigger(int tab, int slot, ProgramAction action);

signals:
    void checkFilesRequested(const QString &id);
    // A removal ended, whatever came of it, and its message was shown.
    void removalFinished(const QString &id, Trivet::RemovalStatus status);

private:
    void openFolder(const CatalogueEntry &entry);
    void remove(const CatalogueEntry &entry);
    void reportRemoval(const CatalogueEntry &entry, const RemovalResult &result);
    QString caption(const CatalogueEntry &entry) const;

    AppFolder m_folder;
    const IniFile &m_settings;
    const LanguageTexts &m_texts;
    LaunchController &m_launcher;
    ProgramActionsView &m_view;
    BackgroundTasks *m_tasks;
    QSet<QString> m_removing; // entries whose removal runs
};

} // namespace Trivet
