#include "common/widgets/ProxyLoginDialog.h"

#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Trivet {

ProxyLoginDialog::ProxyLoginDialog(const ProxyLoginQuestion &question, QWidget *parent)
    : QDialog(parent)
    , m_user(new QLineEdit(question.user, this))
    , m_password(new QLineEdit(this))
{
    setObjectName(u"FrmProxyLogin"_s);
    setWindowTitle(question.title);
    setModal(true);

    auto *text = new QLabel(question.text, this);
    text->setObjectName(u"lbProxyLogin"_s);
    text->setWordWrap(true);
    text->setTextFormat(Qt::PlainText);

    m_user->setObjectName(u"txtProxyUser"_s);
    m_password->setObjectName(u"txtProxyPassword"_s);
    m_password->setEchoMode(QLineEdit::Password);
    auto *userLabel = new QLabel(question.userLabel, this);
    userLabel->setObjectName(u"lbProxyUser"_s);
    userLabel->setBuddy(m_user);
    auto *passwordLabel = new QLabel(question.passwordLabel, this);
    passwordLabel->setObjectName(u"lbProxyPassword"_s);
    passwordLabel->setBuddy(m_password);
    auto *form = new QFormLayout;
    form->addRow(userLabel, m_user);
    form->addRow(passwordLabel, m_password);

    auto *ok = new QPushButton(question.ok, this);
    ok->setObjectName(u"cmdProxyLogin"_s);
    ok->setDefault(true);
    auto *cancel = new QPushButton(question.cancel, this);
    cancel->setObjectName(u"cmdProxyCancel"_s);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addLayout(buttons);

    // Wide enough for the title in every language (the frame keeps room for the icon and three buttons) and
    // for an address in the text without a break in it.
    const QFontMetrics metrics(font());
    setMinimumWidth(qMax(metrics.horizontalAdvance(question.title) + 160, metrics.averageCharWidth() * 48));

    // The name tried last is filled in: what is left to type is the password.
    (question.user.isEmpty() ? m_user : m_password)->setFocus();
}

ProxyLogin ProxyLoginDialog::login() const
{
    return {m_user->text(), m_password->text()};
}

std::optional<ProxyLogin> ProxyLoginDialog::ask(const ProxyLoginQuestion &question, QWidget *parent)
{
    ProxyLoginDialog dialog(question, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.login();
}

} // namespace Trivet
