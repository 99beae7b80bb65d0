// Translation of the till's batches: what a cached batch costs per call, against the
// first translation of the same text. Baseline for the ratio: a hash lookup of the text.

#include <benchmark/benchmark.h>

#include <QHash>

#include "sqlengine/translator.h"

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
    const QString text = slipBatch(1);
    cache.get(text, BackendKind::PostgreSQL, cat);
    for (auto _ : state)
        benchmark::DoNotOptimize(cache.get(text, BackendKind::PostgreSQL, cat));
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

} // namespace

BENCHMARK_MAIN();
