// What vorel-server does with a client that tries to wear it down: batches nested past any
// use, statements that never end, bodies far larger than a slip, connections that trickle
// or idle, numbers too large for their field. Each is refused with a message, the service
// keeps answering a till's login within a second, and the shop database stays as it was.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <future>
#include <thread>

#include "servertestutil.h"
#include "sqlengine/engine.h"
#include "sqlengine/translator.h"
#include "testshop.h"

using namespace vorel;
using namespace vorel::server;
using sql::BackendKind;

namespace {

// A socket connected to a loopback port from 127.0.2.`from`; closed on destruction.
class Client {
public:
    Client(int port, int from)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in source{};
        source.sin_family = AF_INET;
        source.sin_addr.s_addr = htonl(0x7f000200u | static_cast<uint32_t>(from));
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port));
        connected_ = ::bind(fd_, reinterpret_cast<sockaddr *>(&source), sizeof source) == 0
                     && ::connect(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    }
    ~Client() { ::close(fd_); }
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    bool send(const QByteArray &bytes) const
    {
        return connected_ && ::send(fd_, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    }
    // True when the server closed the connection within `ms`.
    bool closedWithin(int ms) const
    {
        pollfd p{fd_, POLLIN, 0};
        char buf[256];
        while (::poll(&p, 1, ms) > 0) {
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0)
                return true;
        }
        return false;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

QString textOf(const QByteArray &answer, const char *field)
{
    return QJsonDocument::fromJson(test::httpBody(answer)).object().value(QLatin1String(field)).toString();
}

QByteArray json(const QString &sql)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("sql"), sql}}).toJson(QJsonDocument::Compact);
}

QString repeated(const char *piece, int times)
{
    return QString::fromLatin1(piece).repeated(times);
}

const QString Change = QStringLiteral("UPDATE D701 SET POSTOP = '改过了' WHERE ZD_ID = '001'");
// Counts 7^10 rows: runs far longer than any statement may.
const QString Endless = QStringLiteral("SELECT COUNT(*) FROM SYS_USER a, SYS_USER b, SYS_USER c, SYS_USER d, SYS_USER e, "
                                       "SYS_USER f, SYS_USER g, SYS_USER h, SYS_USER i, SYS_USER j");

class ServiceLimitsTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        shop_ = std::make_unique<test::TestShop>(GetParam(), test::TestShop::Content::Demo);
        ServerOptions options;
        options.location = shop_->location();
        options.host = QStringLiteral("127.0.0.1");
        options.port = 0;
        options.messagePort = 0;
        options.workers = 2;
        options.keepAliveSeconds = 1;
        options.connectionsPerAddress = 8;
        options.requestReadMs = 1000;
        options.statementTimeoutMs = 300;
        options.log = [this](const QString &line) { log_.add(line); };
        server_ = std::make_unique<ShopServer>(options, clock_);
        server_->start();
        token_ = textOf(login(), "token").toUtf8();
        ASSERT_FALSE(token_.isEmpty());
    }

    QByteArray login() const
    {
        return test::rawPost(server_->port(), wire::LoginPath,
                             QByteArray(R"({"user":"01","password_md5":")") + test::md5("01").toUtf8()
                                 + R"(","terminal_key":"vorel","database":"CL"})");
    }

    // How long a till waits for its login now; fails the test when it is refused.
    qint64 loginMs() const
    {
        QElapsedTimer timer;
        timer.start();
        const QByteArray answer = login();
        EXPECT_FALSE(textOf(answer, "token").isEmpty()) << answer.toStdString();
        return timer.elapsed();
    }

    QString shopName() const
    {
        ResultSet rows;
        shop_->open()->execute(QStringLiteral("SELECT POSTOP FROM D701 WHERE ZD_ID = '001'"), &rows);
        return rows.fieldAt(0, 0).asString();
    }

    SystemClock clock_;
    test::ServerLog log_;
    std::unique_ptr<test::TestShop> shop_;
    std::unique_ptr<ShopServer> server_;
    QByteArray token_;
};

} // namespace

