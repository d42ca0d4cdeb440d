#pragma once

#include "launcher/ownapps/OwnAppsView.h"

#include <QByteArray>
#include <QList>
#include <QPixmap>
#include <QWidget>

class QLabel;
class QPushButton;

namespace Trivet {

class IconButton;

// The tab of the user's own programs: its slots of icons with captions, and the buttons that open the
// editor and adjust the paths after the drive moved. Like the catalogue tabs it shows and reports; what
// a slot starts is decided elsewhere. The caption of a slot under the pointer turns bold until the
// pointer crosses the tab's free surface.
class OwnAppsTabPage final : public QWidget, public OwnAppsView
{
    Q_OBJECT

public:
    static constexpr int SlotCount = 10;

    explicit OwnAppsTabPage(int number, QWidget *parent = nullptr);

    IconButton *icon(int slot) const { return m_icons.value(slot); }
    QLabel *caption(int slot) const { return m_captions.value(slot); }
    QPushButton *settingsButton() const { return m_settings; }
    QPushButton *adjustDriveButton() const { return m_adjustDrive; }

    void showCaption(int slot, const QString &text);
    void emphasizeCaption(int slot);
    void showTranslatedBy(const QString &text);
    void resetCaptions();

    // OwnAppsView
    void showSlotName(int slot, const QString &name) override;
    void showSlotPicture(int slot, const QString &file) override;
    void showSlotToolTip(int slot, const QString &text) override;
    void showMessage(const QString &title, const QString &text) override;
    void showReport(const QString &title, const QString &text) override;
    bool confirm(const QString &title, const QString &text) override;

signals:
    void slotClicked(int slot);
    void slotHovered(int slot);
    void surfaceHovered();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QList<IconButton *> m_icons;
    QList<QLabel *> m_captions;
    QPushButton *m_settings = nullptr;
    QPushButton *m_adjustDrive = nullptr;
    QLabel *m_translated = nullptr;
    // The last picture shown, by the bytes it was decoded from and the screen's scale.
    QByteArray m_decodedBytes;
    qreal m_decodedRatio = 0;
    QPixmap m_decoded;
};

} // namespace Trivet
