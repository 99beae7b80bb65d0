// The sales query (TS007) over a month of a busy till: 10,000 slips of three lines, 30,000
// slip lines of terminal 001 in this month, beside a month of another terminal and the month
// before. "Fill" is what F8 and a period button cost the cashier: the query through the read
// wrapper (the shop service's engine online, the local store offline), the footer's count and
// sum, and the grid's model over the rows. "Bare" is the same query handed straight to SQLite
// on the same file, every row stepped and every column read. Both run in the same process on
// the same files; the figure to read is the ratio fill / bare (aim: at most 1.5, and under
// 100 ms a fill).

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "core/clock.h"
#include "core/session.h"
#include "core/text.h"
#include "core/ui/resultsetgrid.h"
#include "offline/connection.h"
#include "offline/localstore.h"
#include "server/localshopservice.h"
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

// The shop (demo data, in process) and the local store with the same slips and master rows.
struct BusyTill {
    QTemporaryDir dir;
    ManualClock clock{Now};
    Session session;
    std::unique_ptr<LocalShopService> shop;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<shift::SalesQuery> query;
    std::unique_ptr<SalesQueryDialog> dialog;
    QString sql;

    BusyTill()
    {
        shop = std::make_unique<LocalShopService>(dir.filePath(QStringLiteral("shop.db")), clock);
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
        connection = std::make_unique<Connection>(session, *shop, *store);
        copyMasterRows();

        const QDateTime monthStart(QDate(2026, 12, 1), QTime(8, 0, 0));
        QString batch;
        store->begin();
        for (int n = 0; n < Slips; ++n) {
            // 10,000 slips spread over 27 days of this month; a month before; another terminal.
            const QDateTime at = monthStart.addSecs(qint64(n) * 27 * 86400 / Slips);
            QString text = slip(QStringLiteral("001"), n, at);
            if (n % 10 == 0)
                text += slip(QStringLiteral("002"), n, at) + slip(QStringLiteral("001"), Slips + n, at.addMonths(-1));
            batch += text;
            store->execute(text);
            if (n % 500 == 499) {
                shop->posExecSql(opcode::Plain, {}, {}, batch, 60);
                batch.clear();
            }
        }
        store->commit();
        query = std::make_unique<shift::SalesQuery>(session, *connection, clock);
        dialog = std::make_unique<SalesQueryDialog>(*query);
        sql = shift::salesQuerySql(QStringLiteral("001"),
                                   shift::periodCondition(shift::Period::ThisMonth, Now.date(), QStringLiteral("01")));
    }

    void copyMasterRows()
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
            shop->posOpenSql(rows, QStringLiteral("select %1 from %2").arg(columns, table));
            for (int r = 0; r < rows.totalRowCount(); ++r) {
                QStringList values;
                for (int i = 0; i < rows.columnCount(); ++i)
                    values << (rows.fieldAt(r, i).isNull() ? QStringLiteral("NULL")
                                                           : sqlQuote(rows.fieldAt(r, i).asString()));
                store->execute(QStringLiteral("insert into %1 (%2) values (%3)").arg(table, columns, values.join(',')));
            }
        }
    }
};

BusyTill &till()
{
    static BusyTill t;
    return t;
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

void fill(benchmark::State &state, bool offline)
{
    BusyTill &t = till();
    t.connection->setOffline(offline);
    for (auto _ : state) {
        t.dialog->runPeriod(shift::Period::ThisMonth);
        benchmark::DoNotOptimize(t.dialog->grid()->rowCount());
    }
    state.counters["lines"] = t.query->rows().totalRowCount();
    state.counters["slips"] = t.query->footer().slips;
}

void bare(benchmark::State &state, bool offline)
{
    BusyTill &t = till();
    const QString file = offline ? t.store->path() : t.shop->shopFile();
    qint64 bytes = 0;
    for (auto _ : state)
        bytes = bareQuery(file, t.sql);
    state.counters["bytes"] = double(bytes);
}

// The breakdown of an offline fill: the local store's reading into a result set, and the
// query with its footer without the grid.
void BM_StoreQueryOnly(benchmark::State &state)
{
    BusyTill &t = till();
    for (auto _ : state)
        benchmark::DoNotOptimize(t.store->query(t.sql).totalRowCount());
}
void BM_RunWithoutGrid(benchmark::State &state)
{
    BusyTill &t = till();
    t.connection->setOffline(true);
    for (auto _ : state)
        t.query->run(shift::Period::ThisMonth, QString());
}

void BM_FillGridOnline(benchmark::State &s) { fill(s, false); }
void BM_BareQueryShopFile(benchmark::State &s) { bare(s, false); }
void BM_FillGridOffline(benchmark::State &s) { fill(s, true); }
void BM_BareQueryLocalStore(benchmark::State &s) { bare(s, true); }

BENCHMARK(BM_BareQueryShopFile)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_FillGridOnline)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_BareQueryLocalStore)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_FillGridOffline)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_StoreQueryOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_RunWithoutGrid)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
