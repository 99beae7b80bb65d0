#include "sales/memberdesk.h"

#include <gtest/gtest.h>

#include "offline/connection.h"
#include "offline/localstore.h"
#include "sales/settlementlauncher.h"
#include "fakeshopservice.h"
#include "salestestutil.h"

using namespace vorel;
using namespace vorel::test;

namespace {

struct Card {
    const char *id, *name, *tel, *zk;
    int points;
    const char *balance;
    int g;
};

const Card Zhang{"88000001", "张伟", "13800138001", "0.9", 1200, "500", 3};
const Card Sun{"88000007", "孙丽", "13988000001", "0.95", 150, "0", 2};

ResultSet cards(std::initializer_list<Card> list)
{
    ResultSet rs({{"VIPID", FieldType::Text}, {"VIPNAME", FieldType::Text}, {"VIPTEL", FieldType::Text},
                  {"VIPZK", FieldType::Decimal}, {"VIPF", FieldType::Integer}, {"VIPM", FieldType::Decimal},
                  {"T", FieldType::Integer}, {"G", FieldType::Integer}});
    for (const Card &c : list)
        rs.appendRow({QString::fromUtf8(c.id), QString::fromUtf8(c.name), QString::fromUtf8(c.tel),
                      money(c.zk).toDouble(), c.points, money(c.balance).toDouble(), 0, c.g});
    return rs;
}

class FakeDialogs final : public MemberDialogs {
public:
    std::optional<int> pickMember(const ResultSet &rows) override
    {
        picked.append(rows);
        return pickAnswer;
    }
    QString addMember() override
    {
        ++editorRuns;
        return editorText;
    }
    std::optional<RedemptionOffer> chooseRedemption(const RedemptionRequest &request) override
    {
        requests.append(request);
        return offers.isEmpty() ? std::nullopt : std::optional(offers.takeFirst());
    }

    std::optional<int> pickAnswer;
    QList<ResultSet> picked;
    QString editorText;
    int editorRuns = 0;
    QList<std::optional<RedemptionOffer>> offers;
    QList<RedemptionRequest> requests;
};

class FakeSettlement final : public SettlementLauncher {
public:
    explicit FakeSettlement(const Sale &sale) : sale_(sale) {}
    void settleSale() override {}
    void settleTopUp() override { linesAtTopUp.append(sale_.lines()); }
    QList<QList<SaleLine>> linesAtTopUp;

private:
    const Sale &sale_;
};

struct DeskRig : SaleRig {
    DeskRig()
    {
        session.applyRights(rightsWithout());
        session.applyCompanyParams(QStringLiteral("1,1,1,1,1,1,1,1,0"));
    }
    FakeShopService shop;
    LocalStore store{QStringLiteral("/nonexistent/VORELZ")};
    Connection connection{session, shop, store};
    FakeDialogs dialogs;
    FakeSettlement settlement{sale};
    MemberDesk desk{connection, sale, pricing, dialogs, settlement};

    void found(const ResultSet &rows) { shop.onOpen(QStringLiteral("FROM D702"), rows); }
};

} // namespace

