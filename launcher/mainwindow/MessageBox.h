#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <utility>

class QWidget;

namespace Trivet {

// Every message box of the launcher goes through here. Tests switch on recording: boxes are then
// not shown but recorded, and answered with the next answer given (a modal box cannot be clicked
// from a headless test).
class MessageBox final
{
public:
    struct Shown
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };

    static QMessageBox::StandardButton warning(QWidget *parent, const QString &title, const QString &text);
    static QMessageBox::StandardButton information(QWidget *parent, const QString &title, const QString &text);
    static QMessageBox::StandardButton critical(QWidget *parent, const QString &title, const QString &text);
    // OK and Cancel; returns the button chosen.
    static QMessageBox::StandardButton askOkCancel(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                                   const QString &text);

    // Yes and No; returns the button chosen. Enter chooses defaultButton when given.
    static QMessageBox::StandardButton askYesNo(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                                const QString &text,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // Save, Discard and Cancel, labelled with the texts given; returns the button chosen.
    struct SaveDiscardCancelTexts
    {
        QString save;
        QString discard;
        QString cancel;
    };
    static QMessageBox::StandardButton askSaveDiscardCancel(QWidget *parent, const QString &title, const QString &text,
                                                            const SaveDiscardCancelTexts &buttons);

    // Test hooks.
    static void setRecording(bool on);
    static void setNextAnswer(QMessageBox::StandardButton answer);
    static QList<Shown> takeShown();

private:
    static QMessageBox::StandardButton show(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                            const QString &text, QMessageBox::StandardButtons buttons,
                                            const QList<std::pair<QMessageBox::StandardButton, QString>> &labels = {},
                                            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
};

} // namespace Trivet
