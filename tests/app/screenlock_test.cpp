// The screen lock's rules without a screen: the idle count against a clock that moves only
// when told, the lock sequence around the dialog, and the password check against the demo
// shop (in process) and, offline, against the local store.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <ostream>
#include <vector>

#include "app/screenlock.h"
#include "core/clock.h"
#include "core/fakeshopservice.h"
#include "core/session.h"
#include "offline/connection.h"
#include "offline/localstore.h"
#include "server/localshopservice.h"
#include "testshop.h"

namespace vorel {
namespace {

class ScreenLockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString storePath = storeDir.filePath(QString::fromLatin1(LocalStoreFileName));
        ASSERT_TRUE(QFile::copy(LocalStore::shippedCleanCopy(), storePath));
        QFile::setPermissions(storePath, QFile::ReadOwner | QFile::WriteOwner);
        store = std::make_unique<LocalStore>(storePath);
        store->open();
        shop = std::make_unique<LocalShopService>(demo.location(), clock);
        ASSERT_TRUE(shop->isOpen()) << shop->openError().toStdString();
        session.identity.userId = QStringLiteral("01");
        session.connection.loginFlag = true;
        connection = std::make_unique<Connection>(session, *shop, *store);
        lock = std::make_unique<ScreenLock>(*connection, clock);
        QObject::connect(lock.get(), &ScreenLock::lockDue, [this] { ++locks; });
    }

    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 30, 0))};
    test::TestShop demo{sql::BackendKind::SQLite, test::TestShop::Content::Demo, QDate(2026, 12, 5)};
    QTemporaryDir storeDir;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<LocalShopService> shop;
    Session session;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<ScreenLock> lock;
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
    {"TwoMinutesLockAfter121Seconds", 2, {{120}, {1}}, 1, false},
    {"TwoMinutesTickingEverySecond", 2, everySecond(121), 120, false},
    {"KeyAt100SecondsRestartsTheCount", 2, {{100}, {120, true}, {1}}, 2, false},
    {"OneMinuteNeeds61Seconds", 1, {{60}, {1}}, 1, false},
    {"NeverWithZeroMinutes", 0, {{1}, {3600}, {86400}}, -1, false},
    {"NeverWithNegativeMinutes", -5, {{600}}, -1, false},
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
    EXPECT_EQ(lock.idleTimer().objectName(), QStringLiteral("Timer_LockScreen"));
    EXPECT_EQ(lock.idleTimer().interval(), 1000);
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

// ---- the password check

TEST(ScreenLockSql, StatementCarriesTheUserAndTheLowerCaseMd5)
{
    EXPECT_EQ(ScreenLock::unlockSql(QStringLiteral("01"), QStringLiteral("01")),
              QStringLiteral("SELECT USER_ID FROM SYS_USER WHERE USER_ID='01' AND "
                             "PASSWORD='96a3be3cf272e017046d1b2674a52bd3'"));
    EXPECT_EQ(ScreenLock::unlockSql(QStringLiteral("01"), QString()),
              QStringLiteral("SELECT USER_ID FROM SYS_USER WHERE USER_ID='01' AND "
                             "PASSWORD='d41d8cd98f00b204e9800998ecf8427e'"));
}

TEST(ScreenLockSql, QuotesAreRefusedAndStripped)
{
    EXPECT_TRUE(ScreenLock::refusesTyped(QStringLiteral("'")));
    EXPECT_FALSE(ScreenLock::refusesTyped(QStringLiteral("a")));
    EXPECT_FALSE(ScreenLock::refusesTyped(QString()));
    EXPECT_EQ(ScreenLock::withoutQuotes(QStringLiteral("'0'1''")), QStringLiteral("01"));
}

struct PasswordCase {
    const char *name;
    const char *userId;
    const char *password;
    bool unlocks;
};

void PrintTo(const PasswordCase &c, std::ostream *os)
{
    *os << c.name;
}

class UnlockOnDemoShop : public ScreenLockTest, public ::testing::WithParamInterface<PasswordCase> {};

TEST_P(UnlockOnDemoShop, OnlyTheCashiersOwnPasswordUnlocks)
{
    const PasswordCase &c = GetParam();
    session.identity.userId = QString::fromUtf8(c.userId);
    lock->prepareUnlock();
    EXPECT_EQ(lock->unlock(QString::fromUtf8(c.password)), c.unlocks);
    EXPECT_EQ(lock->mayClose(), c.unlocks);
    EXPECT_FALSE(connection->isOffline());
}

const PasswordCase passwordCases[] = {
    {"Right", "01", "01", true},
    {"AnotherUsersPassword", "01", "02", false},
    {"Empty", "01", "", false},
    {"InactiveUserStillUnlocks", "05", "05", true},
    {"TrailingBlankCounts", "99", "99 ", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, UnlockOnDemoShop, ::testing::ValuesIn(passwordCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ScreenLockTest, OfflineTheLocalCopyOfTheUsersDecides)
{
    connection->setOffline(true);
    lock->prepareUnlock();
    EXPECT_FALSE(lock->unlock(QStringLiteral("01"))); // no users copied yet: stays locked
    store->execute(QStringLiteral("INSERT INTO SYS_USER (USER_ID, USER_NAME, PASSWORD) "
                                  "VALUES ('01', '张丽', '96a3be3cf272e017046d1b2674a52bd3')"));
    EXPECT_FALSE(lock->unlock(QStringLiteral("02")));
    EXPECT_TRUE(lock->unlock(QStringLiteral("01")));
}

} // namespace
} // namespace vorel
