// Thirty tills committing slips through a real `vorel-server serve` while the service is killed
// with SIGKILL and started again, on SQLite and (with VOREL_TEST_PG) on PostgreSQL. A till whose
// call failed sends the same slip again until the server answers: "Y", or a duplicate key when
// the lost call had in fact committed. Afterwards the shop holds every slip a till was told
// was committed, each exactly once with all its lines and payments, nothing else, and members'
// points moved by exactly those slips. VOREL_KILL_TEST_SECONDS runs it longer (default 10).

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "servertestutil.h"
#include "testshop.h"
#include "tillslip.h"

using namespace vorel;
using namespace vorel::test;
using sql::BackendKind;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int Tills = 30;
constexpr int Kills = 2;
const QStringList Units{"BQ02601", "CS00702", "MY01501", "TX00101", "TX00102", "TX00202"};
const QStringList Cards{"88000001", "88000002", "88000003", ""};

int runSeconds()
{
    const int s = qEnvironmentVariableIntValue("VOREL_KILL_TEST_SECONDS");
    return s > 0 ? s : 10;
}

// One `vorel-server serve` process; its log goes to a file, which nobody has to drain.
class ServeProcess {
public:
    ServeProcess(QString location, QString logFolder) : location_(std::move(location)), logs_(std::move(logFolder)) {}
    ~ServeProcess() { kill(); }

    // Starts on the given ports (0: free ones, which later starts keep). False when the
    // service did not say it listens within ten seconds.
    bool start()
    {
        const QString log = logs_ + QStringLiteral("/serve-%1.log").arg(++starts_);
        process_.setStandardErrorFile(log);
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.start(QStringLiteral(VOREL_SERVER_EXE),
                       {"serve", "--db", location_, "--host", "127.0.0.1", "--port", QString::number(port_),
                        "--msg-port", QString::number(messagePort_), "--threads", "8",
                        // all thirty tills come from the one loopback address
                        "--per-address", "100"});
        const QRegularExpression ready("port (\\d+) \\(connection\\) and (\\d+) \\(messages\\)");
        for (int i = 0; i < 200 && process_.state() != QProcess::NotRunning; ++i) {
            QFile f(log);
            if (f.open(QIODevice::ReadOnly)) {
                const QRegularExpressionMatch m = ready.match(QString::fromUtf8(f.readAll()));
                if (m.hasMatch()) {
                    port_ = m.captured(1).toInt();
                    messagePort_ = m.captured(2).toInt();
                    return true;
                }
            }
            QThread::msleep(50);
        }
        return false;
    }
    void kill()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.kill(); // SIGKILL: no clean-up of any kind
        process_.waitForFinished(10000);
    }
    bool stop()
    {
        process_.terminate();
        return process_.waitForFinished(10000) && process_.exitStatus() == QProcess::NormalExit
            && process_.exitCode() == 0;
    }
    RemoteServer address() const { return RemoteServer{"127.0.0.1", port_, messagePort_, false, {}}; }
    QString log(int start) const
    {
        QFile f(logs_ + QStringLiteral("/serve-%1.log").arg(start));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private:
    QString location_;
    QString logs_;
    QProcess process_;
    int port_ = 0;
    int messagePort_ = 0;
    int starts_ = 0;
};

// What one till sent and heard.
struct TillRun {
    QList<Slip> committed; // answered "Y", or a duplicate key after a call that was lost
    int resends = 0;
    int lostReplies = 0;   // committed, but the till only learnt it from the duplicate key
    QStringList refusals;  // what the server answered other than "Y" or busy
    QString failure;       // a slip still unanswered long after the server was back
};

