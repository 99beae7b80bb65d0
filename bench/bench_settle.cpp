// Settle to stored: from OK in the settlement dialog to the slip committed (batch built and
// sent, summary made, drawer, display and receipt handed over), timed around the settle
// action of the slip committer. Each slip is a member sale of three demo items paid in cash.
// Two ways to the shop: the in-process shop service on a SQLite shop (the demo shop, and the
// demo shop with 100,000 generated styles), and vorel-server on loopback (a shop server in
// this process on a SQLite demo shop, reached by the remote shop service). Baselines, right
// after each settle so both see the same machine state: the very batch the till just sent,
// run by the bare engine on a demo shop file of its own, and the SQLite commit floor (one
// row written and committed on the till's shop file by a connection of its own).
// Figures are the median and p99 of the settle, the engine and the floor, and the ratios.
// Aim: p99 of the settle under 5 ms at every size.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/clock.h"
#include "core/messages.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "core/text.h"
#include "offline/connection.h"
#include "offline/localstore.h"
#include "printing/devices.h"
#include "sales/membercommands.h"
#include "sales/sale.h"
#include "loopbackserver.h"
#include "server/localshopservice.h"
#include "server/remoteshopservice.h"
#include "server/shopdatabase.h"
#include "server/shopserver.h"
#include "settlement/settlement.h"
#include "settlement/slipcommitter.h"
#include "sqlengine/engine.h"

#include "fakeclock.h"
#include "recordingmessages.h"
#include "recordingreceiptprinter.h"
#include "recordingseriallibrary.h"

#include "benchsupport.h"

using namespace vorel;

namespace {

constexpr double AimP99Ms = 5.0;
const QString MemberId = QStringLiteral("88000004");

QDateTime tillNow()
{
    return QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15));
}

QString makeDemoShop(const QTemporaryDir &dir, const QString &name, const Clock &clock)
{
    const QString path = dir.filePath(name);
    server::CreateOptions demo;
    demo.demo = true;
    server::ShopDatabase(path, clock).create(demo);
    return path;
}

class Card final : public MemberCommands {
public:
    CommandResult choose(const QString &) override { return CommandResult::nothing(); }
    CommandResult newCard() override { return CommandResult::nothing(); }
    CommandResult redeem() override { return CommandResult::nothing(); }
    CommandResult topUp(const QString &) override { return CommandResult::nothing(); }
    const MemberCard &card() const override { return card_; }
    qint64 redeemPoints() const override { return 0; }
    void clearForNewSale() override { card_ = {}; }
    MemberCard card_;
};

class Screen final : public SlipScreen {
public:
    bool practiceMode() const override { return false; }
    bool printToggle() const override { return true; }
    bool darkPanel() const override { return false; }
    void setInputLocked(bool) override {}
    void showStatus(const QString &) override {}
    void showSummary(const SettlementSummary &summary) override { rows += int(summary.rows.size()); }
    void resetForNewSlip() override {}
    int rows = 0;
};

// The settlement rules with the cashier leaving the card alone and typing 300 cash, then OK.
class CashPrompt final : public SettlementPrompt {
public:
    bool settle(const SettlementRequest &request) override
    {
        logic.prepare(request);
        logic.edit(SettlementField::StoredValue, QStringLiteral("0"));
        logic.edit(SettlementField::Cash, QStringLiteral("300"));
        return logic.accept(SettlementField::Cash);
    }
    QString fieldText(SettlementField field) const override { return logic.text(field); }
    bool bankCardReadsEps() const override { return false; }
    Settlement logic;
};

// The bare engine on a demo shop file of its own.
class BareEngine {
public:
    BareEngine(const QTemporaryDir &dir, const Clock &clock)
        : db_(server::ShopDatabase(makeDemoShop(dir, QStringLiteral("bare.db"), clock), clock).open()),
          engine_(*db_, clock)
    {
    }
    bool run(const QString &batch) { return engine_.run(batch).ok(); }
    qint64 count(const QString &sql)
    {
        ResultSet rows;
        return engine_.query(sql, rows) && rows.first() ? rows.fieldAt(0, 0).asInt() : -1;
    }

private:
    std::unique_ptr<sql::Backend> db_;
    sql::Engine engine_;
};

