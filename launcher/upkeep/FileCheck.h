#pragma once

#include "common/platform/AppFolder.h"
#include "launcher/install/InstallRecord.h"
#include "launcher/upkeep/FileCheckView.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

namespace Trivet {

class BackgroundTasks;
class IniFile;
class LanguageTexts;

// What the check found of one program.
struct ProgramCheck
{
    QString entry;        // the catalogue entry its record is for ("OFF-6")
    int fileCount = 0;    // files its record lists
    int checkedCount = 0; // of them looked at; fewer when the check was cancelled
    QStringList missing;  // paths below the portable folder, in the record's order
    QStringList changed;
    QString refusal; // why its record does not read; empty when it does

    bool isComplete() const { return refusal.isEmpty() && checkedCount == fileCount; }
    bool needsRepair() const { return !missing.isEmpty() || !changed.isEmpty(); }
};

// Compares the files of installed programs with what their install records say of them, and reinstalls the
// programs whose files are gone or changed when asked. The files are read off the caller's thread; the view
// hears how far the reading has come, and Cancel stops it before the next file, keeping what it found.
class FileCheck final : public QObject
{
    Q_OBJECT

public:
    FileCheck(const AppFolder &folder, const IniFile &settings, const LanguageTexts &texts, FileCheckView &view,
              QObject *parent = nullptr);
    ~FileCheck() override;

    // Who reinstalls a program: true when its install has started, which then ends in installationFinished().
    void setReinstaller(std::function<bool(const QString &id)> reinstall);

    // Every program with a record, or the one program of the entry.
    void checkAll();
    void checkProgram(const QString &id);
    // Stops the check before its next file, or the repair before its next program.
    void cancel();
    // Reinstalls every program found with a missing or changed file, one after the other, and checks each
    // again once its install has ended.
    void repair();
    // The end of an install the reinstaller started.
    void installationFinished(const QString &id, bool ok);

    bool isChecking() const { return m_checking; }
    bool isRepairing() const { return !m_repairs.isEmpty(); }
    bool wasCancelled() const { return m_cancelled; }
    const QList<ProgramCheck> &results() const { return m_results; }

signals:
    // The check ended, cancelled or not; the list shows what it found.
    void checkFinished();
    // The last program of a repair was checked again.
    void repairFinished();

private:
    // What a check reads and compares, off the caller's thread.
    struct Progress
    {
        std::atomic_bool cancelled = false;
        std::atomic<qint64> bytes = 0;
        std::atomic<int> files = 0;
        std::atomic<int> program = 0; // index of the record being compared
    };
    struct Records
    {
        QList<InstallRecord> records;
        QStringList refusals; // "OFF-6.record: line 7: …"
    };

    void start(const QString &only);
    void compare(Records read);
    void finish(const QList<ProgramCheck> &found);
    void showProgress();
    void showResults();
    void repairNext();

    QString programName(const QString &entry) const;
    QString text(QStringView key) const;

    AppFolder m_folder;
    const IniFile &m_settings;
    const LanguageTexts &m_texts;
    FileCheckView &m_view;
    BackgroundTasks *m_tasks;
    QTimer m_progressTimer;
    std::function<bool(const QString &)> m_reinstall;

    std::shared_ptr<Progress> m_progress;
    QList<InstallRecord> m_records; // those of the check under way, for its progress line
    qint64 m_totalBytes = 0;
    int m_totalFiles = 0;
    bool m_checking = false;
    bool m_cancelled = false;
    QString m_only; // the entry of a check of one program; empty for all

    QList<ProgramCheck> m_results;
    QStringList m_repairs;       // entries still to reinstall, the first one under way
    QString m_rechecking;        // the entry checked again after its reinstall
    QStringList m_failedRepairs; // entries whose reinstall failed or could not start
};

} // namespace Trivet
