#include "common/platform/ProcessStarter.h"

#include <QFileInfo>
#include <QProcess>

namespace Trivet {

bool DetachedProcessStarter::start(const ProcessStart &request)
{
    if (request.program.isEmpty()) {
        return false;
    }
    // A window style cannot be chosen for a detached process here; programs open as they like.
    QProcess process;
    process.setProgram(request.program);
    process.setArguments(request.arguments);
    if (!request.workingFolder.isEmpty()) {
        process.setWorkingDirectory(request.workingFolder);
    } else {
        process.setWorkingDirectory(QFileInfo(request.program).absolutePath());
    }
    return process.startDetached();
}

} // namespace Trivet
