// Committing sales end to end: the settle action against the demo shop (in process, and
// through a shop server on PostgreSQL when VOREL_TEST_PG is set), then the rows of D712,
// D712A, D702 and the local shift totals exactly as written, or their absence.

#include <gtest/gtest.h>

#include "committestutil.h"

using namespace vorel;
using namespace vorel::test;
using F = SettlementField;
using Outcome = SlipCommitter::Outcome;

namespace {

const QString HeaderSql = QStringLiteral(
    "SELECT NOID, CK_ID, ZD_ID, CLASSID, VIPID, VIPZK, YW_ID, BDATE, USER_ID, S1, S2, S3, S4, S5, S6, S7, NOTE, VIPF, M, "
    "T FROM D712 ORDER BY NOID");
const QString LinesSql = QStringLiteral(
    "SELECT NOID, WL_ID, S0, S1, S2, S3, SJ, SMONEY, ZK, ODJ, OMONEY, DJ, MONEY, NOTE, G, VIPF FROM D712A "
    "ORDER BY NOID, WL_ID, SMONEY");
const QString ShiftSql = QStringLiteral("SELECT NUM, SL, S1, S2, S3, S4, S5, S6, S7, EMONEY FROM DB_INFO");
const QString NoShiftChange = QStringLiteral("0|0|0|0|0|0|0|0|0|0");

QString member(Till &till, const char *vipId)
{
    return till.server(QStringLiteral("SELECT VIPID, VIPF, VIPM FROM D702 WHERE VIPID='%1'").arg(QLatin1String(vipId)))
        .value(0);
}

QByteArray displayed(const char *change)
{
    return Devices::SerialPrefix + Devices::displayMessage(QLatin1Char('4'), QString::fromLatin1(change));
}

class SlipCommit : public ::testing::TestWithParam<ShopKind> {
protected:
    void SetUp() override
    {
        if (GetParam() == ShopKind::ServerPostgres && pgTestServer().isEmpty())
            GTEST_SKIP() << "VOREL_TEST_PG is not set (make test starts a server)";
        till = std::make_unique<Till>(GetParam());
        till->goOnDuty();
    }

    // Nothing of the sale reached either database; the till stays as it was.
    void expectNothingWritten()
    {
        EXPECT_TRUE(till->server(HeaderSql).isEmpty());
        EXPECT_TRUE(till->server(LinesSql).isEmpty());
        EXPECT_TRUE(till->local(HeaderSql).isEmpty());
        EXPECT_EQ(till->local(ShiftSql), QStringList{NoShiftChange});
        EXPECT_TRUE(till->drawerBytes().isEmpty());
        EXPECT_TRUE(till->printer.printed.isEmpty());
        EXPECT_TRUE(till->screen.summaries.isEmpty());
        EXPECT_EQ(till->committer->numbers().number(), QStringLiteral("00110000000"));
        EXPECT_FALSE(till->sale.isEmpty());
    }

