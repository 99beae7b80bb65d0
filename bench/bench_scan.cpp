// A barcode scanned into the sale: the command line's lookup, the new line, the group
// promotions and the totals, on a catalogue of 100,000 generated styles (about a million
// barcodes). Offline against the local store filled from that shop, online through the
// in-process shop service (the T-SQL batch through the engine on the SQLite shop file).
// Baselines in the same run: the bare SQLite text of each lookup on the same file.
// Figures per scan: median and p99 in milliseconds. Aim: p99 under 5 ms offline and under
// 10 ms online.
//
// The shop file and the filled local store are made once and kept beside this program
// ("bench-scan-shop.db", "bench-scan-VORELZ"); delete them to start over.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/clock.h"
#include "core/session.h"
#include "offline/connection.h"
#include "offline/localstore.h"
#include "sales/commandline.h"
#include "sales/customerdisplay.h"
#include "sales/itemlookup.h"
#include "sales/itempicker.h"
#include "sales/membercommands.h"
#include "sales/pricing.h"
#include "sales/sale.h"
#include "sales/settlementlauncher.h"
#include "server/localshopservice.h"
#include "server/shopdatabase.h"

#include "benchshop.h"

#include "recordingcustomerdisplay.h"

using namespace vorel;

namespace {

constexpr int SaleLines = 20; // a new sale after this many scans
constexpr int SampleBarcodes = 2000;

using Clock = std::chrono::steady_clock;

QString cacheFile(const char *name)
{
    return bench::besideProgram(name);
}

struct Db {
    sqlite3 *db = nullptr;
    explicit Db(const QString &path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path.toStdString());
    }
    ~Db() { sqlite3_close(db); }
    Db(const Db &) = delete;
    Db &operator=(const Db &) = delete;
    void exec(const QString &sql) const
    {
        char *error = nullptr;
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(message);
        }
    }
    // Runs a query to its end; the number of rows.
    int rows(const QString &sql) const
    {
        sqlite3_stmt *s = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &s, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
        int n = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(s); ++c)
                benchmark::DoNotOptimize(sqlite3_column_text(s, c));
            ++n;
        }
        sqlite3_finalize(s);
        return n;
    }
};

QString shopFile()
{
    return bench::bigShopFile();
}

// The local store with the mirror of warehouse 001 filled from that shop, made once. The
// rows are the synchronisation's downloads, copied inside SQLite (promotion terms of a style
// without promotion as empty text, as the download writes them).
QString localStoreFile(const QString &shop)
{
    const QString path = cacheFile("bench-scan-VORELZ");
    if (QFileInfo::exists(path))
        return path;
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    if (!QFile::copy(LocalStore::shippedCleanCopy(), building))
        throw std::runtime_error("no clean local store (VORELZBACK)");
    QFile::setPermissions(building, QFile::ReadOwner | QFile::WriteOwner);
    std::fprintf(stderr, "filling the local store from the shop (once)...\n");
    const Db db(building);
    db.exec(QStringLiteral("ATTACH DATABASE '%1' AS shop").arg(shop));
    QString promotion;
    for (const char *c : {"I", "cla", "clazk", "F1", "F2", "F3", "TJ", "DJ_VIP", "G_VIP", "G_ZK", "G", "flag1",
                          "flag2", "flag3", "FA"})
        promotion += QStringLiteral(", ifnull(VD704.%1, '')").arg(QLatin1String(c));
    const QString stocked = QStringLiteral("(SELECT D1801.K_ID FROM shop.D1801 INNER JOIN shop.D1802 ON D1801.WL_ID = "
                                           "D1802.WL_ID WHERE (D1802.CK_ID ='001') GROUP BY D1801.K_ID) A");
    db.exec(QStringLiteral("BEGIN;"
                           "INSERT INTO VD1005 (COL_ID, COL_NAME, S) SELECT COL_ID, COL_NAME, S FROM shop.VD1005;"
                           "INSERT INTO D1800 (K_ID, CLASS_ID, WL_NAME, M_ID, PP, PYM, PFJ, I, cla, clazk, F1, F2, F3,"
                           " TJ, DJ_VIP, G_VIP, G_ZK, G, flag1, flag2, flag3, FA, vipf)"
                           " SELECT D1800.K_ID, D1800.CLASS_ID, D1800.WL_NAME, D1800.M_ID, D1009.PP_NAME, D1800.PYM,"
                           " D1800.PFJ") +
            promotion +
            QStringLiteral(", D1800.vipf FROM shop.D1800 INNER JOIN shop.D1009 ON D1800.PP_ID = D1009.PP_ID"
                           " INNER JOIN ") +
            stocked +
            QStringLiteral(" ON D1800.K_ID = A.K_ID AND (D1800.wl_ys=1) LEFT OUTER JOIN shop.VD704 ON D1800.K_ID ="
                           " VD704.K_ID AND (VD704.CK_ID ='001');"
                           "INSERT INTO D1809 (WL_ID, K_ID, M_INDEX, TM) SELECT D1809.WL_ID, D1809.K_ID,"
                           " D1809.M_INDEX, D1809.TM FROM shop.D1800 INNER JOIN ") +
            stocked +
            QStringLiteral(" ON D1800.K_ID = A.K_ID AND (D1800.wl_ys=1) INNER JOIN shop.D1809 ON D1800.K_ID ="
                           " D1809.K_ID;"
                           "INSERT INTO D1801 (WL_ID, K_ID, COL_ID) SELECT D1801.WL_ID, D1801.K_ID, D1801.COL_ID"
                           " FROM shop.D1801 INNER JOIN shop.D1802 ON D1801.WL_ID = D1802.WL_ID"
                           " WHERE (D1802.CK_ID = '001');"
                           "INSERT INTO D1802 (WL_ID, K0, K1, K2, K3, K4, K5, K6, K7, K8, K9) SELECT WL_ID, K0, K1,"
                           " K2, K3, K4, K5, K6, K7, K8, K9 FROM shop.D1802 WHERE (CK_ID ='001');"
                           "INSERT INTO D1006 (M_ID, M_NAME, M0, M1, M2, M3, M4, M5, M6, M7, M8, M9) SELECT M_ID,"
                           " M_NAME, M0, M1, M2, M3, M4, M5, M6, M7, M8, M9 FROM shop.D1006;"
                           "COMMIT;"));
    db.exec(QStringLiteral("DETACH DATABASE shop"));
    QFile::rename(building, path);
    return path;
}

