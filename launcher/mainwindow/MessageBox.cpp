#include "launcher/mainwindow/MessageBox.h"

#include <QAbstractButton>

namespace Trivet {
namespace {

struct Recorder
{
    bool recording = false;
    QMessageBox::StandardButton nextAnswer = QMessageBox::NoButton;
    QList<MessageBox::Shown> shown;
};

Recorder &recorder()
{
    static Recorder r;
    return r;
}

} // namespace

QMessageBox::StandardButton MessageBox::show(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                             const QString &text, QMessageBox::StandardButtons buttons,
                                             const QList<std::pair<QMessageBox::StandardButton, QString>> &labels,
                                             QMessageBox::StandardButton defaultButton)
{
    Recorder &r = recorder();
    if (r.recording) {
        r.shown.append({icon, title, text});
        QMessageBox::StandardButton answer = r.nextAnswer;
        r.nextAnswer = QMessageBox::NoButton;
        if (answer == QMessageBox::NoButton || !(buttons & answer)) {
            answer = (buttons & QMessageBox::Ok)   ? QMessageBox::Ok
                     : (buttons & QMessageBox::No) ? QMessageBox::No
                                                   : QMessageBox::Cancel;
        }
        return answer;
    }
    QMessageBox box(icon, title, text, buttons, parent);
    for (const auto &[button, label] : labels) {
        if (!label.isEmpty()) {
            box.button(button)->setText(label);
        }
    }
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QMessageBox::StandardButton MessageBox::warning(QWidget *parent, const QString &title, const QString &text)
{
    return show(parent, QMessageBox::Warning, title, text, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBox::information(QWidget *parent, const QString &title, const QString &text)
{
    return show(parent, QMessageBox::Information, title, text, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBox::critical(QWidget *parent, const QString &title, const QString &text)
{
    return show(parent, QMessageBox::Critical, title, text, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBox::askOkCancel(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                                    const QString &text)
{
    return show(parent, icon, title, text, QMessageBox::Ok | QMessageBox::Cancel);
}

QMessageBox::StandardButton MessageBox::askYesNo(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                                 const QString &text, QMessageBox::StandardButton defaultButton)
{
    return show(parent, icon, title, text, QMessageBox::Yes | QMessageBox::No, {}, defaultButton);
}

QMessageBox::StandardButton MessageBox::askSaveDiscardCancel(QWidget *parent, const QString &title, const QString &text,
                                                             const SaveDiscardCancelTexts &buttons)
{
    return show(parent, QMessageBox::Question, title, text,
                QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                {{QMessageBox::Save, buttons.save},
                 {QMessageBox::Discard, buttons.discard},
                 {QMessageBox::Cancel, buttons.cancel}});
}

void MessageBox::setRecording(bool on)
{
    recorder().recording = on;
    recorder().shown.clear();
    recorder().nextAnswer = QMessageBox::NoButton;
}

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer)
{
    recorder().nextAnswer = answer;
}

QList<MessageBox::Shown> MessageBox::takeShown()
{
    return std::exchange(recorder().shown, {});
}

} // namespace Trivet
