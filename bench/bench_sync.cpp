// The synchronisation of a big shop through vorel-server on loopback (a separate process, so
// the memory figure is the till's): VOREL_BENCH_STYLES generated styles (100,000 by default,
// two colours each: 200,000 units, 1,000,000 barcodes) and 100,000 members on top of the
// demo shop. Figures: seconds of the download, the save and the whole run; rows per second
// of the save against the same rows inserted with prepared statements into scratch tables of
// a fresh SQLite file in the same run (the baseline); the till's peak memory.
// Aim: the run under 10 s, the save at least 0.7x the baseline, peak memory under 300 MB.
//
// Upload: 1,000 offline slips (two lines each, a member's points) sent by the
// synchronisation, against the very batches it sent run by the bare engine on a copy of the
// shop taken just before (what `vorel-server exec` does), in slips per second.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>

#include "core/clock.h"
#include "core/terminalsettings.h"
#include "loopback.h"
#include "offline/localstore.h"
#include "offline/synchroniser.h"
#include "server/remoteshopservice.h"
#include "server/shopdatabase.h"
#include "sqlengine/engine.h"

using namespace vorel;

namespace {

constexpr int Members = 100000;
constexpr int UploadSlips = 1000;

int styles()
{
    const int n = qEnvironmentVariableIntValue("VOREL_BENCH_STYLES");
    return n > 0 ? n : 100000;
}

qint64 peakKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

bool sqliteExec(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    const bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// The shop and vorel-server serving it.
class Shop {
public:
    Shop()
    {
        path_ = dir_.filePath(QStringLiteral("shop.db"));
        QProcess init;
        init.start(QStringLiteral(VOREL_SERVER_EXE), {QStringLiteral("init"), QStringLiteral("--db"), path_,
                                                      QStringLiteral("--demo"), QStringLiteral("--styles"),
                                                      QString::number(styles())});
        if (!init.waitForFinished(600000) || init.exitCode() != 0)
            throw std::runtime_error("vorel-server init failed");
        if (!sqliteExec(path_, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<%1) "
                                              "INSERT INTO D702 (VIPID, VIPNAME, PYM, VIPTEL, BDATE, VIPF) SELECT "
                                              "printf('9%07d', i), '会员' || i, 'HY', printf('139%08d', i), "
                                              "'2025-01-01 00:00:00', i % 500 FROM n;")
                                   .arg(Members)))
            throw std::runtime_error("the members could not be added");
        const int port = test::freePort();
        const int messagePort = test::freePort();
        // The request log stays out of the figures.
        server_.setStandardErrorFile(QProcess::nullDevice());
        server_.start(QStringLiteral(VOREL_SERVER_EXE),
                      {QStringLiteral("serve"), QStringLiteral("--db"), path_, QStringLiteral("--host"),
                       QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QString::number(port),
                       QStringLiteral("--msg-port"), QString::number(messagePort)});
        remote = std::make_unique<RemoteShopService>(
            RemoteServer{QStringLiteral("127.0.0.1"), port, messagePort, false, {}}, 120);
        for (int i = 0; i < 200 && !remote->tcpSend(QStringLiteral("0"), {}); ++i)
            QThread::msleep(50);
        const LoginReply reply = remote->thrGetLogin(
            LoginRequest{QStringLiteral("01"),
                         QString::fromLatin1(QCryptographicHash::hash("01", QCryptographicHash::Md5).toHex()),
                         QStringLiteral("vorel"), QStringLiteral("CL")});
        if (reply.rows.totalRowCount() != 1)
            throw std::runtime_error("the login through vorel-server failed");
    }
    ~Shop()
    {
        server_.kill();
        server_.waitForFinished(10000);
    }

    // A consistent copy of the shop as it is now.
    void copyTo(const QString &path) const
    {
        sqliteExec(path_, QStringLiteral("VACUUM INTO '%1'").arg(path));
    }

    std::unique_ptr<RemoteShopService> remote;

private:
    QTemporaryDir dir_;
    QString path_;
    QProcess server_;
};

