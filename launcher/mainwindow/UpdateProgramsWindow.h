#pragma once

#include "launcher/upkeep/UpdateQueueView.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace Trivet {

// The window that lists the programs on the drive with a newer version, one check box each, and shows how
// their updates go. It shows what it is told and reports the buttons; the queue behind it decides.
class UpdateProgramsWindow final : public QDialog, public UpdateQueueView
{
    Q_OBJECT

public:
    enum Column { ProgramColumn, SizeColumn, StateColumn };

    explicit UpdateProgramsWindow(QWidget *parent = nullptr);

    QTreeWidget *list() const { return m_list; }

    // UpdateQueueView
    void showCaptions(const Captions &captions) override;
    void showPrograms(const QList<Row> &rows) override;
    void showNothingToDo(const QString &text) override;
    QList<bool> chosenPrograms() const override;
    void showState(int row, const QString &text) override;
    void showProgress(int percent) override;
    void showRunning(bool running) override;
    void showSummary(const QString &line, const QStringList &kept) override;

signals:
    void updateRequested();
    // Cancel, Escape or the close box while updates run.
    void cancelRequested();

protected:
    void reject() override;

private:
    QLabel *m_intro;
    QTreeWidget *m_list;
    QLabel *m_nothing;
    QProgressBar *m_progress;
    QLabel *m_summary;
    QPlainTextEdit *m_kept;
    QPushButton *m_update;
    QPushButton *m_cancel;
    Captions m_captions;
    bool m_running = false;
};

} // namespace Trivet
