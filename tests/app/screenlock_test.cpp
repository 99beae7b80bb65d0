// The screen lock's rules without a screen: the idle count against a clock that moves only
// when told, the lock sequence around the dialog, and the password check against the demo
// shop (in process) and, offline, against the local store.

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "lockrig.h"

#include "fakeclock.h"
#include "fakeshopservice.h"

namespace vorel {
namespace {

class ScreenLockTest : public ::testing::Test, protected test::LockRig {
protected:
    void SetUp() override { QObject::connect(lock.get(), &ScreenLock::lockDue, [this] { ++locks; }); }

    int locks = 0;
};

// ---- the idle count

// The idle count needs no database: a scripted shop service and a store never opened.
class IdleTest : public ::testing::Test {
protected:
    IdleTest() { QObject::connect(&lock, &ScreenLock::lockDue, [this] { ++locks; }); }

    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 30, 0))};
    Session session;
    FakeShopService shop;
    LocalStore store{QString()};
    Connection connection{session, shop, store};
    ScreenLock lock{connection, clock};
    int locks = 0;
};

// One step of a scenario: move the clock, maybe press a key first, then one tick.
struct Step {
    int advanceSeconds;
    bool keyBefore = false;
};

struct IdleCase {
    const char *name;
    int minutes;
    std::vector<Step> steps;
    int lockAtStep; // index of the tick that locks; -1 never
    bool timerRunsAfter;
};

void PrintTo(const IdleCase &c, std::ostream *os)
{
    *os << c.name;
}

class IdleLock : public IdleTest, public ::testing::WithParamInterface<IdleCase> {};

TEST_P(IdleLock, LocksOnlyWhenTheCountPassesTheLimit)
{
    const IdleCase &c = GetParam();
    lock.setLockMinutes(c.minutes);
    lock.resetIdle();
    lock.startIdleTimer();
    for (int i = 0; i < static_cast<int>(c.steps.size()); ++i) {
        if (c.steps[i].keyBefore)
            lock.resetIdle();
        clock.advanceSeconds(c.steps[i].advanceSeconds);
        lock.tick();
        EXPECT_EQ(locks, i >= c.lockAtStep && c.lockAtStep >= 0 ? 1 : 0) << "after step " << i;
    }
    EXPECT_EQ(lock.isIdleTimerActive(), c.timerRunsAfter);
    if (c.lockAtStep >= 0) {
        EXPECT_EQ(lock.idleSeconds(), 0);
    }
}

std::vector<Step> everySecond(int n)
{
    return std::vector<Step>(static_cast<size_t>(n), Step{1});
}

const IdleCase idleCases[] = {
    {"TwoMinutesTickingEverySecond", 2, everySecond(121), 120, false},
    {"KeyAt100SecondsRestartsTheCount", 2, {{100}, {120, true}, {1}}, 2, false},
    {"NeverWithZeroMinutes", 0, {{1}, {3600}, {86400}}, -1, false},
    {"ClockSetBackCountsNothing", 1, {{-3600}, {60}, {1}}, 2, false},
    {"PartSecondsAddUp", 1, {{30}, {30}, {0}, {1}}, 3, false},
    {"StillCountingBelowTheLimit", 2, {{119}}, -1, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, IdleLock, ::testing::ValuesIn(idleCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(IdleTest, StoppedTimerCountsNothingAndRestartsFromNow)
{
    lock.setLockMinutes(1);
    lock.startIdleTimer();
    clock.advanceSeconds(40);
    lock.tick();
    lock.stopIdleTimer();
    clock.advanceSeconds(600); // stopped: this time is not idle time
    lock.startIdleTimer();
    clock.advanceSeconds(20);
    lock.tick();
    EXPECT_EQ(lock.idleSeconds(), 60);
    EXPECT_EQ(locks, 0);
    clock.advanceSeconds(1);
    lock.tick();
    EXPECT_EQ(locks, 1);
}

// ---- the lock sequence

TEST_F(ScreenLockTest, LockStopsTheTimerWhileUpAndRestartsAfterwards)
{
    lock->setLockMinutes(2);
    lock->startIdleTimer();
    clock.advanceSeconds(50);
    lock->tick();
    bool timerDuringDialog = true;
    bool nestedRan = false;
    lock->lock([&] {
        lock->prepareUnlock();
        timerDuringDialog = lock->isIdleTimerActive();
        lock->lock([&] { nestedRan = true; }); // a second lock while locked does nothing
        clock.advanceSeconds(900);
        EXPECT_FALSE(lock->mayClose());
        EXPECT_TRUE(lock->unlock(QStringLiteral("01")));
    });
    EXPECT_FALSE(timerDuringDialog);
    EXPECT_FALSE(nestedRan);
    EXPECT_FALSE(lock->isLocked());
    EXPECT_TRUE(lock->isIdleTimerActive());
    EXPECT_EQ(lock->idleSeconds(), 0);
    clock.advanceSeconds(120);
    lock->tick();
    EXPECT_EQ(locks, 0); // the 900 seconds behind the dialog were not counted
}

// ---- the password check: the user and the lower-case MD5 of what was typed must match a
// row of the shop (which rows match is the corpus's screen-lock.test), or offline of the local
// store.

TEST_F(ScreenLockTest, OfflineTheLocalCopyOfTheUsersDecides)
{
    connection.setOffline(true);
    lock->prepareUnlock();
    EXPECT_FALSE(lock->unlock(QStringLiteral("01"))); // no users copied yet: stays locked
    store->execute(QStringLiteral("INSERT INTO SYS_USER (USER_ID, USER_NAME, PASSWORD) "
                                  "VALUES ('01', '张丽', '96a3be3cf272e017046d1b2674a52bd3')"));
    EXPECT_FALSE(lock->unlock(QStringLiteral("02")));
    EXPECT_TRUE(lock->unlock(QStringLiteral("01")));
}

} // namespace
} // namespace vorel
