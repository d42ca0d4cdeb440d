#include "launcher/upkeep/ProgramActions.h"

#include "common/platform/BackgroundTasks.h"
#include "common/product/Product.h"
#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/install/InstallRecord.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

Q_LOGGING_CATEGORY(lcActions, "trivet.actions")

const QString programTitle = Product::LauncherName.toString();

} // namespace

QList<OfferedAction> offeredActions(const ProgramFacts &facts)
{
    using A = ProgramAction;
    if (facts.busy) {
        return {{A::Start, false}};
    }
    if (facts.kind == InstallKind::SelfExtracting || facts.kind == InstallKind::AntiVir) {
        return {{A::Start, true}, {A::OpenFolder, facts.folderExists}};
    }
    QList<OfferedAction> offered{{A::Start, true}};
    if (facts.outdated) {
        offered.append({A::Update, !facts.offline});
    }
    // A program that is not there is installed by Start.
    offered.append({A::Reinstall, !facts.offline && facts.present});
    offered.append({A::CheckFiles, facts.recorded});
    offered.append({A::OpenFolder, facts.folderExists});
    offered.append({A::Remove, facts.present});
    return offered;
}

QStringView actionTextKey(ProgramAction action)
{
    switch (action) {
    case ProgramAction::Start:
        return u"mnuProgStart";
    case ProgramAction::Update:
        return u"mnuProgUpdate";
    case ProgramAction::Reinstall:
        return u"mnuProgReinstall";
    case ProgramAction::CheckFiles:
        return u"mnuProgCheck";
    case ProgramAction::OpenFolder:
        return u"mnuProgOpenFolder";
    case ProgramAction::Remove:
        return u"mnuProgRemove";
    }
    return {};
}

ProgramActions::ProgramActions(const AppFolder &folder, const IniFile &settings, const LanguageTexts &texts,
                               LaunchController &launcher, ProgramActionsView &view, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_settings(settings)
    , m_texts(texts)
    , m_launcher(launcher)
    , m_view(view)
    , m_tasks(new BackgroundTasks(u"removal"_s, this))
{
}

ProgramActions::~ProgramActions() = default;

QString ProgramActions::programFolder(const CatalogueEntry &entry) const
{
    const EntryPaths paths = Catalogue::resolvePaths(entry, m_folder, m_settings, Phase::Launch);
    return paths.executable.isEmpty() ? QString() : QFileInfo(paths.executable).absolutePath();
}

ProgramFacts ProgramActions::facts(const CatalogueEntry &entry) const
{
    const QString id = entry.id.toString();
    ProgramFacts facts;
    facts.kind = entry.kind;
    facts.busy = m_launcher.isBusy(id) || m_removing.contains(id);
    facts.offline = m_launcher.isOffline();
    facts.present = m_launcher.isPresent(entry);
    facts.recorded = QFileInfo(installRecordPath(m_folder.root(), id)).isFile();
    facts.outdated = m_launcher.isOutdated(id);
    // A program kept directly in the portable folder has no folder of its own: the portable folder is opened
    // for it only while it is there.
    const QString folder = programFolder(entry);
    const bool ownFolder = QDir(folder) != QDir(m_folder.root());
    facts.folderExists = !folder.isEmpty() && QFileInfo(folder).isDir() && (ownFolder || facts.present);
    return facts;
}

QList<OfferedAction> ProgramActions::offered(int tab, int slot) const
{
    const CatalogueEntry *entry = Catalogue::entryAt(tab, slot);
    return entry ? offeredActions(facts(*entry)) : QList<OfferedAction>();
}

void ProgramActions::trigger(int tab, int slot, ProgramAction action)
{
    const CatalogueEntry *entry = Catalogue::entryAt(tab, slot);
    // The menu may have stood open while a download began or a program went.
    const QList<OfferedAction> now = offered(tab, slot);
    if (!entry || !now.contains(OfferedAction{action, true})) {
        qCInfo(lcActions) << "menu action" << int(action) << "no longer applies to" << tab << slot;
        return;
    }
    const QString id = entry->id.toString();
    switch (action) {
    case ProgramAction::Start:
        m_launcher.launch(tab, slot);
        break;
    case ProgramAction::Update:
    case ProgramAction::Reinstall:
        static_cast<void>(m_launcher.reinstall(id));
        break;
    case ProgramAction::CheckFiles:
        emit checkFilesRequested(id);
        break;
    case ProgramAction::OpenFolder:
        openFolder(*entry);
        break;
    case ProgramAction::Remove:
        remove(*entry);
        break;
    }
}

void ProgramActions::openFolder(const CatalogueEntry &entry)
{
    const QString folder = programFolder(entry);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
        qCInfo(lcActions) << "the desktop did not open" << folder;
        m_view.tell(CatalogueView::MessageKind::Warning, programTitle,
                    m_texts.text(u"errOpenFailed").replace(u"%1"_s, QDir::toNativeSeparators(folder)));
    }
}

QString ProgramActions::caption(const CatalogueEntry &entry) const
{
    const QString caption = m_settings.value(Catalogue::ApplicationsSection, entry.captionKey);
    return caption.isEmpty() ? entry.name.toString() : caption;
}

void ProgramActions::remove(const CatalogueEntry &entry)
{
    const QString id = entry.id.toString();
    const QString root = m_folder.root();
    // Refused before the question: asking first and refusing after would waste the user's answer.
    if (const RemovalResult refused = ProgramRemoval(root).check(id); refused.status != RemovalStatus::Removed) {
        reportRemoval(entry, refused);
        return;
    }
    if (!m_view.confirm(programTitle, m_texts.text(u"MsgRemoveAsk").replace(u"%1"_s, caption(entry)))) {
        return;
    }
    m_removing.insert(id);
    m_tasks->run([root, id](const std::atomic_bool &) { return ProgramRemoval(root).remove(id); },
                 [this, entry = &entry](const RemovalResult &result) {
                     m_removing.remove(entry->id.toString());
                     m_launcher.checkPresence(entry->tab);
                     reportRemoval(*entry, result);
                 });
}

void ProgramActions::reportRemoval(const CatalogueEntry &entry, const RemovalResult &result)
{
    using Kind = CatalogueView::MessageKind;
    const QString name = caption(entry);
    const auto text = [this, &name](QStringView key) { return m_texts.text(key).replace(u"%1"_s, name); };
    const auto listed = [](const QStringList &paths) {
        QStringList lines;
        for (const QString &path : paths) {
            lines.append(QDir::toNativeSeparators(path));
        }
        return lines.join(u'\n');
    };
    switch (result.status) {
    case RemovalStatus::Removed:
        if (result.kept.isEmpty()) {
            m_view.tell(Kind::Information, programTitle, text(u"MsgRemoved"));
        } else {
            m_view.tell(Kind::Information, programTitle, text(u"MsgRemovedKept") + u'\n' + listed(result.kept));
        }
        break;
    case RemovalStatus::Incomplete:
        m_view.tell(Kind::Warning, programTitle, text(u"errRemoveFailed") + u'\n' + listed(result.failed));
        break;
    case RemovalStatus::NoRecord:
        m_view.tell(Kind::Warning, programTitle, text(u"errRemoveNoRecord"));
        break;
    case RemovalStatus::BadRecord:
        m_view.tell(Kind::Warning, programTitle, text(u"errRemoveBadRecord") + u'\n' + result.detail);
        break;
    case RemovalStatus::Running:
        m_view.tell(Kind::Warning, programTitle, text(u"errRemoveRunning"));
        break;
    }
    emit removalFinished(entry.id.toString(), result.status);
}

} // namespace Trivet
