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

struct [[nodiscard]] StartResult
{
    enum class Status { Started, NoProgram, Failed };

    Status status = Status::Failed;
    QString message; // why the program did not start; empty when it did

    bool ok() const { return status == Status::Started; }

    static StartResult started() { return {Status::Started, {}}; }
    static StartResult failure(Status status, const QString &message) { return {status, message}; }
};

// Starts programs without waiting for them. Tests put a recorder in its place.
class ProcessStarter
{
public:
    virtual ~ProcessStarter() = default;
    virtual StartResult start(const ProcessStart &request) = 0;
};

// Starts detached processes with QProcess.
class DetachedProcessStarter final : public ProcessStarter
{
public:
    StartResult start(const ProcessStart &request) override;
};

} // namespace Trivet
