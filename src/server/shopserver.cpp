#include "server/shopserver.h"

#include <httplib.h>
#include <sys/socket.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "core/text.h"
#include "server/connectionguard.h"
#include "server/login.h"
#include "server/loginguard.h"
#include "server/requestlog.h"
#include "server/membernumbers.h"
#include "server/sessions.h"
#include "server/statementpolicy.h"
#include "server/shopdatabase.h"
#include "server/shopstatus.h"
#include "server/statuspage.h"
#include "server/wire.h"
#include "sqlengine/engine.h"
#include "sqlengine/translator.h"

namespace vorel::server {

namespace {

using wire::Json;

const QString NoSessionMessage = QStringLiteral("未登录或登录已失效,请重新登录!");
// Amounts on the status page: two places, as a till shows them unless told otherwise.
constexpr int StatusDecimals = 2;

// The refusals the engine words itself (a lock, a time-out) reach the till; any other
// failure of the database is told in general terms, its own text only in the log.
bool ownRefusal(const QString &reply)
{
    return reply == sql::BusyReply || reply == sql::TimeoutReply;
}

// One database connection with its engine; a request borrows one for its whole run.
struct Worker {
    std::unique_ptr<sql::Backend> db;
    std::unique_ptr<sql::Engine> engine;
};

// No worker became free in time, or too many calls are waiting already.
struct ServiceBusy {};

// The database workers and the line of calls waiting for one. Calls are served in the order
// they came, each woken only when a worker is handed to it. A writing call on a backend with
// one writer at a time also waits for the writer before it, here rather than in the
// database's lock retry loop, which sleeps in steps and hands the lock on late; reading calls
// behind a waiting writer go past it.
class WorkerPool {
public:
    enum class Use { Read, Write };

    class Lease {
    public:
        Lease(WorkerPool &pool, Worker *w, bool writer) : pool_(pool), worker_(w), writer_(writer) {}
        ~Lease() { pool_.giveBack(worker_, writer_); }
        Lease(const Lease &) = delete;
        Lease &operator=(const Lease &) = delete;
        Worker *operator->() const { return worker_; }

    private:
        WorkerPool &pool_;
        Worker *worker_;
        bool writer_;
    };

    void configure(bool oneWriter, int queueLength)
    {
        oneWriter_ = oneWriter;
        queueLength_ = static_cast<size_t>(std::max(0, queueLength));
    }

    void add(std::unique_ptr<Worker> w)
    {
        const std::lock_guard lock(mutex_);
        idle_.push_back(w.get());
        all_.push_back(std::move(w));
    }

    // Waits at most `wait` in the line. Throws ServiceBusy.
    Lease acquire(Use use, std::chrono::milliseconds wait)
    {
        Waiter me;
        me.writer = oneWriter_ && use == Use::Write;
        std::unique_lock lock(mutex_);
        // Whoever waits cannot be served now (giveBack serves all it can), so a call that
        // can be goes first without overtaking anyone.
        if (canServe(me)) {
            hand(me);
        } else {
            if (waiting_.size() >= queueLength_)
                throw ServiceBusy();
            waiting_.push_back(&me);
            if (!me.woken.wait_for(lock, wait, [&] { return me.worker != nullptr; })) {
                waiting_.erase(std::find(waiting_.begin(), waiting_.end(), &me));
                throw ServiceBusy();
            }
        }
        return Lease(*this, me.worker, me.writer);
    }

    int size() const { return static_cast<int>(all_.size()); }

private:
    struct Waiter {
        bool writer = false;
        Worker *worker = nullptr; // set when one is handed over
        std::condition_variable woken;
    };

    bool canServe(const Waiter &w) const { return !idle_.empty() && !(w.writer && writing_); }

    // With mutex_ held.
    void hand(Waiter &w)
    {
        w.worker = idle_.back();
        idle_.pop_back();
        if (w.writer)
            writing_ = true;
    }

    void giveBack(Worker *w, bool writer)
    {
        const std::lock_guard lock(mutex_);
        idle_.push_back(w);
        if (writer)
            writing_ = false;
        for (auto it = waiting_.begin(); it != waiting_.end() && !idle_.empty();) {
            Waiter &next = **it;
            if (!canServe(next)) {
                ++it;
                continue;
            }
            hand(next);
            it = waiting_.erase(it);
            next.woken.notify_one();
        }
    }

