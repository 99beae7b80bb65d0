// The network watch against a message-service client the test steers from its own thread.

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/clock.h"
#include "offline/networkwatch.h"
#include "fakeclock.h"
#include "offlinetestutil.h"

namespace vorel {
namespace {

// What the worker's clients see and do; shared with the test thread, hence atomics.
struct MessageLine {
    std::atomic<bool> reachable{true};
    std::atomic<int> sends{0};
    std::atomic<int> clientsMade{0};
    std::atomic<bool> touchedOnMainThread{false};
    std::mutex mutex;
    std::condition_variable released;
    bool holding = false; // sends wait until released
    QStringList lastFields;
    QString lastKind;

    void hold()
    {
        const std::lock_guard lock(mutex);
        holding = true;
    }
    void release()
    {
        {
            const std::lock_guard lock(mutex);
            holding = false;
        }
        released.notify_all();
    }
};

class KeepAliveClient final : public ShopService {
public:
    KeepAliveClient(MessageLine &line, QThread *mainThread) : line_(line), main_(mainThread)
    {
        note();
        ++line_.clientsMade;
    }
    ~KeepAliveClient() override { note(); }

    bool tcpSend(const QString &kind, const QStringList &fields) override
    {
        note();
        std::unique_lock lock(line_.mutex);
        line_.released.wait(lock, [this] { return !line_.holding; });
        line_.lastKind = kind;
        line_.lastFields = fields;
        ++line_.sends;
        return line_.reachable.load();
    }
    QString posExecSql(const QString &, const QString &, const QString &, const QString &, int) override { return {}; }
    bool posOpenSql(ResultSet &, const QString &) override { return false; }
    LoginReply thrGetLogin(const LoginRequest &) override { return {}; }
    QString getNoId(const QString &, const QString &, int) override { return {}; }
    bool lastCallReachedServer() const override { return line_.reachable.load(); }

private:
    void note()
    {
        if (QThread::currentThread() == main_)
            line_.touchedOnMainThread = true;
    }
    MessageLine &line_;
    QThread *main_;
};

constexpr int FastIntervalMs = 10;

class NetworkWatchTest : public test::ConnectionFixture {
protected:
    NetworkWatchTest()
    {
        session.connection.guid = QStringLiteral("till-guid");
        session.terminal.terminalId = QStringLiteral("001");
        session.identity.userId = QStringLiteral("01");
        QThread *mainThread = QThread::currentThread();
        watch = std::make_unique<NetworkWatch>(
            connection, [this, mainThread] { return std::make_unique<KeepAliveClient>(line, mainThread); }, clock,
            FastIntervalMs);
        QObject::connect(watch.get(), &NetworkWatch::probed, [this](bool reached) { answers.append(reached); });
        QObject::connect(&connection, &Connection::offlineChanged, &connection, [this, mainThread](bool) {
            if (QThread::currentThread() != mainThread)
                switchedOffMainThread = true;
        });
    }
    ~NetworkWatchTest() override
    {
        line.release();
        watch.reset();
    }

    bool waitForAnswers(int n) { return test::waitUntil([&] { return answers.size() >= n; }); }

