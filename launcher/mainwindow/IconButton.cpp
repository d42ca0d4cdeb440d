#include "launcher/mainwindow/IconButton.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMetaMethod>
#include <QPainter>
#include <QPainterPath>
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

void IconButton::setMarked(bool marked)
{
    if (m_marked != marked) {
        m_marked = marked;
        update();
    }
}

void IconButton::setOutdated(bool outdated)
{
    if (m_outdated != outdated) {
        m_outdated = outdated;
        update();
    }
}

namespace {

// A green disc with a white tick, in the manner of the catalogue's artwork: a gradient, a white rim and a soft
// shadow below. The rim keeps it apart from the picture, the shadow from a light window, so it shows in any theme.
void drawOnStickMark(QPainter &painter, const QRectF &disc)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 70));
    painter.drawEllipse(disc.translated(0, 1).adjusted(-1, -1, 1, 1));
    QLinearGradient fill(disc.topLeft(), disc.bottomLeft());
    fill.setColorAt(0, QColor(0x4c, 0xc7, 0x6a));
    fill.setColorAt(1, QColor(0x1f, 0x8a, 0x3f));
    painter.setPen(QPen(Qt::white, 1.6));
    painter.setBrush(fill);
    painter.drawEllipse(disc);
    QPainterPath tick;
    tick.moveTo(disc.left() + disc.width() * 0.28, disc.top() + disc.height() * 0.53);
    tick.lineTo(disc.left() + disc.width() * 0.44, disc.top() + disc.height() * 0.69);
    tick.lineTo(disc.left() + disc.width() * 0.73, disc.top() + disc.height() * 0.35);
    painter.setPen(QPen(Qt::white, disc.width() * 0.14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
    painter.restore();
}

// An amber rounded square with a white arrow pointing up, in the same manner as the tick's disc: a shape, a colour
// and a corner of its own, so the two marks are told apart at a glance, and also without telling colours apart.
void drawUpdateMark(QPainter &painter, const QRectF &square)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal radius = square.width() * 0.22;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 70));
    painter.drawRoundedRect(square.translated(0, 1).adjusted(-1, -1, 1, 1), radius, radius);
    QLinearGradient fill(square.topLeft(), square.bottomLeft());
    fill.setColorAt(0, QColor(0xff, 0xb3, 0x2e));
    fill.setColorAt(1, QColor(0xd9, 0x6a, 0x00));
    painter.setPen(QPen(Qt::white, 1.6));
    painter.setBrush(fill);
    painter.drawRoundedRect(square, radius, radius);
    const qreal x = square.center().x();
    QPainterPath arrow;
    arrow.moveTo(x, square.top() + square.height() * 0.74);
    arrow.lineTo(x, square.top() + square.height() * 0.27);
    arrow.moveTo(square.left() + square.width() * 0.3, square.top() + square.height() * 0.47);
    arrow.lineTo(x, square.top() + square.height() * 0.25);
    arrow.lineTo(square.left() + square.width() * 0.7, square.top() + square.height() * 0.47);
    painter.setPen(QPen(Qt::white, square.width() * 0.14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(arrow);
    painter.restore();
}

} // namespace

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
    if (m_marked) {
        // Top left: the catalogue's pictures keep that corner free, while several carry badges of their own
        // (a tick, an arrow, a magnifier) at the bottom right and a few at the top right.
        const qreal diameter = qMax(12, m_size * 3 / 8);
        drawOnStickMark(painter, QRectF(2.5, 2.5, diameter, diameter));
    }
    if (m_outdated) {
        // Bottom left, the other corner the pictures keep free, below the tick.
        const qreal side = qMax(12, m_size * 3 / 8);
        drawUpdateMark(painter, QRectF(2.5, height() - side - 3.5, side, side));
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

void IconButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The button would take the second press of a double click as a new press, and its release as a second
    // clicked(): users double-click program icons out of habit.
    event->accept();
}

void IconButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        event->accept();
        return;
    }
    const bool menuKey =
        event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (menuKey && requestMenu(mapToGlobal(rect().center()))) {
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void IconButton::contextMenuEvent(QContextMenuEvent *event)
{
    const QPoint at = event->reason() == QContextMenuEvent::Mouse ? event->globalPos() : mapToGlobal(rect().center());
    if (requestMenu(at)) {
        event->accept();
        return;
    }
    QAbstractButton::contextMenuEvent(event);
}

bool IconButton::requestMenu(const QPoint &at)
{
    if (!isSignalConnected(QMetaMethod::fromSignal(&IconButton::menuRequested))) {
        return false;
    }
    emit menuRequested(at);
    return true;
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