// The cheapest durable write on a shop file: one row in a table of its own, committed.
class CommitFloor {
public:
    explicit CommitFloor(const QString &path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(db_, 5000);
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=FULL");
        exec("CREATE TABLE IF NOT EXISTS BENCH_FLOOR (N INTEGER)");
        sqlite3_prepare_v2(db_, "INSERT INTO BENCH_FLOOR VALUES (1)", -1, &insert_, nullptr);
    }
    ~CommitFloor()
    {
        sqlite3_finalize(insert_);
        sqlite3_close(db_);
    }
    CommitFloor(const CommitFloor &) = delete;
    CommitFloor &operator=(const CommitFloor &) = delete;
    bool commitOne()
    {
        exec("BEGIN IMMEDIATE");
        const bool ok = sqlite3_step(insert_) == SQLITE_DONE;
        sqlite3_reset(insert_);
        exec("COMMIT");
        return ok;
    }

private:
    void exec(const char *sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
    sqlite3 *db_ = nullptr;
    sqlite3_stmt *insert_ = nullptr;
};

// A till of cashier 01 on terminal 001 with the drawer on the printer at COM1 and the
// display at COM2, committing through `service`.
class Till {
public:
    enum class Way { InProcess, Server };

    // `bigShop`: the shop with 100,000 generated styles (in process only).
    Till(Way way, bool bigShop)
        : clock_(tillNow()), settings_(home_.filePath(QStringLiteral("VOREL.DLL"))), bare_(home_, clock_)
    {
        QString shopFile = home_.filePath(QStringLiteral("shop.db"));
        if (!bigShop)
            makeDemoShop(home_, QStringLiteral("shop.db"), clock_);
        else if (!QFile::copy(bench::bigShopFile(), shopFile))
            throw std::runtime_error("cannot copy the shop with the generated styles");
        QFile::setPermissions(shopFile, QFile::ReadOwner | QFile::WriteOwner);
        floor_ = std::make_unique<CommitFloor>(shopFile);
        if (way == Way::InProcess) {
            service_ = std::make_unique<LocalShopService>(shopFile, clock_);
        } else {
            server_ = test::startLoopbackServer(shopFile, clock_, {4, 2});
            auto remote = std::make_unique<RemoteShopService>(
                RemoteServer{QStringLiteral("127.0.0.1"), server_->port(), server_->messagePort(), false, {}}, 5);
            if (remote->thrGetLogin(LoginRequest{QStringLiteral("01"), getMD5(QStringLiteral("01")),
                                                 QStringLiteral("vorel"), QStringLiteral("CL")})
                    .rows.totalRowCount() != 1)
                throw std::runtime_error("the demo cashier could not log in to the shop server");
            service_ = std::move(remote);
        }

        const QString storePath = home_.filePath(QString::fromLatin1(LocalStoreFileName));
        if (!QFile::copy(LocalStore::shippedCleanCopy(), storePath))
            throw std::runtime_error("no clean local store to copy");
        QFile::setPermissions(storePath, QFile::ReadOwner | QFile::WriteOwner);
        store_ = std::make_unique<LocalStore>(storePath);
        store_->open();

        session_.identity.userId = QStringLiteral("01");
        session_.terminal.terminalId = QStringLiteral("001");
        session_.terminal.warehouseId = QStringLiteral("001");
        session_.terminal.rights = CashierRights(QStringLiteral("11111111111111111"));
        session_.connection.net = 0;
        session_.formats.amountDecimals = 2;
        ResultSet rows;
        if (!service_->posOpenSql(rows, QStringLiteral("SELECT param FROM sys_co")) || !rows.first())
            throw std::runtime_error("the shop has no company parameters");
        session_.applyCompanyParams(rows.fieldAt(0, 0).asString());
        sale_.applyAmountDecimals(2);

        if (!service_->posOpenSql(rows, QStringLiteral("SELECT VIPZK, VIPF, VIPM FROM D702 WHERE VIPID=") +
                                            sqlQuote(MemberId)) ||
            !rows.first())
            throw std::runtime_error("the demo member is missing");
        member_.vipId = MemberId;
        member_.rate = rows.field(QStringLiteral("VIPZK")).asMoney();
        member_.points = rows.field(QStringLiteral("VIPF")).asInt();
        member_.balance = rows.field(QStringLiteral("VIPM")).asMoney();

        session_.devices.printerEnabled = true;
        session_.devices.displayEnabled = true;
        session_.devices.drawerEnabled = true;
        session_.devices.printerPort = QStringLiteral("COM1");
        session_.devices.printerBaud = QStringLiteral("9600");
        session_.devices.displayPort = QStringLiteral("COM2");
        session_.devices.displayBaud = QStringLiteral("2400");
        session_.devices.drawerConnection = 1;
        session_.devices.drawerCommand = QStringLiteral("27,112,0,60,255");
        devices_ = std::make_unique<Devices>(session_, serial_, PortMap(home_.path()), notices_);
        devices_->openPorts();

        connection_ = std::make_unique<Connection>(session_, *service_, *store_);
        // The receipt and display waits are the hardware's, not the commit's: they are skipped.
        committer_ = std::make_unique<SlipCommitter>(SlipCommitParts{*connection_, settings_, sale_, card_, screen_,
                                                                     prompt_, *devices_, printer_, messages_, clock_,
                                                                     [](int) {}});
        committer_->StartNewSlip(false, false);
    }

