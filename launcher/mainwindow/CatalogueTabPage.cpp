#include "launcher/mainwindow/CatalogueTabPage.h"

#include "launcher/art/ArtCatalogue.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/mainwindow/IconButton.h"
#include "launcher/mainwindow/TabLayout.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

QLabel *makeLine(const QString &name, int lines, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setMinimumHeight(label->fontMetrics().height() * lines + 4);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QColor toneColour(const QWidget *widget, CatalogueView::Tone tone)
{
    return tone == CatalogueView::Tone::Offline ? QColor(255, 0, 0) : widget->palette().color(QPalette::ButtonText);
}

} // namespace

CatalogueTabPage::CatalogueTabPage(int tab, const CatalogueTab &names, QWidget *parent)
    : QWidget(parent)
    , m_tab(tab)
{
    setMouseTracking(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 8);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    for (int slot = 0; slot < Catalogue::slotCount(tab); ++slot) {
        const CatalogueEntry *entry = Catalogue::entryAt(tab, slot);
        auto *icon = new IconButton(iconSize, this);
        icon->setObjectName(u"Image%1_%2"_s.arg(tab + 1).arg(slot));
        icon->setAccessibleName(entry->name.toString());
        icon->setToolTip(entry->name.toString());
        auto *caption = makeCaption(u"Lb%1%2"_s.arg(names.prefix).arg(slot + 1), QString(), this);
        connect(icon, &IconButton::clicked, this, [this, slot] { emit iconClicked(slot); });
        connect(icon, &IconButton::hovered, this, [this, slot] { emit iconHovered(slot); });
        connect(icon, &IconButton::menuRequested, this,
                [this, slot](const QPoint &at) { emit iconMenuRequested(slot, at); });
        addIconCell(grid, slot, names.columns, icon, caption);
        m_icons.append(icon);
        m_captions.append(caption);
    }
    m_row = new QHBoxLayout;
    m_row->addLayout(grid);
    m_row->addStretch(1);
    layout->addLayout(m_row);
    layout->addStretch(1);

    m_info = makeLine(names.infoLine.toString(), 2, this);
    m_download = makeLine(names.downloadLine.toString(), 1, this);
    layout->addWidget(m_info);
    layout->addWidget(m_download);
    m_translated = makeTranslatedLabel(tab + 1, this);
    layout->addWidget(m_translated);
}

void CatalogueTabPage::setSideWidget(QWidget *widget)
{
    m_row->insertSpacing(1, 12);
    m_row->insertWidget(2, widget, 0, Qt::AlignTop);
}

QMenu *CatalogueTabPage::showIconMenu(int slot, const QPoint &at, const QList<IconMenuItem> &items)
{
    if (m_menu && m_menu->isVisible()) {
        return m_menu;
    }
    auto *menu = new QMenu(this);
    m_menu = menu;
    menu->setObjectName(u"mnuProgram"_s);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const IconMenuItem &item : items) {
        QAction *action = menu->addAction(item.text);
        action->setObjectName(item.objectName);
        action->setEnabled(item.enabled);
        connect(action, &QAction::triggered, this,
                [this, slot, chosen = item.action] { emit iconActionChosen(slot, chosen); });
    }
    menu->popup(at);
    return menu;
}

void CatalogueTabPage::showEvent(QShowEvent *event)
{
    // Pictures are drawn when the tab is first seen: most starts never show three of the four tabs.
    if (!m_picturesDrawn) {
        m_picturesDrawn = true;
        for (int slot = 0; slot < m_icons.size(); ++slot) {
            m_icons[slot]->setPicture(Art::catalogueIcon(Catalogue::entryAt(m_tab, slot)->id, iconSize));
        }
    }
    QWidget::showEvent(event);
}

void CatalogueTabPage::mouseMoveEvent(QMouseEvent *event)
{
    emit surfaceHovered();
    QWidget::mouseMoveEvent(event);
}

void CatalogueTabPage::showInfo(const QString &text)
{
    m_info->setText(text);
}

void CatalogueTabPage::showInfo(const QString &text, CatalogueView::Tone tone)
{
    if (m_tone != tone) {
        m_tone = tone;
        QPalette p = m_info->palette();
        p.setColor(QPalette::WindowText, toneColour(this, tone));
        m_info->setPalette(p);
    }
    m_info->setText(text);
}

void CatalogueTabPage::showDownloadLine(const QString &text)
{
    // QLabel::clear() lays the label out again even when it is empty already.
    if (m_download->text() != text) {
        m_download->setText(text);
    }
}

void CatalogueTabPage::showCaption(int slot, const QString &text)
{
    QLabel *caption = m_captions.value(slot);
    if (!caption) {
        return;
    }
    caption->setText(text);
    // Without a caption from the settings, the icon is still named for screen readers and tool tips.
    const QString name = text.isEmpty() ? Catalogue::entryAt(m_tab, slot)->name.toString() : text;
    m_icons[slot]->setAccessibleName(name);
    m_icons[slot]->setToolTip(name);
}

void CatalogueTabPage::emphasizeCaption(int slot)
{
    if (QLabel *caption = m_captions.value(slot)) {
        setCaptionBold(caption, true);
    }
}

void CatalogueTabPage::resetCaptions()
{
    for (QLabel *caption : std::as_const(m_captions)) {
        setCaptionBold(caption, false);
    }
}

void CatalogueTabPage::showOnStick(int slot, bool onStick, const QString &spoken)
{
    if (IconButton *icon = m_icons.value(slot)) {
        icon->setMarked(onStick);
        m_spoken[slot].onStick = spoken;
        describe(slot);
    }
}

void CatalogueTabPage::showOutdated(int slot, bool outdated, const QString &spoken)
{
    if (IconButton *icon = m_icons.value(slot)) {
        icon->setOutdated(outdated);
        m_spoken[slot].outdated = spoken;
        describe(slot);
    }
}

void CatalogueTabPage::describe(int slot)
{
    const Spoken &spoken = m_spoken[slot];
    QStringList parts{spoken.onStick, spoken.outdated};
    parts.removeAll(QString());
    const QString description = parts.join(u' ');
    if (m_icons[slot]->accessibleDescription() != description) {
        m_icons[slot]->setAccessibleDescription(description);
    }
}

void CatalogueTabPage::showTranslatedBy(const QString &text)
{
    m_translated->setText(text);
}

} // namespace Trivet
