#include "tests/support/ExtractAndWait.h"

#include "common/platform/Extractor.h"

#include <QEventLoop>

namespace Trivet::Test {

ExtractResult extractAndWait(const QString &appFolder, const QString &commandTail)
{
    Extractor extractor;
    QEventLoop loop;
    ExtractResult result;
    QObject::connect(&extractor, &Extractor::finished, &loop, [&loop, &result](const ExtractResult &finishedResult) {
        result = finishedResult;
        loop.quit();
    });
    extractor.run(appFolder, commandTail);
    loop.exec();
    return result;
}

} // namespace Trivet::Test