TEST_P(ServiceLimitsTest, HarmfulCallsAreRefusedWithAMessageAndChangeNothing)
{
    const QString name = shopName();
    const struct {
        const char *what;
        const char *path;
        QByteArray body;
        const char *field;
        QString told;
        QString logged; // the database's own text, kept for the log only
    } cases[] = {
        {"IF nested 15937 deep", wire::ExecPath, json(repeated("IF 1=1 ", 15937) + Change), "reply", sql::TooDeepMessage, {}},
        {"BEGIN nested 15937 deep", wire::ExecPath, json(repeated("BEGIN ", 15937) + Change + repeated(" END", 15937)),
         "reply", sql::TooDeepMessage, {}},
        {"parentheses 20000 deep", wire::OpenPath, json("SELECT " + repeated("(", 20000) + "1" + repeated(")", 20000)),
         "error", sql::TooDeepMessage, {}},
        {"a statement that never ends", wire::OpenPath, json(Endless), "error", sql::TimeoutReply, {}},
        {"the database's own error", wire::ExecPath, json(Change + "; INSERT INTO SYS_LOG_LOGIN (USER_ID, GUID) VALUES (NULL, 'x')"),
         "reply", DatabaseFaultMessage, QStringLiteral("user_id")},
        {"the till's own refusal", wire::ExecPath, json(Change + "; RAISERROR('本单已结账,不能修改!', 16, 1)"), "reply",
         QStringLiteral("本单已结账,不能修改!"), {}},
        {"a length past 32 bits", wire::NoIdPath, R"({"code":"VIP","length":4294967304})", "error",
         QStringLiteral("bad request: the number field \"length\" is out of range (1 to 18)"), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray answer = test::rawPost(server_->port(), c.path, c.body, token_);
        EXPECT_EQ(textOf(answer, c.field), c.told) << answer.left(300).toStdString();
        if (!c.logged.isEmpty()) {
            const QStringList lines = log_.lines();
            EXPECT_TRUE(lines.last().contains(c.logged, Qt::CaseInsensitive)) << lines.last().toStdString();
        }
        EXPECT_LT(loginMs(), 1000);
        EXPECT_EQ(shopName(), name);
    }
    ResultSet drawn;
    shop_->open()->execute(QStringLiteral("SELECT COUNT(*) FROM SYS_NOID"), &drawn);
    EXPECT_EQ(drawn.fieldAt(0, 0).asInt(), 0);
}

TEST_P(ServiceLimitsTest, StatementsThatNeverEndGiveTheirWorkersBackInTime)
{
    // Twice as many endless statements as workers, and a till logging in meanwhile.
    std::vector<std::future<QByteArray>> endless;
    for (int i = 0; i < 4; ++i)
        endless.push_back(std::async(std::launch::async, [&] {
            return test::rawPost(server_->port(), wire::OpenPath, json(Endless), token_);
        }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LT(loginMs(), 1000);
    for (auto &f : endless)
        EXPECT_EQ(textOf(f.get(), "error"), sql::TimeoutReply);
}

INSTANTIATE_TEST_SUITE_P(Backends, ServiceLimitsTest, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());

using ServiceLimitsHttpTest = ServiceLimitsTest;

TEST_P(ServiceLimitsHttpTest, BodiesThatCannotBeBoundedAreRefusedBeforeTheyAreRead)
{
    const QByteArray head = "Host: 127.0.0.1\r\nContent-Type: application/json\r\n";
    const struct {
        const char *what;
        bool messagePort;
        QByteArray request;
        int status;
    } cases[] = {
        {"a 50 MB login", false, "POST /login HTTP/1.1\r\n" + head + "Content-Length: 52428800\r\n\r\n{\"user\":\"aaaa", 413},
        {"a batch over 512 KB", false, "POST /exec HTTP/1.1\r\n" + head + "Content-Length: 600000\r\n\r\n{\"sql\":\"", 413},
        {"a login over 4 KB", false, "POST /login HTTP/1.1\r\n" + head + "Content-Length: 5000\r\n\r\n{", 413},
        {"a message over 16 KB", true, "POST /message HTTP/1.1\r\n" + head + "Content-Length: 17000\r\n\r\n{", 413},
        {"a chunked body", false, "POST /login HTTP/1.1\r\n" + head + "Transfer-Encoding: chunked\r\n\r\n5\r\n{\"a\":\r\n", 411},
        {"a body read to the end", false, "POST /login HTTP/1.1\r\n" + head + "Connection: close\r\n\r\n{\"user\":", 411},
        {"a compressed body", false, "POST /login HTTP/1.1\r\n" + head + "Content-Encoding: gzip\r\nContent-Length: 4\r\n\r\nabcd", 415},
        {"a body nested 2000 deep", false,
         "POST /login HTTP/1.1\r\n" + head + "Connection: close\r\nContent-Length: 4006\r\n\r\n{\"a\":" + QByteArray(2000, '[') + QByteArray(2000, ']') + "}", 400},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QElapsedTimer timer;
        timer.start();
        const QByteArray answer = test::rawExchange(c.messagePort ? server_->messagePort() : server_->port(), c.request);
        EXPECT_EQ(test::httpStatus(answer), c.status) << answer.toStdString();
        EXPECT_FALSE(textOf(answer, "error").isEmpty()) << answer.toStdString();
        EXPECT_LT(timer.elapsed(), 1000);
    }
    EXPECT_LT(loginMs(), 1000);
}

TEST_P(ServiceLimitsHttpTest, ClientsHoldingConnectionsCannotKeepATillOut)
{
    const struct {
        const char *what;
        bool messagePort;
        int connections;
        bool trickle; // a header line every 100 ms, the request never finished
    } cases[] = {
        {"12 trickling requests", false, 12, true},
        {"200 idle connections", false, 200, false},
        {"4 trickling messages", true, 4, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const int port = c.messagePort ? server_->messagePort() : server_->port();
        std::vector<std::unique_ptr<Client>> crowd;
        for (int i = 0; i < c.connections; ++i) {
            crowd.push_back(std::make_unique<Client>(port, 1 + i % 2));
            crowd.back()->send(c.trickle ? "POST /message HTTP/1.1\r\n" : "");
        }
        std::atomic<bool> done{false};
        std::thread trickler([&] {
            for (int line = 0; c.trickle && !done; ++line) {
                for (const auto &client : crowd)
                    client->send("X-Line-" + QByteArray::number(line) + ": a\r\n");
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        if (!c.trickle) {
            // Beyond the connections an address may hold, each is closed at once.
            int refused = 0;
            for (const auto &client : crowd)
                refused += client->closedWithin(20) ? 1 : 0;
            EXPECT_GE(refused, c.connections - 2 * 8);
        }
        for (int i = 0; i < 3; ++i) {
            EXPECT_LT(loginMs(), 1000);
            const QByteArray alive = test::rawPost(server_->messagePort(), wire::MessagePath, R"({"kind":"0"})");
            EXPECT_EQ(test::httpStatus(alive), 200) << alive.toStdString();
        }
        // Past the request's time (1 s) or the idle time (1 s), every one of them is closed.
        int closed = 0;
        for (const auto &client : crowd)
            closed += client->closedWithin(2000) ? 1 : 0;
        done = true;
        trickler.join();
        EXPECT_EQ(closed, c.connections);
    }
}

INSTANTIATE_TEST_SUITE_P(Transport, ServiceLimitsHttpTest, ::testing::Values(BackendKind::SQLite),
                         ::testing::PrintToStringParamName());
