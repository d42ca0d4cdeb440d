// Installs one package the way the launcher does, in a process of its own that a test can kill at any moment:
//     trivet_install_child [--no-hard-links] APP-FOLDER ARCHIVE DESTINATION
#include "common/platform/ArchiveExtractor.h"
#include "common/platform/WorkFolder.h"
#include "common/platform/extract/StagedInstaller.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments();
    if (arguments.size() == 5 && arguments.at(1) == QStringLiteral("--no-hard-links")) {
        // As on a file system without hard links (FAT), on any file system.
        Trivet::Extract::StagedInstaller::setHardLinks(false);
        arguments.removeAt(1);
    }
    if (arguments.size() != 4) {
        QTextStream(stderr) << "usage: trivet_install_child [--no-hard-links] APP-FOLDER ARCHIVE DESTINATION\n";
        return 2;
    }
    const Trivet::ExtractResult result = Trivet::ArchiveExtractor(nullptr, Trivet::workFolder(arguments.at(1)))
                                             .extract(arguments.at(2), arguments.at(3));
    if (!result.ok()) {
        QTextStream(stderr) << result.message << '\n';
    }
    return result.ok() ? 0 : 1;
}
