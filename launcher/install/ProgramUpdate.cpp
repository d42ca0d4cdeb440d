#include "launcher/install/ProgramUpdate.h"

#include "launcher/install/RecordedFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

const QString AsideSuffix = u".new"_s;

} // namespace

ProgramUpdate::ProgramUpdate(QString appRoot, InstallRecord previous, QList<InstallRecord> others)
    : m_appRoot(std::move(appRoot))
    , m_previous(std::move(previous))
    , m_others(std::move(others))
{
}

std::optional<ProgramUpdate> ProgramUpdate::forEntry(const QString &appRoot, const QString &entry)
{
    const QString file = installRecordPath(appRoot, entry);
    if (!QFileInfo::exists(file)) {
        return std::nullopt;
    }
    InstallRecordRead read = readInstallRecord(appRoot, file);
    if (!read.record) {
        // An unreadable record says nothing safe about the files: installed over as a first install.
        return std::nullopt;
    }
    QList<InstallRecord> others = readInstallRecords(appRoot);
    others.removeIf([&entry](const InstallRecord &record) { return record.entry == entry; });
    return ProgramUpdate(appRoot, std::move(*read.record), std::move(others));
}

StagedChanges ProgramUpdate::plan(const QString &destination, const QList<PlacedFile> &staged)
{
    const QDir root(m_appRoot);
    const QString below = QDir::cleanPath(QFileInfo(destination).absoluteFilePath());
    const auto rootRelative = [&](const QString &path) {
        return QDir::cleanPath(root.relativeFilePath(below + u'/' + path));
    };
    const auto destinationRelative = [&](const QString &path) {
        return QDir(below).relativeFilePath(root.filePath(path));
    };

    QHash<QString, FileState> previous;
    for (const PlacedFile &file : std::as_const(m_previous.files)) {
        previous.insert(file.path, recordedFileState(m_appRoot, file));
    }
    StagedChanges changes;
    QSet<QString> arriving; // what the package will have placed, below the portable folder
    for (const PlacedFile &file : staged) {
        const QString path = rootRelative(file.path);
        const bool changed = previous.value(path, FileState::Unchanged) == FileState::Changed;
        const bool keptBefore = !previous.contains(path) && previous.contains(path + AsideSuffix) &&
                                QFileInfo(root.filePath(path)).exists();
        if (changed || keptBefore) {
            changes.keepAside.append(file.path);
            m_kept.changed.append(path);
            arriving.insert(path + AsideSuffix);
        } else {
            arriving.insert(path);
        }
    }
    const QHash<QString, QStringList> shared = filesOwnedBy(m_others);
    for (const PlacedFile &file : std::as_const(m_previous.files)) {
        if (arriving.contains(file.path) || m_kept.changed.contains(file.path) || shared.contains(file.path)) {
            continue;
        }
        const QString inDestination = destinationRelative(file.path);
        if (inDestination.startsWith(u"../"_s)) {
            continue; // placed elsewhere by an earlier package; this one does not reach there
        }
        switch (previous.value(file.path)) {
        case FileState::Unchanged:
            changes.remove.append(inDestination);
            break;
        case FileState::Changed:
            m_kept.noLonger.append(file.path);
            break;
        case FileState::Missing:
            break;
        }
    }
    return changes;
}

} // namespace Trivet
