// Slip commits per second with 1, 4, 16 and 200 tills settling at once, through vorel-server
// against the same statements sent straight to the database with libpq (SQLite: its C API),
// and the worst wait of a single slip on each path.
//
// A slip is the settlement batch of the till: period check, stored-value check, header, three
// lines (the stock trigger fires on each), points for the slip and the member, and the list
// price refresh. The server path: eight remote shop services logged in to one shop server,
// each committing its slips one after the other. The baseline: the statements the engine
// translates the batch into (translated before the clock starts), one transaction per slip,
// condition queries answered the way the engine answers them, on a connection per till up to
// sixteen; more tills share those sixteen, a till taking one for each slip (a database serves
// two hundred connections badly, and the test cluster allows no more than 200).
//
// PostgreSQL: the server named by VOREL_TEST_PG (in a schema of its own), else a throwaway
// cluster from scripts/test-postgres, else the part is skipped with a line saying why. SQLite,
// for reference: the baseline uses the same file with the server's journal and synchronous
// settings, its eight connections taking turns at writing. Rounds of the two paths alternate
// (ABBA) on the same database; figures are the medians of the rounds and the ratio server /
// baseline. Aim on PostgreSQL: 0.9 at one till, 1 from four tills on. The wait columns are
// the median and the longest time one slip took from the till's send to its answer. The CPU
// column is this process's time per slip (on PostgreSQL the database's own work is in its
// server processes and not counted). SQLite runs at eight tills only, for reference.

#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "core/clock.h"
#include "core/money.h"
#include "server/remoteshopservice.h"
#include "server/shopdatabase.h"
#include "server/shopserver.h"
#include "sqlengine/translator.h"
#include "benchpostgres.h"

using namespace vorel;
using namespace vorel::server;
using sql::BackendKind;

