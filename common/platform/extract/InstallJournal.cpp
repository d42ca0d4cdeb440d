#include "common/platform/extract/InstallJournal.h"

#include "common/platform/DiskFlush.h"
#include "common/platform/ExtractorLogging.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QSaveFile>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace Trivet::Extract {

namespace {

constexpr QByteArrayView Header = "trivet-install 1";
constexpr QByteArrayView End = "end";

// Member names may hold any byte but '/' and NUL, line ends included; encoded, each path is one plain word.
QByteArray encoded(const fs::path &path)
{
    const std::u8string bytes = path.generic_u8string();
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())).toPercentEncoding();
}

fs::path decoded(QByteArrayView word)
{
    const QByteArray bytes = QByteArray::fromPercentEncoding(word.toByteArray());
    return fs::path(std::u8string(reinterpret_cast<const char8_t *>(bytes.constData()), std::size_t(bytes.size())))
        .make_preferred();
}

// Relative to the journal's folder where that can be said (always, for the launcher's own work folder).
fs::path stored(const fs::path &path, const fs::path &folder)
{
    const fs::path relative = path.lexically_relative(folder);
    return relative.empty() ? path : relative;
}

bool present(const fs::path &path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

} // namespace

InstallJournal::InstallJournal(fs::path file, fs::path destination, fs::path staging, fs::path backup,
                               bool createsDestination, std::vector<Step> steps)
    : m_file(std::move(file))
    , m_destination(std::move(destination))
    , m_staging(std::move(staging))
    , m_backup(std::move(backup))
    , m_createsDestination(createsDestination)
    , m_steps(std::move(steps))
{
}

std::optional<InstallJournal> InstallJournal::read(const fs::path &file)
{
    QFile in(QString::fromStdU16String(file.u16string()));
    if (!in.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QList<QByteArray> lines = in.readAll().split('\n');
    if (lines.size() < 6 || lines.first() != Header || !lines.contains(End.toByteArray())) {
        return std::nullopt;
    }
    const fs::path folder = file.parent_path();
    fs::path destination;
    fs::path staging;
    fs::path backup;
    bool creates = false;
    std::vector<Step> steps;
    for (const QByteArray &line : lines.mid(1)) {
        if (line == End) {
            break;
        }
        const qsizetype blank = line.indexOf(' ');
        const QByteArrayView key = QByteArrayView(line).first(blank < 0 ? line.size() : blank);
        const QByteArrayView value = blank < 0 ? QByteArrayView() : QByteArrayView(line).sliced(blank + 1);
        if (key == "destination") {
            destination = (folder / decoded(value)).lexically_normal();
        } else if (key == "staging") {
            staging = folder / decoded(value);
        } else if (key == "backup") {
            backup = value.isEmpty() ? fs::path() : folder / decoded(value);
        } else if (key == "created") {
            creates = value == "1";
        } else if (key == "replace" || key == "new" || key == "remove") {
            steps.push_back({decoded(value), key == "replace", key == "remove"});
        } else {
            return std::nullopt;
        }
    }
    // A journal naming no destination or staging folder could only send an undo somewhere it does not belong.
    if (destination.empty() || staging.empty() || (backup.empty() && std::ranges::any_of(steps, &Step::keepsOld))) {
        return std::nullopt;
    }
    return InstallJournal(file, destination, staging, backup, creates, std::move(steps));
}

bool InstallJournal::write() const
{
    const fs::path folder = m_file.parent_path();
    QByteArray text = Header.toByteArray() + '\n';
    text += "destination " + encoded(stored(m_destination, folder)) + '\n';
    text += "staging " + encoded(stored(m_staging, folder)) + '\n';
    text += "backup " + (m_backup.empty() ? QByteArray() : encoded(stored(m_backup, folder))) + '\n';
    text += "created "_ba + (m_createsDestination ? '1' : '0') + '\n';
    for (const Step &step : m_steps) {
        text += (step.removes ? "remove " : step.replaces ? "replace " : "new ") + encoded(step.relative) + '\n';
    }
    text += End.toByteArray() + '\n';

    QSaveFile out(QString::fromStdU16String(m_file.u16string()));
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
        qCWarning(lcExtract) << "cannot write the journal" << shown(m_file) << out.errorString();
        return false;
    }
    return flushVolume(folder);
}