    // One sale rung up, settled (timed) and its batch run on the bare engine (timed).
    // False with `error` set when either did not go through.
    bool settleOnce(double &settleUs, double &engineUs, double &floorUs, QString &error)
    {
        using Clock = std::chrono::steady_clock;
        printer_.printed.clear();
        messages_.shown.clear();
        serial_.calls.clear();
        card_.card_ = member_;
        sale_.setMember(true, member_.rate);
        ring("TX004", "01", 1, 100, 100, true, 0, "");
        ring("TX004", "01", 1, 100, 100, true, 0, "");
        ring("TX002", "02", 1, 100, 55, false, -1, "特价59元");

        const auto t0 = Clock::now();
        const SlipCommitter::Outcome outcome = committer_->bsBtn01Click();
        const auto t1 = Clock::now();
        if (outcome != SlipCommitter::Outcome::Committed || printer_.printed.size() != 1) {
            error = QStringLiteral("the slip was not committed: ") + messages_.texts().join(QLatin1String("; "));
            return false;
        }
        const QString batch = committer_->lastBatch();
        const auto t2 = Clock::now();
        const bool ran = bare_.run(batch);
        const auto t3 = Clock::now();
        if (!ran) {
            error = QStringLiteral("the bare engine refused the batch");
            return false;
        }
        const bool floorOk = floor_->commitOne();
        const auto t4 = Clock::now();
        if (!floorOk) {
            error = QStringLiteral("the commit floor could not write");
            return false;
        }
        committer_->summaryDismissed();
        ++slips_;
        settleUs = std::chrono::duration<double, std::micro>(t1 - t0).count();
        engineUs = std::chrono::duration<double, std::micro>(t3 - t2).count();
        floorUs = std::chrono::duration<double, std::micro>(t4 - t3).count();
        return true;
    }

    // Every slip settled is a D712 row of the shop and of the bare engine's file: none was
    // kept back in the local store.
    bool storedEverywhere(QString &error)
    {
        ResultSet rows;
        const QString count = QStringLiteral("SELECT COUNT(*) FROM D712");
        const qint64 shop = service_->posOpenSql(rows, count) && rows.first() ? rows.fieldAt(0, 0).asInt() : -1;
        const qint64 bare = bare_.count(count);
        if (shop == slips_ && bare == slips_)
            return true;
        error = QStringLiteral("%1 slips settled, %2 in the shop, %3 in the bare engine's file")
                    .arg(slips_)
                    .arg(shop)
                    .arg(bare);
        return false;
    }

private:
    void ring(const char *style, const char *colour, int size, double tag, double price, bool points, int group,
              const char *note)
    {
        SaleLine line;
        line.setWlId(QString::fromLatin1(style));
        line.setDwId(QString::fromLatin1(colour));
        line.setMIndex(qint16(size));
        line.setSl(1);
        line.setOdj(tag);
        line.setSj(price);
        line.setSmoney(Money::fromDouble(price));
        line.setOmoney(Money::fromDouble(price));
        line.setZk(Money::fromDouble(price).dividedBy(Money::fromDouble(tag))->toDouble());
        line.setVipf(points);
        line.setG(qint16(group));
        line.setNote(QString::fromUtf8(note));
        sale_.appendLine(line);
        sale_.refreshTotals();
    }

