#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace Trivet {

// One running launcher per application folder. The lock lives in the temporary folder of the user,
// not on the drive, so a write-protected stick works and a crash leaves no lock that blocks the
// next start (a stale lock of a dead process is taken over).
class SingleInstance final
{
public:
    explicit SingleInstance(const QString &appFolder, const QString &program);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // True when this process is the only instance for the folder.
    bool tryAcquire();

    // Whether a live process holds the lock of program for the folder, judged from the lock file without
    // taking it: taking it even for a moment would turn away that program if it were starting just then.
    static bool isHeld(const QString &appFolder, const QString &program);

    // Where the lock of program for the folder lives.
    static QString lockPath(const QString &appFolder, const QString &program);

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace Trivet
