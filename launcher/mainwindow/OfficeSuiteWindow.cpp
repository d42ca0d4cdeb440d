#include "launcher/mainwindow/OfficeSuiteWindow.h"

#include "launcher/art/ArtCatalogue.h"
#include "launcher/mainwindow/IconButton.h"
#include "launcher/mainwindow/TabLayout.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

constexpr int iconSize = 36;
constexpr std::array<QStringView, OfficeSuiteWindow::ComponentCount> componentNames{
    u"OpenOffice.org Database", u"OpenOffice.org Calc", u"OpenOffice.org Draw",  u"OpenOffice.org Impress",
    u"OpenOffice.org Math",     u"OpenOffice.org",      u"OpenOffice.org Writer"};

} // namespace

OfficeSuiteWindow::OfficeSuiteWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(u"frmOpenOfficePortable"_s);
    setWindowTitle(u"Quillory Vidi"_s);
    setMouseTracking(true);
    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    for (int index = 0; index < ComponentCount; ++index) {
        auto *icon = new IconButton(iconSize, this);
        icon->setObjectName(u"Image1_%1"_s.arg(index));
        icon->setPicture(Art::officeComponentPicture(index, iconSize));
        auto *name = new QLabel(componentNames[index].toString(), this);
        name->setObjectName(u"lblOOPortApp%1"_s.arg(index + 1));
        icon->setAccessibleName(name->text());
        connect(icon, &IconButton::clicked, this, [this, index] { emit componentClicked(index); });
        // Only the name under the pointer turns bold; the others keep their weight until the surface.
        connect(icon, &IconButton::hovered, name, [name] { setCaptionBold(name, true); });
        grid->addWidget(icon, index, 0);
        grid->addWidget(name, index, 1);
        m_icons.append(icon);
        m_names.append(name);
    }
    layout->addLayout(grid);
    m_close = new QPushButton(u"&Close"_s, this);
    m_close->setObjectName(u"cmdClose"_s);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(m_close, 0, Qt::AlignRight);
}

void OfficeSuiteWindow::setCloseText(const QString &text)
{
    m_close->setText(text);
}

void OfficeSuiteWindow::mouseMoveEvent(QMouseEvent *event)
{
    for (QLabel *name : std::as_const(m_names)) {
        setCaptionBold(name, false);
    }
    QWidget::mouseMoveEvent(event);
}

} // namespace Trivet
