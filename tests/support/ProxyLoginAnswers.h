#pragma once

#include "common/network/ProxyLogins.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <optional>

namespace Trivet::Test {

// Answers the proxy login dialog (FrmProxyLogin) of either program as a user would, each time it shows, with
// the next of the answers given: a login is typed into its boxes and sent with the login button, nullopt
// clicks Cancel, and so does a dialog beyond the last answer. Keeps what each dialog showed.
class ProxyLoginAnswers final : public QObject
{
public:
    struct Shown
    {
        QString title;
        QString text;
        QString user;        // the name filled in when it showed
        bool masked = false; // the password box hides what is typed
    };

    explicit ProxyLoginAnswers(QList<std::optional<ProxyLogin>> answers)
        : m_answers(std::move(answers))
    {
        // The dialog is modal: it is found from the event loop it runs, as the user finds it on the screen.
        connect(&m_poll, &QTimer::timeout, this, &ProxyLoginAnswers::answerShownDialog);
        m_poll.start(10);
    }

    QList<Shown> shown;
    // When set, a dialog is answered only once this holds, as a user who takes a while to type.
    std::function<bool()> answerWhen;

private:
    void answerShownDialog()
    {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->objectName() != u"FrmProxyLogin" || !window->isVisible() || (answerWhen && !answerWhen())) {
                continue;
            }
            auto *user = window->findChild<QLineEdit *>(QStringLiteral("txtProxyUser"));
            auto *password = window->findChild<QLineEdit *>(QStringLiteral("txtProxyPassword"));
            const auto *text = window->findChild<QLabel *>(QStringLiteral("lbProxyLogin"));
            shown.append({window->windowTitle(), text ? text->text() : QString(), user ? user->text() : QString(),
                          password && password->echoMode() == QLineEdit::Password});
            const std::optional<ProxyLogin> answer = m_answers.value(shown.size() - 1);
            if (answer && user && password) {
                user->setText(answer->user);
                password->setText(answer->password);
            }
            auto *button = window->findChild<QPushButton *>(answer ? QStringLiteral("cmdProxyLogin")
                                                                   : QStringLiteral("cmdProxyCancel"));
            if (button) {
                button->click();
            } else {
                window->close();
            }
        }
    }

    QList<std::optional<ProxyLogin>> m_answers;
    QTimer m_poll;
};

} // namespace Trivet::Test
