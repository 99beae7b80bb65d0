#pragma once
// One till per PC. The first copy takes a lock file named after "VOREL_CLIENT" in a folder
// every user of the PC shares and keeps it until it ends; a second copy finds it taken and
// is refused. A copy that crashed leaves its file behind: the process named in it is gone,
// so the next copy clears the file and starts.

#include <QLockFile>
#include <QString>

namespace vorel {

class SingleInstance {
public:
    static const QString LockName;    // "VOREL_CLIENT"
    static const QString RefusalText; // "系统已经运行，同一台电脑不可以同时运行两个POS系统!"
    static const QString RefusalTitle; // "系统提示"

    // The lock of the whole PC: in the shared temp folder (on Windows the folder for data
    // of all users).
    static QString defaultLockPath();

    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;
    // Releases the lock.
    ~SingleInstance() = default;

    // True when this copy holds the lock (also when it already did). False when another
    // live copy holds it, or when the lock file cannot be written at all.
    bool tryAcquire();
    bool isHeld() const { return lock_.isLocked(); }
    // After a failed tryAcquire: true when a running copy holds the lock, false when the
    // lock file could not be made (no such folder, no rights).
    bool heldByAnotherCopy() const;
    void release() { lock_.unlock(); }
    QString lockPath() const { return lock_.fileName(); }

private:
    QLockFile lock_;
};

} // namespace vorel
