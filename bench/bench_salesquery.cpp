// The sales query (TS007) over a month of a busy till: 10,000 slips of three lines, 30,000
// slip lines of terminal 001 in this month, beside a month of another terminal and the month
// before. "Fill" is what F8 and a period button cost the cashier: the query through the read
// wrapper, the footer's count and sum, and the grid's model over the rows. "Bare" is the same
// query handed straight to the database, every row stepped and every column read.
//
// Three tills: the stand-alone edition (the engine in process on the shop file) and offline
// (the local store), both against SQLite on the same file; and the network edition, a till
// logged in to a vorel-server on PostgreSQL (VOREL_TEST_PG, else a throwaway cluster from
// scripts/test-postgres, else skipped with a line saying why), whose bare query is the
// engine's translation sent through libpq. Both halves of a pair run in the same process on
// the same database; the figure to read is the ratio fill / bare (aim: at most 1.5, and
// under 100 ms a fill).

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <memory>

#include "benchpostgres.h"
#include "core/clock.h"
#include "core/session.h"
#include "core/text.h"
#include "core/ui/resultsetgrid.h"
#include "offline/connection.h"
#include "offline/localstore.h"
#include "server/localshopservice.h"
#include "server/remoteshopservice.h"
#include "server/shopdatabase.h"
#include "server/shopserver.h"
#include "sqlengine/backend.h"
#include "sqlengine/engine.h"
#include "shift/salesquery.h"
#include "shift/ui/salesquerydialog.h"

using namespace vorel;

namespace {

constexpr int Slips = 10000;
const QDateTime Now(QDate(2026, 12, 28), QTime(18, 0, 0));

// One slip and its three lines, the same text for both databases.
QString slip(const QString &terminal, int n, const QDateTime &at)
{
    static const char *const Units[] = {"TX00101", "TX00202", "BQ02601", "CS00702", "MY01501"};
    const QString noid = terminal + QString::number(10000000 + n);
    QString b = QStringLiteral("INSERT INTO D712 (NOID, CK_ID, ZD_ID, CLASSID, VIPID, VIPZK, BDATE, USER_ID, S1, S2, S3, "
                               "S4, S5, S6, S7) VALUES ('%1','001','%2','1',%3,1,'%4','01',237,0,0,0,0,300,63);")
                    .arg(noid, terminal, n % 4 == 0 ? QStringLiteral("'88000001'") : QStringLiteral("NULL"),
                         formatDateTime(at));
    for (int line = 0; line < 3; ++line) {
        b += QStringLiteral("INSERT INTO D712A (NOID, WL_ID, XH, CK_ID, S%3, SJ, SMONEY, ODJ, OMONEY, ZK, G, FLAG1, "
                            "FLAG2, FLAG3, NOTE, VIPF) VALUES ('%1','%2','1','001',%4,79,79,79,79,1,0,0,0,0,'',1);")
                 .arg(noid, QString::fromLatin1(Units[(n + line) % 5]))
                 .arg(line + 1)
                 .arg(n % 50 == 0 ? -1 : 1);
    }
    return b;
}

// The master rows the query joins, copied from the shop into the local store.
void copyMasterRows(ShopService &shop, LocalStore &store)
{
    const char *const copies[][2] = {
        {"D1007", "CK_ID, CK_NAME"},
        {"D1800", "K_ID, WL_NAME, M_ID"},
        {"D1801", "WL_ID, K_ID, COL_ID"},
        {"VD1005", "COL_ID, COL_NAME, S"},
        {"D1006", "M_ID, M0, M1, M2, M3, M4, M5, M6, M7, M8, M9"},
    };
    for (const auto &c : copies) {
        const QString table = QString::fromLatin1(c[0]), columns = QString::fromLatin1(c[1]);
        ResultSet rows;
        shop.posOpenSql(rows, QStringLiteral("select %1 from %2").arg(columns, table));
        for (int r = 0; r < rows.totalRowCount(); ++r) {
            QStringList values;
            for (int i = 0; i < rows.columnCount(); ++i)
                values << (rows.fieldAt(r, i).isNull() ? QStringLiteral("NULL") : sqlQuote(rows.fieldAt(r, i).asString()));
            store.execute(QStringLiteral("insert into %1 (%2) values (%3)").arg(table, columns, values.join(',')));
        }
    }
}

// The month of slips, handed out in batches of 500 slips.
void eachBatch(const std::function<void(const QString &)> &take)
{
    const QDateTime monthStart(QDate(2026, 12, 1), QTime(8, 0, 0));
    QString batch;
    for (int n = 0; n < Slips; ++n) {
        // 10,000 slips spread over 27 days of this month; a month before; another terminal.
        const QDateTime at = monthStart.addSecs(qint64(n) * 27 * 86400 / Slips);
        batch += slip(QStringLiteral("001"), n, at);
        if (n % 10 == 0)
            batch += slip(QStringLiteral("002"), n, at) + slip(QStringLiteral("001"), Slips + n, at.addMonths(-1));
        if (n % 500 == 499) {
            take(batch);
            batch.clear();
        }
    }
}

const QString &monthQuery()
{
    static const QString sql = shift::salesQuerySql(
        QStringLiteral("001"), shift::periodCondition(shift::Period::ThisMonth, Now.date(), QStringLiteral("01")));
    return sql;
}

// A till logged in as cashier 01 on terminal 001 with its local store, its sales query and
// the dialog showing it.
struct Till {
    QTemporaryDir dir;
    ManualClock clock{Now};
    Session session;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<ShopService> shop;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<shift::SalesQuery> query;
    std::unique_ptr<SalesQueryDialog> dialog;

