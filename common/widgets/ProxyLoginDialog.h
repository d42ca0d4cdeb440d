#pragma once

#include "common/network/ProxyLogins.h"

#include <QDialog>
#include <optional>

class QLineEdit;

namespace Trivet {

// Asks for the user name and password a proxy wants, for the launcher and the Updater alike. It shows the
// texts it is given and decides nothing; the password is typed masked.
class ProxyLoginDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit ProxyLoginDialog(const ProxyLoginQuestion &question, QWidget *parent = nullptr);

    ProxyLogin login() const;

    // Shows the dialog modally; nullopt when the user cancels or closes it.
    static std::optional<ProxyLogin> ask(const ProxyLoginQuestion &question, QWidget *parent);

private:
    QLineEdit *m_user;
    QLineEdit *m_password;
};

} // namespace Trivet
