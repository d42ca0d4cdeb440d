#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace Trivet {

class UpdaterController;

// The Updater's window (Form1): the progress of the download, a status line, and one button that leaves the
// update and goes back to the launcher; while the files are put in place it shows the progress words
// instead. It shows what the controller reports and asks it to leave; it decides nothing itself.
class UpdaterWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit UpdaterWindow(UpdaterController &controller, QWidget *parent = nullptr);

signals:
    // The Updater has nothing left to do and may end. Once.
    void ended();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showProgress(qint64 received, qint64 total);
    void showInstalling(bool verified);
    void showInstalled();
    void showFailure(const QString &message);
    void tellStillRunning(const QString &message);
    // Leaving early; false when the launcher could not be started, after telling the user.
    bool leave();
    void end();

    UpdaterController &m_controller;
    QProgressBar *m_progress;
    QLabel *m_status;
    QPushButton *m_cancel;
    bool m_failed = false;
    bool m_ended = false;
};

} // namespace Trivet
