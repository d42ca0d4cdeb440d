#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace Trivet {

// A clickable program icon. It reports every mouse movement over it (the hover texts follow the
// pointer), can be reached with the keyboard and is activated with Enter, Return or Space. A double click is
// one click: its second press is not a second start. A right click, the Menu key and Shift+F10 ask for its
// menu, where something listens for that.
class IconButton final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit IconButton(int size, QWidget *parent = nullptr);

    void setPicture(const QPixmap &picture);
    QPixmap picture() const { return m_picture; }
    bool hasPicture() const { return !m_picture.isNull(); }
    // A small badge in the corner: the program is on the drive already.
    void setMarked(bool marked);
    bool isMarked() const { return m_marked; }
    // Another badge, in another corner: a newer version of the program is to be had.
    void setOutdated(bool outdated);
    bool isOutdated() const { return m_outdated; }

    QSize sizeHint() const override;

signals:
    void hovered();
    // at is on the screen: at the pointer for a click, at the icon's centre for the keyboard.
    void menuRequested(const QPoint &at);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    // Emits menuRequested when anything listens for it.
    bool requestMenu(const QPoint &at);

    int m_size;
    QPixmap m_picture;
    bool m_marked = false;
    bool m_outdated = false;
};

} // namespace Trivet
