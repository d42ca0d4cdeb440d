#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace Trivet {

enum class WindowStyle { Normal, Minimized };

struct ProcessStart
{
    QString program;       // full path of the program
    QStringList arguments; // passed separately, never re-split from one text
    QString workingFolder; // empty: the program's own folder
    WindowStyle style = WindowStyle::Normal;

    friend bool operator==(const ProcessStart &, const ProcessStart &) = default;
};

struct [[nodiscard]] StartResult
{
    // NeedsWine: a Windows program on a system that has nothing to run it with; nothing was started.
    enum class Status { Started, NoProgram, Failed, NeedsWine };

    Status status = Status::Failed;
    QString message; // why the program did not start; empty when it did

    bool ok() const { return status == Status::Started; }
    bool needsWine() const { return status == Status::NeedsWine; }
    // The program is there and complete: it started, or only Wine is missing to start it.
    bool installed() const { return ok() || needsWine(); }

    static StartResult started() { return {Status::Started, {}}; }
    static StartResult failure(Status status, const QString &message) { return {status, message}; }
};

// Starts programs without waiting for them. Tests put a recorder in its place.
class ProcessStarter
{
public:
    virtual ~ProcessStarter() = default;
    virtual StartResult start(const ProcessStart &request) = 0;
    // Whether a Windows program would start, asked before one is on the drive so the user learns it early.
    // A starter that takes every program as it is says yes.
    virtual bool startsWindowsPrograms() const { return true; }
};

// Starts detached processes with QProcess. On Windows a program asked for a minimised window opens its first
// window minimised, without taking the focus.
class DetachedProcessStarter final : public ProcessStarter
{
public:
    StartResult start(const ProcessStart &request) override;
};

// Starts nothing and says so: what a controller holds when it was given no starter, so it never asks
// whether it has one.
class NoProcessStarter final : public ProcessStarter
{
public:
    StartResult start(const ProcessStart &request) override;
};

// starter, or a NoProcessStarter when there is none.
std::shared_ptr<ProcessStarter> starterOrNone(std::shared_ptr<ProcessStarter> starter);

} // namespace Trivet
