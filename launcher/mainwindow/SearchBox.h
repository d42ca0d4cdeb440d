#pragma once

#include "launcher/search/SearchView.h"

#include <QPixmap>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;

namespace Trivet {

// The search field above the tabs and, while it holds text, the programs found in the tabs' place: each line
// with the program's icon, caption, tab and mark. Up and Down choose a line, Enter asks for the chosen one (or
// the first) to start, Escape empties the field. It shows what a SearchController tells it.
class SearchBox final : public QWidget, public SearchView
{
    Q_OBJECT

public:
    explicit SearchBox(QWidget *parent = nullptr);

    // The picture of the icon at tab and slot, for the lines of the list.
    void setPictureSource(std::function<QPixmap(int tab, int slot)> source) { m_pictures = std::move(source); }
    void setHint(const QString &hint);

    // Puts the keyboard in the field; text, when given, is typed into it.
    void focusField(const QString &text = QString());

    QLineEdit *field() const { return m_field; }
    QListWidget *resultList() const { return m_list; }

    void showResults(const QList<SearchResult> &results) override;
    void showNoMatch(const QString &text) override;
    void showTabs() override;

signals:
    void queryChanged(const QString &query);
    // row: the chosen line, or -1 for none.
    void startRequested(int row);
    // Whether the result area stands in the tabs' place now.
    void resultsShown(bool shown);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showArea(bool shown);

    QLineEdit *m_field;
    QListWidget *m_list;
    QLabel *m_none;
    std::function<QPixmap(int, int)> m_pictures;
    bool m_areaShown = false;
};

} // namespace Trivet
