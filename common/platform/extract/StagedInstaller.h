#pragma once

#include "common/platform/extract/NativePaths.h"

#include <atomic>

namespace Trivet::Extract {

class StagingFolder;

// Moves the unpacked tree from the staging folder into the destination: new entries are moved in, files in
// the way are replaced, folders are merged. Every step is a rename and is written down, so a failure half-way
// (a file in use, a vanished drive) is undone and the destination keeps its old files.
class StagedInstaller final
{
public:
    explicit StagedInstaller(StagingFolder &staging, const std::atomic_bool *cancelled = nullptr);

    ExtractResult install(const fs::path &destination);

private:
    struct Step
    {
        fs::path target;
        fs::path backup; // empty: nothing stood at target before
    };

    bool fail(ExtractStatus status, const QString &message);
    bool merge(const fs::path &from, const fs::path &to);
    bool move(const fs::path &source, const fs::path &target);
    bool replace(const fs::path &source, const fs::path &target);
    void rollBack(const fs::path &destination);

    StagingFolder &m_staging;
    const std::atomic_bool *m_cancelled = nullptr;
    ExtractResult m_result;
    std::vector<Step> m_steps;
    bool m_createdDestination = false;
};

} // namespace Trivet::Extract
