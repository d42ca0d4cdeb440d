#include "common/platform/Extractor.h"

#include "common/platform/AppFolder.h"
#include "common/platform/ExtractorCommand.h"
#include "common/platform/ExtractorLogging.h"
#include "common/platform/PackagePlacer.h"
#include "common/platform/WorkFolder.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace Trivet {

Extractor::Extractor(QObject *parent)
    : QObject(parent)
    , m_extractions(u"Extractor"_s)
{
    qRegisterMetaType<Trivet::ExtractResult>();
}

// The launcher is closing: m_extractions stops each extraction at its next member and waits until it has
// taken back what it placed, so the process ends promptly and leaves every folder as it was.
Extractor::~Extractor() = default;

void Extractor::run(const QString &appFolder, const QString &commandTail, const ExtractOptions &options)
{
    QString error;
    const std::optional<ExtractorCommand> command = ExtractorCommand::parse(commandTail, &error);
    if (!command) {
        const ExtractResult result = ExtractResult::failure(ExtractStatus::BadCommand, error);
        qCWarning(lcExtract) << error;
        // Queued, so callers see the same order of events as for a real extraction.
        QMetaObject::invokeMethod(
            this, [this, result] { emit finished(result); }, Qt::QueuedConnection);
        return;
    }

    const QString archivePath = resolveCaseInsensitive(joinTail(appFolder, command->archive));
    const QString destination = command->targetFolder.isEmpty()
                                    ? QDir::cleanPath(appFolder)
                                    : resolveCaseInsensitive(joinTail(appFolder, command->targetFolder));
    qCDebug(lcExtract) << "command" << commandTail << "archive" << archivePath << "destination" << destination;

    m_extractions.run(
        [archivePath, destination, root = appFolder, options](const std::atomic_bool &cancelled) {
            return PackagePlacer(root, &cancelled).unpackAndPlace(archivePath, destination, options);
        },
        [this](const ExtractResult &result) { emit finished(result); });
}

} // namespace Trivet
