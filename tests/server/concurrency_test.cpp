// Eight tills settling sales at the same moment through one vorel-server, on SQLite and (with
// VOREL_TEST_PG) on PostgreSQL. Each till commits its own slips, re-sends numbers it already
// used (a till whose counter went back), and all of them race for a few shared numbers. The
// same members and the same units turn up on many slips, so points, stored value and stock
// rows are updated by several tills at once. Afterwards the database must hold every
// accepted slip exactly once with exactly its lines, and members and stock must have moved by
// exactly what the accepted slips say.

#include <gtest/gtest.h>

#include <QMap>
#include <algorithm>
#include <latch>
#include <random>
#include <tuple>
#include <thread>

#include "core/money.h"
#include "fakeclock.h"
#include "servertestutil.h"
#include "testshop.h"
#include "tillslip.h"

using namespace vorel;
using namespace vorel::server;
using sql::BackendKind;
using test::Line;
using test::Member;
using test::SaleDay;
using test::Slip;
using test::members;
using test::rowsOf;

namespace {

constexpr int Tills = 8;
constexpr int SlipsPerTill = 25;
constexpr int ResendEvery = 5;    // after every fifth slip the till re-sends an older number
constexpr int ContestEvery = 8;   // every eighth slip is followed by a number all tills want
constexpr int ContestedNumbers = SlipsPerTill / ContestEvery;

// Units with stock in warehouse 001, and the members who buy (an empty card: a walk-in).
const QStringList Units{"BQ02601", "CS00702", "MY01501", "TX00101", "TX00102", "TX00202"};
const QStringList Cards{"88000001", "88000002", "88000003", "88000007", ""};
// Members who pay part of every slip from their stored value.
const QStringList CardPayers{"88000001", "88000003"};

// What a till sends and why.
struct Call {
    enum class Kind { Own, Resend, Contested };
    Kind kind;
    Slip slip;
    QString reply;
};

// Three lines in the order the cashier scanned them: two slips may name the same units in
// opposite orders, which the shop database must take without a deadlock.
Slip makeSlip(std::mt19937 &random, const QMap<QString, Money> &prices, QString number, QString terminal)
{
    Slip s;
    s.number = std::move(number);
    s.terminal = std::move(terminal);
    s.member = Cards[static_cast<int>(random() % Cards.size())];
    if (CardPayers.contains(s.member))
        s.card = Money::fromUnits(1);
    for (int i = 0; i < 3; ++i) {
        const QString unit = Units[static_cast<int>(random() % Units.size())];
        s.lines << Line{unit, static_cast<int>(random() % 5), static_cast<int>(1 + random() % 2), prices.value(unit)};
    }
    return s;
}

QString terminalOf(int till)
{
    return QString::number(101 + till);
}

QString slipNumber(const QString &terminal, int n)
{
    return terminal + QString::number(10000000 + n);
}

// The calls of one till, in order.
QList<Call> script(int till, const QMap<QString, Money> &prices)
{
    std::mt19937 random(static_cast<unsigned>(1000 + till));
    const QString terminal = terminalOf(till);
    QList<Call> calls;
    for (int n = 1; n <= SlipsPerTill; ++n) {
        calls << Call{Call::Kind::Own, makeSlip(random, prices, slipNumber(terminal, n), terminal), {}};
        if (n % ResendEvery == 0) // a different sale under a number this till used two slips ago
            calls << Call{Call::Kind::Resend, makeSlip(random, prices, slipNumber(terminal, n - 2), terminal), {}};
        if (n % ContestEvery == 0)
            calls << Call{Call::Kind::Contested, makeSlip(random, prices, slipNumber("999", n / ContestEvery), terminal), {}};
    }
    return calls;
}

// Stock per warehouse and unit: the ten size columns.
using Stock = QMap<QString, QList<qint64>>;

Stock stock(sql::Backend &db)
{
    Stock s;
    ResultSet rows;
    db.execute(QStringLiteral("SELECT CK_ID, WL_ID, K0, K1, K2, K3, K4, K5, K6, K7, K8, K9 FROM D1802"), &rows);
    for (int r = 0; r < rows.totalRowCount(); ++r) {
        QList<qint64> sizes;
        for (int c = 2; c < 12; ++c)
            sizes << rows.fieldAt(r, c).asInt();
        s.insert(rows.fieldAt(r, 0).asString() + u'/' + rows.fieldAt(r, 1).asString(), sizes);
    }
    return s;
}

class ConcurrencyTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        shop_ = std::make_unique<test::TestShop>(GetParam(), test::TestShop::Content::Demo, SaleDay);
        db_ = shop_->open();
        ResultSet rows;
        db_->execute(QStringLiteral("SELECT D1801.WL_ID, D1800.DJ FROM D1801 INNER JOIN D1800 ON D1800.K_ID = D1801.K_ID"),
                     &rows);
        for (int r = 0; r < rows.totalRowCount(); ++r)
            prices_.insert(rows.fieldAt(r, 0).asString(), rows.fieldAt(r, 1).asMoney());
        for (const QString &unit : Units)
            ASSERT_TRUE(prices_.contains(unit)) << unit.toStdString();

