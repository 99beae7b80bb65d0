// One till per PC, checked with real second processes: a forked copy of this test plays
// the other till. A copy that is killed leaves its lock file behind for the next one.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "app/singleinstance.h"

namespace vorel {
namespace {

// Another till tries the lock. `stay`: it keeps the lock and waits to be killed (its pid
// is returned); else it ends at once and 0 (acquired) or 1 (refused) is returned.
int otherTill(const QString &lockPath, bool stay = false)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        SingleInstance other(lockPath);
        const char acquired = other.tryAcquire() ? 'Y' : 'N';
        if (!stay)
            _exit(acquired == 'Y' ? 0 : 1);
        [[maybe_unused]] const ssize_t written = write(ready[1], &acquired, 1);
        for (;;)
            pause();
    }
    close(ready[1]);
    char acquired = 0;
    const bool answered = read(ready[0], &acquired, 1) == 1;
    close(ready[0]);
    if (stay)
        return answered && acquired == 'Y' ? int(pid) : -1;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Kills the other till the way a crash ends it: nothing is cleaned up.
struct Crash {
    int pid;
    void now()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }
    ~Crash() { now(); }
};

class SingleInstanceTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString lockPath = dir.filePath(SingleInstance::LockName + QStringLiteral(".lock"));
};

TEST_F(SingleInstanceTest, SecondCopyIsRefusedUntilTheFirstEnds)
{
    {
        SingleInstance first(lockPath);
        ASSERT_TRUE(first.tryAcquire());
        EXPECT_TRUE(first.tryAcquire()); // asking again is no second copy

        EXPECT_EQ(otherTill(lockPath), 1);
        SingleInstance sameProcess(lockPath);
        EXPECT_FALSE(sameProcess.tryAcquire());
        EXPECT_TRUE(sameProcess.heldByAnotherCopy());
        EXPECT_TRUE(first.isHeld()) << "the first copy is not disturbed";
        EXPECT_EQ(otherTill(lockPath), 1);
    }
    EXPECT_EQ(otherTill(lockPath), 0);
}

TEST_F(SingleInstanceTest, LockOfACrashedCopyIsTakenOver)
{
    Crash holder{otherTill(lockPath, true)};
    ASSERT_GT(holder.pid, 0);
    // A till that has run all day keeps its lock: age alone makes nothing stale.
    {
        QFile file(lockPath);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-10 * 3600),
                                     QFileDevice::FileModificationTime));
    }
    SingleInstance mine(lockPath);
    EXPECT_FALSE(mine.tryAcquire());
    EXPECT_TRUE(mine.heldByAnotherCopy());

    holder.now();
    ASSERT_TRUE(QFileInfo::exists(lockPath)); // the crash left it behind
    EXPECT_TRUE(mine.tryAcquire());
    EXPECT_EQ(otherTill(lockPath), 1);
}

TEST_F(SingleInstanceTest, UnwritableLockIsNotMistakenForAnotherCopy)
{
    SingleInstance nowhere(dir.filePath(QStringLiteral("no-such-folder/VOREL_CLIENT.lock")));
    EXPECT_FALSE(nowhere.tryAcquire());
    EXPECT_FALSE(nowhere.heldByAnotherCopy());
}

} // namespace
} // namespace vorel
