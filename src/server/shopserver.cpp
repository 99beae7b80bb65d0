#include "server/shopserver.h"

#include <httplib.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "server/login.h"
#include "server/membernumbers.h"
#include "server/sessions.h"
#include "server/shopdatabase.h"
#include "server/wire.h"
#include "sqlengine/engine.h"
#include "sqlengine/translator.h"

namespace vorel::server {

namespace {

using wire::Json;

const QString NoSessionMessage = QStringLiteral("未登录或登录已失效,请重新登录!");

// One database connection with its engine; a request borrows one for its whole run.
struct Worker {
    std::unique_ptr<sql::Backend> db;
    std::unique_ptr<sql::Engine> engine;
};

class WorkerPool {
public:
    class Lease {
    public:
        Lease(WorkerPool &pool, Worker *w) : pool_(pool), worker_(w) {}
        ~Lease() { pool_.giveBack(worker_); }
        Lease(const Lease &) = delete;
        Lease &operator=(const Lease &) = delete;
        Worker *operator->() const { return worker_; }

    private:
        WorkerPool &pool_;
        Worker *worker_;
    };

    void add(std::unique_ptr<Worker> w)
    {
        const std::lock_guard lock(mutex_);
        idle_.push_back(w.get());
        all_.push_back(std::move(w));
    }

    Lease acquire()
    {
        std::unique_lock lock(mutex_);
        available_.wait(lock, [this] { return !idle_.empty(); });
        Worker *w = idle_.back();
        idle_.pop_back();
        return Lease(*this, w);
    }

    int size() const { return static_cast<int>(all_.size()); }

private:
    void giveBack(Worker *w)
    {
        {
            const std::lock_guard lock(mutex_);
            idle_.push_back(w);
        }
        available_.notify_one();
    }

    std::mutex mutex_;
    std::condition_variable available_;
    std::vector<std::unique_ptr<Worker>> all_;
    std::vector<Worker *> idle_;
};

// What one request leaves in the log.
struct CallLog {
    QString till = QStringLiteral("-");
    QString user = QStringLiteral("-");
    QString op;
    QString outcome;
};

QString oneLine(const QString &text, int max = 80)
{
    QString s = text.simplified();
    if (s.size() > max)
        s = s.left(max - 3) + QLatin1String("...");
    return s;
}

void sendJson(httplib::Response &res, int status, const Json &body)
{
    res.status = status;
    res.set_content(wire::serialize(body), wire::JsonContentType);
}

void sendError(httplib::Response &res, int status, const QString &message)
{
    sendJson(res, status, Json{{"error", wire::toJson(message)}});
}

QString bearerToken(const httplib::Request &req)
{
    const std::string header = req.get_header_value("Authorization");
    const std::string prefix = "Bearer ";
    if (header.compare(0, prefix.size(), prefix) != 0)
        return {};
    return QString::fromStdString(header.substr(prefix.size())).trimmed();
}

QString rowsOutcome(const ResultSet &rows)
{
    const int n = rows.totalRowCount();
    return n == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(n);
}

} // namespace

struct ShopServer::Impl {
    Impl(ServerOptions o, const Clock &c) : options(std::move(o)), clock(c) {}

    ServerOptions options;
    const Clock &clock;
    std::unique_ptr<SessionTokens> tokens; // with the shop's key, from start()
    std::shared_ptr<sql::TranslationCache> cache = std::make_shared<sql::TranslationCache>();
    WorkerPool workers;
    std::unique_ptr<httplib::Server> http;
    std::unique_ptr<httplib::Server> messages;
    std::thread httpThread;
    std::thread messageThread;
    std::atomic<bool> started{false};
    std::atomic<bool> httpDone{false};
    std::atomic<bool> messagesDone{false};
    int boundPort = 0;
    int boundMessagePort = 0;
    std::mutex logMutex;

    using Handler = std::function<void(const httplib::Request &, httplib::Response &, CallLog &)>;

    void writeLog(const CallLog &call, qint64 ms)
    {
        const QString line = QStringLiteral("%1 till=%2 user=%3 op=%4 %5ms -> %6")
                                 .arg(formatDateTime(clock.now()), call.till, call.user, call.op)
                                 .arg(ms)
                                 .arg(call.outcome);
        if (options.log) {
            options.log(line);
            return;
        }
        const QByteArray text = line.toUtf8() + '\n';
        const std::lock_guard lock(logMutex);
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
        std::fflush(stderr);
    }