    std::unique_ptr<Till> till;
};

TEST_P(SlipCommit, AMemberSaleEarnsPointsOnThePointLinesOnly)
{
    till->settings.setTenderRoundOff(false);
    till->settings.setTenderCashVoucher(false);
    till->selectMember(QStringLiteral("88000004"));
    till->sale.setSalesperson(QStringLiteral("01"));
    till->ring("TX004", "01", 1, 1, 100, 100, true);
    till->ring("TX004", "01", 1, 1, 100, 100, true);
    till->ring("TX002", "02", 1, 1, 100, 55, false, -1, "特价59元");
    till->prompt.typing = {{F::StoredValue, "0"}, {F::Cash, "300"}};

    EXPECT_EQ(till->committer->bsBtn01Click(), Outcome::Committed);

    EXPECT_EQ(till->server(HeaderSql),
              QStringList{"00110000000|001|001|1|88000004|1|01|2026-12-05 10:30:15|01|255|0|0|0|0|300|45|NULL|20|0|0"});
    EXPECT_EQ(till->server(LinesSql), (QStringList{
                                          "00110000000|TX00202|0|1|0|0|55|55|0.55|100|100|100|100|特价59元|-1|0",
                                          "00110000000|TX00401|0|1|0|0|100|100|1|100|100|100|100||0|1",
                                          "00110000000|TX00401|0|1|0|0|100|100|1|100|100|100|100||0|1",
                                      }));
    EXPECT_EQ(member(*till, "88000004"), "88000004|20|50");
    EXPECT_EQ(till->local(ShiftSql), QStringList{"1|3|255|0|0|0|0|300|45|255"});
    EXPECT_TRUE(till->local(HeaderSql).isEmpty());

    // The summary, the drawer, the change on the display, then the receipt.
    ASSERT_EQ(till->screen.summaries.size(), 1);
    const QList<SettlementSummary::Row> rows{{"应  收", "255.00"}, {"储值卡  ", "  0.00"}, {"银  联  ", "  0.00"},
                                             {"现  金  ", "300.00"}, {"找  零  ", " 45.00"}};
    EXPECT_EQ(till->screen.summaries[0].rows, rows);
    EXPECT_EQ(till->drawerBytes(), Devices::SerialPrefix + Devices::drawerBytes(till->session.devices.drawerCommand));
    EXPECT_EQ(till->displayBytes(), displayed("45.00"));
    EXPECT_EQ(till->pauses, (QList<int>{300, 500}));
    ASSERT_EQ(till->printer.printed.size(), 1);
    const CommittedSlip &slip = till->printer.printed[0];
    EXPECT_EQ(slip.number, "00110000000");
    EXPECT_EQ(slip.vipId, "88000004");
    EXPECT_EQ(slip.slipPoints, 20);
    EXPECT_EQ(slip.accumulatedPoints, 20);
    EXPECT_EQ(slip.lines.size(), 3);
    EXPECT_EQ(slip.tagTotal, Money::fromUnits(300));
    EXPECT_EQ(slip.amounts[int(F::Change)], "     45.00");
    EXPECT_EQ(till->screen.locks, (QList<bool>{true, false}));

    // The next key clears the sale and shows the next number, which the settings keep.
    till->committer->summaryDismissed();
    EXPECT_TRUE(till->sale.isEmpty());
    EXPECT_FALSE(till->members.card().selected());
    EXPECT_EQ(till->sale.slipNumber(), "00110000001");
    EXPECT_EQ(till->settings.slipCounter(), 10000001);
}

// A card balance read before another till spent 30 of it is short; a date outside the open
// period is refused before that balance is looked at.
TEST_P(SlipCommit, ARefusedSlipWritesNothing)
{
    for (const bool outsidePeriod : {false, true}) {
        SCOPED_TRACE(outsidePeriod ? "date outside the open period" : "card balance short");
        if (outsidePeriod) {
            till.reset(); // one demo shop at a time
            till = std::make_unique<Till>(GetParam());
            till->goOnDuty();
            till->committer->businessDate().choose(false, QDate(2026, 11, 20));
        }
        till->selectMember(QStringLiteral("88000004"));
        till->members.card_.balance = Money::fromUnits(80);
        till->ring("TX004", "01", 1, 1, 100, 100, true);
        till->prompt.typing = {{F::Cash, "20"}};

        EXPECT_EQ(till->committer->bsBtn01Click(), Outcome::Refused);

        EXPECT_EQ(till->messages.texts(),
                  QStringList{outsidePeriod ? "开单日期不在进销存期间内!" : "储值卡余额不足以支付本单!"});
        EXPECT_EQ(member(*till, "88000004"), "88000004|0|50");
        expectNothingWritten();
        EXPECT_TRUE(till->displayBytes().isEmpty());
    }
}

TEST_P(SlipCommit, AReturnSlipPaysTheRefundAsChange)
{
    till->ring("TX001", "01", 1, -1, 79, 79, true);

    EXPECT_EQ(till->committer->bsBtn01Click(), Outcome::Committed);

    EXPECT_EQ(till->server(HeaderSql),
              QStringList{"00110000000|001|001|1|NULL|1|NULL|2026-12-05 10:30:15|01|-79|0|0|0|0|0|79|NULL|0|0|0"});
    EXPECT_EQ(till->server(LinesSql), QStringList{"00110000000|TX00101|0|-1|0|0|79|-79|1|79|-79|79|-79||0|1"});
    EXPECT_EQ(till->local(ShiftSql), QStringList{"1|-1|-79|0|0|0|0|0|79|-79"});
    EXPECT_EQ(till->displayBytes(), displayed("79.00"));
}

TEST_P(SlipCommit, ARedemptionNeverMakesTheSlipNegative)
{
    till->selectMember(QStringLiteral("88000003")); // 5000 points
    till->ring("PJ040", "10", 0, 1, 10, 0, false, -1, "购物赠品");
    till->sale.setRedemption(-30);
    till->sale.refreshTotals();
    till->members.redeemPoints_ = -500;
    ASSERT_EQ(till->sale.labels().total, QStringLiteral("-30.00"));

    EXPECT_EQ(till->committer->bsBtn01Click(), Outcome::Committed);
    // The total on screen follows the raised line until the next slip.
    EXPECT_EQ(till->sale.labels().total, QStringLiteral("0"));

    EXPECT_FALSE(till->prompt.requests[0].editable);
    EXPECT_EQ(till->server(HeaderSql),
              QStringList{"00110000000|001|001|1|88000003|0.85|NULL|2026-12-05 10:30:15|01|0|0|0|0|0|0|0|NULL|-500|0|0"});
    EXPECT_EQ(till->server(LinesSql), (QStringList{
                                          "00110000000|PJ04010|1|0|0|0|0|0|0|10|10|10|10|购物赠品|-1|0",
                                          "00110000000|Z|0|0|0|0|-30|0|1|0|0|0|0||99|0",
                                      }));
    EXPECT_EQ(member(*till, "88000003"), "88000003|4500|1000");
    EXPECT_EQ(till->local(ShiftSql), QStringList{"1|1|0|0|0|0|0|0|0|0"});
    EXPECT_EQ(till->printer.printed[0].accumulatedPoints, 4500);
}

TEST_P(SlipCommit, OfflineTheSlipWaitsInTheLocalStoreUnderAFreeNumber)
{
    till->selectMember(QStringLiteral("88000001"));
    till->connection->setOffline(true);
    // A slip of this number is already waiting for upload (the settings file lagged).
    till->store->execute(QStringLiteral("INSERT INTO D712 (NOID, BDATE) VALUES ('00110000000','2026-12-05 09:00:00')"));
    till->ring("TX001", "01", 1, 1, 79, 71.1, true);
    till->prompt.typing = {{F::Cash, "100"}};

    EXPECT_EQ(till->committer->bsBtn01Click(), Outcome::Committed);

    EXPECT_FALSE(till->prompt.requests[0].storedValue);
    EXPECT_EQ(till->local(HeaderSql).value(1),
              "00110000001|001|001|1|88000001|0.9|NULL|2026-12-05 10:30:15|01|71.1|0|0|0|0|100|28.9|NULL|7|0|0");
    EXPECT_EQ(till->local(LinesSql), QStringList{"00110000001|TX00101|0|1|0|0|71.1|71.1|0.9|79|79|0|0||0|1"});
    for (const char *serverOnly : {"IF ", "D1801", "d702", "UPDATE D712A"})
        EXPECT_FALSE(till->committer->lastBatch().contains(QLatin1String(serverOnly))) << serverOnly;
    EXPECT_EQ(till->local(ShiftSql), QStringList{"1|1|71.1|0|0|0|0|100|28.9|71.1"});
    EXPECT_EQ(member(*till, "88000001"), "88000001|1200|500");
    till->connection->setOffline(false);
    EXPECT_TRUE(till->server(HeaderSql).isEmpty());
}

TEST_P(SlipCommit, ANumberBehindTheServerIsRepairedWithinOneCommit)
{
    for (const char *noid : {"00110000000", "00110000005"})
        ASSERT_EQ(till->service->posExecSql(opcode::Plain, {}, {},
                                            QStringLiteral("INSERT INTO D712 (NOID, CK_ID, ZD_ID, BDATE, USER_ID) VALUES "
                                                           "('%1','001','001','2026-12-04 10:00:00','01')")
                                                .arg(QLatin1String(noid)),
                                            5),
                  ReplyOk);
    till->ring("TX004", "01", 1, 1, 100, 100, true);
    till->prompt.typing = {{F::Cash, "100"}};

    EXPECT_EQ(till->committer->bsBtn01Click(), Outcome::Committed);

    EXPECT_EQ(till->server(QStringLiteral("SELECT NOID, S1 FROM D712 ORDER BY NOID")),
              (QStringList{"00110000000|0", "00110000005|0", "00110000006|100"}));
    EXPECT_EQ(till->server(QStringLiteral("SELECT NOID FROM D712A")), QStringList{"00110000006"});
    EXPECT_EQ(till->printer.printed[0].number, "00110000006");
    EXPECT_TRUE(till->messages.shown.isEmpty());
    till->committer->summaryDismissed();
    EXPECT_EQ(till->sale.slipNumber(), "00110000007");
    EXPECT_EQ(till->settings.slipCounter(), 10000007);
}

TEST_P(SlipCommit, PracticeWritesNothingAndKeepsTheNumber)
{
    till->screen.practice = true;
    till->ring("TX004", "01", 1, 1, 100, 100, true);
    till->prompt.typing = {{F::Cash, "100"}};

    EXPECT_EQ(till->committer->bsBtn01Click(), Outcome::Practised);

    EXPECT_TRUE(till->server(HeaderSql).isEmpty());
    EXPECT_TRUE(till->local(HeaderSql).isEmpty());
    EXPECT_EQ(till->local(ShiftSql), QStringList{NoShiftChange});
    EXPECT_FALSE(till->drawerBytes().isEmpty());
    EXPECT_EQ(till->printer.printed.size(), 1);
    EXPECT_EQ(till->screen.summaries.size(), 1);
    till->committer->summaryDismissed();
    EXPECT_TRUE(till->sale.isEmpty());
    EXPECT_EQ(till->sale.slipNumber(), "00110000000");
    EXPECT_EQ(till->settings.slipCounter(), 10000000);
}

TEST_P(SlipCommit, ATopUpIsItsOwnSlipOnTheServer)
{
    till->selectMember(QStringLiteral("88000004"));
    till->sale.appendLine(SaleLine::topUp(Money::fromUnits(200)));
    till->sale.refreshTotals();
    till->prompt.typing = {{F::Cash, "200"}};

    EXPECT_EQ(till->committer->settleTopUpNow(), Outcome::Committed);

    const SettlementRequest &asked = till->prompt.requests[0];
    EXPECT_FALSE(asked.voucher);
    EXPECT_FALSE(asked.storedValue);
    EXPECT_EQ(till->server(QStringLiteral("SELECT NOID, VIPID, BDATE, S1, S6, S7, VIPF, M, T FROM D712")),
              QStringList{"00110000000|88000004|2026-12-05 10:30:15|200|200|0|0|1|0"});
    EXPECT_EQ(till->server(LinesSql), QStringList{"00110000000|ZZZZC|0|0|0|0|200|200|1|0|0|0|0||0|0"});
    EXPECT_EQ(member(*till, "88000004"), "88000004|0|250");
    EXPECT_EQ(till->local(ShiftSql), QStringList{NoShiftChange});
    EXPECT_TRUE(till->sale.isEmpty());
    EXPECT_FALSE(till->members.card().selected());
    EXPECT_EQ(till->sale.slipNumber(), "00110000001");
    EXPECT_FALSE(till->drawerBytes().isEmpty());
    ASSERT_EQ(till->screen.summaries.size(), 1);
    const QList<SettlementSummary::Row> rows{{"充  值", "200.00"}, {"抹  零  ", "  0.00"}, {"银  联  ", "  0.00"},
                                             {"现  金  ", "200.00"}, {"找  零  ", "  0.00"}};
    EXPECT_EQ(till->screen.summaries[0].rows, rows);
}

TEST_P(SlipCommit, ATopUpThatFailsOrIsNotMeantLeavesTheCardAsItWas)
{
    ASSERT_EQ(till->service->posExecSql(opcode::Plain, {}, {},
                                        "INSERT INTO D712 (NOID, CK_ID, ZD_ID, BDATE, USER_ID) VALUES "
                                        "('00110000000','001','001','2026-12-04 10:00:00','01')",
                                        5),
              ReplyOk);
    const struct {
        const char *name;
        bool escape, practice;
        Outcome outcome;
        const char *status;
        bool drawer;
    } cases[] = {
        {"refused", false, false, Outcome::Refused, "充值不成功，请重新保存!", false},
        {"cancelled", true, false, Outcome::Cancelled, "", false},
        {"practice", false, true, Outcome::Practised, "", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        till->serial.calls.clear();
        till->selectMember(QStringLiteral("88000004"));
        till->sale.appendLine(SaleLine::topUp(Money::fromUnits(200)));
        till->sale.refreshTotals();
        till->prompt.typing = {{F::Cash, "200"}};
        till->prompt.escape = c.escape;
        till->screen.practice = c.practice;
        till->screen.status.clear();

        EXPECT_EQ(till->committer->settleTopUpNow(), c.outcome);

        EXPECT_TRUE(till->sale.isEmpty());
        EXPECT_EQ(till->screen.status, QString::fromUtf8(c.status));
        EXPECT_EQ(till->committer->numbers().number(), "00110000000");
        EXPECT_EQ(member(*till, "88000004"), "88000004|0|50");
        EXPECT_EQ(till->server(QStringLiteral("SELECT COUNT(*) FROM D712A")), QStringList{"0"});
        EXPECT_EQ(!till->serial.calls.isEmpty(), c.drawer);
    }
}

INSTANTIATE_TEST_SUITE_P(Shops, SlipCommit, ::testing::Values(ShopKind::InProcess, ShopKind::ServerPostgres),
                         shopName);

TEST(SlipCommitGuards, ASettlementStartsOnlyWhenTheSaleMayBeSettled)
{
    const struct {
        const char *name;
        bool lines, shifts, onDuty;
        double price;
        const char *rights;
        bool escape;
        Outcome outcome;
        const char *status;
    } cases[] = {
        {"no lines", false, false, false, 100, "11111111111111111", false, Outcome::NothingToSettle, ""},
        {"not on duty", true, true, false, 100, "11111111111111111", false, Outcome::NotOnDuty,
         "不是当班用户不可进行收银功能"},
        {"nothing to pay, no right", true, false, false, 0, "11111111111111101", false, Outcome::NoRight, ""},
        {"nothing to pay", true, false, false, 0, "11111111111111111", true, Outcome::Cancelled, ""},
        {"cancelled", true, true, true, 100, "10000000000000000", true, Outcome::Cancelled, ""},
    };
    Till till(ShopKind::InProcess);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        till.sale.clear();
        till.prompt.requests.clear();
        till.screen.status.clear();
        till.session.terminal.shiftEnabled = c.shifts;
        till.session.terminal.onDuty = c.onDuty;
        till.session.terminal.rights = CashierRights(QString::fromLatin1(c.rights));
        if (c.lines)
            till.ring("TX004", "01", 1, 1, 100, c.price, true);
        till.prompt.escape = c.escape;

        EXPECT_EQ(till.committer->bsBtn01Click(), c.outcome);

        EXPECT_EQ(till.prompt.requests.size(), c.outcome == Outcome::Cancelled ? 1 : 0);
        EXPECT_EQ(till.screen.status, QString::fromUtf8(c.status));
        EXPECT_EQ(till.sale.lineCount(), c.lines ? 1 : 0);
        EXPECT_TRUE(till.server(HeaderSql).isEmpty());
        EXPECT_TRUE(till.serial.received(1).isEmpty());
    }
}

TEST(SlipCommitUnreachable, ASlipTheServerNeverGotIsRebuiltForTheLocalStore)
{
    Till till(ShopKind::Unreachable);
    till.ring("TX004", "01", 1, 1, 100, 100, true);
    till.prompt.typing = {{F::Cash, "100"}};

    EXPECT_EQ(till.committer->bsBtn01Click(), Outcome::Committed);

    // The server batch failed on the local store; the rebuilt one went in.
    EXPECT_TRUE(till.connection->isOffline());
    EXPECT_EQ(till.local(QStringLiteral("SELECT NOID, S1, T FROM D712")), QStringList{"00110000000|100|0"});
    EXPECT_EQ(till.local(QStringLiteral("SELECT NOID, WL_ID, DJ FROM D712A")), QStringList{"00110000000|TX00401|0"});
    EXPECT_EQ(till.screen.locks, (QList<bool>{true, false, true, false}));
}

TEST(SlipCommitUnreachable, AStoredValuePaymentNeverFallsBackToTheLocalStore)
{
    Till till(ShopKind::Unreachable);
    till.members.card_ = MemberCard{QStringLiteral("88000001"), QStringLiteral("张伟"), Money::fromUnits(1), 1200, 3,
                                    Money::fromUnits(500)};
    till.ring("TX004", "01", 1, 1, 100, 100, true);

    EXPECT_EQ(till.committer->bsBtn01Click(), Outcome::Refused);

    EXPECT_EQ(till.messages.texts(), QStringList{Connection::NetworkDownText});
    EXPECT_TRUE(till.local(QStringLiteral("SELECT NOID FROM D712")).isEmpty());
    EXPECT_EQ(till.sale.lineCount(), 1);
    EXPECT_TRUE(till.printer.printed.isEmpty());
}

} // namespace
