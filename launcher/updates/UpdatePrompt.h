#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace Trivet {

// The new-version prompt (frmUpdate): a line that a newer version is out, and Yes (open its page) and No.
// Opened without being modal, beside the main window; it shows what it is given and says which button was
// chosen. Escape and the window's close box answer No.
class UpdatePrompt final : public QDialog
{
    Q_OBJECT

public:
    UpdatePrompt(const QString &message, const QString &yes, const QString &no, QWidget *parent = nullptr);

    // Escape, the close box and closing the window all come here.
    void reject() override;

signals:
    void answered(bool openPage);

private:
    void answer(bool openPage);

    QLabel *m_message;
    QPushButton *m_yes;
    QPushButton *m_no;
    bool m_answered = false;
};

} // namespace Trivet