    void route(httplib::Server &server, bool post, const char *path, const char *op, Handler handler)
    {
        auto fn = [this, op, handler](const httplib::Request &req, httplib::Response &res) {
            QElapsedTimer timer;
            timer.start();
            CallLog call;
            call.op = QLatin1String(op);
            try {
                handler(req, res, call);
            } catch (const wire::WireError &e) {
                sendError(res, 400, QStringLiteral("bad request: %1").arg(QString::fromUtf8(e.what())));
                call.outcome = QStringLiteral("400 ") + oneLine(QString::fromUtf8(e.what()));
            } catch (const std::exception &e) {
                sendError(res, 500, QString::fromUtf8(e.what()));
                call.outcome = QStringLiteral("500 ") + oneLine(QString::fromUtf8(e.what()));
            }
            writeLog(call, timer.elapsed());
        };
        if (post)
            server.Post(path, fn);
        else
            server.Get(path, fn);
    }

    // The caller's session, or a 401 answer. Needs no database: the token carries it.
    std::optional<Session> authorize(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        std::optional<Session> s = tokens->verify(bearerToken(req));
        if (!s) {
            sendError(res, 401, NoSessionMessage);
            call.outcome = QStringLiteral("401 no valid session");
            return std::nullopt;
        }
        noteSession(*s, call);
        return s;
    }

    static void noteSession(const Session &s, CallLog &call)
    {
        call.till = s.terminalId.isEmpty() ? s.terminalKey : s.terminalId + QLatin1Char('/') + s.terminalKey;
        call.user = s.userId;
    }

    void login(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        const Json body = wire::parseObject(req.body);
        LoginRequest request{wire::requiredText(body, "user"), wire::requiredText(body, "password_md5"),
                             wire::optionalText(body, "terminal_key"), wire::optionalText(body, "database")};
        call.till = request.terminalKey;
        call.user = request.userId;
        LoginOutcome outcome;
        {
            const WorkerPool::Lease w = workers.acquire();
            outcome = runLogin(*w->engine, request);
        }
        if (!outcome.ok) {
            sendError(res, 500, outcome.error);
            call.outcome = QStringLiteral("500 ") + oneLine(outcome.error);
            return;
        }
        Json token = nullptr;
        if (outcome.rows.totalRowCount() > 0) {
            const ResultSet &r = outcome.rows;
            Session s;
            s.userId = r.fieldAt(0, r.columnIndex(QStringLiteral("user_id"))).asString();
            s.terminalKey = request.terminalKey;
            s.terminalId = r.fieldAt(0, r.columnIndex(QStringLiteral("ZD_ID"))).asString();
            noteSession(s, call);
            token = wire::toJson(tokens->issue(s.userId, s.terminalKey, s.terminalId));
        }
        sendJson(res, 200, Json{{"token", token}, {"result", wire::resultSetToJson(outcome.rows)}});
        call.outcome = rowsOutcome(outcome.rows);
    }

    void exec(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        if (!authorize(req, res, call))
            return;
        const Json body = wire::parseObject(req.body);
        const QString code = wire::optionalText(body, "code");
        if (!code.isEmpty())
            call.op = code;
        const QString sql = wire::requiredText(body, "sql");
        sql::BatchResult result;
        {
            const WorkerPool::Lease w = workers.acquire();
            result = w->engine->run(sql);
        }
        sendJson(res, 200, Json{{"reply", wire::toJson(result.reply)}});
        call.outcome = oneLine(result.reply);
    }

    void open(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        if (!authorize(req, res, call))
            return;
        const Json body = wire::parseObject(req.body);
        const QString sql = wire::requiredText(body, "sql");
        ResultSet rows;
        QString error;
        bool ok = false;
        {
            const WorkerPool::Lease w = workers.acquire();
            ok = w->engine->query(sql, rows, &error);
        }
        if (ok) {
            sendJson(res, 200, Json{{"ok", true}, {"result", wire::resultSetToJson(rows)}});
            call.outcome = rowsOutcome(rows);
        } else {
            sendJson(res, 200, Json{{"ok", false}, {"error", wire::toJson(error)}});
            call.outcome = QStringLiteral("failed: ") + oneLine(error);
        }
    }