    Till()
    {
        const QString storePath = dir.filePath(QStringLiteral("VORELZ"));
        QFile::copy(LocalStore::shippedCleanCopy(), storePath);
        QFile::setPermissions(storePath, QFile::ReadOwner | QFile::WriteOwner);
        store = std::make_unique<LocalStore>(storePath);
        store->open();
        session.connection.net = 0;
        session.connection.loginOnline = true;
        session.connection.loginFlag = true;
        session.identity.userId = QStringLiteral("01");
        session.terminal.terminalId = QStringLiteral("001");
    }
    void connect(std::unique_ptr<ShopService> service)
    {
        shop = std::move(service);
        connection = std::make_unique<Connection>(session, *shop, *store);
        query = std::make_unique<shift::SalesQuery>(session, *connection, clock);
        dialog = std::make_unique<SalesQueryDialog>(*query);
    }
};

// The stand-alone edition: the shop file in process, and the same slips in the local store.
struct BusyTill : Till {
    QString shopFile;
    BusyTill() : shopFile(dir.filePath(QStringLiteral("shop.db")))
    {
        connect(std::make_unique<LocalShopService>(shopFile, clock));
        copyMasterRows(*shop, *store);
        store->begin();
        eachBatch([this](const QString &batch) {
            shop->posExecSql(opcode::Plain, {}, {}, batch, 60);
            store->execute(batch);
        });
        store->commit();
    }
};

// The network edition: a vorel-server on `location` (a demo shop made there) and a till
// logged in to it.
struct NetworkTill : Till {
    std::unique_ptr<server::ShopServer> server;
    std::unique_ptr<sql::Backend> db;
    QString backendSql; // the engine's translation of the query
    QString location;

