#include "launcher/upkeep/UpdateQueue.h"

#include "common/download/FailureReason.h"
#include "common/download/ProgressText.h"
#include "common/settings/LanguageTexts.h"

#include <QLoggingCategory>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
Q_LOGGING_CATEGORY(lcUpdates, "trivet.upkeep")
} // namespace

namespace Trivet {

UpdateQueue::UpdateQueue(const LanguageTexts &texts, UpdateQueueView &view, Reinstall reinstall, Cancel cancel,
                         QObject *parent)
    : QObject(parent)
    , m_texts(texts)
    , m_view(view)
    , m_reinstall(std::move(reinstall))
    , m_cancel(std::move(cancel))
{
}

QString UpdateQueue::text(QStringView key) const
{
    return m_texts.text(key);
}

void UpdateQueue::offer(const QList<OutdatedProgram> &programs, bool offline)
{
    m_view.showCaptions({text(u"FrmUpdatePrograms"), text(u"lbUpdIntro"), text(u"cmdUpdatePrograms"),
                         text(u"cmdCancelDownload"), text(u"cmdClose")});
    m_view.showRunning(false);
    m_view.showProgress(-1);
    m_programs = programs;
    m_states = QList<State>(programs.size(), State::NotChosen);
    if (programs.isEmpty()) {
        m_view.showNothingToDo(text(u"lbUpdAllCurrent"));
        return;
    }
    if (offline) {
        m_view.showNothingToDo(text(u"lbUpdOffline"));
        m_programs.clear();
        m_states.clear();
        return;
    }
    QList<UpdateQueueView::Row> rows;
    for (const OutdatedProgram &program : programs) {
        rows.append({program.caption, program.size > 0 ? dataSizeText(program.size, QLocale::c()) : QString()});
    }
    m_view.showPrograms(rows);
}

void UpdateQueue::start()
{
    if (m_running || m_programs.isEmpty()) {
        return;
    }
    const QList<bool> chosen = m_view.chosenPrograms();
    m_keptChanged.clear();
    m_keptNoLonger.clear();
    m_results.clear();
    m_cancelled = false;
    bool any = false;
    for (int row = 0; row < m_programs.size(); ++row) {
        const bool wanted = chosen.value(row, false);
        m_states[row] = wanted ? State::Waiting : State::NotChosen;
        m_view.showState(row, wanted ? text(u"lbUpdWaiting") : QString());
        any = any || wanted;
    }
    if (!any) {
        return;
    }
    m_running = true;
    m_view.showRunning(true);
    next();
}

void UpdateQueue::next()
{
    m_current = -1;
    m_view.showProgress(-1);
    const auto waiting = std::find(m_states.begin(), m_states.end(), State::Waiting);
    if (waiting == m_states.end()) {
        finish();
        return;
    }
    const int row = int(waiting - m_states.begin());
    if (m_cancelled) {
        end(row, State::Skipped, text(u"lbUpdSkipped").arg(text(u"lbUpdCancelled")));
        next();
        return;
    }
    m_current = row;
    m_states[row] = State::Running;
    m_view.showState(row, text(u"lbUpdDownloading").arg(0));
    m_view.showProgress(0);
    const QString id = m_programs.at(row).id;
    qCInfo(lcUpdates) << "updating" << id;
    // An install that cannot begin may end at once, inside the call; its end has then moved on already.
    if (!m_reinstall(id) && m_current == row && m_states.at(row) == State::Running) {
        end(row, State::Skipped, text(u"lbUpdSkipped").arg(text(u"lbUpdBusy")));
        next();
    }
}

void UpdateQueue::end(int row, State state, const QString &stateText)
{
    m_states[row] = state;
    m_view.showState(row, stateText);
}

void UpdateQueue::cancel()
{
    if (!m_running || m_cancelled) {
        return;
    }
    m_cancelled = true;
    qCInfo(lcUpdates) << "updates cancelled";
    m_cancel();
}

void UpdateQueue::programProgress(const QString &id, qint64 received, qint64 total)
{
    if (m_current < 0 || m_programs.at(m_current).id != id || total <= 0) {
        return;
    }
    const int percent = int(std::clamp<qint64>(received * 100 / total, 0, 100));
    m_view.showState(m_current, received >= total ? text(u"lbUpdInstalling") : text(u"lbUpdDownloading").arg(percent));
    m_view.showProgress(percent);
}

void UpdateQueue::programUpdated(const QString &id, const InstallResult &result)
{
    if (m_current >= 0 && m_programs.at(m_current).id == id) {
        m_results.insert(id, result);
    }
}

void UpdateQueue::programFinished(const QString &id, bool ok)
{
    if (m_current < 0 || m_programs.at(m_current).id != id) {
        return;
    }
    const int row = std::exchange(m_current, -1);
    InstallResult result;
    result.status = ok ? InstallStatus::Success : InstallStatus::Failed;
    if (m_results.contains(id)) {
        result = m_results.take(id);
    }
    // A working copy kept because what came was refused is no update.
    if (ok && result.reason.kind == FailureReason::None) {
        m_keptChanged.append(result.keptChanged);
        m_keptNoLonger.append(result.keptNoLonger);
        end(row, State::Updated, text(u"lbUpdDone"));
    } else if (result.status == InstallStatus::Cancelled) {
        end(row, State::Skipped, text(u"lbUpdSkipped").arg(text(u"lbUpdCancelled")));
    } else {
        const QString reason = reasonLine(result.reason, [this](QStringView key) { return text(key); });
        end(row, State::Failed, text(u"lbUpdFailed").arg(reason.isEmpty() ? text(u"lbInstallFailed") : reason));
    }
    // The install's own handlers run on after this signal; the next program begins once they are done.
    QMetaObject::invokeMethod(this, &UpdateQueue::next, Qt::QueuedConnection);
}

void UpdateQueue::finish()
{
    m_running = false;
    const auto count = [this](State state) { return int(std::count(m_states.cbegin(), m_states.cend(), state)); };
    const QString line =
        text(u"lbUpdSummary").arg(count(State::Updated)).arg(count(State::Skipped)).arg(count(State::Failed));
    QStringList kept;
    if (!m_keptChanged.isEmpty()) {
        kept << text(u"lbUpdKeptChanged") << m_keptChanged;
    }
    if (!m_keptNoLonger.isEmpty()) {
        kept << text(u"lbUpdKeptNoLonger") << m_keptNoLonger;
    }
    m_view.showRunning(false);
    m_view.showSummary(line, kept);
    emit finished();
}

} // namespace Trivet
