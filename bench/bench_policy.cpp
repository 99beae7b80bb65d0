// The service's statement policy against the batches it guards: a whole slip commit (header,
// lines, member points and stored value, the price fill-in) and an item lookup, each checked
// by StatementPolicy and run by the engine on a SQLite demo shop in the same loop, both timed
// on the thread's CPU clock (the build machine is shared; waiting for a core is no cost of
// either). The figure is policy_share: the check's time as a share of the batch's run. The
// service reads a batch's shape once for both the check and the engine's translation cache;
// a batch of a shape already let through (another barcode, another slip) is then a look-up.
// Aim: under 5 %. A slip whose lines have their quantities in other size columns is another
// shape, read whole; BM_SlipCommitOtherSizes shows what that costs.

#include <benchmark/benchmark.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <chrono>
#include <ctime>
#include <stdexcept>

#include "core/clock.h"
#include "server/shopdatabase.h"
#include "server/statementpolicy.h"
#include "sqlengine/engine.h"
#include "sqlengine/translator.h"

using namespace vorel;

namespace {

// The first batch of a corpus script that contains `marker`.
QString corpusBatch(const char *file, const char *marker)
{
    QFile f(QStringLiteral(VOREL_SOURCE_DIR "/tests/corpus/") + QLatin1String(file));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("cannot read ") + file);
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (!lines[i].startsWith(QLatin1String("batch")))
            continue;
        QStringList sql;
        while (++i < lines.size() && lines[i].trimmed() != QLatin1String("----"))
            sql << lines[i];
        const QString batch = sql.join(u'\n');
        if (batch.contains(QLatin1String(marker)))
            return batch;
    }
    throw std::runtime_error(std::string("no batch with ") + marker + " in " + file);
}

struct Shop {
    QTemporaryDir dir;
    ManualClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15))};
    std::unique_ptr<sql::Backend> db;
    std::unique_ptr<sql::Engine> engine;

    Shop()
    {
        const server::ShopDatabase shop(dir.filePath(QStringLiteral("shop.db")), clock);
        shop.create({true, 0, false});
        db = shop.open();
        engine = std::make_unique<sql::Engine>(*db, clock);
        // Enough stored value for every slip the loop pays with the card.
        engine->run(QStringLiteral("UPDATE D702 SET VIPM = 100000000 WHERE VIPID = '88000001'"));
    }
};

// The calling thread's CPU clock.
struct ThreadClock {
    using duration = std::chrono::nanoseconds;
    static duration now()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    }
};

// Checks and runs `next(i)` in turn; the counters give each side's time per batch.
template <typename Next>
void checkAndRun(benchmark::State &state, Next next)
{
    Shop shop;
    using Clock = ThreadClock;
    Clock::duration checking{};
    Clock::duration running{};
    qint64 i = 0;
    for (auto _ : state) {
        const QString batch = next(i++);
        // As the service does it: the shape is read once, for the policy and the engine;
        // the engine would read it anyway, so it counts as running.
        const auto t0 = Clock::now();
        const sql::BatchShape shape = sql::readShape(batch);
        const auto t1 = Clock::now();
        const QString refusal = server::StatementPolicy::check(batch, QStringLiteral("01"), &shape);
        const auto t2 = Clock::now();
        const sql::BatchResult result = shop.engine->run(batch, &shape);
        const auto t3 = Clock::now();
        if (!refusal.isEmpty() || !result.ok()) {
            state.SkipWithError((refusal + result.reply).toStdString().c_str());
            break;
        }
        checking += t2 - t1;
        running += (t1 - t0) + (t3 - t2);
    }
    const double n = static_cast<double>(std::max<qint64>(i, 1));
    const double checkUs = std::chrono::duration<double, std::micro>(checking).count() / n;
    const double runUs = std::chrono::duration<double, std::micro>(running).count() / n;
    state.counters["check_us"] = checkUs;
    state.counters["run_us"] = runUs;
    state.counters["policy_share"] = runUs > 0 ? checkUs / runUs : 0;
}

void BM_SlipCommit(benchmark::State &state)
{
    const QString batch = corpusBatch("slip-commit.test", "INSERT INTO D712 (NOID");
    checkAndRun(state, [&batch](qint64 i) {
        QString b = batch;
        return b.replace(QLatin1String("00110000000"), QStringLiteral("9%1").arg(i, 10, 10, QLatin1Char('0')));
    });
}
BENCHMARK(BM_SlipCommit)->Unit(benchmark::kMicrosecond);

// The same slip with the quantity of each line in a size column drawn anew: how slips differ
// in a shop, where a slip of the same shape as an earlier one is the exception.
void BM_SlipCommitOtherSizes(benchmark::State &state)
{
    const QString batch = corpusBatch("slip-commit.test", "INSERT INTO D712 (NOID");
    const QRegularExpression sizeColumn(QStringLiteral("XH,CK_ID, S\\d, SJ"));
    checkAndRun(state, [&](qint64 i) {
        QString b = batch;
        b.replace(QLatin1String("00110000000"), QStringLiteral("9%1").arg(i, 10, 10, QLatin1Char('0')));
        qint64 sizes = i;
        QRegularExpressionMatch m;
        for (qsizetype at = 0; (at = b.indexOf(sizeColumn, at, &m)) >= 0; at += m.capturedLength()) {
            b.replace(at, m.capturedLength(), QStringLiteral("XH,CK_ID, S%1, SJ").arg(sizes % 10));
            sizes /= 10;
        }
        return b;
    });
}
BENCHMARK(BM_SlipCommitOtherSizes)->Unit(benchmark::kMicrosecond);

void BM_ItemLookup(benchmark::State &state)
{
    const QString batch = corpusBatch("item-lookup.test", "D1809");
    checkAndRun(state, [&batch](qint64) { return batch; });
}
BENCHMARK(BM_ItemLookup)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
