#include "launcher/mainwindow/SearchBox.h"

#include "launcher/search/SearchText.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Trivet {

SearchBox::SearchBox(QWidget *parent)
    : QWidget(parent)
    , m_field(new QLineEdit(this))
    , m_list(new QListWidget(this))
    , m_none(new QLabel(this))
{
    m_field->setObjectName(u"txtSearch"_s);
    m_field->setMaxLength(SearchText::MaxQueryLength);
    m_field->installEventFilter(this);
    m_list->setObjectName(u"lstSearchResults"_s);
    m_list->setIconSize(QSize(32, 32));
    m_list->setUniformItemSizes(true);
    m_list->setVisible(false);
    m_none->setObjectName(u"lbSearchNone"_s);
    m_none->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_none->setWordWrap(true);
    m_none->setVisible(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_field);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_none, 1);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    connect(m_field, &QLineEdit::textChanged, this, &SearchBox::queryChanged);
    // The clear button shows only while there is text; its picture is decoded when the first text comes, not
    // while the window is being put on the screen.
    connect(m_field, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!text.isEmpty() && !m_field->isClearButtonEnabled()) {
            m_field->setClearButtonEnabled(true);
        }
    });
    connect(m_field, &QLineEdit::returnPressed, this, [this] { emit startRequested(m_list->currentRow()); });
    connect(m_list, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { emit startRequested(m_list->row(item)); });
}

void SearchBox::setHint(const QString &hint)
{
    m_field->setPlaceholderText(hint);
    m_field->setAccessibleName(hint);
}

void SearchBox::focusField(const QString &text)
{
    m_field->setFocus(Qt::ShortcutFocusReason);
    if (!text.isEmpty()) {
        m_field->insert(text);
    }
}

void SearchBox::showResults(const QList<SearchResult> &results)
{
    // One redraw for the whole list, not one per line.
    m_list->setUpdatesEnabled(false);
    m_list->clear();
    for (const SearchResult &result : results) {
        QString line = result.caption + u"  \u2014  "_s + result.tabName;
        if (!result.mark.isEmpty()) {
            line += u"  \u2014  "_s + result.mark;
        }
        auto *item = new QListWidgetItem(line, m_list);
        if (m_pictures) {
            item->setIcon(QIcon(m_pictures(result.tab, result.slot)));
        }
        item->setData(Qt::AccessibleTextRole, result.spoken);
        item->setToolTip(result.spoken);
    }
    m_list->setCurrentRow(0);
    m_list->setUpdatesEnabled(true);
    m_none->setVisible(false);
    m_list->setVisible(true);
    showArea(true);
}

void SearchBox::showNoMatch(const QString &text)
{
    m_list->clear();
    m_list->setVisible(false);
    m_none->setText(text);
    m_none->setVisible(true);
    showArea(true);
}

void SearchBox::showTabs()
{
    m_list->clear();
    m_list->setVisible(false);
    m_none->setVisible(false);
    showArea(false);
}

void SearchBox::showArea(bool shown)
{
    if (shown == m_areaShown) {
        return;
    }
    m_areaShown = shown;
    setSizePolicy(QSizePolicy::Preferred, shown ? QSizePolicy::Expanding : QSizePolicy::Maximum);
    emit resultsShown(shown);
}

bool SearchBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const int rows = m_list->count();
        if (key->key() == Qt::Key_Down && rows > 0) {
            m_list->setCurrentRow(std::min(m_list->currentRow() + 1, rows - 1));
            return true;
        }
        if (key->key() == Qt::Key_Up && rows > 0) {
            m_list->setCurrentRow(std::max(m_list->currentRow() - 1, 0));
            return true;
        }
        if (key->key() == Qt::Key_Escape && !m_field->text().isEmpty()) {
            m_field->clear();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace Trivet
