#pragma once

#include "launcher/catalogue/CatalogueView.h"
#include "launcher/upkeep/ProgramActions.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <optional>

class QHBoxLayout;
class QLabel;
class QMenu;

namespace Trivet {

class IconButton;
struct CatalogueTab;

// One item of an icon's menu, its text already in the user's language.
struct IconMenuItem
{
    ProgramAction action = ProgramAction::Start;
    QString objectName;
    QString text;
    bool enabled = true;
};

// One tab of the catalogue: its icons with their captions, the information line and the download line.
// It shows what it is told and reports what the pointer does; what a click means is decided elsewhere.
// Setting a text, tone or weight that is already shown changes nothing, so the texts that follow every
// pointer move cost next to nothing.
class CatalogueTabPage final : public QWidget
{
    Q_OBJECT

public:
    // The side of an icon's picture, in pixels.
    static constexpr int iconSize = 48;

    CatalogueTabPage(int tab, const CatalogueTab &names, QWidget *parent = nullptr);

    int iconCount() const { return int(m_icons.size()); }
    IconButton *icon(int slot) const { return m_icons.value(slot); }

    void showInfo(const QString &text);
    void showInfo(const QString &text, CatalogueView::Tone tone);
    void showDownloadLine(const QString &text);
    void showCaption(int slot, const QString &text);
    void emphasizeCaption(int slot);
    void resetCaptions();
    void showOnStick(int slot, bool onStick, const QString &spoken);
    void showOutdated(int slot, bool outdated, const QString &spoken);
    void showTranslatedBy(const QString &text);

    // A widget beside the icons, such as the proxy frame of the first tab.
    void setSideWidget(QWidget *widget);

    // Opens the menu of an icon at a point on the screen, without waiting for a choice; the menu deletes
    // itself once closed. While one is open, it stays the only one: a desktop may report the Menu key both as
    // a key and as a menu request.
    QMenu *showIconMenu(int slot, const QPoint &at, const QList<IconMenuItem> &items);

signals:
    void iconClicked(int slot);
    void iconHovered(int slot);
    // A right click, the Menu key or Shift+F10 on an icon; at is on the screen.
    void iconMenuRequested(int slot, const QPoint &at);
    void iconActionChosen(int slot, Trivet::ProgramAction action);
    // The pointer moved over the tab's free surface, not over an icon.
    void surfaceHovered();

protected:
    void showEvent(QShowEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    // What a screen reader says of an icon's marks.
    struct Spoken
    {
        QString onStick;
        QString outdated;
    };
    void describe(int slot);

    int m_tab;
    QList<IconButton *> m_icons;
    QList<QLabel *> m_captions;
    QHash<int, Spoken> m_spoken; // by slot
    QLabel *m_info = nullptr;
    QLabel *m_download = nullptr;
    QLabel *m_translated = nullptr;
    QHBoxLayout *m_row = nullptr;
    QPointer<QMenu> m_menu;
    std::optional<CatalogueView::Tone> m_tone;
    bool m_picturesDrawn = false;
};

} // namespace Trivet
