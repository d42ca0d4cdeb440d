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
        bool removes = false;  // nothing comes from the staging folder: the target goes into the backup folder
        // Whether what stands at the target now must be kept for an undo.
        bool keepsOld() const { return replaces || removes; }
    };

    InstallJournal(fs::path file, fs::path destination, fs::path staging, fs::path backup, bool createsDestination,
                   std::vector<Step> steps);

    // nullopt for a journal that was never completely written: no move begins before it is.
    static std::optional<InstallJournal> read(const fs::path &file);

    // Written whole under its final name, then flushed to the disk together with everything staged. False
    // also when the flush failed: the journal may then stand without the files it names.
    bool write() const;
    // The commit point: once the journal is gone, the install stands. False also when its removal did not
    // reach the disk: a journal that reappears would undo the install.
    bool remove() const;
    // Says that everything is in place and the install waits to be confirmed or taken back by whoever made it;
    // a start of the launcher leaves it alone meanwhile. Without the mark the journal is an interrupted install.
    // Like the journal, the mark counts only once it is on the disk.
    bool markAwaiting() const;
    bool isAwaiting() const;
    bool removeAwaitingMark() const;
    // What a finished install leaves: the journal, the mark, the staging and the backup folders.
    void removeRemains() const;
    // Takes every step back; false when something could not be restored or the restored files did not reach
    // the disk, so the journal must stay.
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
    static constexpr std::string_view AwaitingSuffix = ".awaiting";

private:
    fs::path awaitingMark() const;

    fs::path m_file;
    fs::path m_destination;
    fs::path m_staging;
    fs::path m_backup;
    bool m_createsDestination = false;
    std::vector<Step> m_steps;
};

// Makes what was written below path durable: the whole volume on Linux (one call, however many files),
// everything on other Unix systems. False, and logged, when the system says it could not.
[[nodiscard]] bool flushVolume(const fs::path &path);

// Copies a file with its permissions and makes the copy durable before returning.
void copyDurably(const fs::path &from, const fs::path &to, std::error_code &error);

// Undoes the installs whose journals are in folder and removes those journals; installs that await
// confirmation are treated as awaiting says. Returns the entries of folder that must stay: the journal and the
// folders it names of an install that could not be restored yet or is kept waiting.
std::vector<fs::path> recoverInstalls(const fs::path &folder, AwaitingInstall awaiting);

// Ends an install that waits for confirmation: confirmed, it stands; taken back, every old file returns.
bool confirmInstall(const fs::path &journal);
bool takeBackInstall(const fs::path &journal);

} // namespace Trivet::Extract
