#include "launcher/mainwindow/TabLayout.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

constexpr int captionWidth = 104;

// A caption of fixed width that wraps onto as many lines as its text needs, two at least. Its height is
// measured once per text and font: a wrapping label answers every question of the layout by laying its
// text out again, and with forty-six captions that was most of the time the window took to appear.
class CaptionLabel final : public QLabel
{
public:
    CaptionLabel(const QString &text, QWidget *parent)
        : QLabel(text, parent)
    {
        setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        setWordWrap(true);
        setFixedWidth(captionWidth);
    }

    bool hasHeightForWidth() const override { return false; }
    QSize minimumSizeHint() const override { return sizeHint(); }

    QSize sizeHint() const override
    {
        if (!m_measured || m_measuredText != text() || m_measuredFont != font()) {
            const QFontMetrics metrics = fontMetrics();
            const int lines =
                metrics.boundingRect(QRect(0, 0, captionWidth, 0x7fff), Qt::TextWordWrap, text()).height();
            m_hint = QSize(captionWidth, qMax(lines, metrics.height() * 2) + 2);
            m_measuredText = text();
            m_measuredFont = font();
            m_measured = true;
        }
        return m_hint;
    }

protected:
    void changeEvent(QEvent *event) override
    {
        // A bold caption may need another line; the layout has to ask again.
        if (event->type() == QEvent::FontChange) {
            updateGeometry();
        }
        QLabel::changeEvent(event);
    }

private:
    mutable bool m_measured = false;
    mutable QString m_measuredText;
    mutable QFont m_measuredFont;
    mutable QSize m_hint;
};

} // namespace

QLabel *makeCaption(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *label = new CaptionLabel(text, parent);
    label->setObjectName(objectName);
    return label;
}

void addIconCell(QGridLayout *grid, int slot, int columns, QAbstractButton *icon, QLabel *caption)
{
    auto *cell = new QVBoxLayout;
    cell->setSpacing(2);
    cell->addWidget(icon, 0, Qt::AlignHCenter);
    cell->addWidget(caption, 0, Qt::AlignHCenter);
    grid->addLayout(cell, (slot / columns) * 2, slot % columns, Qt::AlignHCenter | Qt::AlignTop);
}

void setCaptionBold(QLabel *caption, bool bold)
{
    if (caption->font().bold() == bold) {
        return;
    }
    QFont font = caption->font();
    font.setBold(bold);
    caption->setFont(font);
}

QLabel *makeTranslatedLabel(int number, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(u"LbTranslate%1"_s.arg(number));
    label->setAlignment(Qt::AlignRight);
    label->setEnabled(false);
    return label;
}

} // namespace Trivet
