#pragma once

#include "common/platform/extract/MemberWriter.h"

#include <ctime>
#include <unordered_map>
#include <vector>

namespace Trivet::Extract {

// Writes every member relative to descriptors of the folders below the staging root (openat, mkdirat,
// symlinkat, linkat), never by a path from the root: no step of a name is ever followed when it is a link. The
// folders members were written into stay open (a few dozen of them), so a member in a folder seen before costs
// one openat, its writes and a close, even when an archive takes turns between folders. A file whose name
// stands already is removed and created anew, never written through.
class FolderMemberWriter final : public MemberWriter
{
public:
    ~FolderMemberWriter() override;

    // Nothing when the root cannot be opened.
    static std::unique_ptr<FolderMemberWriter> open(const fs::path &root);

    bool begin(archive_entry *entry, const Components &components, const Components *linked) override;
    bool write(const void *block, std::size_t size, qint64 offset) override;
    bool finish() override;
    bool close() override;
    int errorCode() const override { return m_error; }
    QString errorText() const override;

private:
    struct FolderTimes
    {
        Components components;
        timespec times[2];
    };

    explicit FolderMemberWriter(int root);

    // The descriptor of the folder named by the first count components, opened from the deepest one open
    // already; with create, missing folders are made on the way.
    int folder(const Components &components, std::size_t count, bool create);
    void closeFolders();
    int openStep(int parent, const NativeString &name, bool create);
    // Makes room for a member at name in parent: a folder stays for a folder member, anything else goes.
    bool clear(int parent, const NativeString &name, bool forFolder, bool &keep);
    bool failed(int code);
    void closeFile();

    int m_root = -1;
    std::unordered_map<NativeString, int> m_folders; // open folders by their '/'-joined names below the root
    std::vector<FolderTimes> m_folderTimes; // set when everything is written: files created in a folder change them
    int m_file = -1;
    qint64 m_announced = -1; // the file's size as its header says, or -1
    qint64 m_end = 0;        // where the file's data written so far ends
    bool m_hasTimes = false;
    timespec m_times[2] = {};
    int m_error = 0;
};

} // namespace Trivet::Extract
