#include "common/platform/WineProcessStarter.h"

#include "common/platform/ProgramKind.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Trivet {

WineProcessStarter::WineProcessStarter(std::shared_ptr<ProcessStarter> starter, WineLocator locator)
    : m_starter(std::move(starter))
    , m_locator(std::move(locator))
{
}

StartResult WineProcessStarter::start(const ProcessStart &request)
{
    if (programKind(request.program) != ProgramKind::Windows) {
        return m_starter->start(request);
    }
    const QString wine = m_locator.wine();
    if (wine.isEmpty()) {
        return StartResult::failure(StartResult::Status::NeedsWine,
                                    QDir::toNativeSeparators(request.program) +
                                        u" is a Windows program, and there is no Wine to start it with."_s);
    }
    // Wine's own folder would otherwise become the program's working folder.
    const QString folder =
        request.workingFolder.isEmpty() ? QFileInfo(request.program).absolutePath() : request.workingFolder;
    return m_starter->start({wine, QStringList{request.program} + request.arguments, folder, request.style});
}

bool WineProcessStarter::startsWindowsPrograms() const
{
    return !m_locator.wine().isEmpty();
}

std::shared_ptr<ProcessStarter> makeProgramStarter(WineLocator locator)
{
#ifdef Q_OS_WIN
    Q_UNUSED(locator)
    return std::make_shared<DetachedProcessStarter>();
#else
    return std::make_shared<WineProcessStarter>(std::make_shared<DetachedProcessStarter>(), std::move(locator));
#endif
}

} // namespace Trivet
