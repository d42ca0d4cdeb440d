#include "launcher/install/ProgramRunner.h"

#include "common/product/Product.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/install/InstallLogging.h"

using namespace Qt::StringLiterals;

namespace Trivet {

ProgramRunner::ProgramRunner(std::shared_ptr<ProcessStarter> starter, const LanguageTexts &texts, Warn warn,
                             FailureLog failures)
    : m_starter(starterOrNone(std::move(starter)))
    , m_texts(texts)
    , m_warn(std::move(warn))
    , m_failures(failures)
{
}

StartResult ProgramRunner::start(const ProcessStart &request) const
{
    const StartResult started = m_starter->start(request);
    if (started.needsWine()) {
        qCInfo(lcInstall) << started.message;
        if (m_warn) {
            // Message boxes carry the program's name as their title.
            m_warn(Product::LauncherName.toString(), m_texts.text(u"errMsgWine"));
        }
    } else if (!started.ok() && m_failures == FailureLog::Warning) {
        qCWarning(lcInstall) << "could not start" << request.program << started.message;
    } else if (!started.ok()) {
        qCInfo(lcInstall) << "did not start" << request.program << started.message;
    }
    return started;
}

StartResult ProgramRunner::start(const QString &program, WindowStyle style) const
{
    return start({program, {}, {}, style});
}

} // namespace Trivet
