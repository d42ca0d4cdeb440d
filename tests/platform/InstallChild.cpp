// Installs one package the way the launcher does, in a process of its own that a test can kill at any moment:
//     trivet_install_child APP-FOLDER ARCHIVE DESTINATION
#include "common/platform/ArchiveExtractor.h"
#include "common/platform/WorkFolder.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 4) {
        QTextStream(stderr) << "usage: trivet_install_child APP-FOLDER ARCHIVE DESTINATION\n";
        return 2;
    }
    const Trivet::ExtractResult result = Trivet::ArchiveExtractor(nullptr, Trivet::workFolder(arguments.at(1)))
                                             .extract(arguments.at(2), arguments.at(3));
    if (!result.ok()) {
        QTextStream(stderr) << result.message << '\n';
    }
    return result.ok() ? 0 : 1;
}
