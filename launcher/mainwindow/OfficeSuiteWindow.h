#pragma once

#include <QList>
#include <QWidget>

class QLabel;
class QPushButton;

namespace Trivet {

class IconButton;

// The office suite's own small window: one icon a component with its name beside it, and a close button.
// It shows and reports; what a click starts is the controller's business.
class OfficeSuiteWindow final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ComponentCount = 7;

    explicit OfficeSuiteWindow(QWidget *parent = nullptr);

    void setCloseText(const QString &text);

signals:
    void componentClicked(int index);

protected:
    // Over the window's free surface, every name turns back to normal weight.
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QList<IconButton *> m_icons;
    QList<QLabel *> m_names;
    QPushButton *m_close = nullptr;
};

} // namespace Trivet
