#include "launcher/mainwindow/TabLayout.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Trivet {

QLabel *makeCaption(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    label->setFixedWidth(104);
    label->setMinimumHeight(label->fontMetrics().height() * 2 + 2);
    return label;
}

void addIconCell(QGridLayout *grid, int slot, int columns, QAbstractButton *icon, QLabel *caption)
{
    auto *cell = new QVBoxLayout;
    cell->setSpacing(2);
    cell->addWidget(icon, 0, Qt::AlignHCenter);
    cell->addWidget(caption, 0, Qt::AlignHCenter);
    grid->addLayout(cell, (slot / columns) * 2, slot % columns, Qt::AlignHCenter | Qt::AlignTop);
}

void setCaptionBold(QLabel *caption, bool bold)
{
    if (caption->font().bold() == bold) {
        return;
    }
    QFont font = caption->font();
    font.setBold(bold);
    caption->setFont(font);
}

QLabel *makeTranslatedLabel(int number, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(u"LbTranslate%1"_s.arg(number));
    label->setAlignment(Qt::AlignRight);
    label->setEnabled(false);
    return label;
}

} // namespace Trivet