    FakeClock clock;
    MessageLine line;
    std::unique_ptr<NetworkWatch> watch;
    QList<bool> answers;
    bool switchedOffMainThread = false;
};

TEST_F(NetworkWatchTest, BringsASessionOpenedOnlineBackOnline)
{
    // Two slips wait for upload, one went up already: the keep-alive reports two.
    store.execute(QStringLiteral("INSERT INTO D712 (NOID,CK_ID,ZD_ID,BDATE,USER_ID,T) VALUES "
                                 "('00110000001','001','001','2026-01-01 09:00:00','01',1),"
                                 "('00110000002','001','001','2026-01-01 09:01:00','01',0),"
                                 "('00110000003','001','001','2026-01-01 09:02:00','01',0)"));
    connection.setOffline(true); // a failed statement switched it
    watch->start();
    ASSERT_TRUE(waitForAnswers(1));
    EXPECT_FALSE(session.connection.offline);
    EXPECT_FALSE(connection.showsOffline());
    EXPECT_TRUE(watch->linkUp());
    EXPECT_EQ(session.connection.lastMessageExchange, clock.now());
    {
        const std::lock_guard lock(line.mutex);
        EXPECT_EQ(line.lastKind, QStringLiteral("0"));
        EXPECT_EQ(line.lastFields, (QStringList{"till-guid", "001", "01", "2"}));
    }
    // Link up and a fresh exchange: quiet from now on.
    test::spin(20 * FastIntervalMs);
    EXPECT_EQ(line.sends.load(), 1);

    watch->stop();
    EXPECT_EQ(line.clientsMade.load(), 1);
    EXPECT_FALSE(line.touchedOnMainThread.load()) << "the client lives on the watch thread only";
    EXPECT_FALSE(switchedOffMainThread);
}

TEST_F(NetworkWatchTest, StaysQuietForThirtySecondsAfterAnExchange)
{
    watch->setLinkUp(true);
    session.connection.lastMessageExchange = clock.now().addMSecs(-30400); // 30 s, rounded
    watch->start();
    test::spin(20 * FastIntervalMs);
    EXPECT_EQ(line.sends.load(), 0);

    clock.advanceMs(200); // 30.6 s: 31 once rounded
    ASSERT_TRUE(waitForAnswers(1));
    EXPECT_EQ(line.sends.load(), 1);
    EXPECT_EQ(session.connection.lastMessageExchange, clock.now());
}

// Sessions the watch must not switch: opened offline, not (or no longer) logged in, and the
// stand-alone edition, which asks but never goes offline.
struct Untouched {
    const char *name;
    int net;
    bool loginFlag;
    bool loginOnline;
    bool offline; // before and after
    bool asks;
};

class NetworkWatchLeaves : public NetworkWatchTest, public ::testing::WithParamInterface<Untouched> {};

TEST_P(NetworkWatchLeaves, TheStateAsItIs)
{
    const Untouched &c = GetParam();
    session.connection.net = static_cast<quint8>(c.net);
    session.connection.loginFlag = c.loginFlag;
    session.connection.loginOnline = c.loginOnline;
    line.reachable = false;
    connection.setOffline(c.offline);
    watch->start();
    if (c.asks) {
        ASSERT_TRUE(waitForAnswers(2));
    } else {
        test::spin(30 * FastIntervalMs);
        EXPECT_EQ(line.sends.load(), 0);
    }
    EXPECT_EQ(session.connection.offline, c.offline);
    EXPECT_EQ(connection.showsOffline(), c.offline);
}

INSTANTIATE_TEST_SUITE_P(Sessions, NetworkWatchLeaves,
                         ::testing::Values(Untouched{"OpenedOffline", 0, true, false, true, false},
                                           Untouched{"NotStarted", 0, false, true, true, false},
                                           Untouched{"LoggedOut", 0, false, false, true, false},
                                           Untouched{"StandAlone", 1, true, true, false, true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(NetworkWatchTest, AFailedKeepAliveSwitchesOfflineUntilTheServerAnswers)
{
    line.reachable = false;
    watch->start();
    ASSERT_TRUE(waitForAnswers(1));
    EXPECT_EQ(answers.first(), false);
    EXPECT_TRUE(session.connection.offline);
    EXPECT_TRUE(connection.showsOffline());
    EXPECT_FALSE(watch->linkUp());
    EXPECT_FALSE(session.connection.lastMessageExchange.isValid());

    // The link is down, so every pass tries again.
    ASSERT_TRUE(waitForAnswers(3));
    line.reachable = true;
    ASSERT_TRUE(test::waitUntil([&] { return !session.connection.offline; }));
    EXPECT_FALSE(connection.showsOffline());
}

TEST_F(NetworkWatchTest, AManualSwitchDuringTheKeepAliveWins)
{
    line.hold();
    connection.setOffline(true);
    watch->start();
    ASSERT_TRUE(test::waitUntil([&] { return watch->probeInFlight(); }));
    // "转成离线": the session is no longer one to bring back.
    session.connection.loginOnline = false;
    line.release();
    ASSERT_TRUE(waitForAnswers(1));
    EXPECT_EQ(answers.first(), true);
    EXPECT_TRUE(session.connection.offline);
    test::spin(20 * FastIntervalMs);
    EXPECT_EQ(line.sends.load(), 1);
}

TEST_F(NetworkWatchTest, OneKeepAliveAtATimeAndStopWaitsForIt)
{
    line.hold();
    watch->start();
    ASSERT_TRUE(test::waitUntil([&] { return watch->probeInFlight(); }));
    test::spin(10 * FastIntervalMs);
    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        line.release();
    });
    watch->stop();
    releaser.join();
    EXPECT_EQ(line.sends.load(), 1);
    EXPECT_FALSE(watch->isRunning());
    // The answer of the stopped watch is dropped.
    test::spin(10 * FastIntervalMs);
    EXPECT_TRUE(answers.isEmpty());
    EXPECT_FALSE(line.touchedOnMainThread.load());

    // It starts again with a new client.
    watch->start();
    ASSERT_TRUE(waitForAnswers(1));
    EXPECT_EQ(line.clientsMade.load(), 2);
}

} // namespace
} // namespace vorel