        // Fewer connections than tills: requests queue for a worker.
        server_ = test::startServer(shop_->location(), clock_, nullptr, 4);
    }

    FakeClock clock_{QDateTime(SaleDay, QTime(10, 30, 15))};
    std::unique_ptr<test::TestShop> shop_;
    std::unique_ptr<sql::Backend> db_;
    QMap<QString, Money> prices_;
    std::unique_ptr<ShopServer> server_;
};

} // namespace

TEST_P(ConcurrencyTest, EightTillsCommittingAtOnceLoseAndDuplicateNothing)
{
    const QMap<QString, Member> membersBefore = members(*db_);
    const Stock stockBefore = stock(*db_);
    ASSERT_EQ(rowsOf(*db_, "SELECT COUNT(*) FROM D712"), QStringList{"0"});

    std::vector<QList<Call>> scripts;
    for (int till = 0; till < Tills; ++till)
        scripts.push_back(script(till, prices_));
    std::vector<QString> loginFailures(Tills);
    {
        std::latch ready(Tills);
        std::vector<std::thread> threads;
        for (int till = 0; till < Tills; ++till) {
            threads.emplace_back([&, till] {
                RemoteShopService service(test::addressOf(*server_), 10);
                const LoginReply login = service.thrGetLogin(test::loginOf("01"));
                if (login.rows.totalRowCount() != 1)
                    loginFailures[till] = service.lastMessage() + QStringLiteral(" (no login row)");
                ready.arrive_and_wait();
                for (Call &call : scripts[till])
                    call.reply = service.posExecSql(opcode::Slip, call.slip.number, QStringLiteral("Add"),
                                                    call.slip.batch(), 10);
            });
        }
        for (std::thread &t : threads)
            t.join();
    }
    for (int till = 0; till < Tills; ++till)
        ASSERT_TRUE(loginFailures[till].isEmpty()) << till << ": " << loginFailures[till].toStdString();

    // Replies: own slips go through, re-sent numbers are refused naming the key, and each
    // contested number goes to exactly one till.
    QList<Slip> accepted;
    QMap<QString, int> contestWinners;
    for (int till = 0; till < Tills; ++till) {
        for (const Call &call : scripts[till]) {
            const std::string what = call.slip.number.toStdString() + " from till " + std::to_string(till);
            switch (call.kind) {
            case Call::Kind::Own:
                EXPECT_EQ(call.reply, ReplyOk) << what;
                break;
            case Call::Kind::Resend:
                EXPECT_TRUE(call.reply.contains("PK_D712")) << what << ": " << call.reply.toStdString();
                break;
            case Call::Kind::Contested:
                if (call.reply == ReplyOk)
                    ++contestWinners[call.slip.number];
                else
                    EXPECT_TRUE(call.reply.contains("PK_D712")) << what << ": " << call.reply.toStdString();
                break;
            }
            if (call.reply == ReplyOk)
                accepted << call.slip;
        }
    }
    ASSERT_EQ(contestWinners.size(), ContestedNumbers);
    for (auto it = contestWinners.cbegin(); it != contestWinners.cend(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
    ASSERT_EQ(accepted.size(), Tills * SlipsPerTill + ContestedNumbers);

    // Headers and lines: exactly the accepted slips, each once, each with exactly its lines.
    EXPECT_EQ(rowsOf(*db_, test::HeaderQuery, test::HeaderMoney), test::headerRows(accepted));
    EXPECT_EQ(rowsOf(*db_, test::LineQuery, test::LineMoney), test::lineRows(accepted));
    QMap<QString, Member> membersAfter = membersBefore;
    Stock stockAfter = stockBefore;
    for (const Slip &s : accepted) {
        for (const Line &l : s.lines)
            stockAfter[QStringLiteral("001/") + l.unit][l.size] -= l.quantity;
        if (!s.member.isEmpty()) {
            membersAfter[s.member].points += s.points();
            membersAfter[s.member].stored -= s.card;
        }
    }

    // Members moved by exactly the accepted slips, and their points agree with the slips.
    const QMap<QString, Member> now = members(*db_);
    for (auto it = membersAfter.cbegin(); it != membersAfter.cend(); ++it) {
        EXPECT_EQ(now.value(it.key()).points, it.value().points) << it.key().toStdString();
        EXPECT_EQ(now.value(it.key()).stored, it.value().stored) << it.key().toStdString();
    }
    for (const QString &card : CardPayers + QStringList{"88000002", "88000007"}) {
        const QStringList sum = rowsOf(*db_, "SELECT COALESCE(SUM(VIPF), 0) FROM D712 WHERE VIPID = '" + card + "'");
        EXPECT_EQ(sum, QStringList{QString::number(now.value(card).points - membersBefore.value(card).points)})
            << card.toStdString();
    }

    // Stock went down by exactly the lines sold, and nowhere else.
    EXPECT_EQ(stock(*db_), stockAfter);
}

INSTANTIATE_TEST_SUITE_P(Backends, ConcurrencyTest, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());
