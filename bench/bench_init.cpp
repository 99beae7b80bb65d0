// `vorel-server init --styles N` (ShopDatabase::addStyles: the generator and its bulk load)
// against a bare load of the same rows: on SQLite one prepared INSERT per table with the
// values bound in one transaction, on PostgreSQL COPY FROM STDIN in one transaction. The rows
// of the bare load are the ones the generator wrote, read back beforehand, so both paths load
// the same rows into a fresh demo shop. Rounds alternate (generator, bare, bare, generator);
// figures are the means and the ratio generator / bare. Aim: at most 1.3.
//
// VOREL_BENCH_STYLES sets N (100000 unless given). PostgreSQL as bench_slipcommit finds it.

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "benchpostgres.h"
#include "core/clock.h"
#include "server/shopdatabase.h"

using namespace vorel;
using namespace vorel::server;

namespace {

struct TableRows {
    const char *table;
    const char *columns;
};

// The tables the generator fills, with the columns it writes.
const TableRows Tables[] = {
    {"D1800", "K_ID, CLASS_ID, WL_NAME, PYM, PP_ID, M_ID, DJ, PFJ, WL_YS, VIPF, BDATE"},
    {"D1801", "WL_ID, K_ID, COL_ID"},
    {"D1802", "CK_ID, WL_ID, K0, K1, K2, K3, K4, K5, K6, K7, K8, K9"},
    {"D1809", "WL_ID, K_ID, M_INDEX, TM"},
};

// Rows of generated styles only: the demo's own rows are there before either path runs.
QByteArray generatedOnly(const char *table)
{
    return QByteArray(" FROM ") + table + (QByteArray(table) == "D1802" ? " WHERE WL_ID LIKE 'GS%'" : " WHERE K_ID LIKE 'GS%'");
}

double seconds(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ---- the bare loads

class BareLoad {
public:
    virtual ~BareLoad() = default;
    // Reads the generated rows of the shop at the location.
    virtual void read() = 0;
    // Loads them into the (fresh) shop at the location in one transaction.
    virtual void load() = 0;
    virtual qint64 rowCount() const = 0;
};

class SqliteBare final : public BareLoad {
public:
    explicit SqliteBare(QString path) : path_(std::move(path)) {}

    void read() override
    {
        const auto db = open();
        tables_.clear();
        for (const TableRows &t : Tables) {
            Table out;
            out.insert = QByteArray("INSERT INTO ") + t.table + " (" + t.columns + ") VALUES (";
            const QByteArray sql = QByteArray("SELECT ") + t.columns + generatedOnly(t.table) + " ORDER BY rowid";
            sqlite3_stmt *stmt = nullptr;
            check(db.get(), sqlite3_prepare_v2(db.get(), sql.constData(), -1, &stmt, nullptr));
            out.columns = sqlite3_column_count(stmt);
            for (int c = 0; c < out.columns; ++c)
                out.insert += c ? ",?" : "?";
            out.insert += ")";
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                for (int c = 0; c < out.columns; ++c)
                    out.cells.emplace_back(sqlite3_value_dup(sqlite3_column_value(stmt, c)));
            }
            sqlite3_finalize(stmt);
            tables_.push_back(std::move(out));
        }
    }

    void load() override
    {
        const auto db = open();
        sqlite3_exec(db.get(), "PRAGMA cache_size=-131072", nullptr, nullptr, nullptr);
        check(db.get(), sqlite3_exec(db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr));
        for (const Table &t : tables_) {
            sqlite3_stmt *stmt = nullptr;
            check(db.get(), sqlite3_prepare_v2(db.get(), t.insert.constData(), -1, &stmt, nullptr));
            for (size_t i = 0; i < t.cells.size(); i += static_cast<size_t>(t.columns)) {
                for (int c = 0; c < t.columns; ++c)
                    sqlite3_bind_value(stmt, c + 1, t.cells[i + static_cast<size_t>(c)].get());
                if (sqlite3_step(stmt) != SQLITE_DONE)
                    check(db.get(), SQLITE_ERROR);
                sqlite3_reset(stmt);
            }
            sqlite3_finalize(stmt);
        }
        check(db.get(), sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr));
    }

    qint64 rowCount() const override
    {
        qint64 n = 0;
        for (const Table &t : tables_)
            n += static_cast<qint64>(t.cells.size()) / t.columns;
        return n;
    }

private:
    struct Close {
        void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
    };
    struct FreeValue {
        void operator()(sqlite3_value *v) const { sqlite3_value_free(v); }
    };
    struct Table {
        QByteArray insert;
        int columns = 0;
        std::vector<std::unique_ptr<sqlite3_value, FreeValue>> cells;
    };

