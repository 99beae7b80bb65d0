#include "app/singleinstance.h"

#include <QDir>

namespace vorel {

const QString SingleInstance::LockName = QStringLiteral("VOREL_CLIENT");
const QString SingleInstance::RefusalText =
    QStringLiteral("系统已经运行，同一台电脑不可以同时运行两个POS系统!");
const QString SingleInstance::RefusalTitle = QStringLiteral("系统提示");

QString SingleInstance::defaultLockPath()
{
    QString folder;
#ifdef Q_OS_WIN
    // The temp folder there belongs to one user; ProgramData is the same for everyone.
    folder = qEnvironmentVariable("ProgramData");
#endif
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(LockName + QStringLiteral(".lock"));
}

SingleInstance::SingleInstance(const QString &lockPath) : lock_(lockPath)
{
    // A till runs for days: only a dead holder makes the file stale, never its age.
    lock_.setStaleLockTime(0);
}

bool SingleInstance::tryAcquire()
{
    if (lock_.isLocked())
        return true;
    return lock_.tryLock(0);
}

bool SingleInstance::heldByAnotherCopy() const
{
    return !lock_.isLocked() && lock_.error() == QLockFile::LockFailedError;
}

} // namespace vorel