bool InstallJournal::remove() const
{
    std::error_code error;
    fs::remove(m_file, error);
    if (error) {
        qCWarning(lcExtract) << "cannot remove the journal" << shown(m_file) << systemError(error);
        return false;
    }
    // Before anything it points at goes: a journal that reappeared after a pulled stick would undo a
    // finished install whose backups are gone.
    return flushVolume(m_file.parent_path());
}

fs::path InstallJournal::awaitingMark() const
{
    fs::path mark = m_file;
    mark += AwaitingSuffix;
    return mark;
}

bool InstallJournal::markAwaiting() const
{
    QFile mark(QString::fromStdU16String(awaitingMark().u16string()));
    if (!mark.open(QIODevice::WriteOnly)) {
        qCWarning(lcExtract) << "cannot write" << shown(awaitingMark()) << mark.errorString();
        return false;
    }
    mark.close();
    return flushVolume(m_file.parent_path());
}

bool InstallJournal::isAwaiting() const
{
    return present(awaitingMark());
}

bool InstallJournal::removeAwaitingMark() const
{
    std::error_code error;
    fs::remove(awaitingMark(), error);
    if (error) {
        qCWarning(lcExtract) << "cannot remove" << shown(awaitingMark()) << systemError(error);
        return false;
    }
    // Gone for good before anything is undone: an undo interrupted now must be finished at the next start,
    // not left waiting for a confirmation that cannot come.
    return flushVolume(m_file.parent_path());
}

void InstallJournal::removeRemains() const
{
    std::error_code error;
    for (const fs::path &path : {m_file, awaitingMark(), m_staging, m_backup}) {
        if (!path.empty()) {
            fs::remove_all(path, error);
        }
    }
}

bool InstallJournal::undo() const
{
    bool restored = true;
    for (std::size_t step = m_steps.size(); step-- > 0;) {
        const fs::path target = this->target(step);
        std::error_code error;
        if (m_steps[step].keepsOld()) {
            // The backup is there from the first half of the step until it is undone.
            const fs::path backup = backupOf(step);
            if (!present(backup)) {
                continue;
            }
            // A second name of the old file that is still in place: the step never got further.
            if (isSameFile(backup, target)) {
                continue;
            }
            // A file is replaced by the rename itself, so the name never stands empty; only a folder in the way
            // goes first. Also after a failed removal: renaming back over what is left may still succeed.
            if (fs::symlink_status(target, error).type() == fs::file_type::directory) {
                fs::remove_all(target, error);
            }
            renameOver(backup, target, error);
        } else if (!present(source(step)) && present(target)) {
            // Moved in from staging: the step was done.
            fs::remove_all(target, error);
        }
        if (error) {
            qCCritical(lcExtract) << "cannot restore" << shown(target) << systemError(error);
            restored = false;
        }
    }
    if (m_createsDestination && present(m_destination)) {
        std::error_code error;
        // Only while empty: anything else in it was not put there by this install.
        fs::remove(m_destination, error);
    }
    // Restored only once on the disk; until then the journal is needed to do it again.
    return restored && flushVolume(m_destination.parent_path());
}

void copyDurably(const fs::path &from, const fs::path &to, std::error_code &error)
{
    // Copied under another name and renamed when whole: an undo takes a file under the final name for the
    // complete old file, and a copy cut off by a kill must never pass for one.
    fs::path partial = to;
    partial += ".part";
    fs::copy_file(from, partial, fs::copy_options::overwrite_existing, error);
    if (error) {
        return;
    }
    QFile copy(QString::fromStdU16String(partial.u16string()));
    if (!copy.open(QIODevice::ReadWrite)) {
        error = std::make_error_code(std::errc::io_error);
        return;
    }
    if (const int code = flushFileData(copy.handle()); code != 0) {
#if defined(Q_OS_WIN)
        error = std::error_code(code, std::system_category());
#else
        error = std::error_code(code, std::generic_category());
#endif
        return;
    }
    copy.close();
    renameOver(partial, to, error);
}

