// Translation of the till's batches: what a cached batch costs per call, against the
// first translation of the same text. Baseline for the ratio: a hash lookup of the text.
//
// Item lookup through the engine on the shop with 100,000 styles: the till's online batch
// for a barcode, each scan another barcode, against its floor: the batch's two statements
// (the exact test and the exact query) prepared once with the SQLite API, the barcode bound,
// run to their last row. Figures: median and p99 per lookup in microseconds; the engine's
// ratio to the floor's median. Aim: 1.5x.

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <QCoreApplication>
#include <QHash>
#include <algorithm>
#include <chrono>
#include <vector>

#include "core/clock.h"
#include "sales/itemlookup.h"
#include "sqlengine/engine.h"
#include "sqlengine/sqlitebackend.h"
#include "sqlengine/translator.h"

#include "benchsupport.h"

using namespace vorel;
using namespace vorel::sql;

namespace {

Catalog catalog()
{
    Catalog c;
    c.addTable(QStringLiteral("D712"), {{"NOID", SqlType::Text}, {"CK_ID", SqlType::Text}, {"ZD_ID", SqlType::Text},
                                        {"BDATE", SqlType::DateTime}, {"S1", SqlType::Decimal}, {"VIPF", SqlType::Integer}});
    c.addTable(QStringLiteral("D712A"), {{"NOID", SqlType::Text}, {"WL_ID", SqlType::Text}, {"S0", SqlType::Integer},
                                         {"SJ", SqlType::Decimal}, {"SMONEY", SqlType::Decimal}, {"DJ", SqlType::Decimal}});
    c.addTable(QStringLiteral("SYS_CO"), {{"CK_END_DATE", SqlType::DateTime}});
    c.addTable(QStringLiteral("D702"), {{"VIPID", SqlType::Text}, {"VIPM", SqlType::Decimal}, {"VIPF", SqlType::Integer}});
    return c;
}

// A slip as the till sends it: period check, stored-value check, header, three lines,
// points and the price refresh.
QString slipBatch(int n)
{
    QString b = QStringLiteral(
        "IF NOT EXISTS (SELECT CK_END_DATE from sys_co where ('2026-12-05 10:31:00'>CK_END_DATE) and ('2026-12-05 10:31:00'< (CK_END_DATE + 37))) "
        "RAISERROR('开单日期不在进销存期间内!', 16, 1); "
        "IF EXISTS (SELECT vipid FROM D702 where (vipm<50) and (vipid='88000001'))RAISERROR('储值卡余额不足以支付本单!', 16, 1); "
        "INSERT INTO D712 (NOID, CK_ID,ZD_ID, CLASSID, VIPID,VIPZK, yw_id,BDATE,USER_ID,S1,S2,S3,S4,S5,S6,S7, NOTE) VALUES "
        "('001%1','001','001','1','88000001',0.9,NULL,'2026-12-05 10:31:00','01',300,0,0,50,0,250,0,NULL);")
                    .arg(10000000 + n);
    for (int line = 0; line < 3; ++line)
        b += QStringLiteral("INSERT INTO D712A (NOID, XH, WL_ID, CK_ID, S0,S1,S2,S3,S4,S5,S6,S7,S8,S9, SJ, SMONEY, ZK,ODJ,OMONEY, NOTE,G,FLAG1,FLAG2,FLAG3,vipf) "
                            "VALUES('001%1','%2','TX00101','001',0,1,0,0,0,0,0,0,0,0,100,100,1,100,100,'',0,0,0,0,1);")
                 .arg(10000000 + n)
                 .arg(line + 1);
    b += QStringLiteral("update d712 set vipf=30 where noid='001%1';update d702 set vipf=vipf+30,vipm=vipm-50 where vipid='88000001';"
                        "UPDATE D712A SET DJ = B.DJ,MONEY=B.DJ*(S0+S1+S2+S3+S4+S5+S6+S7+S8+S9) FROM (SELECT D1801.WL_ID, D1800.DJ "
                        " FROM D1800 INNER JOIN  D1801 ON D1800.K_ID = D1801.K_ID  GROUP BY D1801.WL_ID, D1800.DJ) B "
                        "WHERE D712A.WL_ID = B.WL_ID and d712a.noid='001%1'")
             .arg(10000000 + n);
    return b;
}

void BM_HashLookupBaseline(benchmark::State &state)
{
    QHash<QString, int> h;
    const QString text = slipBatch(1);
    h.insert(text, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(h.value(text));
}
BENCHMARK(BM_HashLookupBaseline);

void BM_TranslateCached(benchmark::State &state)
{
    const Catalog cat = catalog();
    TranslationCache cache;
    cache.get(slipBatch(1), BackendKind::PostgreSQL, cat);
    // Another slip number each time: the same shape.
    std::vector<QString> texts;
    for (int n = 0; n < 1000; ++n)
        texts.push_back(slipBatch(n));
    size_t n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(cache.get(texts[n++ % texts.size()], BackendKind::PostgreSQL, cat));
}
BENCHMARK(BM_TranslateCached);

void BM_TranslateFirstTime(benchmark::State &state)
{
    const Catalog cat = catalog();
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString text = slipBatch(++n);
        state.ResumeTiming();
        benchmark::DoNotOptimize(translate(text, BackendKind::PostgreSQL, cat));
    }
}
BENCHMARK(BM_TranslateFirstTime);

// The big shop, a sample of barcodes stocked in warehouse 001 and their lookup batches.
struct Lookups {
    QString path = vorel::bench::bigShopFile();
    std::vector<QString> batches;
    Lookups()
    {
        SqliteBackend db(path);
        ResultSet rows;
        db.execute(QStringLiteral("SELECT D1809.TM FROM D1809 INNER JOIN D1802 ON D1809.WL_ID = D1802.WL_ID "
                                  "AND D1802.CK_ID = '001' ORDER BY random() LIMIT 2000"),
                   &rows);
        for (int r = 0; r < rows.totalRowCount(); ++r)
            batches.push_back(vorel::itemlookup::serverBatch(rows.fieldAt(r, 0).asString(), QStringLiteral("001")));
    }
};

Lookups &lookups()
{
    static Lookups l;
    return l;
}

double floorMedianUs = 0;

void report(benchmark::State &state, std::vector<double> &us)
{
    std::sort(us.begin(), us.end());
    state.counters["p50_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}

void BM_ItemLookupPreparedFloor(benchmark::State &state)
{
    Lookups &l = lookups();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(l.path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    // The engine's own statements for the batch, with their placeholders.
    SqliteBackend backend(l.path);
    TranslationCache cache;
    const Catalog catalog = backend.loadCatalog();
    const Translation first = cache.get(l.batches.front(), BackendKind::SQLite, catalog);
    const Node &test = first.program->nodes.at(0);
    const Node &exact = test.children.at(0);
    sqlite3_stmt *statements[2] = {};
    const Node *nodes[2] = {&test, &exact};
    for (int i = 0; i < 2; ++i)
        sqlite3_prepare_v2(db, nodes[i]->sql.toUtf8().constData(), -1, &statements[i], nullptr);
    struct Value {
        bool integer;
        qint64 number;
        QByteArray text;
    };
    std::vector<Value> values; // per batch and statement, in placeholder order
    for (const QString &batch : l.batches) {
        const Translation t = cache.get(batch, BackendKind::SQLite, catalog);
        for (const Node *node : nodes)
            for (const BoundValue &v : boundValues(*node, t.literals, BackendKind::SQLite, QDateTime()))
                values.push_back({v.type == BoundValue::Type::Integer, v.text.toLongLong(), v.text.toUtf8()});
    }
    const size_t perBatch = test.params.size() + exact.params.size();
    std::vector<double> us;
    size_t b = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        size_t v = (b++ % l.batches.size()) * perBatch;
        int rows = 0;
        for (sqlite3_stmt *s : statements) {
            for (int p = 1; p <= sqlite3_bind_parameter_count(s); ++p, ++v) {
                if (values[v].integer)
                    sqlite3_bind_int64(s, p, values[v].number);
                else
                    sqlite3_bind_text(s, p, values[v].text.constData(), int(values[v].text.size()), SQLITE_STATIC);
            }
            while (sqlite3_step(s) == SQLITE_ROW) {
                for (int c = 0; c < sqlite3_column_count(s); ++c)
                    benchmark::DoNotOptimize(sqlite3_column_text(s, c));
                ++rows;
            }
            sqlite3_reset(s);
        }
        const double took = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        if (rows < 2) {
            state.SkipWithError("a barcode was not found");
            break;
        }
        us.push_back(took);
        state.SetIterationTime(took / 1e6);
    }
    for (sqlite3_stmt *s : statements)
        sqlite3_finalize(s);
    sqlite3_close(db);
    if (us.empty())
        return;
    report(state, us);
    floorMedianUs = state.counters["p50_us"];
}
BENCHMARK(BM_ItemLookupPreparedFloor)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

void BM_ItemLookupEngine(benchmark::State &state)
{
    Lookups &l = lookups();
    SqliteBackend backend(l.path);
    SystemClock clock;
    Engine engine(backend, clock);
    std::vector<double> us;
    size_t b = 0;
    for (auto _ : state) {
        const QString &batch = l.batches[b++ % l.batches.size()];
        const auto start = std::chrono::steady_clock::now();
        const BatchResult r = engine.run(batch);
        const double took = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        if (!r.ok() || r.rows.totalRowCount() == 0) {
            state.SkipWithError("the engine found nothing");
            break;
        }
        us.push_back(took);
        state.SetIterationTime(took / 1e6);
    }
    if (us.empty())
        return;
    report(state, us);
    if (floorMedianUs > 0)
        state.counters["x_floor"] = state.counters["p50_us"] / floorMedianUs;
}
BENCHMARK(BM_ItemLookupEngine)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

} // namespace

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