namespace {

constexpr int Rounds = 4; // measured rounds per path, after one warm-up round each
constexpr int MaxRawConnections = 16;

const QStringList Units{"BQ02601", "CS00702", "MY01501", "TX00101", "TX00102", "TX00202"};
const QStringList Cards{"88000001", "88000002", "88000003", "88000007", ""};

// ---- the slip

struct Line {
    QString unit;
    int size = 0;
    int quantity = 0;
    Money price;
};

QString slipBatch(const QString &number, const QString &terminal, const QString &member, const QList<Line> &lines,
                  const QString &saleTime)
{
    Money total;
    for (const Line &l : lines)
        total += l.price * l.quantity;
    const int points = member.isEmpty() ? 0 : static_cast<int>(total.raw() / (10 * Money::Scale));
    QString b = QStringLiteral("IF NOT EXISTS (SELECT CK_END_DATE from sys_co where ('%1'>CK_END_DATE) and ('%1'< "
                               "(CK_END_DATE + 37))) RAISERROR('开单日期不在进销存期间内!', 16, 1); ")
                    .arg(saleTime);
    if (!member.isEmpty()) {
        b += QStringLiteral("IF EXISTS (SELECT vipid FROM D702 where (vipm<      0.00) and (vipid='%1'))"
                            "RAISERROR('储值卡余额不足以支付本单!', 16, 1); ")
                 .arg(member);
    }
    b += QStringLiteral("INSERT INTO D712 (NOID, CK_ID,ZD_ID, CLASSID, VIPID,VIPZK, yw_id,BDATE,USER_ID,S1,S2,S3,S4,"
                        "S5,S6,S7, NOTE) VALUES ('%1','001','%2','1',%3,%4,'01','%5','01',%6,      0.00,      0.00,"
                        "      0.00,      0.00,0%7,      0.00,NULL);")
             .arg(number, terminal, member.isEmpty() ? QStringLiteral("NULL") : "'" + member + "'",
                  member.isEmpty() ? QStringLiteral("1") : QStringLiteral("0.9"), saleTime, formatFixed(total, 10, 2),
                  total.toString(2));
    for (const Line &l : lines) {
        const Money amount = l.price * l.quantity;
        b += QStringLiteral("INSERT INTO D712A (NOID, WL_ID, XH,CK_ID, S%1, SJ, SMONEY,ODJ, OMONEY, ZK,G,FLAG1,FLAG2,"
                            "FLAG3, NOTE,VIPF) VALUES ('%2','%3','1','001','%4','%5','%6','%5','%6','1','0','0','0',"
                            "'0','',1);")
                 .arg(l.size)
                 .arg(number, l.unit)
                 .arg(l.quantity)
                 .arg(l.price.toPlainString(), amount.toPlainString());
    }
    if (!member.isEmpty()) {
        b += QStringLiteral("update d712 set vipf=%1 where noid='%2';update d702 set vipf=vipf+%1,vipm=vipm-      0.00 "
                            "where vipid='%3';")
                 .arg(points)
                 .arg(number, member);
    }
    b += QStringLiteral("UPDATE D712A SET DJ = B.DJ,MONEY=B.DJ*(S0+S1+S2+S3+S4+S5+S6+S7+S8+S9) FROM (SELECT "
                        "D1801.WL_ID, D1800.DJ  FROM D1800 INNER JOIN  D1801 ON D1800.K_ID = D1801.K_ID  GROUP BY "
                        "D1801.WL_ID, D1800.DJ) B WHERE D712A.WL_ID = B.WL_ID and d712a.noid='%1'")
             .arg(number);
    return b;
}

// The slips of one till in one round. Lines in unit order, so that two slips lock the same
// stock rows in the same order on both paths.
QStringList tillSlips(int terminal, int firstNumber, int count, const QMap<QString, Money> &prices, const QString &saleTime)
{
    std::mt19937 random(static_cast<unsigned>(terminal));
    QStringList batches;
    const QString zd = QString::number(terminal);
    for (int n = 1; n <= count; ++n) {
        const QString member = Cards[static_cast<int>(random() % Cards.size())];
        QList<Line> lines;
        for (int i = 0; i < 3; ++i) {
            const QString unit = Units[static_cast<int>(random() % Units.size())];
            lines << Line{unit, static_cast<int>(random() % 5), static_cast<int>(1 + random() % 2), prices.value(unit)};
        }
        std::sort(lines.begin(), lines.end(),
                  [](const Line &a, const Line &b) { return std::tie(a.unit, a.size) < std::tie(b.unit, b.size); });
        batches << slipBatch(zd + QString::number(firstNumber + n), zd, member, lines, saleTime);
    }
    return batches;
}

// ---- the baseline: translated statements straight to the database

// One step of a translated slip: a statement, or a condition whose 1 refuses the slip.
struct Step {
    QByteArray sql;
    bool refusesOnOne = false;
};

bool raises(const sql::Node &n)
{
    if (n.kind == sql::Node::Kind::RaisError)
        return n.severity > 10;
    return n.kind == sql::Node::Kind::Block && n.children.size() == 1 && raises(n.children.front());
}

// A slip program holds statements and "IF cond RAISERROR" only.
bool flatten(const std::vector<sql::Node> &nodes, const QString &now, std::vector<Step> &out)
{
    for (const sql::Node &n : nodes) {
        const QByteArray text = QString(n.sql).replace(sql::NowMarker, now).toUtf8();
        if (n.kind == sql::Node::Kind::Statement) {
            out.push_back(Step{text, false});
        } else if (n.kind == sql::Node::Kind::If && n.children.size() == 1 && raises(n.children.front())) {
            out.push_back(Step{text, true});
        } else if (n.kind == sql::Node::Kind::Block) {
            if (!flatten(n.children, now, out))
                return false;
        } else if (n.kind != sql::Node::Kind::Noop) {
            return false;
        }
    }
    return true;
}

class RawConnection {
public:
    virtual ~RawConnection() = default;
    std::mutex inUse; // held by the till committing on it
    // One slip in one transaction; false when it did not commit.
    virtual bool commit(const std::vector<Step> &slip) = 0;
    virtual QString lastError() const = 0;
};

class RawPostgres final : public RawConnection {
public:
    explicit RawPostgres(const QString &location)
    {
        const QByteArray where = location.toUtf8();
        const char *const keys[] = {"dbname", "client_encoding", nullptr};
        const char *const values[] = {where.constData(), "UTF8", nullptr};
        conn_.reset(PQconnectdbParams(keys, values, 1));
        if (!conn_ || PQstatus(conn_.get()) != CONNECTION_OK)
            throw std::runtime_error("libpq: " + std::string(conn_ ? PQerrorMessage(conn_.get()) : "out of memory"));
        run("SET standard_conforming_strings = on; SET DateStyle = 'ISO, YMD'");
    }