class NoMembers final : public MemberCommands {
public:
    CommandResult choose(const QString &) override { return CommandResult::nothing(); }
    CommandResult newCard() override { return CommandResult::nothing(); }
    CommandResult redeem() override { return CommandResult::nothing(); }
    CommandResult topUp(const QString &) override { return CommandResult::nothing(); }
    const MemberCard &card() const override { return card_; }
    qint64 redeemPoints() const override { return 0; }
    void clearForNewSale() override {}

private:
    MemberCard card_;
};

class NoSettlement final : public SettlementLauncher {
public:
    void settleSale() override {}
    void settleTopUp() override {}
};

class FirstItem final : public ItemPicker {
public:
    bool pick(ResultSet &rows) override { return rows.first(); }
};

// A till on the big catalogue: session, shop service, local store, sale and command line.
struct Till {
    QString shopPath = shopFile();
    QString storePath = localStoreFile(shopPath);
    SystemClock clock;
    LocalShopService shop{shopPath, clock};
    LocalStore store{storePath};
    Session session = [] {
        Session s;
        s.connection.net = 0;
        s.formats.amountDecimals = 2;
        s.terminal.warehouseId = QStringLiteral("001");
        s.terminal.rights = CashierRights(QStringLiteral("11111111111111111"));
        return s;
    }();
    Connection connection{session, shop, store};
    Sale sale{session.formats};
    Pricing pricing{sale, session.formats};
    RecordingCustomerDisplay display;
    NoMembers members;
    NoSettlement settlement;
    FirstItem picker;
    CommandLine cmd{{session, sale, pricing, connection, members, settlement, picker}};
    QStringList barcodes; // barcodes of units stocked in 001, in random order

    Till()
    {
        store.open();
        sale.applyAmountDecimals(2);
        sale.setCustomerDisplay(&display);
        const ResultSet rows = store.query(
            QStringLiteral("SELECT D1809.TM FROM D1809 INNER JOIN D1802 ON D1809.WL_ID = D1802.WL_ID"
                           " ORDER BY random() LIMIT %1")
                .arg(SampleBarcodes));
        for (int r = 0; r < rows.totalRowCount(); ++r)
            barcodes << rows.fieldAt(r, 0).asString();
        if (barcodes.size() < SampleBarcodes / 2)
            throw std::runtime_error("the local store holds too few barcodes");
    }
};

