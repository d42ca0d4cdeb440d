#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace Trivet {

// What the queue of program updates needs from a window. Texts arrive looked up in the user's language.
class UpdateQueueView
{
public:
    struct Captions
    {
        QString title;
        QString intro;  // above the list
        QString update; // the button that starts the updates
        QString cancel; // the other button while updates run
        QString close;  // the other button otherwise
    };
    struct Row
    {
        QString caption;
        QString size; // of the download; empty when not known
    };

    virtual ~UpdateQueueView() = default;

    virtual void showCaptions(const Captions &captions) = 0;
    // The programs to choose from, every one chosen.
    virtual void showPrograms(const QList<Row> &rows) = 0;
    // Why there is nothing to update (every program current, or off-line): no list, and no Update button.
    virtual void showNothingToDo(const QString &text) = 0;
    // Which programs the user chose, by row.
    virtual QList<bool> chosenPrograms() const = 0;
    // What became of one program so far ("waiting", "downloading 40 %", "updated", ...).
    virtual void showState(int row, const QString &text) = 0;
    // How far the current program has come, 0 to 100; -1 hides the bar.
    virtual void showProgress(int percent) = 0;
    // While updates run the choice is fixed and the other button cancels; afterwards it closes.
    virtual void showRunning(bool running) = 0;
    // The end: a line of counts, and the lines of files kept beside their new versions (empty: none). The window
    // offers no second run.
    virtual void showSummary(const QString &line, const QStringList &kept) = 0;
};

} // namespace Trivet
