#include "launcher/mainwindow/FileCheckWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

// The bar counts in steps of this many, as its range is an int and files can hold more bytes than that.
constexpr int barSteps = 1000;

} // namespace

FileCheckWindow::FileCheckWindow(const Texts &texts, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"FrmCheckFiles"_s);
    setWindowTitle(texts.title);
    auto *layout = new QVBoxLayout(this);
    m_status = new QLabel(this);
    m_status->setObjectName(u"lblCheckStatus"_s);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(u"prgCheck"_s);
    m_progress->setRange(0, barSteps);
    m_progress->setValue(0);
    layout->addWidget(m_progress);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(u"lstCheckResults"_s);
    m_list->setHeaderHidden(true);
    m_list->setColumnCount(1);
    m_list->setRootIsDecorated(true);
    m_list->setMinimumSize(480, 240);
    layout->addWidget(m_list, 1);

    auto *buttons = new QHBoxLayout;
    m_cancel = new QPushButton(texts.cancel, this);
    m_cancel->setObjectName(u"cmdCancelCheck"_s);
    m_repair = new QPushButton(texts.repair, this);
    m_repair->setObjectName(u"cmdRepair"_s);
    m_repair->setEnabled(false);
    auto *close = new QPushButton(texts.close, this);
    close->setObjectName(u"cmdCloseCheck"_s);
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    buttons->addWidget(m_repair);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(m_cancel, &QPushButton::clicked, this, &FileCheckWindow::cancelClicked);
    connect(m_repair, &QPushButton::clicked, this, &FileCheckWindow::repairClicked);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void FileCheckWindow::showCheckStatus(const QString &text)
{
    m_status->setText(text);
}

void FileCheckWindow::showCheckProgress(qint64 done, qint64 total, const QString &text)
{
    m_progress->setFormat(text);
    m_progress->setValue(total > 0 ? int(done * barSteps / total) : 0);
}

void FileCheckWindow::showCheckedPrograms(const QList<ProgramLines> &programs)
{
    m_list->clear();
    for (const ProgramLines &program : programs) {
        auto *item = new QTreeWidgetItem(m_list, {program.heading});
        for (const QString &file : program.files) {
            new QTreeWidgetItem(item, {file});
        }
        item->setExpanded(true);
    }
}

void FileCheckWindow::enableCheckButtons(bool cancel, bool repair)
{
    m_cancel->setEnabled(cancel);
    m_repair->setEnabled(repair);
}

QStringList FileCheckWindow::listedLines() const
{
    QStringList lines;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *program = m_list->topLevelItem(i);
        lines.append(program->text(0));
        for (int j = 0; j < program->childCount(); ++j) {
            lines.append(u"  "_s + program->child(j)->text(0));
        }
    }
    return lines;
}

} // namespace Trivet