// The search's SQL and what it finds are the corpus's (members.test); the card's fields on
// screen are the stored-value scenario's.
TEST(MemberDeskChoose, TakesTheCardFoundOrPicked)
{
    const struct {
        const char *name;
        ResultSet found;
        std::optional<int> pick; // the picker's answer
        int pickerRows;          // rows the picker was shown, 0: not shown
        const char *help;
        bool done;
        const Card *card;        // null: no card afterwards
    } cases[] = {
        {"one card is taken at once", cards({Zhang}), std::nullopt, 0, "", true, &Zhang},
        {"card by number and card by phone go to the picker", cards({Zhang, Sun}), 1, 2, "", true, &Sun},
        {"picker cancelled", cards({Zhang, Sun}), std::nullopt, 2, "", false, nullptr},
        {"nothing found", cards({}), std::nullopt, 0, "该会员卡号无效", false, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DeskRig rig;
        rig.sale.appendLine(itemLine(100));
        rig.found(c.found);
        rig.dialogs.pickAnswer = c.pick;
        int changed = 0;
        QObject::connect(&rig.desk, &MemberDesk::cardChanged, [&changed] { ++changed; });

        const CommandResult r = rig.desk.choose(QStringLiteral("88000001"));
        EXPECT_EQ(str(r.help), c.help);
        EXPECT_EQ(r.reachedAction, c.done);
        ASSERT_EQ(rig.shop.calls(FakeShopService::CallKind::Open).size(), 1);
        ASSERT_EQ(rig.dialogs.picked.size(), c.pickerRows ? 1 : 0);
        if (c.pickerRows) {
            EXPECT_EQ(rig.dialogs.picked.first().rowCount(), c.pickerRows);
        }

        const MemberCard &card = rig.desk.card();
        EXPECT_EQ(changed, c.card ? 1 : 0);
        if (!c.card) {
            EXPECT_FALSE(card.selected());
            EXPECT_EQ(rig.sale.line(0).sj(), 100.0);
            continue;
        }
        EXPECT_EQ(str(card.vipId), c.card->id);
        EXPECT_EQ(card.balance, money(c.card->balance));
        EXPECT_TRUE(rig.sale.memberSelected());
        EXPECT_EQ(rig.sale.memberRate(), money(c.card->zk));
        EXPECT_EQ(Money::fromDouble(rig.sale.line(0).sj()), money(c.card->zk) * 100);
    }
}

TEST(MemberDeskChoose, RightAndCompanySwitchGuardTheChange)
{
    const struct {
        const char *name;
        QString rights;
        const char *params;
        bool withLine;
        const char *help;
    } cases[] = {
        {"right 14 missing", rightsWithout(14), "1,1,1,1,1,1,1,1,0", false,
         "您没有权限使用该功能或是离线状态也不可使用!"},
        {"right 14 alone is enough", QStringLiteral("10000000000001"), "1,1,1,1,1,1,1,1,0", false, ""},
        {"switch 8 set, items in the sale", rightsWithout(), "1,1,1,1,1,1,1,1,1", true,
         "如存在销售商品项，【VIP】将不可增加或清除!请在录入商品前确认VIP资料!"},
        {"switch 8 set, empty sale", rightsWithout(), "1,1,1,1,1,1,1,1,1", false, ""},
        {"switch 8 off, items in the sale", rightsWithout(), "1,1,1,1,1,1,1,1,0", true, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DeskRig rig;
        rig.session.applyRights(c.rights);
        rig.session.applyCompanyParams(QString::fromLatin1(c.params));
        if (c.withLine)
            rig.sale.appendLine(itemLine(200));
        rig.found(cards({Zhang}));
        const CommandResult r = rig.desk.choose(QStringLiteral("88000001"));
        EXPECT_EQ(str(r.help), c.help);
        const bool taken = QString::fromUtf8(c.help).isEmpty();
        EXPECT_EQ(rig.desk.card().selected(), taken);
        if (c.withLine) {
            EXPECT_EQ(rig.sale.line(0).sj(), taken ? 180.0 : 200.0);
        }
    }
}

// Which lines a member change reprices is Pricing's (see PricingMemberChange); here the desk
// drops the card, tells the screen and hands the change on without a search.
TEST(MemberDeskChoose, EmptySearchClearsTheCardAndReprices)
{
    DeskRig rig;
    rig.found(cards({Zhang}));
    rig.sale.appendLine(itemLine(100));
    ASSERT_TRUE(rig.desk.choose(QStringLiteral("88000001")).reachedAction);
    EXPECT_EQ(rig.sale.line(0).sj(), 90.0);

    int changed = 0;
    QObject::connect(&rig.desk, &MemberDesk::cardChanged, [&changed] { ++changed; });
    EXPECT_TRUE(rig.desk.choose(QString()).reachedAction);
    EXPECT_EQ(changed, 1);
    EXPECT_FALSE(rig.desk.card().selected());
    EXPECT_EQ(rig.desk.card().balance, Money());
    EXPECT_FALSE(rig.sale.memberSelected());
    EXPECT_EQ(rig.sale.line(0).sj(), 100.0);
    EXPECT_EQ(rig.shop.calls(FakeShopService::CallKind::Open).size(), 1) << "clearing searches nothing";
}

TEST(MemberDeskNewCard, EditorRunsOnlyOnlineAndLeavesItsText)
{
    DeskRig rig;
    rig.dialogs.editorText = QStringLiteral("*88000009");
    rig.connection.setOffline(true);
    EXPECT_EQ(str(rig.desk.newCard().help), "您没有权限使用该功能或是离线状态也不可使用!");
    EXPECT_EQ(rig.dialogs.editorRuns, 0);

    rig.connection.setOffline(false);
    const CommandResult r = rig.desk.newCard();
    EXPECT_TRUE(r.reachedAction);
    EXPECT_EQ(str(r.nextCommandText), "*88000009");
    EXPECT_EQ(rig.dialogs.editorRuns, 1);
}

TEST(MemberDeskRedeem, OneRedemptionLineFollowsTheLastChoice)
{
    DeskRig rig;
    rig.connection.setOffline(true);
    EXPECT_EQ(str(rig.desk.redeem().help), "离线状态不可使用【积分换购】功能");
    EXPECT_TRUE(rig.dialogs.requests.isEmpty());
    rig.connection.setOffline(false);

    rig.found(cards({Zhang}));
    rig.desk.choose(QStringLiteral("88000001"));
    rig.sale.appendLine(itemLine(100));
    rig.dialogs.offers = {RedemptionOffer{-100, -5, {}}, std::nullopt, RedemptionOffer{-500, -30, {}}};

    for (const double voucher : {-5.0, -5.0, -30.0}) {
        EXPECT_TRUE(rig.desk.redeem().reachedAction) << "the command line is cleared, cancelled or not";
        ASSERT_EQ(rig.sale.lineCount(), 2);
        const SaleLine &z = rig.sale.line(1);
        EXPECT_EQ(z.kind(), LineKind::Redemption);
        EXPECT_EQ(z.smoney(), voucher);
        EXPECT_EQ(rig.sale.redeemAmount(), voucher);
    }
    EXPECT_EQ(rig.desk.redeemPoints(), -500);

    const RedemptionRequest &asked = rig.dialogs.requests.first();
    EXPECT_EQ(str(asked.vipId), "88000001");
    EXPECT_EQ(str(asked.name), "张伟");
    EXPECT_EQ(str(asked.points), "1200");
    EXPECT_TRUE(asked.mayChoose());

    rig.desk.clearForNewSale();
    EXPECT_EQ(rig.desk.redeemPoints(), 0);
    EXPECT_FALSE(rig.desk.card().selected());
}

TEST(MemberDeskTopUp, RefusalsInOrder)
{
    const struct {
        const char *name;
        bool shifts, onDuty, offline;
        QString rights;
        bool card, sale;
        const char *help;
    } cases[] = {
        {"not on duty", true, false, true, QString(), false, true, "不是当班用户不可进行收银功能"},
        {"offline", false, false, true, rightsWithout(), true, false,
         "您没有权限使用该功能或是离线状态也不可使用!"},
        {"right 14 missing", true, true, false, rightsWithout(14), true, false,
         "您没有权限使用该功能或是离线状态也不可使用!"},
        {"no card", false, false, false, rightsWithout(), false, true, "请先输入会员卡"},
        {"sale in progress", false, false, false, rightsWithout(), true, true,
         "当前有未处理的销售业务!充值必须单独在一单处理."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DeskRig rig;
        if (c.card) {
            rig.found(cards({Zhang}));
            rig.desk.choose(QStringLiteral("88000001"));
        }
        rig.session.terminal.shiftEnabled = c.shifts;
        rig.session.terminal.onDuty = c.onDuty;
        rig.session.applyRights(c.rights);
        rig.connection.setOffline(c.offline);
        if (c.sale)
            rig.sale.appendLine(itemLine(100));
        const int lines = rig.sale.lineCount();
        const CommandResult r = rig.desk.topUp(QStringLiteral("500"));
        EXPECT_EQ(str(r.help), c.help);
        EXPECT_FALSE(r.reachedAction);
        EXPECT_EQ(rig.sale.lineCount(), lines);
        EXPECT_TRUE(rig.settlement.linesAtTopUp.isEmpty());
    }
}

TEST(MemberDeskTopUp, AppendsTheTopUpLineAndHandsOverToSettlement)
{
    DeskRig rig;
    rig.session.terminal.shiftEnabled = true;
    rig.session.terminal.onDuty = true;
    rig.found(cards({Zhang}));
    rig.desk.choose(QStringLiteral("88000001"));

    EXPECT_TRUE(rig.desk.topUp(QStringLiteral("500.5")).reachedAction);
    ASSERT_EQ(rig.settlement.linesAtTopUp.size(), 1);
    const QList<SaleLine> &lines = rig.settlement.linesAtTopUp.first();
    ASSERT_EQ(lines.size(), 1) << "the top-up is the only line of its slip";
    const SaleLine &l = lines.first();
    EXPECT_EQ(l.kind(), LineKind::TopUp);
    EXPECT_EQ(str(l.wlName()), "【储值卡充值】");
    expectPriced(l, {1, "1", "500.5", "500.5", "500.5"});
    EXPECT_EQ(l.odj(), 500.5);
    EXPECT_EQ(str(rig.sale.labels().total), "500.50");
}
