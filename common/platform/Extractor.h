#pragma once

#include "common/platform/ArchiveExtractor.h"
#include "common/platform/BackgroundTasks.h"

#include <QObject>
#include <QString>

namespace Trivet {

// Runs an extraction command tail ("\unzip.exe -o -d Metapad mpad35.zip") against the application folder,
// as the unzip.exe and 7za.exe programs beside the launcher once did, but in-process and on a worker thread
// so the window keeps handling events. Names in the command are looked up without regard to letter case,
// so "Foxitreader.zip" finds "foxitreader.zip" and "-d Deepburn" re-installs into an existing "DeepBurn".
class Extractor final : public QObject
{
    Q_OBJECT

public:
    explicit Extractor(QObject *parent = nullptr);
    // Cancels extractions still running and waits until each has taken back what it placed.
    ~Extractor() override;

    // Starts the extraction and returns at once; finished() follows on this object's thread, also when the
    // command cannot be understood.
    void run(const QString &appFolder, const QString &commandTail, const ExtractOptions &options = {});

signals:
    void finished(const Trivet::ExtractResult &result);

private:
    BackgroundTasks m_extractions;
};

} // namespace Trivet
