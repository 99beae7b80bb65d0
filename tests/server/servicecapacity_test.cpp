// How vorel-server holds up when connections and calls pile up: connections that stay open
// doing nothing (kept-alive tills, or someone opening sockets on purpose) never keep a till
// out, and when the database workers are all taken and the waiting line is full a call is
// refused with a message at once instead of hanging until the till gives up.

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "fakeclock.h"
#include "servertestutil.h"
#include "sqlengine/sqlitebackend.h"
#include "testshop.h"

using namespace vorel;
using namespace vorel::server;
using sql::BackendKind;

namespace {

// Client sockets held open on a port; closed on destruction.
class OpenSockets {
public:
    ~OpenSockets()
    {
        for (const int fd : fds_)
            ::close(fd);
    }
    // Connects from loopback address 127.0.1.`from` (the service caps connections per
    // address) and sends `bytes` (maybe nothing); when `answered`, reads until the answer's
    // body is in and leaves the connection open.
    bool open(int port, int from, const QByteArray &bytes, bool answered = false)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        fds_.push_back(fd);
        sockaddr_in source{};
        source.sin_family = AF_INET;
        source.sin_addr.s_addr = htonl(0x7f000100u | static_cast<uint32_t>(from & 0xff));
        if (::bind(fd, reinterpret_cast<sockaddr *>(&source), sizeof source) != 0)
            return false;
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port));
        if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
            return false;
        if (!bytes.isEmpty() && ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size())
            return false;
        if (!answered)
            return true;
        QByteArray answer;
        char buf[1024];
        pollfd p{fd, POLLIN, 0};
        while (!answer.contains("}") && ::poll(&p, 1, 5000) > 0) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            answer.append(buf, n);
        }
        return test::httpStatus(answer) == 401;
    }

private:
    std::vector<int> fds_;
};

const QString WriteBatch = QStringLiteral("UPDATE D701 SET POSTOP = '沃雷服装' WHERE ZD_ID = '001'");

class ServiceCapacityTest : public ::testing::Test {
protected:
    std::unique_ptr<ShopServer> start(int workers, int keepAliveSeconds, int queueLength, int lockWaitMs = 0)
    {
        ServerOptions options;
        options.location = shop_.location();
        options.host = QStringLiteral("127.0.0.1");
        options.port = 0;
        options.messagePort = 0;
        options.workers = workers;
        options.keepAliveSeconds = keepAliveSeconds;
        options.queueLength = queueLength;
        options.lockWaitMs = lockWaitMs;
        options.log = [this](const QString &line) { log_.add(line); };
        auto server = std::make_unique<ShopServer>(options, clock_);
        server->start();
        return server;
    }

    std::unique_ptr<RemoteShopService> till(const ShopServer &server)
    {
        auto t = std::make_unique<RemoteShopService>(test::addressOf(server), 10);
        EXPECT_EQ(t->thrGetLogin(test::loginOf(QStringLiteral("01"))).rows.totalRowCount(), 1) << t->lastMessage().toStdString();
        return t;
    }

    test::TestShop shop_{BackendKind::SQLite, test::TestShop::Content::Demo};
    FakeClock clock_{QDateTime(QDate::currentDate(), QTime(9, 0, 0))};
    test::ServerLog log_;
};

} // namespace

TEST_F(ServiceCapacityTest, IdleAndHalfSentConnectionsDoNotKeepATillOut)
{
    // Connections are kept far longer than the till waits for an answer.
    const auto server = start(2, 60, 512);
    OpenSockets crowd;
    const QByteArray answeredCall = "GET /tills HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const QByteArray halfCall = "POST /exec HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 500\r\n\r\n{\"sql\":";
    for (int i = 0; i < 200; ++i) {
        // Kept-alive tills between calls, half-sent requests, and bare connections.
        const int from = 1 + i / 10;
        const bool ok = i % 3 == 0 ? crowd.open(server->port(), from, answeredCall, true)
                                   : crowd.open(server->port(), from, i % 3 == 1 ? halfCall : QByteArray());
        ASSERT_TRUE(ok) << "connection " << i;
    }

    const auto t = till(*server);
    EXPECT_EQ(t->posExecSql(QStringLiteral("711"), {}, QStringLiteral("Edit"), WriteBatch, 10), ReplyOk);
    ResultSet rows;
    ASSERT_TRUE(t->posOpenSql(rows, QStringLiteral("SELECT POSTOP FROM D701 WHERE ZD_ID = '001'"))) << t->lastMessage().toStdString();
    EXPECT_EQ(rows.fieldAt(0, 0).asString(), QStringLiteral("沃雷服装"));
}

TEST_F(ServiceCapacityTest, AFullQueueAnswersBusyWhileReadsGoOnBesideAWaitingWriter)
{
    // Two workers, no waiting line; a writer waits for a lock held outside the service.
    const auto server = start(2, 2, 0, 30000);
    const auto a = till(*server);
    const auto b = till(*server);
    const auto reader = till(*server);
    sql::SqliteBackend outside(shop_.location());
    outside.begin(true);

    auto writeA = std::async(std::launch::async, [&] {
        return a->posExecSql(QStringLiteral("711"), {}, QStringLiteral("Edit"), WriteBatch, 60);
    });
    auto writeB = std::async(std::launch::async, [&] {
        return b->posExecSql(QStringLiteral("711"), {}, QStringLiteral("Edit"), WriteBatch, 60);
    });
    // One writer holds the turn and waits for the lock; the other finds no room and is
    // answered at once, while the lock is still held.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const auto ready = [](std::future<QString> &f) { return f.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; };
    while (!ready(writeA) && !ready(writeB) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(ready(writeA), ready(writeB)) << "exactly one writer is answered while the lock is held";
    std::future<QString> &refused = ready(writeA) ? writeA : writeB;
    std::future<QString> &waiting = ready(writeA) ? writeB : writeA;
    EXPECT_EQ(refused.get(), BusyMessage);
    EXPECT_TRUE(log_.has("op=711", "-> 503 busy")) << log_.lines().join('\n').toStdString();

    // Reading takes the other worker and is not held up by the writer's turn.
    ResultSet rows;
    EXPECT_TRUE(reader->posOpenSql(rows, QStringLiteral("SELECT POSTOP FROM D701 WHERE ZD_ID = '001'"))) << reader->lastMessage().toStdString();

    outside.rollback();
    EXPECT_EQ(waiting.get(), ReplyOk);
}
