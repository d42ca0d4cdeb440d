#pragma once

#include <QString>

class QAbstractButton;
class QGridLayout;
class QLabel;
class QWidget;

namespace Trivet {

// The pieces every tab of icons is made of, so the catalogue tabs and the own-programs tab look alike.

// The caption under an icon: centred, wrapped to two lines.
QLabel *makeCaption(const QString &objectName, const QString &text, QWidget *parent);

// Puts an icon with its caption below it into cell slot of a grid with the given number of columns.
void addIconCell(QGridLayout *grid, int slot, int columns, QAbstractButton *icon, QLabel *caption);

// A caption's weight; a label that has it already is left alone, since a new font lays it out again.
void setCaptionBold(QLabel *caption, bool bold);

// The greyed line in the tab's corner that names the translator ("LbTranslate1" …).
QLabel *makeTranslatedLabel(int number, QWidget *parent);

} // namespace Trivet
