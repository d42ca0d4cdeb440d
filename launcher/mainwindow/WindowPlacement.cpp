#include "launcher/mainwindow/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace Trivet {

QRect centredOver(const QSize &size, const QRect &owner, const QRect &available)
{
    QRect placed(QPoint(), size);
    placed.moveCenter(owner.center());
    const int left = std::max(available.left(), std::min(placed.left(), available.right() + 1 - size.width()));
    const int top = std::max(available.top(), std::min(placed.top(), available.bottom() + 1 - size.height()));
    placed.moveTopLeft(QPoint(left, top));
    return placed;
}

void placeOver(QWidget *window, const QWidget *owner)
{
    const QScreen *screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    // Before a window is first shown its frame is not known yet; the owner's is the best guess.
    QSize frame = window->frameGeometry().size();
    if (window->frameGeometry() == window->geometry()) {
        frame += owner->frameGeometry().size() - owner->geometry().size();
    }
    window->move(centredOver(frame, owner->frameGeometry(), screen->availableGeometry()).topLeft());
}

} // namespace Trivet
