#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace Trivet {

// Where a window of the given frame size goes over its owner: centred on the owner's frame, then moved as
// little as needed to lie within available, the usable area of the owner's screen. A window larger than
// that area keeps its top-left corner inside it.
QRect centredOver(const QSize &size, const QRect &owner, const QRect &available);

// Moves window, a window of its own, to centredOver() its owner on the owner's screen.
void placeOver(QWidget *window, const QWidget *owner);

} // namespace Trivet
