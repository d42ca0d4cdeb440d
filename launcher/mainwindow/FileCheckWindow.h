#pragma once

#include "launcher/upkeep/FileCheckView.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace Trivet {

// The window of a check of installed files: how far it has come, then one line a program with its missing and
// changed files below it, and the buttons that stop the check, repair what it found and close the window. It
// shows and reports; what the buttons do is the controller's business.
class FileCheckWindow final : public QDialog, public FileCheckView
{
    Q_OBJECT

public:
    struct Texts
    {
        QString title;
        QString cancel;
        QString repair;
        QString close;
    };

    explicit FileCheckWindow(const Texts &texts, QWidget *parent = nullptr);

    // FileCheckView
    void showCheckStatus(const QString &text) override;
    void showCheckProgress(qint64 done, qint64 total, const QString &text) override;
    void showCheckedPrograms(const QList<ProgramLines> &programs) override;
    void enableCheckButtons(bool cancel, bool repair) override;

    // Every line of the list as shown, each of a program's files indented by two spaces below it.
    QStringList listedLines() const;

signals:
    void cancelClicked();
    void repairClicked();

private:
    QLabel *m_status = nullptr;
    QProgressBar *m_progress = nullptr;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_repair = nullptr;
};

} // namespace Trivet