    bool commit(const std::vector<Step> &slip) override
    {
        if (!run("BEGIN"))
            return false;
        for (const Step &s : slip) {
            const Result r(PQexec(conn_.get(), s.sql.constData()));
            const ExecStatusType status = PQresultStatus(r.get());
            if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
                error_ = QString::fromUtf8(PQresultErrorMessage(r.get())).trimmed();
                run("ROLLBACK");
                return false;
            }
            if (s.refusesOnOne && PQntuples(r.get()) > 0 && std::strcmp(PQgetvalue(r.get(), 0, 0), "1") == 0) {
                error_ = QStringLiteral("refused by a check");
                run("ROLLBACK");
                return false;
            }
        }
        return run("COMMIT");
    }
    QString lastError() const override { return error_; }

private:
    struct Finish {
        void operator()(PGconn *c) const { PQfinish(c); }
    };
    struct Clear {
        void operator()(PGresult *r) const { PQclear(r); }
    };
    using Result = std::unique_ptr<PGresult, Clear>;

    bool run(const char *sql)
    {
        const Result r(PQexec(conn_.get(), sql));
        if (PQresultStatus(r.get()) == PGRES_COMMAND_OK)
            return true;
        error_ = QString::fromUtf8(PQresultErrorMessage(r.get())).trimmed();
        return false;
    }

    std::unique_ptr<PGconn, Finish> conn_;
    QString error_;
};

// SQLite takes one writer at a time; the connections of the baseline queue for it on a
// mutex of this process instead of sleeping in SQLite's busy handler.
class RawSqlite final : public RawConnection {
public:
    RawSqlite(const QString &path, std::mutex &writer) : writer_(writer)
    {
        sqlite3 *raw = nullptr;
        const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        db_.reset(raw);
        if (rc != SQLITE_OK)
            throw std::runtime_error("sqlite: cannot open " + path.toStdString());
        // What the server's connections run with.
        sqlite3_busy_timeout(raw, 5000);
        sqlite3_exec(raw, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON", nullptr, nullptr,
                     nullptr);
    }

    bool commit(const std::vector<Step> &slip) override
    {
        const std::lock_guard lock(writer_);
        if (!exec("BEGIN IMMEDIATE"))
            return false;
        for (const Step &s : slip) {
            sqlite3_stmt *raw = nullptr;
            if (sqlite3_prepare_v2(db_.get(), s.sql.constData(), static_cast<int>(s.sql.size()), &raw, nullptr) != SQLITE_OK)
                return fail();
            const std::unique_ptr<sqlite3_stmt, Finalize> stmt(raw);
            int rc = sqlite3_step(raw);
            const bool refused = s.refusesOnOne && rc == SQLITE_ROW && sqlite3_column_int(raw, 0) == 1;
            while (rc == SQLITE_ROW)
                rc = sqlite3_step(raw);
            if (rc != SQLITE_DONE)
                return fail();
            if (refused) {
                error_ = QStringLiteral("refused by a check");
                exec("ROLLBACK");
                return false;
            }
        }
        return exec("COMMIT");
    }
    QString lastError() const override { return error_; }

private:
    struct Close {
        void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
    };
    struct Finalize {
        void operator()(sqlite3_stmt *s) const { sqlite3_finalize(s); }
    };

    bool exec(const char *sql)
    {
        if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK)
            return true;
        return fail();
    }
    bool fail()
    {
        error_ = QString::fromUtf8(sqlite3_errmsg(db_.get()));
        if (!sqlite3_get_autocommit(db_.get()))
            sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }

    std::mutex &writer_;
    std::unique_ptr<sqlite3, Close> db_;
    QString error_;
};

// ---- rounds