// A fresh local store in a folder of its own.
struct Till {
    Till()
    {
        QFile::copy(LocalStore::shippedCleanCopy(), dir.filePath(QStringLiteral("VORELZ")));
        QFile::setPermissions(dir.filePath(QStringLiteral("VORELZ")), QFile::ReadOwner | QFile::WriteOwner);
        store.open();
    }
    QTemporaryDir dir;
    LocalStore store{dir.filePath(QStringLiteral("VORELZ"))};
    TerminalSettings settings{dir.filePath(QStringLiteral("VOREL.DLL"))};
    SystemClock clock;
    SyncTerminal terminal{QStringLiteral("001"), QStringLiteral("001"), 30, 30};
};

// The downloaded rows, every value as text, into scratch tables of a fresh file with
// prepared statements in one transaction. Returns rows per second.
double baselineInsert(const MirrorData &mirror, const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    qint64 rows = 0;
    QElapsedTimer timer;
    timer.start();
    sqlite3_exec(db, "PRAGMA synchronous=FULL; BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (int t = 0; t < mirror.tables.size(); ++t) {
        const ResultSet &set = mirror.tables.at(t);
        QStringList columns, marks;
        for (int c = 0; c < set.columnCount(); ++c) {
            columns << QStringLiteral("c%1").arg(c);
            marks << QStringLiteral("?");
        }
        sqlite3_exec(db, QStringLiteral("CREATE TABLE t%1 (%2)").arg(t).arg(columns.join(QLatin1Char(','))).toUtf8().constData(),
                     nullptr, nullptr, nullptr);
        sqlite3_stmt *stmt = nullptr;
        const QByteArray insert = QStringLiteral("INSERT INTO t%1 VALUES (%2)").arg(t).arg(marks.join(QLatin1Char(','))).toUtf8();
        sqlite3_prepare_v2(db, insert.constData(), -1, &stmt, nullptr);
        for (int r = 0; r < set.totalRowCount(); ++r) {
            sqlite3_reset(stmt);
            for (int c = 0; c < set.columnCount(); ++c) {
                const QByteArray v = set.fieldAt(r, c).asString().toUtf8();
                sqlite3_bind_text(stmt, c + 1, v.constData(), int(v.size()), SQLITE_TRANSIENT);
            }
            sqlite3_step(stmt);
            ++rows;
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double seconds = timer.nsecsElapsed() / 1e9;
    sqlite3_close(db);
    return rows / seconds;
}

Shop *shop = nullptr;

// Times every read, so the slowest can be named.
class TimedReads final : public ShopService {
public:
    explicit TimedReads(ShopService &inner) : inner_(inner) {}
    QList<std::pair<double, qint64>> reads; // seconds, rows
    QString posExecSql(const QString &c, const QString &k, const QString &o, const QString &sql, int t) override
    {
        return inner_.posExecSql(c, k, o, sql, t);
    }
    bool posOpenSql(ResultSet &out, const QString &sql) override
    {
        QElapsedTimer timer;
        timer.start();
        const bool ok = inner_.posOpenSql(out, sql);
        reads.append({timer.nsecsElapsed() / 1e9, out.totalRowCount()});
        return ok;
    }
    LoginReply thrGetLogin(const LoginRequest &r) override { return inner_.thrGetLogin(r); }
    QString getNoId(const QString &c, const QString &k, int n) override { return inner_.getNoId(c, k, n); }
    bool tcpSend(const QString &k, const QStringList &f) override { return inner_.tcpSend(k, f); }
    bool lastCallReachedServer() const override { return inner_.lastCallReachedServer(); }

private:
    ShopService &inner_;
};

void BM_Synchronise(benchmark::State &state)
{
    for (auto _ : state) {
        Till till;
        TimedReads timed(*shop->remote);
        Synchroniser sync(till.store, timed, till.settings, till.clock, 120);
        QElapsedTimer timer;
        timer.start();
        sync.begin(till.terminal);
        sync.upload();
        const MirrorData mirror = sync.download();
        const double download = timer.nsecsElapsed() / 1e9;
        timer.restart();
        sync.save(mirror);
        const double save = timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(download + save);
        for (int i = 0; i < timed.reads.size(); ++i)
            std::printf("  read %d: %lld rows in %.2f s\n", i + 1, static_cast<long long>(timed.reads.at(i).second),
                        timed.reads.at(i).first);
        const qint64 rows = mirror.rowCount();
        const double baseline = baselineInsert(mirror, till.dir.filePath(QStringLiteral("baseline.db")));
        state.counters["download_s"] = download;
        state.counters["save_s"] = save;
        state.counters["rows"] = double(rows);
        state.counters["save_rows_per_s"] = rows / save;
        state.counters["baseline_rows_per_s"] = baseline;
        state.counters["save_vs_baseline"] = rows / save / baseline;
        state.counters["peak_MB"] = peakKb() / 1024.0;
        std::printf("synchronisation of %d styles, %lld mirror rows: download %.2f s, save %.2f s, run %.2f s "
                    "(aim under 10 s); save %.0f rows/s, prepared-insert baseline %.0f rows/s, ratio %.2fx "
                    "(aim 0.7x); peak memory %.0f MB (aim under 300 MB)\n",
                    styles(), static_cast<long long>(rows), download, save, download + save, rows / save, baseline,
                    rows / save / baseline, peakKb() / 1024.0);
    }
}

// Sends every batch on and keeps it for the baseline.
class Recording final : public ShopService {
public:
    explicit Recording(ShopService &inner) : inner_(inner) {}
    QStringList batches;
    QString posExecSql(const QString &c, const QString &k, const QString &o, const QString &sql, int t) override
    {
        batches << sql;
        return inner_.posExecSql(c, k, o, sql, t);
    }
    bool posOpenSql(ResultSet &out, const QString &sql) override { return inner_.posOpenSql(out, sql); }
    LoginReply thrGetLogin(const LoginRequest &r) override { return inner_.thrGetLogin(r); }
    QString getNoId(const QString &c, const QString &k, int n) override { return inner_.getNoId(c, k, n); }
    bool tcpSend(const QString &k, const QStringList &f) override { return inner_.tcpSend(k, f); }
    bool lastCallReachedServer() const override { return inner_.lastCallReachedServer(); }

private:
    ShopService &inner_;
};

void BM_Upload(benchmark::State &state)
{
    int round = 0;
    for (auto _ : state) {
        Till till;
        till.store.begin();
        for (int i = 0; i < UploadSlips; ++i) {
            const QString noid = QStringLiteral("0019%1").arg(round * UploadSlips + i, 7, 10, QLatin1Char('0'));
            till.store.execute(
                QStringLiteral("INSERT INTO D712 (NOID,CK_ID,ZD_ID,CLASSID,VIPID,BDATE,USER_ID,S1,S6,VIPF) VALUES "
                               "('%1','001','001','1','88000002','%2','01',158,158,15);INSERT INTO D712A "
                               "(NOID,WL_ID,CK_ID,S2,SJ,SMONEY,ODJ,OMONEY,VIPF) VALUES ('%1','TX00101','001',1,79,79,79,79,1),"
                               "('%1','TX00102','001',1,79,79,79,79,1);")
                    .arg(noid, formatDateTime(till.clock.now())));
        }
        till.store.commit();
        ++round;
        QTemporaryDir bare;
        const QString path = bare.filePath(QStringLiteral("bare.db"));
        shop->copyTo(path);
        Recording recording(*shop->remote);
        Synchroniser sync(till.store, recording, till.settings, till.clock, 120);
        QElapsedTimer timer;
        timer.start();
        sync.begin(till.terminal);
        sync.upload();
        const double upload = timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(upload);

        const std::unique_ptr<sql::Backend> db = server::ShopDatabase(path, till.clock).open();
        sql::Engine engine(*db, till.clock);
        timer.restart();
        for (const QString &batch : std::as_const(recording.batches))
            engine.run(batch);
        const double bareSeconds = timer.nsecsElapsed() / 1e9;
        state.counters["slips_per_s"] = UploadSlips / upload;
        state.counters["bare_engine_slips_per_s"] = UploadSlips / bareSeconds;
        state.counters["ratio"] = bareSeconds / upload;
        std::printf("upload of %d offline slips: %.0f slips/s through vorel-server, %.0f slips/s the same batches "
                    "on the bare engine; ratio %.2fx\n",
                    UploadSlips, UploadSlips / upload, UploadSlips / bareSeconds, bareSeconds / upload);
    }
}

BENCHMARK(BM_Synchronise)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Upload)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        Shop made;
        shop = &made;
        benchmark::RunSpecifiedBenchmarks();
        shop = nullptr;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_sync: %s\n", e.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