    void noid(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        if (!authorize(req, res, call))
            return;
        const Json body = wire::parseObject(req.body);
        const QString code = wire::requiredText(body, "code");
        call.op = QStringLiteral("noid:") + code;
        const auto length = body.find("length");
        if (length == body.end() || !length->is_number_integer())
            throw wire::WireError("missing number field \"length\"");
        QString number;
        try {
            const WorkerPool::Lease w = workers.acquire();
            number = MemberNumbers::draw(*w->db, code, length->get<int>());
        } catch (const std::invalid_argument &e) {
            throw wire::WireError(e.what());
        } catch (const std::range_error &e) {
            sendError(res, 409, QStringLiteral("会员卡号已用完,请增加卡号位数!"));
            call.outcome = QStringLiteral("409 ") + QString::fromUtf8(e.what());
            return;
        } catch (const sql::DbError &e) {
            sendError(res, 500, e.message());
            call.outcome = QStringLiteral("500 ") + oneLine(e.message());
            return;
        }
        sendJson(res, 200, Json{{"number", wire::toJson(number)}});
        call.outcome = number;
    }

    void tills(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        if (!authorize(req, res, call))
            return;
        QList<wire::OnlineTill> list;
        {
            const WorkerPool::Lease w = workers.acquire();
            list = TillList::online(*w->db, clock.now());
        }
        sendJson(res, 200, wire::onlineTillsToJson(list));
        call.outcome = QStringLiteral("%1 online").arg(list.size());
    }

    void message(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        const Json body = wire::parseObject(req.body);
        const QString kind = wire::requiredText(body, "kind");
        call.op = QStringLiteral("msg:") + kind;
        QStringList fields;
        if (const auto it = body.find("fields"); it != body.end() && it->is_array()) {
            for (const Json &f : *it)
                fields << wire::toQString(f);
        }
        if (kind == QLatin1String("0")) {
            // The keep-alive answers whoever asks: it tells the till the server is there, and
            // moves the last-seen time of a till with a valid session.
            call.outcome = QStringLiteral("ok");
            if (const auto s = tokens->verify(bearerToken(req))) {
                noteSession(*s, call);
                bool listed = false;
                {
                    const WorkerPool::Lease w = workers.acquire();
                    listed = TillList::keepAlive(*w->db, *s, clock.now());
                }
                if (!listed)
                    call.outcome = QStringLiteral("ok, not announced");
            }
            sendJson(res, 200, Json{{"ok", true}});
            return;
        }
        if (kind == QLatin1String("Connect")) {
            const std::optional<Session> s = authorize(req, res, call);
            if (!s)
                return;
            {
                const WorkerPool::Lease w = workers.acquire();
                TillList::announce(*w->db, *s, fields, clock.now());
            }
            sendJson(res, 200, Json{{"ok", true}});
            call.outcome = QStringLiteral("online");
            return;
        }
        sendError(res, 400, QStringLiteral("unknown message kind \"%1\"").arg(kind));
        call.outcome = QStringLiteral("400 unknown kind");
    }

    std::unique_ptr<httplib::Server> makeServer(int threads)
    {
        std::unique_ptr<httplib::Server> server;
        if (!options.tlsCertificate.isEmpty() || !options.tlsKey.isEmpty()) {
            if (options.tlsCertificate.isEmpty() || options.tlsKey.isEmpty())
                throw ServerError(QStringLiteral("TLS needs both --tls-cert and --tls-key"));
            for (const QString &f : {options.tlsCertificate, options.tlsKey}) {
                if (!QFileInfo(f).isReadable())
                    throw ServerError(QStringLiteral("cannot read %1").arg(f));
            }
            auto tls = std::make_unique<httplib::SSLServer>(options.tlsCertificate.toLocal8Bit().constData(),
                                                            options.tlsKey.toLocal8Bit().constData());
            if (!tls->is_valid())
                throw ServerError(QStringLiteral("the TLS certificate %1 or key %2 cannot be used")
                                      .arg(options.tlsCertificate, options.tlsKey));
            server = std::move(tls);
        } else {
            server = std::make_unique<httplib::Server>();
        }
        // Without TCP_NODELAY every small answer waits for the peer's delayed ACK.
        server->set_tcp_nodelay(true);
        server->set_keep_alive_max_count(100000);
        server->set_keep_alive_timeout(std::max(1, options.keepAliveSeconds));
        // httplib owns and deletes the queue it gets from this factory.
        server->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
        return server;
    }