    QTemporaryDir home_;
    FakeClock clock_;
    TerminalSettings settings_;
    BareEngine bare_;
    std::unique_ptr<CommitFloor> floor_;
    std::unique_ptr<server::ShopServer> server_;
    std::unique_ptr<ShopService> service_;
    std::unique_ptr<LocalStore> store_;
    Session session_;
    Sale sale_{session_.formats};
    MemberCard member_;
    Card card_;
    Screen screen_;
    CashPrompt prompt_;
    RecordingSerialLibrary serial_;
    RecordingMessages notices_;
    std::unique_ptr<Devices> devices_;
    RecordingReceiptPrinter printer_;
    RecordingMessages messages_;
    std::unique_ptr<Connection> connection_;
    std::unique_ptr<SlipCommitter> committer_;
    qint64 slips_ = 0;
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<size_t>(p * double(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

struct Figures {
    size_t slips = 0;
    double settleMedian = 0, settleP99 = 0, engineMedian = 0, engineP99 = 0, floorMedian = 0, floorP99 = 0;
};

// The benchmark's time is the settle's alone; the engine's is a counter beside it.
void settleLoop(benchmark::State &state, Till &till, Figures &out)
{
    std::vector<double> settle, engine, floor;
    for (auto _ : state) {
        double s = 0, e = 0, f = 0;
        QString error;
        if (!till.settleOnce(s, e, f, error)) {
            const std::string why = error.toStdString();
            state.SkipWithError(why.c_str());
            return;
        }
        state.SetIterationTime(s / 1e6);
        settle.push_back(s);
        engine.push_back(e);
        floor.push_back(f);
    }
    out = {settle.size(),           percentile(settle, 0.5), percentile(settle, 0.99), percentile(engine, 0.5),
           percentile(engine, 0.99), percentile(floor, 0.5),  percentile(floor, 0.99)};
    state.counters["settle_p50_us"] = out.settleMedian;
    state.counters["settle_p99_us"] = out.settleP99;
    state.counters["engine_p50_us"] = out.engineMedian;
    state.counters["engine_p99_us"] = out.engineP99;
    state.counters["ratio_p50"] = out.engineMedian > 0 ? out.settleMedian / out.engineMedian : 0;
    state.counters["ratio_p99"] = out.engineP99 > 0 ? out.settleP99 / out.engineP99 : 0;
    state.counters["floor_p99_us"] = out.floorP99;
    state.counters["x_floor_p99"] = out.floorP99 > 0 ? out.settleP99 / out.floorP99 : 0;
}

void report(const char *way, const Figures &f)
{
    if (f.slips == 0)
        return;
    std::printf("settle to stored, %s (%zu slips): median %.2f ms, p99 %.2f ms (aim: under %.0f ms%s); "
                "bare engine median %.2f ms, p99 %.2f ms; ratio %.2fx median, %.2fx p99; "
                "commit floor p99 %.2f ms, settle p99 %.1fx the floor\n",
                way, f.slips, f.settleMedian / 1e3, f.settleP99 / 1e3, AimP99Ms,
                f.settleP99 / 1e3 < AimP99Ms ? ", met" : ", MISSED", f.engineMedian / 1e3, f.engineP99 / 1e3,
                f.settleMedian / f.engineMedian, f.settleP99 / f.engineP99, f.floorP99 / 1e3, f.settleP99 / f.floorP99);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    std::unique_ptr<Till> local, big, remote;
    try {
        local = std::make_unique<Till>(Till::Way::InProcess, false);
        big = std::make_unique<Till>(Till::Way::InProcess, true);
        remote = std::make_unique<Till>(Till::Way::Server, false);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_settle: cannot set up the tills: %s\n", e.what());
        return 1;
    }

    Figures inProcess, inProcessBig, server;
    benchmark::RegisterBenchmark("BM_SettleInProcess/styles:0", [&](benchmark::State &s) { settleLoop(s, *local, inProcess); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0);
    benchmark::RegisterBenchmark("BM_SettleInProcess/styles:100000",
                                 [&](benchmark::State &s) { settleLoop(s, *big, inProcessBig); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0);
    benchmark::RegisterBenchmark("BM_SettleThroughServer", [&](benchmark::State &s) { settleLoop(s, *remote, server); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    report("in process, demo shop", inProcess);
    report("in process, 100,000 styles", inProcessBig);
    report("through vorel-server", server);
    int failed = 0;
    for (Till *till : {local.get(), big.get(), remote.get()}) {
        QString error;
        if (!till->storedEverywhere(error)) {
            std::fprintf(stderr, "bench_settle: %s\n", qPrintable(error));
            failed = 1;
        }
    }
    return failed;
}