    std::mutex mutex_;
    std::vector<std::unique_ptr<Worker>> all_;
    std::vector<Worker *> idle_;
    std::deque<Waiter *> waiting_;
    bool oneWriter_ = false;
    bool writing_ = false;
    size_t queueLength_ = 0;
};

// The task queue of the HTTP services: a thread for every open connection, made when none is
// idle. cpp-httplib serves a kept-alive connection on one thread until it closes, so a fixed
// pool runs out as soon as as many tills keep a connection open as it has threads, and the
// next till waits until one of them times out. Threads left idle a while end by themselves.
class ConnectionThreads final : public httplib::TaskQueue {
public:
    explicit ConnectionThreads(int maxThreads) : max_(static_cast<size_t>(std::max(1, maxThreads))) {}
    ~ConnectionThreads() override { shutdown(); }
    ConnectionThreads(const ConnectionThreads &) = delete;
    ConnectionThreads &operator=(const ConnectionThreads &) = delete;

    void enqueue(std::function<void()> fn) override
    {
        {
            const std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(fn));
            reapEnded();
            if (idle_ < jobs_.size() && threads_.size() < max_) {
                threads_.emplace_back();
                Thread &t = threads_.back();
                t.thread = std::thread([this, &t] { serve(t); });
            }
        }
        wake_.notify_one();
    }

    void shutdown() override
    {
        {
            const std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            stopping_ = true;
        }
        wake_.notify_all();
        // No thread is added or removed once stopping_ is set.
        for (Thread &t : threads_)
            t.thread.join();
        threads_.clear();
    }

private:
    struct Thread {
        std::thread thread;
        bool ended = false;
    };
    static constexpr auto IdleLife = std::chrono::seconds(30);

    void serve(Thread &self)
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idle_;
            const bool woken = wake_.wait_for(lock, IdleLife, [this] { return stopping_ || !jobs_.empty(); });
            --idle_;
            if (jobs_.empty()) {
                if (stopping_ || !woken) {
                    self.ended = !stopping_;
                    return;
                }
                continue;
            }
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    // Joins the threads that ended for idleness; with mutex_ held.
    void reapEnded()
    {
        for (auto it = threads_.begin(); it != threads_.end();) {
            if (it->ended) {
                it->thread.join();
                it = threads_.erase(it);
            } else {
                ++it;
            }
        }
    }

    const size_t max_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::list<Thread> threads_;
    std::deque<std::function<void()>> jobs_;
    size_t idle_ = 0;
    bool stopping_ = false;
};

// What one request leaves in the log.
struct CallLog {
    QString till = QStringLiteral("-");
    QString user = QStringLiteral("-");
    QString op;
    QString outcome;
    bool refused = false; // answered, but not what the till asked for
    QString address = QStringLiteral("-");
    QString path;
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
    std::unique_ptr<SessionTokens> pageTokens; // the status page's, with a key drawn from it
    std::unique_ptr<SessionCheck> sessionCheck;
    UserGuard userGuard;
    AddressThrottle addressThrottle{clock};
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

    void writeLog(const CallLog &call, int status, qint64 ms)
    {
        const LogLevel level = status >= 500                 ? LogLevel::Error
                               : status >= 400 || call.refused ? LogLevel::Warning
                                                               : LogLevel::Info;
        if (level < options.logLevel)
            return;
        const QString line = formatRequestLine(
            RequestLine{clock.now(), call.address, call.till, call.user, call.op, call.path, ms, call.outcome});
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
            call.address = QString::fromStdString(req.remote_addr);
            call.path = QString::fromStdString(req.path);
            try {
                handler(req, res, call);
            } catch (const ServiceBusy &) {
                sendError(res, 503, BusyMessage);
                call.outcome = QStringLiteral("503 busy");
            } catch (const wire::WireError &e) {
                sendError(res, 400, QStringLiteral("bad request: %1").arg(QString::fromUtf8(e.what())));
                call.outcome = QStringLiteral("400 ") + oneLine(QString::fromUtf8(e.what()));
            } catch (const sql::DbError &e) {
                sendError(res, 500, DatabaseFaultMessage);
                call.outcome = QStringLiteral("500 database: ") + oneLine(e.message(), 300);
            } catch (const std::exception &e) {
                sendError(res, 500, QString::fromUtf8(e.what()));
                call.outcome = QStringLiteral("500 ") + oneLine(QString::fromUtf8(e.what()));
            }
            writeLog(call, res.status, timer.elapsed());
        };
        if (post)
            server.Post(path, fn);
        else
            server.Get(path, fn);
    }

