// A barcode scanned into the sale: the command line's lookup, the new line, the group
// promotions and the totals, on a catalogue of 100,000 generated styles (about a million
// barcodes). Offline against the local store filled from that shop, online through the
// in-process shop service (the T-SQL batch through the engine on the SQLite shop file).
// Baselines in the same run: the bare SQLite text of each lookup on the same file.
// Figures per scan: median and p99 in milliseconds. Aim: p99 under 5 ms offline and under
// 10 ms online.
//
// The shop file and the filled local store are made once and kept (benchsupport.h).

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
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

#include "benchsupport.h"
#include "recordingcustomerdisplay.h"

using namespace vorel;
using namespace vorel::bench;

namespace {

constexpr int SaleLines = 20; // a new sale after this many scans
constexpr int SampleBarcodes = 2000;

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
    QString shopPath = bigShopFile();
    QString storePath = bigLocalStoreFile(shopPath);
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
        const auto start = Stopwatch::now();
        const bool added = scan(t, tm);
        const double took = ms(Stopwatch::now() - start);
        if (!added) {
            state.SkipWithError("a scanned barcode was not found");
            return;
        }
        samples.push_back(took);
        state.SetIterationTime(took / 1000.0);
    }
    reportPercentiles(state, samples);
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
        const auto start = Stopwatch::now();
        int rows = 0;
        for (const QString &s : statements)
            rows += db.rows(s);
        const double took = ms(Stopwatch::now() - start);
        if (rows == 0) {
            state.SkipWithError("the bare lookup found nothing");
            return;
        }
        samples.push_back(took);
        state.SetIterationTime(took / 1000.0);
    }
    reportPercentiles(state, samples);
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
