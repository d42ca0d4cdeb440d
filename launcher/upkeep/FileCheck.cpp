#include "launcher/upkeep/FileCheck.h"

#include "common/download/ProgressText.h"
#include "common/platform/BackgroundTasks.h"
#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/install/RecordedFiles.h"

#include <QFileInfo>
#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

// How often the view hears how far a check has come.
constexpr int progressInterval = 100; // ms

} // namespace

FileCheck::FileCheck(const AppFolder &folder, const IniFile &settings, const LanguageTexts &texts, FileCheckView &view,
                     QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_settings(settings)
    , m_texts(texts)
    , m_view(view)
    , m_tasks(new BackgroundTasks(u"FileCheck"_s, this))
{
    m_progressTimer.setInterval(progressInterval);
    connect(&m_progressTimer, &QTimer::timeout, this, &FileCheck::showProgress);
}

FileCheck::~FileCheck()
{
    // The reading stops before its next file; the tasks then wait for it.
    if (m_progress) {
        m_progress->cancelled.store(true);
    }
}

void FileCheck::setReinstaller(std::function<bool(const QString &)> reinstall)
{
    m_reinstall = std::move(reinstall);
}

void FileCheck::checkAll()
{
    if (!m_checking && !isRepairing()) {
        m_results.clear();
        start(QString());
    }
}

void FileCheck::checkProgram(const QString &id)
{
    if (!m_checking && !isRepairing() && !id.isEmpty()) {
        m_results.clear();
        start(id);
    }
}

void FileCheck::cancel()
{
    m_cancelled = true;
    if (m_progress) {
        m_progress->cancelled.store(true);
    }
}

void FileCheck::start(const QString &only)
{
    m_checking = true;
    m_only = only;
    if (m_rechecking.isEmpty()) {
        m_cancelled = false;
    }
    m_progress = std::make_shared<Progress>();
    m_records.clear();
    m_totalBytes = 0;
    m_totalFiles = 0;
    m_view.enableCheckButtons(true, false);
    m_view.showCheckProgress(0, 0, QString());
    const QString root = m_folder.root();
    m_tasks->run(
        [root, only](const std::atomic_bool &) {
            Records read;
            if (only.isEmpty()) {
                read.records = readInstallRecords(root, &read.refusals);
                return read;
            }
            const QString path = installRecordPath(root, only);
            if (!QFileInfo::exists(path)) {
                return read;
            }
            const InstallRecordRead one = readInstallRecord(root, path);
            if (one.record) {
                read.records.append(*one.record);
            } else {
                read.refusals.append(QFileInfo(path).fileName() + u": "_s + one.refusal);
            }
            return read;
        },
        [this](Records read) { compare(std::move(read)); });
}

void FileCheck::compare(Records read)
{
    QList<ProgramCheck> refused;
    for (const QString &refusal : std::as_const(read.refusals)) {
        // "OFF-6.record: line 7: …": the entry is the record's name.
        const qsizetype colon = refusal.indexOf(u": "_s);
        ProgramCheck check;
        check.entry = QFileInfo(refusal.left(colon)).completeBaseName();
        check.refusal = refusal.mid(colon + 2);
        refused.append(check);
    }
    m_results.append(refused);
    if (read.records.isEmpty()) {
        finish({});
        return;
    }
    m_records = read.records;
    for (const InstallRecord &record : std::as_const(m_records)) {
        m_totalFiles += int(record.files.size());
        for (const PlacedFile &file : record.files) {
            m_totalBytes += file.size;
        }
    }
    showProgress();
    m_progressTimer.start();
    const QString root = m_folder.root();
    m_tasks->run(
        [root, records = m_records, progress = m_progress](const std::atomic_bool &stop) {
            QList<ProgramCheck> found;
            for (int index = 0; index < records.size() && !progress->cancelled.load(); ++index) {
                const InstallRecord &record = records.at(index);
                progress->program.store(index);
                qsizetype next = 0;
                // The bar counts the recorded sizes, so it ends full although missing files have no bytes.
                const QList<CheckedFile> files = checkRecordedFiles(root, record, &progress->cancelled, [&](qint64) {
                    progress->bytes += record.files.at(next++).size;
                    ++progress->files;
                    if (stop.load()) {
                        progress->cancelled.store(true);
                    }
                });
                ProgramCheck check;
                check.entry = record.entry;
                check.fileCount = int(record.files.size());
                check.checkedCount = int(files.size());
                for (const CheckedFile &file : files) {
                    if (file.state == FileState::Missing) {
                        check.missing.append(file.path);
                    } else if (file.state == FileState::Changed) {
                        check.changed.append(file.path);
                    }
                }
                found.append(check);
            }
            return found;
        },
        [this](const QList<ProgramCheck> &found) { finish(found); });
}

void FileCheck::finish(const QList<ProgramCheck> &found)
{
    m_progressTimer.stop();
    m_checking = false;
    m_results.append(found);
    std::stable_sort(m_results.begin(), m_results.end(),
                     [](const ProgramCheck &a, const ProgramCheck &b) { return a.entry < b.entry; });
    showProgress();

    if (!m_rechecking.isEmpty()) {
        // The program checked again after its reinstall takes its old place in the list; one whose files are
        // still not as installed (an install that kept the user's changes) was not repaired.
        const QString id = std::exchange(m_rechecking, QString());
        const bool stillBroken = std::any_of(m_results.cbegin(), m_results.cend(), [&id](const ProgramCheck &check) {
            return check.entry == id && (check.needsRepair() || !check.refusal.isEmpty());
        });
        if (stillBroken && !m_failedRepairs.contains(id)) {
            m_failedRepairs.append(id);
        }
        showResults();
        if (!m_repairs.isEmpty()) {
            m_repairs.removeFirst();
        }
        repairNext();
        return;
    }

    const QLocale locale = languageLocale(m_texts.current().fileName);
    if (m_cancelled) {
        m_view.showCheckStatus(
            text(u"lbCheckCancelled").arg(locale.toString(m_progress->files.load()), locale.toString(m_totalFiles)));
    } else if (m_results.isEmpty()) {
        m_view.showCheckStatus(m_only.isEmpty() ? text(u"lbCheckNone")
                                                : text(u"lbCheckNoRecord").arg(programName(m_only)));
    } else {
        m_view.showCheckStatus(
            text(u"lbCheckDone").arg(locale.toString(m_totalFiles), dataSizeText(m_totalBytes, locale)));
    }
    showResults();
    const bool broken = std::any_of(m_results.cbegin(), m_results.cend(),
                                    [](const ProgramCheck &check) { return check.needsRepair(); });
    m_view.enableCheckButtons(false, broken);
    emit checkFinished();
}

void FileCheck::showProgress()
{
    if (m_records.isEmpty()) {
        return;
    }
    const QLocale locale = languageLocale(m_texts.current().fileName);
    const qint64 bytes = m_progress->bytes.load();
    const int program = std::clamp(m_progress->program.load(), 0, int(m_records.size()) - 1);
    m_view.showCheckStatus(text(u"lbCheckProgress")
                               .arg(programName(m_records.value(program).entry), dataSizeText(bytes, locale),
                                    dataSizeText(m_totalBytes, locale)));
    m_view.showCheckProgress(
        bytes, m_totalBytes,
        text(u"lbCheckFileCount").arg(locale.toString(m_progress->files.load()), locale.toString(m_totalFiles)));
}

void FileCheck::showResults()
{
    const QLocale locale = languageLocale(m_texts.current().fileName);
    QList<FileCheckView::ProgramLines> lines;
    for (const ProgramCheck &check : std::as_const(m_results)) {
        const QString name = programName(check.entry);
        FileCheckView::ProgramLines program;
        if (!check.refusal.isEmpty()) {
            program.heading = text(u"lbCheckUnread").arg(name, check.refusal);
        } else if (!check.isComplete()) {
            program.heading = text(u"lbCheckPartial")
                                  .arg(name, locale.toString(check.checkedCount), locale.toString(check.fileCount));
        } else if (check.needsRepair()) {
            program.heading = text(u"lbCheckFaults")
                                  .arg(name, locale.toString(check.missing.size() + check.changed.size()),
                                       locale.toString(check.fileCount));
        } else {
            program.heading = text(u"lbCheckClean").arg(name, locale.toString(check.fileCount));
        }
        for (const QString &path : check.missing) {
            program.files.append(text(u"lbCheckMissing").arg(path));
        }
        for (const QString &path : check.changed) {
            program.files.append(text(u"lbCheckChanged").arg(path));
        }
        lines.append(program);
    }
    m_view.showCheckedPrograms(lines);
}

void FileCheck::repair()
{
    if (m_checking || isRepairing()) {
        return;
    }
    m_cancelled = false;
    m_failedRepairs.clear();
    for (const ProgramCheck &check : std::as_const(m_results)) {
        if (check.needsRepair()) {
            m_repairs.append(check.entry);
        }
    }
    if (m_repairs.isEmpty()) {
        return;
    }
    repairNext();
}

void FileCheck::repairNext()
{
    while (!m_repairs.isEmpty()) {
        const QString id = m_repairs.first();
        if (m_cancelled) {
            m_failedRepairs.append(m_repairs);
            m_repairs.clear();
            break;
        }
        m_view.enableCheckButtons(true, false);
        m_view.showCheckStatus(text(u"lbRepairing").arg(programName(id)));
        if (m_reinstall && m_reinstall(id)) {
            return; // installationFinished() goes on
        }
        m_failedRepairs.append(id);
        m_repairs.removeFirst();
    }
    QStringList names;
    for (const QString &id : std::as_const(m_failedRepairs)) {
        names.append(programName(id));
    }
    m_view.showCheckStatus(names.isEmpty() ? text(u"lbRepairDone") : text(u"lbRepairFailed").arg(names.join(u", "_s)));
    const bool broken = std::any_of(m_results.cbegin(), m_results.cend(),
                                    [](const ProgramCheck &check) { return check.needsRepair(); });
    m_view.enableCheckButtons(false, broken);
    emit repairFinished();
}

void FileCheck::installationFinished(const QString &id, bool ok)
{
    if (m_repairs.isEmpty() || m_repairs.first() != id || m_checking) {
        return;
    }
    if (!ok) {
        m_failedRepairs.append(id);
    }
    // What the install left is read again: its record is new, and its files may still not be as listed.
    m_results.removeIf([&id](const ProgramCheck &check) { return check.entry == id; });
    m_rechecking = id;
    start(id);
}

QString FileCheck::programName(const QString &entry) const
{
    const CatalogueEntry *catalogued = Catalogue::entryById(entry);
    if (!catalogued) {
        return entry;
    }
    // Named as the caption under its icon names it.
    const QString caption = m_settings.value(Catalogue::ApplicationsSection, catalogued->captionKey);
    return caption.isEmpty() ? catalogued->name.toString() : caption;
}

QString FileCheck::text(QStringView key) const
{
    return m_texts.text(key);
}

} // namespace Trivet
