#include "launcher/mainwindow/UpdateProgramsWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Trivet {

UpdateProgramsWindow::UpdateProgramsWindow(QWidget *parent)
    : QDialog(parent)
    , m_intro(new QLabel(this))
    , m_list(new QTreeWidget(this))
    , m_nothing(new QLabel(this))
    , m_progress(new QProgressBar(this))
    , m_summary(new QLabel(this))
    , m_kept(new QPlainTextEdit(this))
    , m_update(new QPushButton(this))
    , m_cancel(new QPushButton(this))
{
    setObjectName(u"FrmUpdatePrograms"_s);
    setModal(true);
    m_intro->setObjectName(u"lbUpdIntro"_s);
    m_intro->setWordWrap(true);
    m_list->setObjectName(u"lstUpdatePrograms"_s);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderHidden(true);
    m_list->setColumnCount(3);
    m_list->header()->setSectionResizeMode(ProgramColumn, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(SizeColumn, QHeaderView::ResizeToContents);
    m_list->header()->setSectionResizeMode(StateColumn, QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(false);
    m_nothing->setObjectName(u"lbUpdNothing"_s);
    m_nothing->setWordWrap(true);
    m_nothing->setVisible(false);
    m_progress->setObjectName(u"prgUpdate"_s);
    m_progress->setRange(0, 100);
    m_progress->setVisible(false);
    m_summary->setObjectName(u"lbUpdSummary"_s);
    m_summary->setVisible(false);
    m_kept->setObjectName(u"txtUpdKept"_s);
    m_kept->setReadOnly(true);
    m_kept->setVisible(false);
    m_update->setObjectName(u"cmdUpdatePrograms"_s);
    m_update->setDefault(true);
    m_cancel->setObjectName(u"cmdCancelUpdates"_s);
    connect(m_update, &QPushButton::clicked, this, &UpdateProgramsWindow::updateRequested);
    connect(m_cancel, &QPushButton::clicked, this, &UpdateProgramsWindow::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_intro);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_nothing);
    layout->addWidget(m_progress);
    layout->addWidget(m_summary);
    layout->addWidget(m_kept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_update);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    resize(480, 360);
}

void UpdateProgramsWindow::showCaptions(const Captions &captions)
{
    m_captions = captions;
    setWindowTitle(captions.title);
    m_intro->setText(captions.intro);
    m_update->setText(captions.update);
    m_cancel->setText(m_running ? captions.cancel : captions.close);
}

void UpdateProgramsWindow::showPrograms(const QList<Row> &rows)
{
    m_list->clear();
    for (const Row &row : rows) {
        auto *item = new QTreeWidgetItem(m_list, {row.caption, row.size, QString()});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(ProgramColumn, Qt::Checked);
        item->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_list->setVisible(true);
    m_intro->setVisible(true);
    m_nothing->setVisible(false);
    m_update->setVisible(true);
}

void UpdateProgramsWindow::showNothingToDo(const QString &text)
{
    m_list->clear();
    m_list->setVisible(false);
    m_intro->setVisible(false);
    m_nothing->setText(text);
    m_nothing->setVisible(true);
    m_update->setVisible(false);
}

QList<bool> UpdateProgramsWindow::chosenPrograms() const
{
    QList<bool> chosen;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        chosen.append(m_list->topLevelItem(row)->checkState(ProgramColumn) == Qt::Checked);
    }
    return chosen;
}

void UpdateProgramsWindow::showState(int row, const QString &text)
{
    if (QTreeWidgetItem *item = m_list->topLevelItem(row)) {
        item->setText(StateColumn, text);
    }
}

void UpdateProgramsWindow::showProgress(int percent)
{
    m_progress->setVisible(percent >= 0);
    m_progress->setValue(std::max(percent, 0));
}

void UpdateProgramsWindow::showRunning(bool running)
{
    m_running = running;
    // The choice stays as it was while its updates run.
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        m_list->topLevelItem(row)->setFlags(running ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    }
    m_update->setEnabled(!running);
    m_cancel->setText(running ? m_captions.cancel : m_captions.close);
    if (running) {
        m_summary->setVisible(false);
        m_kept->setVisible(false);
    }
}

void UpdateProgramsWindow::showSummary(const QString &line, const QStringList &kept)
{
    m_summary->setText(line);
    m_summary->setVisible(true);
    // The list now tells what became of each program; another run would begin with those already updated.
    m_update->setVisible(false);
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        m_list->topLevelItem(row)->setFlags(Qt::ItemIsEnabled);
    }
    m_kept->setPlainText(kept.join(u'\n'));
    m_kept->setVisible(!kept.isEmpty());
}

void UpdateProgramsWindow::reject()
{
    // Cancel, Escape and the close box stop the updates first; the window stays to say what became of them.
    if (m_running) {
        emit cancelRequested();
        return;
    }
    QDialog::reject();
}

} // namespace Trivet
