#include "launcher/mainwindow/TabPage.h"

#include <QMouseEvent>

namespace Trivet {

TabPage::TabPage(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
}

void TabPage::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved();
    QWidget::mouseMoveEvent(event);
}

} // namespace Trivet
