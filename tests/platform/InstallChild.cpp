// Installs one package the way the launcher does, in a process of its own that a test can kill at any moment:
//     trivet_install_child [--no-hard-links] [--keep-aside FILE]... [--remove FILE]... APP-FOLDER ARCHIVE DESTINATION
// --keep-aside and --remove name files below the destination, as an update over an earlier install asks.
#include "common/platform/ArchiveExtractor.h"
#include "common/platform/WorkFolder.h"
#include "common/platform/extract/StagedInstaller.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    Trivet::StagedChanges changes;
    while (!arguments.isEmpty() && arguments.first().startsWith(QStringLiteral("--"))) {
        const QString option = arguments.takeFirst();
        if (option == QStringLiteral("--no-hard-links")) {
            // As on a file system without hard links (FAT), on any file system.
            Trivet::Extract::StagedInstaller::setHardLinks(false);
        } else if (option == QStringLiteral("--keep-aside") && !arguments.isEmpty()) {
            changes.keepAside.append(arguments.takeFirst());
        } else if (option == QStringLiteral("--remove") && !arguments.isEmpty()) {
            changes.remove.append(arguments.takeFirst());
        } else {
            arguments.clear();
        }
    }
    if (arguments.size() != 3) {
        QTextStream(stderr)
            << "usage: trivet_install_child [--no-hard-links] [--keep-aside FILE]... [--remove FILE]... "
               "APP-FOLDER ARCHIVE DESTINATION\n";
        return 2;
    }
    Trivet::ExtractOptions options;
    if (!changes.keepAside.isEmpty() || !changes.remove.isEmpty()) {
        options.changeStaged = [changes](const QString &, const QList<Trivet::PlacedFile> &) { return changes; };
    }
    const Trivet::ExtractResult result = Trivet::ArchiveExtractor(nullptr, Trivet::workFolder(arguments.at(0)))
                                             .extract(arguments.at(1), arguments.at(2), options);
    if (!result.ok()) {
        QTextStream(stderr) << result.message << '\n';
    }
    return result.ok() ? 0 : 1;
}
