#include "common/platform/ProcessStarter.h"

#include "common/platform/DynamicLoader.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace Trivet {

StartResult DetachedProcessStarter::start(const ProcessStart &request)
{
    if (request.program.isEmpty()) {
        return StartResult::failure(StartResult::Status::NoProgram, u"No program was named to start."_s);
    }
    QProcess process;
    process.setProgram(request.program);
    process.setArguments(request.arguments);
#if defined(Q_OS_WIN)
    // A program asked to open minimised shows its first window as a button on the task bar, without taking
    // the focus from the launcher. Elsewhere programs open as they like.
    if (request.style == WindowStyle::Minimized) {
        process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *arguments) {
            arguments->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
            arguments->startupInfo->wShowWindow = SW_SHOWMINNOACTIVE;
        });
    }
#endif
    // A native program on a drive that shows no run bits (a FAT stick) starts through the dynamic loader,
    // which needs none.
    if (!QFileInfo(request.program).isExecutable() && isNativeBinary(request.program)) {
        if (const QString loader = dynamicLoader(); !loader.isEmpty()) {
            process.setProgram(loader);
            process.setArguments(QStringList{request.program} + request.arguments);
        }
    }
    if (!request.workingFolder.isEmpty()) {
        process.setWorkingDirectory(request.workingFolder);
    } else {
        process.setWorkingDirectory(QFileInfo(request.program).absolutePath());
    }
    if (!process.startDetached()) {
        return StartResult::failure(StartResult::Status::Failed, u"Cannot start "_s +
                                                                     QDir::toNativeSeparators(request.program) +
                                                                     u": "_s + process.errorString());
    }
    return StartResult::started();
}

StartResult NoProcessStarter::start(const ProcessStart &request)
{
    return StartResult::failure(StartResult::Status::Failed,
                                u"No process starter to start "_s + QDir::toNativeSeparators(request.program));
}

std::shared_ptr<ProcessStarter> starterOrNone(std::shared_ptr<ProcessStarter> starter)
{
    return starter ? std::move(starter) : std::make_shared<NoProcessStarter>();
}

} // namespace Trivet
