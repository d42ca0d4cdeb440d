#include "launcher/help/AboutBox.h"

#include "launcher/art/ArtCatalogue.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

// A label that reads as a link and reports a click or Enter, without opening anything itself.
QLabel *makeLink(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *link = new QLabel(u"<a href=\"#\">%1</a>"_s.arg(text.toHtmlEscaped()), parent);
    link->setObjectName(objectName);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setAccessibleName(text);
    return link;
}

} // namespace

AboutBox::AboutBox(const QString &mail, const QString &web, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(u"FrmAbout"_s);
    setWindowTitle(u"About..."_s);
    auto *layout = new QGridLayout(this);
    layout->setHorizontalSpacing(16);

    auto *picture = new QLabel(this);
    picture->setObjectName(u"Image1"_s);
    picture->setPixmap(Art::productPicture(64));
    picture->setAlignment(Qt::AlignTop);
    auto *title = new QLabel(u"Quillory Vidi  v 1.2.8"_s, this);
    title->setObjectName(u"LbTitel"_s);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    title->setFont(titleFont);
    auto *notice = new QLabel(u"A launcher for the portable programs you carry on a USB drive.\n"
                              u"Made by the Quillory team. Free to use and to pass on."_s,
                              this);
    notice->setObjectName(u"LbNotice"_s);
    QLabel *mailLink = makeLink(u"LbMail"_s, mail, this);
    QLabel *webLink = makeLink(u"LbWebAdres"_s, web, this);
    connect(mailLink, &QLabel::linkActivated, this, &AboutBox::mailClicked);
    connect(webLink, &QLabel::linkActivated, this, &AboutBox::webClicked);
    m_close = new QPushButton(u"&Close"_s, this);
    m_close->setObjectName(u"CmdClose"_s);
    m_close->setDefault(true);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);

    layout->addWidget(picture, 0, 0, 4, 1);
    layout->addWidget(title, 0, 1);
    layout->addWidget(notice, 1, 1);
    layout->addWidget(mailLink, 2, 1);
    layout->addWidget(webLink, 3, 1);
    layout->addWidget(m_close, 4, 0, 1, 2, Qt::AlignRight);
}

void AboutBox::setCloseText(const QString &text)
{
    m_close->setText(text);
}

} // namespace Trivet