Till &till()
{
    static Till t;
    return t;
}

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void report(benchmark::State &state, std::vector<double> &samples)
{
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) { return samples[std::min(samples.size() - 1, std::size_t(q * double(samples.size())))]; };
    state.counters["median_ms"] = at(0.5);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = samples.back();
}

// One scan per iteration through the command line, timed on its own.
template <typename Scan>
void timeScans(benchmark::State &state, Scan scan)
{
    Till &t = till();
    std::vector<double> samples;
    int i = 0;
    for (auto _ : state) {
        if (i % SaleLines == 0) {
            t.sale.clear();
            t.display.shown.clear();
        }
        const QString &tm = t.barcodes.at(i++ % t.barcodes.size());
        const auto start = Clock::now();
        const bool added = scan(t, tm);
        const double took = ms(Clock::now() - start);
        if (!added) {
            state.SkipWithError("a scanned barcode was not found");
            return;
        }
        samples.push_back(took);
        state.SetIterationTime(took / 1000.0);
    }
    report(state, samples);
}

void ScanOffline(benchmark::State &state)
{
    till().connection.setOffline(true);
    timeScans(state, [](Till &t, const QString &tm) { return t.cmd.AddItemByCode(tm); });
}

void ScanOnline(benchmark::State &state)
{
    till().connection.setOffline(false);
    timeScans(state, [](Till &t, const QString &tm) {
        const bool added = t.cmd.AddItemByCode(tm);
        return added && !t.connection.isOffline();
    });
}

// The bare lookup: the same SQL text run to its last row with the SQLite API on the same file.
template <typename Sql>
void timeBare(benchmark::State &state, const QString &file, Sql sql)
{
    Till &t = till();
    const Db db(file);
    std::vector<double> samples;
    int i = 0;
    for (auto _ : state) {
        const QStringList statements = sql(t.barcodes.at(i++ % t.barcodes.size()));
        const auto start = Clock::now();
        int rows = 0;
        for (const QString &s : statements)
            rows += db.rows(s);
        const double took = ms(Clock::now() - start);
        if (rows == 0) {
            state.SkipWithError("the bare lookup found nothing");
            return;
        }
        samples.push_back(took);
        state.SetIterationTime(took / 1000.0);
    }
    report(state, samples);
}

void BareLookupOffline(benchmark::State &state)
{
    timeBare(state, till().storePath, [](const QString &tm) { return QStringList{itemlookup::localExactSql(tm)}; });
}

// What the engine runs on the shop file for the online batch: the exact test, then the exact
// query (the batch's statements in SQLite's spelling).
QString shopExactTest(const QString &tm, const QString &styleTest)
{
    return QStringLiteral("SELECT 1 FROM D1809 INNER JOIN D1800 ON D1809.K_ID = D1800.K_ID WHERE (D1800.WL_YS=1) AND"
                          " ((%1 = '%2') OR (D1809.TM = '%2')) LIMIT 1")
        .arg(styleTest, tm);
}

QString shopExactQuery(const QString &tm, const QString &styleTest)
{
    QString sql = itemlookup::serverBatch(tm, QStringLiteral("001"));
    sql = sql.mid(sql.indexOf(QLatin1String("SELECT D1800.VIPF")));
    sql = sql.left(sql.indexOf(QLatin1String(" else ")));
    if (styleTest != QLatin1String("D1800.K_ID"))
        sql.replace(QStringLiteral("WHERE (D1800.K_ID = '"), QStringLiteral("WHERE (") + styleTest +
                                                                   QStringLiteral(" = '"));
    return sql;
}

void BareLookupOnline(benchmark::State &state)
{
    const QString style = QStringLiteral("D1800.K_ID");
    timeBare(state, till().shopPath, [&](const QString &tm) {
        return QStringList{shopExactTest(tm, style), shopExactQuery(tm, style)};
    });
}

// The same with the style tested on the barcode table's own K_ID: both tests on one table.
void BareLookupOnlineOneTable(benchmark::State &state)
{
    const QString style = QStringLiteral("D1809.K_ID");
    timeBare(state, till().shopPath, [&](const QString &tm) {
        return QStringList{shopExactTest(tm, style), shopExactQuery(tm, style)};
    });
}

} // namespace

BENCHMARK(ScanOffline)->Iterations(2000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BareLookupOffline)->Iterations(2000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ScanOnline)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BareLookupOnline)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BareLookupOnlineOneTable)->Iterations(2000)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
