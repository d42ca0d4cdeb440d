#pragma once

#include <QString>
#include <QStringList>

namespace Trivet {

enum class WindowStyle { Normal, Minimized };

struct ProcessStart
{
    QString program;       // full path of the program
    QStringList arguments; // passed separately, never re-split from one text
    QString workingFolder; // empty: the program's own folder
    WindowStyle style = WindowStyle::Normal;
};

// Starts programs without waiting for them. Tests put a recorder in its place.
class ProcessStarter
{
public:
    virtual ~ProcessStarter() = default;
    // Returns false when the program could not be started.
    virtual bool start(const ProcessStart &request) = 0;
};

// Starts detached processes with QProcess.
class DetachedProcessStarter final : public ProcessStarter
{
public:
    bool start(const ProcessStart &request) override;
};

} // namespace Trivet
