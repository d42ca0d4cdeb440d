#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

using namespace Qt::StringLiterals;

// Stands in for every program of the demo mirror. It tells which program it replaces from the name and
// folder it was installed under, so a click that starts the wrong file is visible at once.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    const QFileInfo self(QCoreApplication::applicationFilePath());
    const QString folder = self.absoluteDir().dirName();
    const QString name = self.completeBaseName();

    QWidget window;
    window.setObjectName(u"StandIn"_s);
    window.setWindowTitle(self.fileName());
    auto *layout = new QVBoxLayout(&window);
    auto *label = new QLabel(u"Stand-in for %1 (%2/%3)"_s.arg(name, folder, self.fileName()), &window);
    label->setObjectName(u"lblStandIn"_s);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *close = new QPushButton(u"&Close"_s, &window);
    close->setObjectName(u"cmdClose"_s);
    layout->addWidget(label);
    layout->addWidget(close, 0, Qt::AlignRight);
    QObject::connect(close, &QPushButton::clicked, &window, &QWidget::close);
    window.show();
    return app.exec();
}
