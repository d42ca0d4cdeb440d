#include "launcher/mainwindow/IconButton.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace Trivet {

IconButton::IconButton(int size, QWidget *parent)
    : QAbstractButton(parent)
    , m_size(size)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

void IconButton::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

QSize IconButton::sizeHint() const
{
    return {m_size + 8, m_size + 8};
}

void IconButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect area = rect().adjusted(1, 1, -1, -1);
    if (underMouse() || isDown()) {
        QColor glow = palette().color(QPalette::Highlight);
        glow.setAlpha(isDown() ? 80 : 40);
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawRoundedRect(area, 6, 6);
    }
    if (!m_picture.isNull()) {
        const QRect target((width() - m_size) / 2, (height() - m_size) / 2, m_size, m_size);
        painter.drawPixmap(target, m_picture);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = area;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void IconButton::mouseMoveEvent(QMouseEvent *event)
{
    emit hovered();
    QAbstractButton::mouseMoveEvent(event);
    // The button ignores moves without a pressed button; passed on, they would reach the tab surface,
    // which undoes the hover highlight at once.
    event->accept();
}

void IconButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void IconButton::focusInEvent(QFocusEvent *event)
{
    // A keyboard user gets the same description as a mouse user pointing at the icon.
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason) {
        emit hovered();
    }
    QAbstractButton::focusInEvent(event);
}

} // namespace Trivet
