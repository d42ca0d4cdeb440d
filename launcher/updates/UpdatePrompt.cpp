#include "launcher/updates/UpdatePrompt.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Trivet {

UpdatePrompt::UpdatePrompt(const UpdatePromptTexts &texts, QWidget *parent)
    : QDialog(parent)
    , m_message(new QLabel(texts.message, this))
    , m_versions(new QLabel(texts.versions, this))
    , m_yes(new QPushButton(texts.openPage, this))
    , m_updateNow(new QPushButton(texts.updateNow, this))
    , m_no(new QPushButton(texts.no, this))
{
    setObjectName(u"frmUpdate"_s);
    setWindowTitle(u"Update available..."_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    m_message->setObjectName(u"lbVersionUpdate"_s);
    m_message->setWordWrap(true);
    // Wide enough for two or three lines in every language, so the prompt keeps its shape.
    m_message->setMinimumWidth(340);
    m_versions->setObjectName(u"lbVersionNumbers"_s);
    // A language file without the line leaves no gap.
    m_versions->setVisible(!texts.versions.isEmpty());
    m_yes->setObjectName(u"cmdYes"_s);
    m_updateNow->setObjectName(u"cmdUpdateNow"_s);
    m_no->setObjectName(u"cmdNo"_s);
    m_yes->setDefault(true);
    for (QPushButton *button : {m_yes, m_updateNow, m_no}) {
        button->setMinimumWidth(90);
    }

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_yes);
    buttons->addWidget(m_updateNow);
    buttons->addWidget(m_no);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(14);
    layout->addWidget(m_message);
    layout->addWidget(m_versions);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_yes, &QPushButton::clicked, this, [this] { answer(UpdateAnswer::OpenPage); });
    connect(m_updateNow, &QPushButton::clicked, this, [this] { answer(UpdateAnswer::UpdateNow); });
    connect(m_no, &QPushButton::clicked, this, [this] { answer(UpdateAnswer::No); });
}

void UpdatePrompt::answer(UpdateAnswer chosen)
{
    if (!m_answered) {
        m_answered = true;
        emit answered(chosen);
    }
    close();
}

void UpdatePrompt::reject()
{
    // A prompt sent away without a button is a No: otherwise update.dat would stay until the launcher ends.
    if (!m_answered) {
        m_answered = true;
        emit answered(UpdateAnswer::No);
    }
    QDialog::reject();
}

} // namespace Trivet