    std::unique_ptr<sqlite3, Close> open() const
    {
        sqlite3 *raw = nullptr;
        const int rc = sqlite3_open_v2(path_.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        std::unique_ptr<sqlite3, Close> db(raw);
        check(raw, rc);
        // What the shop's connections run with.
        sqlite3_exec(raw, "PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr);
        return db;
    }
    static void check(sqlite3 *db, int rc)
    {
        if (rc != SQLITE_OK)
            throw std::runtime_error(std::string("sqlite: ") + (db ? sqlite3_errmsg(db) : "cannot open"));
    }

    QString path_;
    std::vector<Table> tables_;
};

class PostgresBare final : public BareLoad {
public:
    explicit PostgresBare(QString location) : location_(std::move(location)) {}

    void read() override
    {
        const auto conn = connect();
        tables_.clear();
        rows_ = 0;
        for (const TableRows &t : Tables) {
            Table out;
            out.copyIn = QByteArray("COPY ") + t.table + " (" + t.columns + ") FROM STDIN";
            const QByteArray copyOut = QByteArray("COPY (SELECT ") + t.columns + generatedOnly(t.table) + ") TO STDOUT";
            PQclear(expect(conn.get(), PQexec(conn.get(), copyOut.constData()), PGRES_COPY_OUT));
            char *line = nullptr;
            int n;
            while ((n = PQgetCopyData(conn.get(), &line, 0)) > 0) {
                out.data.append(line, n);
                ++rows_;
                PQfreemem(line);
            }
            PQclear(expect(conn.get(), PQgetResult(conn.get()), PGRES_COMMAND_OK));
            tables_.push_back(std::move(out));
        }
    }

    void load() override
    {
        const auto conn = connect();
        PQclear(expect(conn.get(), PQexec(conn.get(), "BEGIN"), PGRES_COMMAND_OK));
        for (const Table &t : tables_) {
            PQclear(expect(conn.get(), PQexec(conn.get(), t.copyIn.constData()), PGRES_COPY_IN));
            if (PQputCopyData(conn.get(), t.data.constData(), static_cast<int>(t.data.size())) != 1
                || PQputCopyEnd(conn.get(), nullptr) != 1)
                throw std::runtime_error(std::string("libpq: ") + PQerrorMessage(conn.get()));
            PQclear(expect(conn.get(), PQgetResult(conn.get()), PGRES_COMMAND_OK));
        }
        PQclear(expect(conn.get(), PQexec(conn.get(), "COMMIT"), PGRES_COMMAND_OK));
    }

    qint64 rowCount() const override { return rows_; }

private:
    struct Finish {
        void operator()(PGconn *c) const { PQfinish(c); }
    };
    struct Table {
        QByteArray copyIn;
        QByteArray data;
    };

    std::unique_ptr<PGconn, Finish> connect() const
    {
        const QByteArray where = location_.toUtf8();
        const char *const keys[] = {"dbname", "client_encoding", nullptr};
        const char *const values[] = {where.constData(), "UTF8", nullptr};
        std::unique_ptr<PGconn, Finish> conn(PQconnectdbParams(keys, values, 1));
        if (PQstatus(conn.get()) != CONNECTION_OK)
            throw std::runtime_error(std::string("libpq: ") + PQerrorMessage(conn.get()));
        PQclear(expect(conn.get(), PQexec(conn.get(), "SET DateStyle = 'ISO, YMD'"), PGRES_COMMAND_OK));
        return conn;
    }
    static PGresult *expect(PGconn *conn, PGresult *r, ExecStatusType status)
    {
        if (PQresultStatus(r) != status) {
            const std::string why = r ? PQresultErrorMessage(r) : PQerrorMessage(conn);
            PQclear(r);
            throw std::runtime_error("libpq: " + why);
        }
        return r;
    }

    QString location_;
    std::vector<Table> tables_;
    qint64 rows_ = 0;
};

// ---- rounds

void freshDemoShop(const QString &location, const Clock &clock)
{
    CreateOptions create;
    create.demo = true;
    create.force = true;
    ShopDatabase(location, clock).create(create);
}

bool run(const char *name, const QString &location, BareLoad &bare, int styles)
{
    try {
        ManualClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 0, 0)));
        const ShopDatabase shop(location, clock);
        std::vector<double> generator, bareTimes;
        StyleFigures figures;
        for (int round = 0; round < 4; ++round) {
            freshDemoShop(location, clock);
            const bool gen = round == 0 || round == 3;
            if (gen) {
                generator.push_back(seconds([&] { figures = shop.addStyles(styles); }));
                if (round == 0)
                    bare.read();
            } else {
                bareTimes.push_back(seconds([&] { bare.load(); }));
            }
            std::printf("  round %d %-28s %8.2f s\n", round + 1, gen ? "addStyles (init --styles)" : "bare bulk load",
                        gen ? generator.back() : bareTimes.back());
        }
        const qint64 written = figures.styles + figures.units + figures.barcodes + figures.stockRows;
        const double g = (generator[0] + generator[1]) / 2;
        const double b = (bareTimes[0] + bareTimes[1]) / 2;
        std::printf("%s, %d styles (%lld rows; the bare load read back %lld): addStyles %.2f s, bare %.2f s: ratio "
                    "%.2f%s\n",
                    name, styles, static_cast<long long>(written), static_cast<long long>(bare.rowCount()), g, b, g / b,
                    written == bare.rowCount() ? "" : "  ROW COUNTS DIFFER");
        return written == bare.rowCount();
    } catch (const std::exception &e) {
        std::printf("%s failed: %s\n", name, e.what());
        return false;
    }
}

} // namespace

int main(int argc, char **argv)
{
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);
    (void)argc;
    const int styles = qEnvironmentVariableIsSet("VOREL_BENCH_STYLES") ? qEnvironmentVariableIntValue("VOREL_BENCH_STYLES")
                                                                       : 100000;
    std::printf("init --styles %d against a bare bulk load of the same rows\n", styles);
    bool ok = true;
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shop.db"));
        SqliteBare bare(path);
        ok = run("SQLite", path, bare, styles) && ok;
    }
    {
        bench::Postgres pg;
        if (pg.location().isEmpty()) {
            std::printf("PostgreSQL: skipped, no server for the run: %s\n", qPrintable(pg.whyNot()));
        } else {
            PostgresBare bare(pg.location());
            ok = run("PostgreSQL", pg.location(), bare, styles) && ok;
        }
    }
    return ok ? 0 : 1;
}