bool flushVolume(const fs::path &path)
{
#if defined(Q_OS_LINUX)
    const int folder = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 || ::syncfs(folder) != 0) {
        const std::error_code error(errno, std::generic_category());
        qCWarning(lcExtract) << "cannot flush" << shown(path) << systemError(error);
        if (folder >= 0) {
            ::close(folder);
        }
        return false;
    }
    ::close(folder);
    return true;
#elif defined(Q_OS_UNIX)
    // sync() tells of no failure.
    Q_UNUSED(path)
    ::sync();
    return true;
#else
    // Flushing a whole volume on Windows takes administrator rights, which a launcher on a stick does not have.
    // What can be flushed without them is: every file and the journal were flushed one by one as they were
    // written, every rename was written through before it returned, and the folder's own entries are flushed
    // here. A file system that cannot flush a folder (or will not open one for it) leaves that last part to
    // the written-through renames; any other failure is one.
    switch (const int code = flushFolderEntries(path)) {
    case 0:
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_ACCESS_DENIED:
        return true;
    default:
        qCWarning(lcExtract) << "cannot flush" << shown(path)
                             << systemError(std::error_code(code, std::system_category()));
        return false;
    }
#endif
}

bool confirmInstall(const fs::path &file)
{
    const std::optional<InstallJournal> journal = InstallJournal::read(file);
    if (!journal) {
        return false;
    }
    // The commit point, as for an install that needs no confirmation.
    if (!journal->remove()) {
        return false;
    }
    journal->removeRemains();
    return true;
}

bool takeBackInstall(const fs::path &file)
{
    const std::optional<InstallJournal> journal = InstallJournal::read(file);
    if (!journal || !journal->removeAwaitingMark() || !journal->undo()) {
        return false;
    }
    journal->remove();
    journal->removeRemains();
    return true;
}

std::vector<fs::path> recoverInstalls(const fs::path &folder, AwaitingInstall awaiting)
{
    std::vector<fs::path> kept;
    std::error_code error;
    std::vector<fs::path> journals;
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        if (it->path().extension() == InstallJournal::Suffix && it->is_regular_file(error)) {
            journals.push_back(it->path());
        }
    }
    for (const fs::path &file : journals) {
        const std::optional<InstallJournal> journal = InstallJournal::read(file);
        if (journal && journal->isAwaiting()) {
            if (awaiting == AwaitingInstall::Keep) {
                kept.insert(kept.end(), {file, fs::path(file).concat(InstallJournal::AwaitingSuffix),
                                         journal->staging(), journal->backup()});
                continue;
            }
            if (awaiting == AwaitingInstall::Confirm) {
                qCInfo(lcExtract) << "confirmed the install into" << shown(journal->destination());
                if (!confirmInstall(file)) {
                    kept.insert(kept.end(), {file, journal->staging(), journal->backup()});
                }
                continue;
            }
            if (!journal->removeAwaitingMark()) {
                kept.insert(kept.end(), {file, fs::path(file).concat(InstallJournal::AwaitingSuffix),
                                         journal->staging(), journal->backup()});
                continue;
            }
        }
        if (journal && !journal->undo()) {
            qCCritical(lcExtract) << "an interrupted install could not be taken back completely; kept" << shown(file);
            kept.insert(kept.end(), {file, journal->staging(), journal->backup()});
            continue;
        }
        if (journal) {
            qCInfo(lcExtract) << "took back the interrupted install into" << shown(journal->destination());
        }
        fs::remove(file, error);
    }
    // The journals are gone for good before the caller removes the folders they named. Should the flush fail,
    // a journal that comes back finds its steps undone already, and an undo of an undone step changes nothing.
    if (!journals.empty() && !flushVolume(folder)) {
        qCWarning(lcExtract) << "the removal of the taken back journals may not be on the disk";
    }
    return kept;
}

} // namespace Trivet::Extract
