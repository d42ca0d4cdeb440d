#pragma once

#include <QIcon>
#include <QPixmap>
#include <QStringView>

// The launcher's own pictures. They are kept as SVG and rendered at the size they are shown, in the screen's
// device pixels, so they stay sharp on scaled displays. None of these returns a null pixmap: a picture that is
// unknown or cannot be drawn comes back as a neutral question-mark picture, so a caller never shows an empty hole.
namespace Trivet::Art {

// Icon of a catalogue entry, "AV-1" … "AV-6", "OFF-1" … "OFF-10", "SYS-1" … "SYS-10", "MISC-1" … "MISC-10".
QPixmap catalogueIcon(QStringView id, int size = 48);

// Menu pictures, numbered from 1 as in the main window's image list: 1 to 10 the language items in menu order
// (Bulgarian, Catalan, German, English, Spanish, French, Greek, Hungarian, Italian, Dutch), 11 help,
// 12 home page, 13 exit, 14 OpenOffice.org Portable.
QPixmap menuPicture(int number, int size = 16);

// A menu item's icon: picture while the item is unchecked, checkedPicture while it carries its check mark.
// Holds the pictures at 16 and 32 pixels so menus stay sharp at twice the scale.
QIcon menuIcon(int picture, int checkedPicture);

// The pictures of the office suite's components, in the order its window lists them: 0 Base, 1 Calc, 2 Draw,
// 3 Impress, 4 Math, 5 the suite's start centre (the menu's picture 14), 6 Writer.
QPixmap officeComponentPicture(int component, int size = 36);

// The product picture shown beside the window title.
QPixmap productPicture(int size = 64);
// The same as the window's icon, drawn when the window system first asks for it.
QIcon productIcon();

} // namespace Trivet::Art
