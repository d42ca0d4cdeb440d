#pragma once

#include <QString>

namespace Trivet {

// Tells whether a file may have changed since the last look, without reading it. The file's folder is
// watched, so a file written in place, replaced by a rename, removed or made anew is all seen, whatever the
// file system keeps of times. Where the system cannot watch (another platform, no watches left, a folder
// that is gone), every look says the file may have changed, so the caller falls back to looking at the file.
//
// Not thread-safe: one watch belongs to one thread.
class FileChangeWatch final
{
public:
    explicit FileChangeWatch(const QString &filePath);
    ~FileChangeWatch();
    FileChangeWatch(const FileChangeWatch &) = delete;
    FileChangeWatch &operator=(const FileChangeWatch &) = delete;

    // Whether anything may have happened to the file since the previous call; the first call after the
    // watch was made says yes. Whatever the caller then reads of the file is at least as new as this answer.
    bool mayHaveChanged();

private:
    QString m_fileName;
    int m_fd = -1;
    bool m_watching = false;
    bool m_firstLook = true;
};

} // namespace Trivet