void runTill(int till, const RemoteServer &address, const std::atomic<bool> &stop, const QMap<QString, Money> &prices,
             TillRun &out)
{
    std::mt19937 random(static_cast<unsigned>(7000 + till));
    const QString terminal = QString::number(101 + till);
    RemoteShopService service(address, 5);
    for (int n = 1; !stop && out.failure.isEmpty(); ++n) {
        Slip s{terminal + QString::number(10000000 + n), terminal, Cards[static_cast<int>(random() % Cards.size())], {}, {}};
        for (int i = 0; i < 1 + static_cast<int>(random() % 3); ++i) {
            const QString unit = Units[static_cast<int>(random() % Units.size())];
            s.lines << Line{unit, static_cast<int>(random() % 5), static_cast<int>(1 + random() % 2), prices.value(unit)};
        }
        // The server is back within seconds; a slip unanswered for a minute is a fault.
        const auto giveUp = SteadyClock::now() + std::chrono::seconds(60);
        for (bool sent = false;; sent = true) {
            if (!service.hasSession())
                service.thrGetLogin(loginOf("01"));
            const QString reply = service.posExecSql(opcode::Slip, s.number, QStringLiteral("Add"), s.batch(), 5);
            if (reply == ReplyOk || (sent && reply.contains(QLatin1String("PK_D712")))) {
                out.committed << s;
                out.lostReplies += reply != ReplyOk;
                break;
            }
            // Between a kill and the restart nothing answers; a busy service says so. Anything
            // else the server says is a fault, though the till carries on as a cashier would.
            if (service.lastCallReachedServer() && reply != server::BusyMessage && out.refusals.size() < 3)
                out.refusals << s.number + QStringLiteral(": ") + reply;
            if (SteadyClock::now() > giveUp) {
                out.failure = s.number + QStringLiteral(" unanswered: ") + reply;
                return;
            }
            ++out.resends;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

class KillRestartTest : public ::testing::TestWithParam<BackendKind> {};

} // namespace

TEST_P(KillRestartTest, TillsCarryOnAcrossAKilledServiceAndNoSlipIsLostOrHalfWritten)
{
    VOREL_REQUIRE_BACKEND(GetParam());
    TestShop shop(GetParam(), TestShop::Content::Demo, SaleDay);
    const std::unique_ptr<sql::Backend> db = shop.open();
    QMap<QString, Money> prices;
    {
        ResultSet rows;
        db->execute(QStringLiteral("SELECT D1801.WL_ID, D1800.DJ FROM D1801 INNER JOIN D1800 ON D1800.K_ID = D1801.K_ID"),
                    &rows);
        for (int r = 0; r < rows.totalRowCount(); ++r)
            prices.insert(rows.fieldAt(r, 0).asString(), rows.fieldAt(r, 1).asMoney());
    }
    const QMap<QString, Member> membersBefore = members(*db);

    QTemporaryDir logs;
    ServeProcess server(shop.location(), logs.path());
    ASSERT_TRUE(server.start()) << server.log(1).toStdString();

    std::atomic<bool> stop{false};
    std::vector<TillRun> runs(Tills);
    std::vector<std::thread> tills;
    for (int till = 0; till < Tills; ++till)
        tills.emplace_back(runTill, till, server.address(), std::cref(stop), std::cref(prices), std::ref(runs[till]));

    // Kill the service at even steps through the run, while slips are on their way.
    const auto step = std::chrono::milliseconds(runSeconds() * 1000 / (Kills + 1));
    bool restarted = true;
    for (int k = 1; k <= Kills && restarted; ++k) {
        std::this_thread::sleep_for(step);
        server.kill();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        restarted = server.start();
    }
    if (restarted)
        std::this_thread::sleep_for(step);
    stop = true;
    for (std::thread &t : tills)
        t.join();
    ASSERT_TRUE(restarted) << server.log(Kills + 1).toStdString();
    EXPECT_TRUE(server.stop()) << server.log(Kills + 1).toStdString();

    QList<Slip> committed;
    int resends = 0;
    int lostReplies = 0;
    for (int till = 0; till < Tills; ++till) {
        EXPECT_TRUE(runs[till].failure.isEmpty()) << "till " << till << ": " << runs[till].failure.toStdString();
        EXPECT_EQ(runs[till].refusals, QStringList{}) << "till " << till;
        committed += runs[till].committed;
        resends += runs[till].resends;
        lostReplies += runs[till].lostReplies;
    }
    std::printf("%lld slips committed by %d tills in %d s, %d calls sent again, %d replies lost after the "
                "commit, %d kills\n",
                static_cast<long long>(committed.size()), Tills, runSeconds(), resends, lostReplies, Kills);
    // Every till got slips through both before the first kill and after the last restart.
    ASSERT_GT(committed.size(), Tills * (Kills + 1));
    ASSERT_GT(resends, 0) << "no call was cut off: the kills missed the load";

    // Exactly the committed slips, each with exactly its lines and its payment columns.
    EXPECT_EQ(rowsOf(*db, HeaderQuery, HeaderMoney), headerRows(committed));
    EXPECT_EQ(rowsOf(*db, LineQuery, LineMoney), lineRows(committed));
    EXPECT_EQ(rowsOf(*db, "SELECT NOID, S6 FROM D712 WHERE S6 <> S1 - S4", {1}), QStringList{});

    // Members' points moved by exactly the points of their slips.
    QMap<QString, qint64> points;
    for (const Slip &s : committed)
        points[s.member] += s.points();
    const QMap<QString, Member> now = members(*db);
    for (const QString &card : Cards.mid(0, 3))
        EXPECT_EQ(now.value(card).points - membersBefore.value(card).points, points.value(card)) << card.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, KillRestartTest, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());
