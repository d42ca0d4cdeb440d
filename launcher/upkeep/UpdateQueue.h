#pragma once

#include "launcher/install/InstallResult.h"
#include "launcher/upkeep/OutdatedPrograms.h"
#include "launcher/upkeep/UpdateQueueView.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace Trivet {

class LanguageTexts;

// Updates the programs the user chose, one after the other, and says what became of each and of them all.
//
// An update is started through reinstall, which says false when it cannot start (the program runs, or is
// busy); its progress and its end are passed in by whoever owns the installs (programProgress, programUpdated,
// programFinished). Knows no window: it shows everything through an UpdateQueueView.
class UpdateQueue final : public QObject
{
    Q_OBJECT

public:
    using Reinstall = std::function<bool(const QString &id)>;
    using Cancel = std::function<void()>;

    enum class State { NotChosen, Waiting, Running, Updated, Skipped, Failed };

    UpdateQueue(const LanguageTexts &texts, UpdateQueueView &view, Reinstall reinstall, Cancel cancel,
                QObject *parent = nullptr);

    // Shows the programs, or why none can be updated.
    void offer(const QList<OutdatedProgram> &programs, bool offline);
    // Updates the programs the view has chosen; finished() follows.
    void start();
    // Stops after the program under way: its download is given up, an install already unpacking completes.
    void cancel();
    bool isRunning() const { return m_running; }

    State state(int row) const { return m_states.value(row, State::NotChosen); }

    // What the owner of the installs reports.
    void programProgress(const QString &id, qint64 received, qint64 total);
    void programUpdated(const QString &id, const Trivet::InstallResult &result);
    void programFinished(const QString &id, bool ok);

signals:
    void finished();

private:
    void next();
    void end(int row, State state, const QString &text);
    void finish();
    QString text(QStringView key) const;

    const LanguageTexts &m_texts;
    UpdateQueueView &m_view;
    Reinstall m_reinstall;
    Cancel m_cancel;
    QList<OutdatedProgram> m_programs;
    QList<State> m_states;
    QHash<QString, InstallResult> m_results; // by id, until the program's end
    QStringList m_keptChanged;
    QStringList m_keptNoLonger;
    int m_current = -1;
    bool m_running = false;
    bool m_cancelled = false;
};

} // namespace Trivet
