// One small call of a till through vorel-server: an exec of "SELECT 1 AS A" and a one-row
// member read, from the remote shop service to the server on a SQLite demo shop and back.
// Baseline: a bare cpp-httplib echo server and client in the same process, with the same
// TCP_NODELAY, keep-alive and thread-pool settings, posting the same JSON body with the same
// authorisation header. Every figure is read as a ratio to the echo of the same run; the
// interleaved benchmark alternates the three calls so they share the machine's state.
// Aim: a call through the server costs at most twice the bare echo.

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <thread>

#include "core/clock.h"
#include "server/remoteshopservice.h"
#include "server/shopdatabase.h"
#include "server/shopserver.h"
#include "server/wire.h"

using namespace vorel;
using namespace vorel::server;

namespace {

const QString ExecSql = QStringLiteral("SELECT 1 AS A");
const QString ReadSql = QStringLiteral("SELECT VIPID, VIPNAME, VIPF FROM D702 WHERE VIPID = '88000001'");

// The shop server's database workers; the echo gets as many threads as the server has
// connections here (one), and a few more.
constexpr int ServerWorkers = 4;
constexpr int HttpThreads = ServerWorkers + 8;
constexpr int KeepAliveSeconds = 2;

// The bare echo: answers a POST with its own body.
class EchoServer {
public:
    EchoServer()
    {
        server_.set_tcp_nodelay(true);
        server_.set_keep_alive_max_count(100000);
        server_.set_keep_alive_timeout(KeepAliveSeconds);
        // httplib owns and deletes the queue it gets from this factory.
        server_.new_task_queue = [] { return new httplib::ThreadPool(HttpThreads); };
        server_.Post("/exec", [](const httplib::Request &req, httplib::Response &res) {
            res.set_content(req.body, wire::JsonContentType);
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~EchoServer()
    {
        server_.stop();
        thread_.join();
    }
    EchoServer(const EchoServer &) = delete;
    EchoServer &operator=(const EchoServer &) = delete;
    int port() const { return port_; }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

class EchoClient {
public:
    explicit EchoClient(int port) : client_("127.0.0.1", port)
    {
        client_.set_tcp_nodelay(true);
        client_.set_keep_alive(true);
        client_.set_connection_timeout(3, 0);
        client_.set_read_timeout(3, 0);
        client_.set_write_timeout(3, 0);
        headers_.emplace("Authorization", "Bearer " + std::string(32, 'f'));
        const wire::Json body{{"code", "711"}, {"key", ""}, {"operation", ""}, {"sql", ExecSql.toStdString()}};
        body_ = wire::serialize(body);
    }
    bool call()
    {
        const httplib::Result r = client_.Post("/exec", headers_, body_, wire::JsonContentType);
        return r && r->status == 200 && r->body.size() == body_.size();
    }

private:
    httplib::Client client_;
    httplib::Headers headers_;
    std::string body_;
};

// The demo shop on SQLite behind a shop server, and a till logged in to it.
class Shop {
public:
    Shop()
    {
        const QString path = dir_.filePath(QStringLiteral("shop.db"));
        CreateOptions create;
        create.demo = true;
        ShopDatabase(path, clock_).create(create);
        ServerOptions options;
        options.location = path;
        options.host = QStringLiteral("127.0.0.1");
        options.port = 0;
        options.messagePort = 0;
        options.workers = ServerWorkers;
        options.keepAliveSeconds = KeepAliveSeconds;
        options.log = [](const QString &) {}; // the line is still made, only not written
        server_ = std::make_unique<ShopServer>(options, clock_);
        server_->start();
        till_ = std::make_unique<RemoteShopService>(
            RemoteServer{QStringLiteral("127.0.0.1"), server_->port(), server_->messagePort(), false, {}}, 3);
        const QString md5 =
            QString::fromLatin1(QCryptographicHash::hash("01", QCryptographicHash::Md5).toHex());
        loggedIn_ = till_->thrGetLogin(LoginRequest{"01", md5, "vorel", "CL"}).rows.totalRowCount() == 1;
    }
    bool loggedIn() const { return loggedIn_; }
    bool exec() { return till_->posExecSql(opcode::Plain, {}, {}, ExecSql, 3) == ReplyOk; }
    bool read()
    {
        ResultSet rows;
        return till_->posOpenSql(rows, ReadSql) && rows.totalRowCount() == 1;
    }

private:
    SystemClock clock_;
    QTemporaryDir dir_;
    std::unique_ptr<ShopServer> server_;
    std::unique_ptr<RemoteShopService> till_;
    bool loggedIn_ = false;
};

template <typename Call>
void loop(benchmark::State &state, Call call)
{
    for (auto _ : state) {
        if (!call()) {
            state.SkipWithError("a call failed");
            break;
        }
    }
    state.counters["calls_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate);
}

struct Ratios {
    double exec = 0;
    double read = 0;
    double echoMicros = 0;
};

// Echo, exec and read in turn, call by call; each ratio is time per call over the echo's.
void interleaved(benchmark::State &state, EchoClient &echo, Shop &shop, Ratios &out)
{
    using Clock = std::chrono::steady_clock;
    Clock::duration echoTime{}, execTime{}, readTime{};
    qint64 n = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const bool a = echo.call();
        const auto t1 = Clock::now();
        const bool b = shop.exec();
        const auto t2 = Clock::now();
        const bool c = shop.read();
        const auto t3 = Clock::now();
        echoTime += t1 - t0;
        execTime += t2 - t1;
        readTime += t3 - t2;
        ++n;
        if (!a || !b || !c) {
            state.SkipWithError("a call failed");
            return;
        }
    }
    const auto us = [n](Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count() / n; };
    out.echoMicros = us(echoTime);
    out.exec = us(execTime) / us(echoTime);
    out.read = us(readTime) / us(echoTime);
    state.counters["echo_us"] = out.echoMicros;
    state.counters["exec_us"] = us(execTime);
    state.counters["read_us"] = us(readTime);
    state.counters["exec_ratio"] = out.exec;
    state.counters["read_ratio"] = out.read;
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    EchoServer echoServer;
    EchoClient echo(echoServer.port());
    std::unique_ptr<Shop> made;
    try {
        made = std::make_unique<Shop>();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_roundtrip: cannot set up the shop server: %s\n", e.what());
        return 1;
    }
    Shop &shop = *made;
    if (!shop.loggedIn()) {
        std::fprintf(stderr, "bench_roundtrip: the demo cashier could not log in to the shop server\n");
        return 1;
    }

    benchmark::RegisterBenchmark("BM_EchoBaseline", [&](benchmark::State &s) { loop(s, [&] { return echo.call(); }); })
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_ServerExecSelect1", [&](benchmark::State &s) { loop(s, [&] { return shop.exec(); }); })
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_ServerReadOneRow", [&](benchmark::State &s) { loop(s, [&] { return shop.read(); }); })
        ->UseRealTime();
    Ratios ratios;
    benchmark::RegisterBenchmark("BM_InterleavedRatio",
                                 [&](benchmark::State &s) { interleaved(s, echo, shop, ratios); })
        ->UseRealTime()
        ->MinTime(2.0);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (ratios.echoMicros > 0) {
        std::printf("round trip against the bare echo (%.1f us): exec %.2fx, one-row read %.2fx (aim: at most 2x)\n",
                    ratios.echoMicros, ratios.exec, ratios.read);
    }
    return 0;
}
