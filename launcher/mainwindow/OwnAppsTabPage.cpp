#include "launcher/mainwindow/OwnAppsTabPage.h"

#include "common/platform/RegularFile.h"
#include "launcher/mainwindow/IconButton.h"
#include "launcher/mainwindow/MessageBox.h"
#include "launcher/mainwindow/TabLayout.h"
#include "launcher/ownapps/Picture.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

constexpr int iconSize = 49;
constexpr int columns = 5;

} // namespace

OwnAppsTabPage::OwnAppsTabPage(int number, QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 8);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    for (int slot = 0; slot < SlotCount; ++slot) {
        auto *icon = new IconButton(iconSize, this);
        icon->setObjectName(u"Image5_%1"_s.arg(slot));
        auto *caption = makeCaption(u"lbMyOwnApp%1"_s.arg(slot + 1), QString(), this);
        connect(icon, &IconButton::clicked, this, [this, slot] { emit slotClicked(slot); });
        connect(icon, &IconButton::hovered, this, [this, slot] {
            emphasizeCaption(slot);
            emit slotHovered(slot);
        });
        addIconCell(grid, slot, columns, icon, caption);
        m_icons.append(icon);
        m_captions.append(caption);
        showCaption(slot, u"MyOwnApp%1"_s.arg(slot + 1));
    }
    layout->addLayout(grid);
    layout->addStretch(1);

    auto *buttons = new QHBoxLayout;
    m_settings = new QPushButton(u"My Own Settings..."_s, this);
    m_settings->setObjectName(u"cmdSettings"_s);
    m_adjustDrive = new QPushButton(u"Adjust USB-Drive Letter..."_s, this);
    m_adjustDrive->setObjectName(u"cmdAdjustDriveLetter"_s);
    buttons->addWidget(m_settings);
    buttons->addWidget(m_adjustDrive);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    m_translated = makeTranslatedLabel(number, this);
    layout->addWidget(m_translated);
}

void OwnAppsTabPage::showCaption(int slot, const QString &text)
{
    if (slot < 0 || slot >= SlotCount) {
        return;
    }
    m_captions[slot]->setText(text);
    // Without a name the slot is still named for screen readers, as the editor names it.
    m_icons[slot]->setAccessibleName(text.isEmpty() ? u"App%1"_s.arg(slot + 1) : text);
}

void OwnAppsTabPage::emphasizeCaption(int slot)
{
    if (QLabel *caption = m_captions.value(slot)) {
        setCaptionBold(caption, true);
    }
}

void OwnAppsTabPage::showSlotName(int slot, const QString &name)
{
    showCaption(slot, name);
}

void OwnAppsTabPage::showSlotPicture(int slot, const QString &file)
{
    IconButton *icon = m_icons.value(slot);
    if (!icon) {
        return;
    }
    const FileRead read = readRegularFile(file, MaxPictureFileSize);
    if (!read.ok()) {
        return;
    }
    // Slots without a program of their own share the placeholder: the same bytes are decoded and scaled once.
    const qreal ratio = devicePixelRatioF();
    if (read.bytes != m_decodedBytes || ratio != m_decodedRatio) {
        const QImage image = decodePicture(read.bytes);
        // Scaled once to fill the square, so a large picture costs nothing at each repaint.
        m_decoded = image.isNull() ? QPixmap()
                                   : QPixmap::fromImage(image.scaled(QSize(iconSize, iconSize) * ratio,
                                                                     Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_decoded.setDevicePixelRatio(ratio);
        m_decodedBytes = read.bytes;
        m_decodedRatio = ratio;
    }
    if (!m_decoded.isNull()) {
        icon->setPicture(m_decoded);
    }
}

void OwnAppsTabPage::showSlotToolTip(int slot, const QString &text)
{
    if (IconButton *icon = m_icons.value(slot)) {
        icon->setToolTip(text);
    }
}

void OwnAppsTabPage::showMessage(const QString &title, const QString &text)
{
    MessageBox::warning(window(), title, text);
}

void OwnAppsTabPage::showReport(const QString &title, const QString &text)
{
    MessageBox::information(window(), title, text);
}

bool OwnAppsTabPage::confirm(const QString &title, const QString &text)
{
    return MessageBox::askOkCancel(window(), QMessageBox::Warning, title, text) == QMessageBox::Ok;
}

void OwnAppsTabPage::resetCaptions()
{
    for (QLabel *caption : std::as_const(m_captions)) {
        setCaptionBold(caption, false);
    }
}

void OwnAppsTabPage::showTranslatedBy(const QString &text)
{
    m_translated->setText(text);
}

void OwnAppsTabPage::mouseMoveEvent(QMouseEvent *event)
{
    emit surfaceHovered();
    QWidget::mouseMoveEvent(event);
}

} // namespace Trivet
