#include "updater/UpdaterWindow.h"

#include "common/download/ProgressText.h"
#include "common/widgets/ProxyLoginDialog.h"
#include "updater/UpdaterController.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

const QString updaterTitle = u"Quillory Vidi Updater"_s;

} // namespace

UpdaterWindow::UpdaterWindow(UpdaterController &controller, QWidget *parent)
    : QWidget(parent)
    , m_controller(controller)
    , m_progress(new QProgressBar(this))
    , m_status(new QLabel(this))
    , m_cancel(new QPushButton(this))
{
    setObjectName(u"Form1"_s);
    setWindowTitle(updaterTitle);

    m_progress->setObjectName(u"ProgBarDownload"_s);
    m_progress->setTextVisible(false); // shown with the first figures
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_status->setObjectName(u"lblStatus"_s);
    m_status->setWordWrap(true);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for the byte counts, and for a failure in two sentences and its reason in any language.
    m_status->setMinimumHeight(3 * m_status->fontMetrics().lineSpacing());
    m_cancel->setObjectName(u"cmdCancel"_s);
    m_cancel->setText(m_controller.text(u"cmdExit"));
    m_cancel->setMinimumWidth(110);
    m_controller.setProxyLoginPrompt(
        [this](const ProxyLoginQuestion &question) { return ProxyLoginDialog::ask(question, this); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(m_progress);
    layout->addWidget(m_status, 1);
    layout->addLayout(buttons);
    setFixedWidth(480);
    setMinimumHeight(sizeHint().height());

    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_failed) {
            close();
        } else {
            leave();
        }
    });
    connect(&m_controller, &UpdaterController::progressed, this, &UpdaterWindow::showProgress);
    connect(&m_controller, &UpdaterController::installing, this, &UpdaterWindow::showInstalling);
    connect(&m_controller, &UpdaterController::installed, this, &UpdaterWindow::showInstalled);
    connect(&m_controller, &UpdaterController::failed, this, &UpdaterWindow::showFailure);
    connect(&m_controller, &UpdaterController::launcherStillRunning, this, &UpdaterWindow::tellStillRunning);
    connect(&m_controller, &UpdaterController::finished, this, [this] {
        // After a failure the window stays until the user has read why; the launcher starts when it closes.
        if (!m_failed) {
            end();
        }
    });
}

void UpdaterWindow::showProgress(qint64 received, qint64 total)
{
    // The bar counts in int; larger packages are shown in KiB.
    const bool large = total > std::numeric_limits<int>::max();
    m_progress->setMaximum(int(large ? total / 1024 : total));
    m_progress->setValue(int(large ? received / 1024 : received));
    const QString of = m_controller.text(u"lbOf");
    m_progress->setFormat(progressText(received, total, of, m_controller.locale()));
    m_progress->setTextVisible(true);
    m_status->setText(QString::number(received) + u' ' + of + u' ' + QString::number(total));
}

void UpdaterWindow::showInstalling(bool verified)
{
    // The launcher says it again when it starts; here it shows while the files are put in place.
    if (!verified) {
        m_status->setText(m_controller.text(u"msgUpdUnverified"));
    }
    m_cancel->setText(u"Updating..."_s);
    m_cancel->setEnabled(false);
}

void UpdaterWindow::showInstalled()
{
    m_cancel->setText(u"Done"_s);
    m_cancel->setEnabled(true);
}

void UpdaterWindow::showFailure(const QString &message)
{
    m_failed = true;
    m_progress->setValue(0);
    m_status->setText(message);
    m_cancel->setText(m_controller.text(u"cmdExit"));
    m_cancel->setEnabled(true);
    m_cancel->setFocus();
    // The reason may take more lines than the byte counts did; the window grows to show all of them.
    adjustSize();
}

void UpdaterWindow::tellStillRunning(const QString &message)
{
    QMessageBox::warning(this, updaterTitle, message);
}

bool UpdaterWindow::leave()
{
    if (m_controller.leave()) {
        return true;
    }
    if (!m_controller.isInstalling()) {
        QMessageBox::critical(this, u"Error"_s, u"Couldn't find "_s + m_controller.launcherFile());
    }
    return false;
}

void UpdaterWindow::end()
{
    if (m_ended) {
        return;
    }
    m_ended = true;
    emit ended();
    close();
}

void UpdaterWindow::closeEvent(QCloseEvent *event)
{
    if (!m_ended) {
        // The files are being put in place: the transaction finishes first.
        if (m_controller.isInstalling()) {
            event->ignore();
            return;
        }
        // Closing leaves like the button, and after a failure starts the launcher now that the reason was
        // read; when the launcher cannot be started the user is told, and this time the Updater ends all the
        // same.
        leave();
        if (!m_ended) {
            m_ended = true;
            emit ended();
        }
    }
    event->accept();
}

} // namespace Trivet
