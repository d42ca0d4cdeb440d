#include "common/platform/Extractor.h"

#include "common/platform/AppFolder.h"
#include "common/platform/ExtractorCommand.h"
#include "common/platform/ExtractorLogging.h"
#include "common/platform/WorkFolder.h"

#include <QDir>
#include <QEventLoop>
#include <QThread>
#include <memory>

using namespace Qt::StringLiterals;

namespace Trivet {

Extractor::Extractor(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<Trivet::ExtractResult>();
}

Extractor::~Extractor()
{
    // The launcher is closing: extractions stop at their next member and take back what they placed, so
    // the process ends promptly and leaves every folder as it was.
    m_cancelled->store(true);
    for (QThread *thread : std::as_const(m_threads)) {
        thread->wait();
        delete thread;
    }
}

void Extractor::run(const QString &appFolder, const QString &commandTail)
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

    auto result = std::make_shared<ExtractResult>();
    const QString work = workFolder(appFolder);
    QThread *thread = QThread::create([result, archivePath, destination, work, cancelled = m_cancelled] {
        *result = ArchiveExtractor(cancelled.get(), work).extract(archivePath, destination);
    });
    thread->setObjectName(u"Extractor"_s);
    m_threads.append(thread);
    connect(thread, &QThread::finished, this, [this, thread, result] {
        m_threads.removeOne(thread);
        thread->deleteLater();
        emit finished(*result);
    });
    thread->start();
}

ExtractResult Extractor::runAndWait(const QString &appFolder, const QString &commandTail)
{
    Extractor extractor;
    QEventLoop loop;
    ExtractResult result;
    connect(&extractor, &Extractor::finished, &loop, [&loop, &result](const ExtractResult &finishedResult) {
        result = finishedResult;
        loop.quit();
    });
    extractor.run(appFolder, commandTail);
    loop.exec();
    return result;
}

} // namespace Trivet
