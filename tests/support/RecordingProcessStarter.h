#pragma once

#include "common/platform/ProcessStarter.h"

#include <QList>

namespace Trivet::Test {

// Records the programs the launcher starts instead of starting them.
class RecordingProcessStarter final : public ProcessStarter
{
public:
    StartResult start(const ProcessStart &request) override
    {
        started.append(request);
        return succeed ? StartResult::started()
                       : StartResult::failure(StartResult::Status::Failed,
                                              QStringLiteral("The recorder was told to fail."));
    }

    QStringList programs() const
    {
        QStringList list;
        for (const ProcessStart &request : started) {
            list.append(request.program);
        }
        return list;
    }

    QList<ProcessStart> started;
    bool succeed = true;
};

} // namespace Trivet::Test
