#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace Trivet {

// The file dialogs of the launcher. Tests switch on recording: no dialog is shown, each call answers with
// the next file name given (none given: cancelled) and its filters are kept, since a modal dialog cannot
// be answered from a headless test.
class FileDialog final
{
public:
    // Filters as Qt writes them ("Bmp (*.bmp)"); selected, or else the first one, is chosen at the start.
    // Empty when cancelled.
    static QString openFileName(QWidget *parent, const QStringList &filters, const QString &selected = {});
    // Starts in folder. A name typed without a suffix gets the one of the filter chosen.
    static QString saveFileName(QWidget *parent, const QStringList &filters, const QString &folder);

    // Test hooks.
    static void setRecording(bool on);
    static void setNextFileName(const QString &name);
    // The filters of each dialog asked for since the last call, oldest first.
    static QList<QStringList> takeAsked();
    // The folder the last dialog asked for started in; empty: the dialog's own choice.
    static QString lastFolder();

private:
    static QString ask(QWidget *parent, const QStringList &filters, const QString &selected, const QString &folder,
                       bool save);
};

} // namespace Trivet
