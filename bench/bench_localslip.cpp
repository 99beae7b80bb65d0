// Writing one slip to the local store, the way a till that lost the server commits a sale:
// header, three lines and the points update as one text through the execute wrapper with
// route "2" (split into statements, one transaction, committed with a full sync).
// Baseline: the same statements handed to sqlite3_exec between BEGIN IMMEDIATE and COMMIT
// on the same kind of file with the same synchronous=FULL, in the same run. Figures are
// commits per second of wall time (the cost is the disk's sync, not the CPU); the
// interleaved run alternates the two so that both see the same disk and reports the ratio.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

#include "core/session.h"
#include "offline/connection.h"
#include "offline/localstore.h"

#include "fakeshopservice.h"

using namespace vorel;

namespace {

QString slipText(int n)
{
    const QString noid = QStringLiteral("001%1").arg(10000000 + n);
    QString b = QStringLiteral("INSERT INTO D712 (NOID, CK_ID,ZD_ID, CLASSID, VIPID,VIPZK, yw_id,BDATE,USER_ID,S1,S2,S3,"
                               "S4,S5,S6,S7, NOTE) VALUES ('%1','001','001','1','88000001',0.9,NULL,"
                               "'2026-12-05 10:31:00','01',  300.00,0.00,0.00,0.00,0.00,0300,  0.00,NULL);")
                    .arg(noid);
    for (int line = 0; line < 3; ++line) {
        b += QStringLiteral("INSERT INTO D712A (NOID, WL_ID, XH, CK_ID, S%2, SJ, SMONEY, ODJ, OMONEY, ZK, G, FLAG1, "
                            "FLAG2, FLAG3, NOTE, VIPF) VALUES ('%1','TX00%3BK','1','001','1','100','100','100','100',"
                            "'1','0','0','0','0','',1);")
                 .arg(noid)
                 .arg(line + 1)
                 .arg(line + 1);
    }
    b += QStringLiteral("update d712 set vipf=30 where noid='%1';").arg(noid);
    return b;
}

// A program folder holding a fresh copy of the clean store.
struct StoreCopy {
    QTemporaryDir dir;
    QString path;
    StoreCopy() : path(dir.filePath(QStringLiteral("VORELZ")))
    {
        QFile::copy(LocalStore::shippedCleanCopy(), path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
};

// The till's way.
class WrapperWriter {
public:
    WrapperWriter() : store_(copy_.path), connection_(session_, shop_, store_)
    {
        store_.open();
        session_.connection.net = 0;
    }
    bool write(int n)
    {
        const QString noid = QStringLiteral("001%1").arg(10000000 + n);
        return connection_.execServerSql({opcode::Slip, noid, QStringLiteral("Add")}, slipText(n), Route::Local) ==
               ReplyOk;
    }

private:
    StoreCopy copy_;
    LocalStore store_;
    Session session_;
    FakeShopService shop_;
    Connection connection_;
};

// The same statements straight into SQLite.
class RawWriter {
public:
    RawWriter()
    {
        sqlite3_open_v2(copy_.path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db_, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;", nullptr, nullptr, nullptr);
    }
    ~RawWriter() { sqlite3_close_v2(db_); }
    RawWriter(const RawWriter &) = delete;
    RawWriter &operator=(const RawWriter &) = delete;
    bool write(int n)
    {
        const QByteArray text = (QStringLiteral("BEGIN IMMEDIATE;") + slipText(n) + QStringLiteral("COMMIT;")).toUtf8();
        return sqlite3_exec(db_, text.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

private:
    StoreCopy copy_;
    sqlite3 *db_ = nullptr;
};

template <typename Writer>
void commits(benchmark::State &state)
{
    Writer writer;
    int n = 0;
    for (auto _ : state) {
        if (!writer.write(++n)) {
            state.SkipWithError("the slip was not written");
            break;
        }
    }
    state.counters["commits_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                         benchmark::Counter::kIsRate);
}

void BM_RawSqliteBaseline(benchmark::State &state)
{
    commits<RawWriter>(state);
}
BENCHMARK(BM_RawSqliteBaseline)->UseRealTime()->MinTime(2.0);

void BM_ExecServerSqlRoute2(benchmark::State &state)
{
    commits<WrapperWriter>(state);
}
BENCHMARK(BM_ExecServerSqlRoute2)->UseRealTime()->MinTime(2.0);

// Both writers take turns slip by slip; ratio = wrapper commits/s over raw commits/s.
void BM_InterleavedRatio(benchmark::State &state)
{
    using Clock = std::chrono::steady_clock;
    WrapperWriter wrapper;
    RawWriter raw;
    Clock::duration wrapperTime{}, rawTime{};
    int n = 0;
    for (auto _ : state) {
        ++n;
        const auto t0 = Clock::now();
        const bool a = raw.write(n);
        const auto t1 = Clock::now();
        const bool b = wrapper.write(n);
        const auto t2 = Clock::now();
        rawTime += t1 - t0;
        wrapperTime += t2 - t1;
        if (!a || !b) {
            state.SkipWithError("a slip was not written");
            break;
        }
    }
    const double rawRate = n / std::chrono::duration<double>(rawTime).count();
    const double wrapperRate = n / std::chrono::duration<double>(wrapperTime).count();
    state.counters["raw_commits_per_s"] = rawRate;
    state.counters["wrapper_commits_per_s"] = wrapperRate;
    state.counters["ratio"] = wrapperRate / rawRate;
}
BENCHMARK(BM_InterleavedRatio)->UseRealTime()->MinTime(4.0);

} // namespace

BENCHMARK_MAIN();