struct RoundResult {
    int committed = 0;
    int failed = 0;
    std::vector<double> waits; // seconds per slip
    double seconds = 0;
    double cpuSeconds = 0; // of this process: the server and its tills, or the baseline's clients
    QString firstError;
    double rate() const { return seconds > 0 ? committed / seconds : 0; }
    double cpuMillisPerSlip() const { return committed > 0 ? 1000 * cpuSeconds / committed : 0; }
    double medianWaitMs() const { return 1000 * percentile(0.5); }
    double worstWaitMs() const { return 1000 * percentile(1.0); }
    double percentile(double p) const
    {
        if (waits.empty())
            return 0;
        std::vector<double> v = waits;
        std::sort(v.begin(), v.end());
        return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
    }
};

// Times one slip on either path into `r`.
template <typename Commit>
void timedSlip(RoundResult &r, Commit commit)
{
    const auto start = std::chrono::steady_clock::now();
    QString error;
    const bool ok = commit(error);
    r.waits.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (ok) {
        ++r.committed;
    } else {
        ++r.failed;
        if (r.firstError.isEmpty())
            r.firstError = error;
    }
}

double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const auto s = [](const timeval &t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

// Runs one worker per till at once and times the whole round.
template <typename Work>
RoundResult timed(int tills, Work work)
{
    std::vector<RoundResult> parts(static_cast<size_t>(tills));
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = processCpuSeconds();
    {
        std::vector<std::thread> threads;
        for (int t = 0; t < tills; ++t)
            threads.emplace_back([&, t] { parts[t] = work(t); });
        for (std::thread &th : threads)
            th.join();
    }
    RoundResult all;
    all.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    all.cpuSeconds = processCpuSeconds() - cpuStart;
    for (const RoundResult &p : parts) {
        all.committed += p.committed;
        all.failed += p.failed;
        all.waits.insert(all.waits.end(), p.waits.begin(), p.waits.end());
        if (all.firstError.isEmpty())
            all.firstError = p.firstError;
    }
    return all;
}

class Bench {
public:
    Bench(QString name, QString location, int tills, int slipsPerTill)
        : name_(std::move(name)), location_(std::move(location)), tills_(tills), slipsPerTill_(slipsPerTill)
    {
    }

    // Creates the demo shop, starts the server, logs the tills in and opens the raw connections.
    void setUp()
    {
        CreateOptions create;
        create.demo = true;
        create.force = true;
        ShopDatabase(location_, clock_).create(create);
        db_ = sql::openBackend(location_);
        catalog_ = db_->loadCatalog();
        ResultSet rows;
        db_->execute(QStringLiteral("SELECT D1801.WL_ID, D1800.DJ FROM D1801 INNER JOIN D1800 ON D1800.K_ID = D1801.K_ID"),
                     &rows);
        for (int r = 0; r < rows.totalRowCount(); ++r)
            prices_.insert(rows.fieldAt(r, 0).asString(), rows.fieldAt(r, 1).asMoney());

        ServerOptions options;
        options.location = location_;
        options.host = QStringLiteral("127.0.0.1");
        options.port = 0;
        options.messagePort = 0;
        // Every till here comes from 127.0.0.1; a shop's tills each have an address of their own.
        options.connectionsPerAddress = 1000;
        options.log = [](const QString &) {}; // the line is still made, only not written
        server_ = std::make_unique<ShopServer>(options, clock_);
        server_->start();
        // The tills log in all at once, as a shop's do at opening time.
        const QString md5 = QString::fromLatin1(QCryptographicHash::hash("01", QCryptographicHash::Md5).toHex());
        for (int t = 0; t < tills_; ++t)
            remote_.push_back(std::make_unique<RemoteShopService>(
                RemoteServer{QStringLiteral("127.0.0.1"), server_->port(), server_->messagePort(), false, {}}, 30));
        std::vector<double> loginSeconds(static_cast<size_t>(tills_));
        std::vector<QString> loginErrors(static_cast<size_t>(tills_));
        {
            std::vector<std::thread> threads;
            for (int t = 0; t < tills_; ++t) {
                threads.emplace_back([&, t] {
                    const auto start = std::chrono::steady_clock::now();
                    if (remote_[t]->thrGetLogin(LoginRequest{"01", md5, "vorel", "CL"}).rows.totalRowCount() != 1)
                        loginErrors[t] = remote_[t]->lastMessage() + QStringLiteral(" ");
                    loginSeconds[t] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                });
            }
            for (std::thread &th : threads)
                th.join();
        }
        for (const QString &e : loginErrors) {
            if (!e.isEmpty())
                throw std::runtime_error("the demo cashier could not log in: " + e.toStdString());
        }
        worstLoginMs_ = 1000 * *std::max_element(loginSeconds.begin(), loginSeconds.end());
        for (int t = 0; t < std::min(tills_, MaxRawConnections); ++t) {
            if (db_->kind() == BackendKind::PostgreSQL)
                raw_.push_back(std::make_unique<RawPostgres>(location_));
            else
                raw_.push_back(std::make_unique<RawSqlite>(location_, sqliteWriter_));
        }
    }

    void run()
    {
        std::printf("\n%s, %d tills: %d slips each per round, %d rounds per path after a warm-up, %d raw connections; "
                    "the tills logged in at once, the last after %.1f ms\n",
                    qPrintable(name_), tills_, slipsPerTill_, Rounds, static_cast<int>(raw_.size()), worstLoginMs_);
        std::printf("%-8s %-28s %7s %7s %9s %12s %12s %12s\n", "round", "path", "slips", "failed", "slips/s",
                    "wait p50 ms", "worst ms", "cpu ms/slip");
        std::vector<double> rawRates, serverRates, rawWorst, serverWorst;
        int failures = 0;
        for (int round = 0; round <= Rounds; ++round) {
            // ABBA: the order flips every round so that neither path always runs on the
            // bigger tables.
            const bool rawFirst = round % 2 == 0;
            for (int leg = 0; leg < 2; ++leg) {
                const bool raw = (leg == 0) == rawFirst;
                const RoundResult r = raw ? rawRound(round) : serverRound(round);
                failures += r.failed;
                const QString label = round == 0 ? QStringLiteral("warm-up") : QString::number(round);
                std::printf("%-8s %-28s %7d %7d %9.1f %12.2f %12.2f %12.2f%s\n", qPrintable(label),
                            raw ? "straight to the database" : "through vorel-server", r.committed, r.failed, r.rate(),
                            r.medianWaitMs(), r.worstWaitMs(), r.cpuMillisPerSlip(),
                            r.firstError.isEmpty() ? "" : qPrintable("  (" + r.firstError.left(100) + ")"));
                if (round > 0) {
                    (raw ? rawRates : serverRates).push_back(r.rate());
                    (raw ? rawWorst : serverWorst).push_back(r.worstWaitMs());
                }
            }
        }
        const double rawRate = median(rawRates);
        const double serverRate = median(serverRates);
        ResultSet rows;
        db_->execute(QStringLiteral("SELECT COUNT(*) FROM D712"), &rows);
        const qint64 stored = rows.fieldAt(0, 0).asInt();
        std::printf("%s %d tills median: %.1f slips/s through vorel-server, %.1f slips/s straight: ratio %.2f; "
                    "worst wait %.1f ms against %.1f ms%s\n",
                    qPrintable(name_), tills_, serverRate, rawRate, rawRate > 0 ? serverRate / rawRate : 0.0,
                    median(serverWorst), median(rawWorst), failures ? "  SOME SLIPS FAILED" : "");
        const qint64 expected = static_cast<qint64>(Rounds + 1) * 2 * tills_ * slipsPerTill_ - failures;
        if (stored != expected)
            std::printf("%s: the shop holds %lld slips, %lld were committed\n", qPrintable(name_),
                        static_cast<long long>(stored), static_cast<long long>(expected));
    }

    void tearDown()
    {
        remote_.clear();
        raw_.clear();
        if (server_)
            server_->stop();
        server_.reset();
        db_.reset();
    }

private:
    static double median(std::vector<double> v)
    {
        if (v.empty())
            return 0;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }

    // A block of slip numbers per path and round; the terminal number is the till's.
    static int firstSlip(bool raw, int round) { return 10000000 + (round * 2 + (raw ? 0 : 1)) * 10000; }

    QString saleTime() const { return formatDateTime(clock_.now()); }

    RoundResult serverRound(int round)
    {
        std::vector<QStringList> batches;
        for (int t = 0; t < tills_; ++t)
            batches.push_back(tillSlips(100 + t, firstSlip(false, round), slipsPerTill_, prices_, saleTime()));
        return timed(tills_, [&](int t) {
            RoundResult r;
            for (const QString &b : batches[t]) {
                timedSlip(r, [&](QString &error) {
                    error = remote_[t]->posExecSql(opcode::Slip, {}, QStringLiteral("Add"), b, 30);
                    return error == ReplyOk;
                });
            }
            return r;
        });
    }

    RoundResult rawRound(int round)
    {
        const BackendKind kind = db_->kind();
        const QString stamp = formatDateTime(clock_.now());
        const QString now = kind == BackendKind::PostgreSQL ? QStringLiteral("TIMESTAMP '%1'").arg(stamp)
                                                            : QStringLiteral("'%1'").arg(stamp);
        std::vector<std::vector<std::vector<Step>>> slips(static_cast<size_t>(tills_));
        for (int t = 0; t < tills_; ++t) {
            for (const QString &b : tillSlips(100 + t, firstSlip(true, round), slipsPerTill_, prices_, saleTime())) {
                std::vector<Step> steps;
                if (!flatten(sql::translate(b, kind, catalog_).nodes, now, steps))
                    throw std::runtime_error("a slip translated into more than checks and statements");
                slips[t].push_back(std::move(steps));
            }
        }
        return timed(tills_, [&](int t) {
            RoundResult r;
            RawConnection &conn = *raw_[static_cast<size_t>(t) % raw_.size()];
            for (const std::vector<Step> &s : slips[t]) {
                timedSlip(r, [&](QString &error) {
                    const std::lock_guard lock(conn.inUse);
                    if (conn.commit(s))
                        return true;
                    error = conn.lastError();
                    return false;
                });
            }
            return r;
        });
    }

    QString name_;
    QString location_;
    int tills_;
    int slipsPerTill_;
    double worstLoginMs_ = 0;
    SystemClock clock_;
    std::unique_ptr<sql::Backend> db_;
    sql::Catalog catalog_;
    QMap<QString, Money> prices_;
    std::unique_ptr<ShopServer> server_;
    std::vector<std::unique_ptr<RemoteShopService>> remote_;
    std::mutex sqliteWriter_;
    std::vector<std::unique_ptr<RawConnection>> raw_;
};

bool runOne(Bench &bench)
{
    try {
        bench.setUp();
        bench.run();
        bench.tearDown();
        return true;
    } catch (const std::exception &e) {
        std::printf("failed: %s\n", e.what());
        bench.tearDown();
        return false;
    }
}

} // namespace

int main(int argc, char **argv)
{
    // QProcess (the throwaway cluster) wants an application object. The arguments of the
    // benchmark runner are not for this program.
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);
    (void)argc;

    bool ok = true;
    {
        bench::Postgres pg;
        if (pg.location().isEmpty()) {
            std::printf("PostgreSQL: skipped, no server for the run: %s\n", qPrintable(pg.whyNot()));
        } else {
            // VOREL_BENCH_TILLS=16 runs that size alone.
            const int only = qEnvironmentVariableIntValue("VOREL_BENCH_TILLS");
            for (const auto &[tills, slips] : {std::pair{1, 120}, {4, 40}, {16, 12}, {200, 3}}) {
                if (only > 0 && only != tills)
                    continue;
                Bench bench(QStringLiteral("PostgreSQL"), pg.location(), tills, slips);
                ok = runOne(bench) && ok;
            }
        }
    }
    {
        QTemporaryDir dir;
        Bench bench(QStringLiteral("SQLite"), dir.filePath(QStringLiteral("shop.db")), 8, 25);
        ok = runOne(bench) && ok;
    }
    return ok ? 0 : 1;
}