    // How long a call may wait for a database worker: the service's limit, cut to three
    // quarters of what the till says it waits, so that a refusal still reaches it.
    std::chrono::milliseconds queueWait(const httplib::Request &req) const
    {
        int ms = std::max(0, options.queueWaitMs);
        bool given = false;
        const int tillWaits = QByteArray::fromStdString(req.get_header_value(wire::TillWaitHeader)).toInt(&given);
        if (given && tillWaits > 0)
            ms = std::min(ms, tillWaits / 4 * 3);
        return std::chrono::milliseconds(ms);
    }

    // The caller's session, or a 401 answer. The token says who it is; whether the user may
    // still use it is read from his row (remembered a moment, see SessionCheck).
    std::optional<Session> authorize(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        std::optional<Session> s = tokens->verify(bearerToken(req));
        if (!s) {
            sendError(res, 401, NoSessionMessage);
            call.outcome = QStringLiteral("401 no valid session");
            return std::nullopt;
        }
        noteSession(*s, call);
        const bool valid = sessionCheck->stillValid(*s, [&] {
            const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Read, queueWait(req));
            return readStanding(*w->db, s->userId);
        });
        if (!valid) {
            sendError(res, 401, NoSessionMessage);
            call.outcome = QStringLiteral("401 session ended");
            return std::nullopt;
        }
        return s;
    }

    void refuseAttempts(httplib::Response &res, CallLog &call, int seconds, const char *whose)
    {
        const QString text = tooManyAttemptsText(seconds);
        res.set_header("Retry-After", std::to_string(std::max(1, seconds)));
        sendJson(res, 429, Json{{"error", wire::toJson(text)}, {"refusal", wire::toJson(text)}});
        call.outcome = QStringLiteral("429 too many attempts (%1), %2 s").arg(QLatin1String(whose)).arg(seconds);
    }

    static void noteSession(const Session &s, CallLog &call)
    {
        call.till = s.terminalId.isEmpty() ? s.terminalKey : s.terminalId + QLatin1Char('/') + s.terminalKey;
        call.user = s.userId;
    }

    // The login: wrong passwords are counted for the address (here) and for the user (in the
    // shop database, for every server); a locked login is refused before its password is
    // looked at, so guessing goes no faster than the locks allow.
    void login(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        const Json body = wire::parseObject(req.body);
        LoginRequest request{wire::requiredText(body, "user"), wire::requiredText(body, "password_md5"),
                             wire::optionalText(body, "terminal_key"), wire::optionalText(body, "database")};
        call.till = request.terminalKey;
        call.user = request.userId;
        const QString address = QString::fromStdString(req.remote_addr);
        if (const int wait = addressThrottle.lockedFor(address)) {
            refuseAttempts(res, call, wait, "address");
            return;
        }
        LoginOutcome outcome;
        UserGuard::State guard;
        {
            const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Read, queueWait(req));
            if (loginFieldsRefusal(request).isEmpty())
                guard = userGuard.state(*w->db, request.userId, clock.now());
            if (guard.lockedFor == 0)
                outcome = runLogin(*w->engine, request);
        }
        if (guard.lockedFor > 0) {
            refuseAttempts(res, call, guard.lockedFor, "user");
            return;
        }
        if (outcome.badFields) {
            addressThrottle.recordFailure(address);
            sendJson(res, 400, Json{{"error", wire::toJson(outcome.refusal)}, {"refusal", wire::toJson(outcome.refusal)}});
            call.outcome = QStringLiteral("400 refused: login fields");
            return;
        }
        if (!outcome.ok) {
            sendError(res, 500, ownRefusal(outcome.error) ? outcome.error : DatabaseFaultMessage);
            call.outcome = QStringLiteral("500 ") + oneLine(outcome.error, 300);
            return;
        }
        const bool hasRow = outcome.rows.totalRowCount() > 0;
        if (!hasRow && outcome.refusal.isEmpty()) {
            addressThrottle.recordFailure(address);
            if (outcome.wrongPassword) {
                const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Write, queueWait(req));
                userGuard.recordFailure(*w->db, request.userId, clock.now());
            }
        } else if (hasRow && guard.failures > 0) {
            const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Write, queueWait(req));
            userGuard.clearFailures(*w->db, request.userId);
        }
        Json token = nullptr;
        if (hasRow) {
            const ResultSet &r = outcome.rows;
            Session s;
            s.userId = r.fieldAt(0, r.columnIndex(QStringLiteral("user_id"))).asString();
            s.terminalKey = request.terminalKey;
            s.terminalId = r.fieldAt(0, r.columnIndex(QStringLiteral("ZD_ID"))).asString();
            noteSession(s, call);
            token = wire::toJson(tokens->issue(s.userId, s.terminalKey, s.terminalId, guard.epoch,
                                               tokens->passwordMark(outcome.passwordMd5)));
            sessionCheck->forget(s.userId);
        }
        Json answer{{"token", token}, {"result", wire::resultSetToJson(outcome.rows)}};
        if (!outcome.refusal.isEmpty())
            answer["refusal"] = wire::toJson(outcome.refusal);
        sendJson(res, 200, answer);
        call.refused = token.is_null();
        call.outcome = hasRow                      ? rowsOutcome(outcome.rows)
                       : !outcome.refusal.isEmpty() ? QStringLiteral("refused: no till right")
                                                    : QStringLiteral("refused: wrong user or password");
    }

    // The till's session ends: every token of the user is of no more use (his other tills,
    // if any, log in again by themselves).
    void logout(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        const std::optional<Session> s = authorize(req, res, call);
        if (!s)
            return;
        {
            const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Write, queueWait(req));
            UserGuard::bumpEpoch(*w->db, s->userId);
        }
        sessionCheck->forget(s->userId);
        sendJson(res, 200, Json{{"ok", true}});
        call.outcome = QStringLiteral("logged out");
    }

    void exec(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        const std::optional<Session> session = authorize(req, res, call);
        if (!session)
            return;
        const Json body = wire::parseObject(req.body);
        const QString code = wire::optionalText(body, "code");
        if (!code.isEmpty())
            call.op = code;
        const QString sql = wire::requiredText(body, "sql");
        const sql::BatchShape shape = sql::readShape(sql);
        if (const QString refusal = StatementPolicy::check(sql, session->userId, &shape); !refusal.isEmpty()) {
            sendJson(res, 200, Json{{"reply", wire::toJson(refusal)}});
            call.outcome = QStringLiteral("refused: ") + refusal;
            call.refused = true;
            return;
        }
        sql::BatchResult result;
        {
            const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Write, queueWait(req));
            result = w->engine->run(sql, &shape);
        }
        sendJson(res, 200, Json{{"reply", wire::toJson(result.databaseText ? DatabaseFaultMessage : result.reply)}});
        call.outcome = result.databaseText ? QStringLiteral("database: ") + oneLine(result.reply, 300) : oneLine(result.reply);
        call.refused = !result.ok();
    }

    void open(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        const std::optional<Session> session = authorize(req, res, call);
        if (!session)
            return;
        const Json body = wire::parseObject(req.body);
        const QString sql = wire::requiredText(body, "sql");
        const sql::BatchShape shape = sql::readShape(sql);
        if (const QString refusal = StatementPolicy::check(sql, session->userId, &shape); !refusal.isEmpty()) {
            sendJson(res, 200, Json{{"ok", false}, {"error", wire::toJson(refusal)}});
            call.outcome = QStringLiteral("refused: ") + refusal;
            call.refused = true;
            return;
        }
        sql::BatchResult result;
        {
            const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Read, queueWait(req));
            result = w->engine->run(sql, &shape);
        }
        if (result.ok()) {
            const ResultSet rows = result.hasRows ? std::move(result.rows) : ResultSet();
            sendJson(res, 200, Json{{"ok", true}, {"result", wire::resultSetToJson(rows)}});
            call.outcome = rowsOutcome(rows);
        } else {
            sendJson(res, 200, Json{{"ok", false}, {"error", wire::toJson(result.databaseText ? DatabaseFaultMessage : result.reply)}});
            call.outcome = QStringLiteral("failed: ") + oneLine(result.reply, 300);
            call.refused = true;
        }
    }

    void noid(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        if (!authorize(req, res, call))
            return;
        const Json body = wire::parseObject(req.body);
        const QString code = wire::requiredText(body, "code");
        call.op = QStringLiteral("noid:") + code;
        const int length = static_cast<int>(wire::requiredInteger(body, "length", 1, MemberNumbers::MaxLength));
        QString number;
        try {
            const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Write, queueWait(req));
            number = MemberNumbers::draw(*w->db, code, length);
        } catch (const std::invalid_argument &e) {
            throw wire::WireError(e.what());
        } catch (const std::range_error &e) {
            sendError(res, 409, QStringLiteral("会员卡号已用完,请增加卡号位数!"));
            call.outcome = QStringLiteral("409 ") + QString::fromUtf8(e.what());
            return;
        } catch (const sql::DbError &e) {
            sendError(res, 500, e.kind == sql::DbError::Kind::Busy ? sql::BusyReply : DatabaseFaultMessage);
            call.outcome = QStringLiteral("500 ") + oneLine(e.message(), 300);
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
            const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Read, queueWait(req));
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
                // A busy service still says it is there; the last-seen time waits for the next one.
                try {
                    const bool valid = sessionCheck->stillValid(*s, [&] {
                        const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Read, queueWait(req));
                        return readStanding(*w->db, s->userId);
                    });
                    if (!valid) {
                        call.outcome = QStringLiteral("ok, session ended: not recorded");
                    } else {
                        const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Write, queueWait(req));
                        if (!TillList::keepAlive(*w->db, *s, fields, clock.now()))
                            call.outcome = QStringLiteral("ok, not announced");
                    }
                } catch (const ServiceBusy &) {
                    call.outcome = QStringLiteral("ok, busy: not recorded");
                }
            }
            sendJson(res, 200, Json{{"ok", true}});
            return;
        }
        if (kind == QLatin1String("Connect")) {
            const std::optional<Session> s = authorize(req, res, call);
            if (!s)
                return;
            {
                const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Write, queueWait(req));
                TillList::announce(*w->db, *s, fields, clock.now());
            }
            sendJson(res, 200, Json{{"ok", true}});
            call.outcome = QStringLiteral("online");
            return;
        }
        sendError(res, 400, QStringLiteral("unknown message kind \"%1\"").arg(kind));
        call.outcome = QStringLiteral("400 unknown kind");
    }

    // The status page: its files, its login and its figures. Read-only: the page's token
    // opens nothing else, and nothing it sends reaches SQL but the login's user and password.
    void pageFile(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        const std::optional<PageFile> file = statusPageFile(req.path);
        if (!file) {
            sendError(res, 404, QStringLiteral("not found"));
            call.outcome = QStringLiteral("404");
            return;
        }
        res.set_header("Content-Security-Policy", StatusPagePolicy);
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("Referrer-Policy", "no-referrer");
        res.set_content(file->body.constData(), static_cast<size_t>(file->body.size()), file->contentType);
        call.outcome = QStringLiteral("page");
    }

    // The status page's login: any active user with his password, counted against the same
    // locks as the tills' logins so the page is no side door for guessing passwords.
    void pageLogin(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        call.till = QLatin1String(StatusPageClient);
        const Json body = wire::parseObject(req.body);
        const QString user = wire::requiredText(body, "user").trimmed();
        const QString password = wire::requiredText(body, "password");
        call.user = oneLine(user, 20);
        const LoginRequest request{user, getMD5(password), {}, {}};
        if (user.isEmpty() || password.size() > 64 || !loginFieldsRefusal(request).isEmpty())
            throw wire::WireError("user or password of an impossible length or with control characters");
        const QString address = QString::fromStdString(req.remote_addr);
        if (const int wait = addressThrottle.lockedFor(address)) {
            refuseAttempts(res, call, wait, "address");
            return;
        }
        UserGuard::State guard;
        UserRecord found;
        {
            const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Read, queueWait(req));
            guard = userGuard.state(*w->db, user, clock.now());
            if (guard.lockedFor == 0)
                found = readUser(*w->db, user);
        }
        if (guard.lockedFor > 0) {
            refuseAttempts(res, call, guard.lockedFor, "user");
            return;
        }
        if (!found.active || !passwordMatches(found, request.passwordMd5)) {
            addressThrottle.recordFailure(address);
            if (found.exists) {
                const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Write, queueWait(req));
                userGuard.recordFailure(*w->db, user, clock.now());
            }
            sendError(res, 401, QStringLiteral("用户编号或密码错误!"));
            call.refused = true;
            call.outcome = QStringLiteral("401 wrong user or password");
            return;
        }
        if (guard.failures > 0) {
            const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Write, queueWait(req));
            userGuard.clearFailures(*w->db, user);
        }
        ResultSet names;
        {
            const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Read, queueWait(req));
            w->db->execute(placeholders(*w->db, QStringLiteral("SELECT USER_NAME FROM SYS_USER WHERE USER_ID = ?1")),
                           {boundText(user)}, &names);
        }
        sendJson(res, 200,
                 Json{{"token", wire::toJson(pageTokens->issue(user, QLatin1String(StatusPageClient), {}))},
                      {"user_name", wire::toJson(names.totalRowCount() > 0 ? names.fieldAt(0, 0).asString() : QString())}});
        call.outcome = QStringLiteral("page session");
    }

    void status(const httplib::Request &req, httplib::Response &res, CallLog &call)
    {
        call.till = QLatin1String(StatusPageClient);
        const std::optional<Session> s = pageTokens->verify(bearerToken(req));
        if (!s) {
            sendError(res, 401, NoSessionMessage);
            call.outcome = QStringLiteral("401 no valid session");
            return;
        }
        call.user = s->userId;
        ShopStatus figures;
        {
            const WorkerPool::Lease w = workers.acquire(WorkerPool::Use::Read, queueWait(req));
            figures = StatusBoard::read(*w->db, clock.now(), TillList::OnlineWindowSeconds);
        }
        res.set_header("Cache-Control", "no-store");
        sendJson(res, 200, StatusBoard::toJson(figures, StatusDecimals));
        call.outcome = QStringLiteral("%1 tills, %2 slips").arg(figures.tills.size()).arg(figures.shop.slips);
    }

    // Listening sockets of the two services, seen as cpp-httplib makes them.
    std::mutex socketsMutex;
    std::vector<int> listeningSockets;

    // `bodies`: the longest body each path takes; a slip batch is a few KB.
    std::unique_ptr<httplib::Server> makeServer(std::map<std::string, size_t> bodies)
    {
        if (!options.tlsCertificate.isEmpty() || !options.tlsKey.isEmpty()) {
            if (options.tlsCertificate.isEmpty() || options.tlsKey.isEmpty())
                throw ServerError(QStringLiteral("TLS needs both --tls-cert and --tls-key"));
            for (const QString &f : {options.tlsCertificate, options.tlsKey}) {
                if (!QFileInfo(f).isReadable())
                    throw ServerError(QStringLiteral("cannot read %1").arg(f));
            }
        }
        ConnectionLimits limits;
        limits.perAddress = std::max(1, options.connectionsPerAddress);
        limits.idle = std::chrono::seconds(std::max(1, options.keepAliveSeconds));
        limits.request = std::chrono::milliseconds(std::max(100, options.requestReadMs));
        limits.body = std::move(bodies);
        std::unique_ptr<httplib::Server> server = makeGuardedServer(
            std::make_shared<ConnectionGuard>(std::move(limits)), options.tlsCertificate, options.tlsKey);
        if (!server->is_valid())
            throw ServerError(QStringLiteral("the TLS certificate %1 or key %2 cannot be used")
                                  .arg(options.tlsCertificate, options.tlsKey));
        // httplib owns and deletes the queue it gets from this factory.
        const int maxThreads = std::max(1, options.maxConnections);
        server->new_task_queue = [maxThreads] { return new ConnectionThreads(maxThreads); };
        server->set_socket_options([this](socket_t sock) {
            httplib::default_socket_options(sock);
            const std::lock_guard lock(socketsMutex);
            listeningSockets.push_back(sock);
        });
        return server;
    }

    int bind(httplib::Server &server, int port, const char *what)
    {
        const std::string host = options.host.toStdString();
        int bound = 0;
        if (port == 0)
            bound = std::max(0, server.bind_to_any_port(host));
        else if (server.bind_to_port(host, port))
            bound = port;
        if (bound > 0) {
            // cpp-httplib listens with a backlog of five: a shop's tills connecting at the
            // same moment overflow it and wait a second for the SYN to be sent again. Linux
            // takes a second listen() on the socket as the new backlog.
            const std::lock_guard lock(socketsMutex);
            for (const int sock : listeningSockets) {
                // Only the socket that bound: others httplib tried were closed again.
                int accepting = 0;
                socklen_t size = sizeof accepting;
                if (::getsockopt(sock, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &size) == 0 && accepting)
                    ::listen(sock, SOMAXCONN);
            }
            listeningSockets.clear();
            return bound;
        }
        throw ServerError(QStringLiteral("cannot listen for the %1 service on %2:%3 (is the port in use?)")
                              .arg(QLatin1String(what), options.host)
                              .arg(port));
    }

    void openWorkers()
    {
        const int count = options.workers > 0 ? options.workers : defaultWorkers(options.location);
        workers.configure(!sql::isPostgresLocation(options.location), options.queueLength);
        ShopDatabase shop(options.location, clock);
        for (int i = 0; i < count; ++i) {
            auto w = std::make_unique<Worker>();
            if (i == 0) {
                w->db = shop.open();
                try {
                    const QByteArray secret = ShopDatabase::shopSecret(*w->db, clock);
                    tokens = std::make_unique<SessionTokens>(secret, clock);
                    pageTokens = std::make_unique<SessionTokens>(statusPageKey(secret), clock);
                    sessionCheck = std::make_unique<SessionCheck>(*tokens, clock);
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
            if (options.statementTimeoutMs > 0) {
                try {
                    w->db->setStatementTimeout(options.statementTimeoutMs);
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

std::optional<LogLevel> logLevelNamed(const QString &name)
{
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("info"))
        return LogLevel::Info;
    if (n == QLatin1String("warning"))
        return LogLevel::Warning;
    if (n == QLatin1String("error"))
        return LogLevel::Error;
    return std::nullopt;
}

int defaultWorkers(const QString &location)
{
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // SQLite: the one writer and a reader per core. PostgreSQL: two connections per core of
    // this machine (the database's own are not known from here), at least eight.
    return sql::isPostgresLocation(location) ? std::max(8, 2 * cores) : cores + 1;
}

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

    constexpr size_t batch = 512 * 1024;
    d->http = d->makeServer({{wire::ExecPath, batch}, {wire::OpenPath, batch}, {wire::LoginPath, 4 * 1024}});
    d->messages = d->makeServer({});

    Impl &s = *d;
    const auto handler = [&s](void (Impl::*member)(const httplib::Request &, httplib::Response &, CallLog &)) {
        return [&s, member](const httplib::Request &req, httplib::Response &res, CallLog &call) {
            (s.*member)(req, res, call);
        };
    };
    s.route(*s.http, true, wire::LoginPath, "login", handler(&Impl::login));
    s.route(*s.http, true, wire::LogoutPath, "logout", handler(&Impl::logout));
    s.route(*s.http, true, wire::ExecPath, "exec", handler(&Impl::exec));
    s.route(*s.http, true, wire::OpenPath, "719", handler(&Impl::open));
    s.route(*s.http, true, wire::NoIdPath, "noid", handler(&Impl::noid));
    s.route(*s.http, false, wire::TillsPath, "tills", handler(&Impl::tills));
    s.route(*s.messages, true, wire::MessagePath, "msg", handler(&Impl::message));
    for (const char *file : {"/", R"(/status\.js)", R"(/status\.css)"})
        s.route(*s.http, false, file, "page", handler(&Impl::pageFile));
    s.route(*s.http, true, StatusLoginPath, "page-login", handler(&Impl::pageLogin));
    s.route(*s.http, false, StatusPath, "status", handler(&Impl::status));

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
