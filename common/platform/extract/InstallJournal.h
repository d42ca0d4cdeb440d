#pragma once

#include "common/platform/extract/NativePaths.h"

#include <optional>

namespace Trivet::Extract {

// The plan of one install's moves, written down before the first of them and removed when the last has
// reached the disk. An install that a crash, a kill or a pulled stick interrupted is undone from it at the
// next start. The journal holds no progress: every step tells from the files themselves whether it was done,
// so undoing a step never begun, or undoing twice after a second interruption, changes nothing.
//
// Paths are stored relative to the journal's own folder, so a stick mounted elsewhere is still recovered.
class InstallJournal final
{
public:
    struct Step
    {
        fs::path relative;     // below the destination and the staging folder alike
        bool replaces = false; // what stood at the target is kept in the backup folder under the step's number
    };

    InstallJournal(fs::path file, fs::path destination, fs::path staging, fs::path backup, bool createsDestination,
                   std::vector<Step> steps);

    // nullopt for a journal that was never completely written: no move begins before it is.
    static std::optional<InstallJournal> read(const fs::path &file);

    // Written whole under its final name, then flushed to the disk together with everything staged.
    bool write() const;
    // The commit point: once the journal is gone, the install stands.
    bool remove() const;
    // Takes every step back; false when something could not be restored, so the journal must stay.
    bool undo() const;

    const std::vector<Step> &steps() const { return m_steps; }
    const fs::path &destination() const { return m_destination; }
    const fs::path &staging() const { return m_staging; }
    const fs::path &backup() const { return m_backup; }
    bool createsDestination() const { return m_createsDestination; }
    fs::path target(std::size_t step) const { return m_destination / m_steps[step].relative; }
    fs::path source(std::size_t step) const { return m_staging / m_steps[step].relative; }
    fs::path backupOf(std::size_t step) const { return m_backup / std::to_string(step); }

    static constexpr std::string_view Suffix = ".journal";

private:
    fs::path m_file;
    fs::path m_destination;
    fs::path m_staging;
    fs::path m_backup;
    bool m_createsDestination = false;
    std::vector<Step> m_steps;
};

// Makes what was written below path durable: the whole volume on Linux (one call, however many files),
// everything on other Unix systems.
void flushVolume(const fs::path &path);

// Undoes the installs whose journals are in folder and removes those journals. Returns the entries of folder
// that must stay because something could not be restored yet: the journal and the folders it names.
std::vector<fs::path> recoverInstalls(const fs::path &folder);

} // namespace Trivet::Extract