    int bind(httplib::Server &server, int port, const char *what)
    {
        const std::string host = options.host.toStdString();
        if (port == 0) {
            const int bound = server.bind_to_any_port(host);
            if (bound > 0)
                return bound;
        } else if (server.bind_to_port(host, port)) {
            return port;
        }
        throw ServerError(QStringLiteral("cannot listen for the %1 service on %2:%3 (is the port in use?)")
                              .arg(QLatin1String(what), options.host)
                              .arg(port));
    }

    void openWorkers()
    {
        const int count = std::max(1, options.workers);
        ShopDatabase shop(options.location, clock);
        for (int i = 0; i < count; ++i) {
            auto w = std::make_unique<Worker>();
            if (i == 0) {
                w->db = shop.open();
                try {
                    tokens = std::make_unique<SessionTokens>(ShopDatabase::shopSecret(*w->db, clock), clock);
                } catch (const sql::DbError &e) {
                    throw ShopDatabaseError(e.message());
                } catch (const std::invalid_argument &e) {
                    throw ShopDatabaseError(QStringLiteral("%1: %2").arg(ShopDatabase::displayLocation(options.location),
                                                                         QString::fromUtf8(e.what())));
                }
            } else {
                try {
                    w->db = sql::openBackend(options.location);
                } catch (const sql::DbError &e) {
                    throw ShopDatabaseError(e.message());
                }
            }
            if (options.lockWaitMs > 0) {
                try {
                    w->db->setLockWait(options.lockWaitMs);
                } catch (const sql::DbError &e) {
                    throw ShopDatabaseError(e.message());
                }
            }
            w->engine = std::make_unique<sql::Engine>(*w->db, clock, cache);
            workers.add(std::move(w));
        }
    }

    void stop()
    {
        if (http)
            http->stop();
        if (messages)
            messages->stop();
        if (httpThread.joinable())
            httpThread.join();
        if (messageThread.joinable())
            messageThread.join();
    }
};

ShopServer::ShopServer(ServerOptions options, const Clock &clock)
    : d(std::make_unique<Impl>(std::move(options), clock))
{
}

ShopServer::~ShopServer()
{
    stop();
}

void ShopServer::start()
{
    d->openWorkers();

    const int workers = d->workers.size();
    // A till keeps its connection open between calls and holds a thread while it does, so
    // there are more threads than database workers.
    d->http = d->makeServer(workers + 8);
    d->messages = d->makeServer(4);

    Impl &s = *d;
    const auto handler = [&s](void (Impl::*member)(const httplib::Request &, httplib::Response &, CallLog &)) {
        return [&s, member](const httplib::Request &req, httplib::Response &res, CallLog &call) {
            (s.*member)(req, res, call);
        };
    };
    s.route(*s.http, true, wire::LoginPath, "login", handler(&Impl::login));
    s.route(*s.http, true, wire::ExecPath, "exec", handler(&Impl::exec));
    s.route(*s.http, true, wire::OpenPath, "719", handler(&Impl::open));
    s.route(*s.http, true, wire::NoIdPath, "noid", handler(&Impl::noid));
    s.route(*s.http, false, wire::TillsPath, "tills", handler(&Impl::tills));
    s.route(*s.messages, true, wire::MessagePath, "msg", handler(&Impl::message));

    s.boundPort = s.bind(*s.http, s.options.port, "connection");
    s.boundMessagePort = s.bind(*s.messages, s.options.messagePort, "message");

    s.httpThread = std::thread([&s] {
        s.http->listen_after_bind();
        s.httpDone = true;
    });
    s.messageThread = std::thread([&s] {
        s.messages->listen_after_bind();
        s.messagesDone = true;
    });
    // stop() only reaches a server that is already inside its accept loop.
    while ((!s.http->is_running() && !s.httpDone) || (!s.messages->is_running() && !s.messagesDone))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    s.started = true;
}

void ShopServer::stop()
{
    d->stop();
}

bool ShopServer::running() const
{
    return d->started && !d->httpDone && !d->messagesDone;
}

int ShopServer::port() const
{
    return d->boundPort;
}

int ShopServer::messagePort() const
{
    return d->boundMessagePort;
}

} // namespace vorel::server
