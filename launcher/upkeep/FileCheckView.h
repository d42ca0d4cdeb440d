#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace Trivet {

// What the check of installed files needs from a screen (see CatalogueView for the pattern). Texts arrive
// looked up and filled in.
class FileCheckView
{
public:
    // One program's part of the list: a line that sums it up, and one line a file that is not as installed.
    struct ProgramLines
    {
        QString heading;
        QStringList files;
    };

    virtual ~FileCheckView() = default;

    // The line above the list.
    virtual void showCheckStatus(const QString &text) = 0;
    // How far the check has read; text says how many files that is.
    virtual void showCheckProgress(qint64 done, qint64 total, const QString &text) = 0;
    // The whole list, in place of what it showed.
    virtual void showCheckedPrograms(const QList<ProgramLines> &programs) = 0;
    // Whether Cancel has something to stop and Repair something to mend.
    virtual void enableCheckButtons(bool cancel, bool repair) = 0;
};

} // namespace Trivet
