#pragma once

#include <QWidget>

class QPushButton;

namespace Trivet {

// "About...": the product's name and version, the maker's notice, and its mail and web addresses as links.
// It shows and reports; opening a link is the controller's business.
class AboutBox final : public QWidget
{
    Q_OBJECT

public:
    explicit AboutBox(const QString &mail, const QString &web, QWidget *parent = nullptr);

    void setCloseText(const QString &text);

signals:
    void mailClicked();
    void webClicked();

private:
    QPushButton *m_close = nullptr;
};

} // namespace Trivet
