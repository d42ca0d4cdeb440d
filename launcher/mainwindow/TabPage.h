#pragma once

#include <QWidget>

namespace Trivet {

// The surface of one tab. Pointer movements over the free surface (not over an icon) are reported,
// so the window can restore its information lines and caption fonts.
class TabPage final : public QWidget
{
    Q_OBJECT

public:
    explicit TabPage(QWidget *parent = nullptr);

signals:
    void mouseMoved();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
};

} // namespace Trivet