    explicit NetworkTill(QString where) : location(std::move(where))
    {
        server::CreateOptions create;
        create.demo = true;
        server::ShopDatabase(location, clock).create(create);
        db = sql::openBackend(location);
        sql::Engine engine(*db, clock);
        eachBatch([&engine](const QString &batch) {
            const sql::BatchResult r = engine.run(batch);
            if (!r.ok())
                throw std::runtime_error("slips refused: " + r.reply.toStdString());
        });
        backendSql = engine.explain(monthQuery());
        server::ServerOptions options;
        options.location = location;
        options.host = QStringLiteral("127.0.0.1");
        options.port = 0;
        options.messagePort = 0;
        options.log = [](const QString &) {};
        server = std::make_unique<server::ShopServer>(options, clock);
        server->start();
        auto remote = std::make_unique<RemoteShopService>(
            RemoteServer{QStringLiteral("127.0.0.1"), server->port(), server->messagePort(), false, {}}, 30);
        const QString md5 = QString::fromLatin1(QCryptographicHash::hash("01", QCryptographicHash::Md5).toHex());
        if (remote->thrGetLogin(LoginRequest{"01", md5, "vorel", "CL"}).rows.totalRowCount() != 1)
            throw std::runtime_error("the demo cashier could not log in: " + remote->lastMessage().toStdString());
        connect(std::move(remote));
    }
};

std::unique_ptr<BusyTill> standAlone;

// Made at its first benchmark, gone before the application object.
BusyTill &till()
{
    if (!standAlone)
        standAlone = std::make_unique<BusyTill>();
    return *standAlone;
}

// Steps every row of the query on a connection of its own and reads every column.
qint64 bareQuery(const QString &file, const QString &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    qint64 bytes = 0;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK) {
        const int columns = sqlite3_column_count(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                sqlite3_column_text(stmt, c);
                bytes += sqlite3_column_bytes(stmt, c);
            }
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return bytes;
}

void fillGrid(benchmark::State &state, Till &t, bool offline)
{
    t.connection->setOffline(offline);
    for (auto _ : state) {
        t.dialog->runPeriod(shift::Period::ThisMonth);
        benchmark::DoNotOptimize(t.dialog->grid()->rowCount());
    }
    state.counters["lines"] = t.query->rows().totalRowCount();
    state.counters["slips"] = t.query->footer().slips;
}

void fill(benchmark::State &state, bool offline)
{
    fillGrid(state, till(), offline);
}

void bare(benchmark::State &state, bool offline)
{
    BusyTill &t = till();
    const QString file = offline ? t.store->path() : t.shopFile;
    qint64 bytes = 0;
    for (auto _ : state)
        bytes = bareQuery(file, monthQuery());
    state.counters["bytes"] = double(bytes);
}

// The breakdown of an offline fill: the local store's reading into a result set, and the
// query with its footer without the grid.
void BM_StoreQueryOnly(benchmark::State &state)
{
    BusyTill &t = till();
    for (auto _ : state)
        benchmark::DoNotOptimize(t.store->query(monthQuery()).totalRowCount());
}
void BM_RunWithoutGrid(benchmark::State &state)
{
    BusyTill &t = till();
    t.connection->setOffline(true);
    for (auto _ : state)
        t.query->run(shift::Period::ThisMonth, QString());
}

// What the stand-alone shop service spends on every read to count the bytes it would have
// sent: the rows made into the wire's JSON.
void BM_WireSizeOfRows(benchmark::State &state)
{
    BusyTill &t = till();
    const ResultSet rows = t.store->query(monthQuery());
    for (auto _ : state)
        benchmark::DoNotOptimize(wire::serialize(wire::resultSetToJson(rows)).size());
}

void BM_FillGridOnline(benchmark::State &s) { fill(s, false); }
void BM_BareQueryShopFile(benchmark::State &s) { bare(s, false); }
void BM_FillGridOffline(benchmark::State &s) { fill(s, true); }
void BM_BareQueryLocalStore(benchmark::State &s) { bare(s, true); }

BENCHMARK(BM_BareQueryShopFile)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_FillGridOnline)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_BareQueryLocalStore)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_FillGridOffline)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_StoreQueryOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_WireSizeOfRows)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_RunWithoutGrid)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

// ---- PostgreSQL

// Every row of the engine's translation through libpq, every value read.
using bench::Postgres;

qint64 barePostgres(PGconn *conn, const QString &sql)
{
    PGresult *res = PQexec(conn, sql.toUtf8().constData());
    qint64 bytes = 0;
    if (PQresultStatus(res) == PGRES_TUPLES_OK) {
        const int rows = PQntuples(res), columns = PQnfields(res);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                benchmark::DoNotOptimize(PQgetvalue(res, r, c));
                bytes += PQgetlength(res, r, c);
            }
        }
    }
    PQclear(res);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    Postgres pg;
    std::unique_ptr<NetworkTill> network;
    PGconn *conn = nullptr;
    if (pg.location().isEmpty()) {
        std::printf("PostgreSQL part skipped: %s\n", qPrintable(pg.whyNot()));
    } else {
        try {
            network = std::make_unique<NetworkTill>(pg.location());
            conn = PQconnectdb(pg.location().toUtf8().constData());
            benchmark::RegisterBenchmark("BM_BareQueryPostgres", [&network, conn](benchmark::State &state) {
                qint64 bytes = 0;
                for (auto _ : state)
                    bytes = barePostgres(conn, network->backendSql);
                state.counters["bytes"] = double(bytes);
            })->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
            benchmark::RegisterBenchmark("BM_FillGridPostgresServer", [&network](benchmark::State &state) {
                fillGrid(state, *network, false);
            })->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
        } catch (const std::exception &e) {
            std::printf("PostgreSQL part failed: %s\n", e.what());
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (conn)
        PQfinish(conn);
    network.reset();
    standAlone.reset();
    return 0;
}
