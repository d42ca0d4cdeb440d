#pragma once

#include "launcher/updates/UpdateOffer.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace Trivet {

// The new-version prompt (frmUpdate): a line that a newer version is out and which, and Yes (open its page),
// Update now and No. Opened without being modal, beside the main window; it shows what it is given and says
// which button was chosen. Escape and the window's close box answer No.
class UpdatePrompt final : public QDialog
{
    Q_OBJECT

public:
    explicit UpdatePrompt(const UpdatePromptTexts &texts, QWidget *parent = nullptr);

    // Escape, the close box and closing the window all come here.
    void reject() override;

signals:
    void answered(Trivet::UpdateAnswer answer);

private:
    void answer(UpdateAnswer chosen);

    QLabel *m_message;
    QLabel *m_versions;
    QPushButton *m_yes;
    QPushButton *m_updateNow;
    QPushButton *m_no;
    bool m_answered = false;
};

} // namespace Trivet
