#include "sales/pricing.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <utility>
#include <vector>

#include "salestestutil.h"

using namespace vorel;
using namespace vorel::test;

namespace {

// ---------------------------------------------------------------- a line from a lookup

struct AppendCase {
    const char *name;
    LookupRow row;
    const char *memberRate; // null: no member card
    Priced expected;
    int g;
};

const AppendCase kAppendCases[] = {
    {"tag price", {100}, nullptr, {1, "1", "100", "100", "100"}, 0},
    {"member factor", {99.9}, "0.85", {1, "1", "84.92", "84.92", "84.92"}, 0},
    {"special price", {100, "1", -1, 59, 49}, nullptr, {1, "0.59", "59", "59", "59"}, -1},
    {"member special price, no member factor", {100, "1", -1, 59, 49}, "0.8", {1, "0.49", "49", "49", "49"}, -1},
    {"special price on a zero tag keeps the factor", {0, "1", -1, 15}, nullptr, {1, "1", "15", "15", "15"}, -1},
    {"special price factor through two places", {100, "1", -1, 33.335}, nullptr, {1, "0.33", "33.34", "33.34", "33.34"}, -1},
    {"free item", {100, "0", -1}, "0.8", {1, "1", "0", "0", "0"}, -1},
    {"special discount", {100, "2", -1, 0, 0, 0.7, 0.6}, nullptr, {1, "0.7", "70", "70", "70"}, -1},
    {"member special discount", {100, "2", -1, 0, 0, 0.7, 0.6}, "0.9", {1, "0.6", "60", "60", "60"}, -1},
    {"special discount without a factor drops the member factor", {100, "2", -1}, "0.9", {1, "1", "100", "100", "100"}, -1},
    {"unknown special kind keeps the standard price", {100, "5", -1, 59}, "0.8", {1, "1", "80", "80", "80"}, -1},
    {"group item is not a special price", {100, "1", 3, 59}, nullptr, {1, "1", "100", "100", "100"}, 3},
    {"empty kind means no promotion", {100, "", -1, 59}, nullptr, {1, "1", "100", "100", "100"}, 0},
};

TEST(PricingAppendItem, PricesTheNewLine)
{
    for (const AppendCase &c : kAppendCases) {
        SCOPED_TRACE(c.name);
        SaleRig rig;
        if (c.memberRate)
            rig.sale.setMember(true, money(c.memberRate));
        const int row = rig.pricing.appendItem(lookup(c.row));
        EXPECT_EQ(row, 0);
        EXPECT_EQ(rig.sale.current(), 0);
        expectPriced(rig.sale.line(0), c.expected);
        EXPECT_EQ(rig.sale.line(0).g(), c.g);
    }
}

TEST(PricingAppendItem, CopiesItemAndPromotionFields)
{
    LookupRow row{100, "1", 3, 59, 49, 0.7, 0.6, 1, 0, 1, 1, 0, 200, 0.9, 0.8};
    SaleRig rig;
    rig.pricing.appendItem(lookup(row));
    rig.sale.setMember(true, money("1"));
    rig.pricing.appendItem(lookup(row));
    row.kind = nullptr;
    rig.pricing.appendItem(lookup(row));

    const SaleLine &l = rig.sale.line(0);
    EXPECT_EQ(str(QStringList({l.wlId(), l.tm(), l.wlName(), l.wlGg(), l.dwId(), l.dwName(), l.note()}).join('|')),
              "K2301|6900000000017|圆领T恤|M|01|白色|夏季特惠");
    EXPECT_EQ(std::tuple(int(l.mIndex()), l.vipf(), int(l.flag1()), int(l.flag2()), int(l.flag3()), int(l.cla()),
                         int(l.clazk()), l.f1(), l.f2(), l.f3()),
              std::tuple(2, true, 1, 0, 1, 1, 0, 200, 0.9, 0.8));
    // Special values: the non-member pair, or the member pair once a card is chosen.
    EXPECT_EQ(std::pair(l.tj(), l.gZk()), std::pair(59.0, 0.7));
    EXPECT_EQ(std::pair(rig.sale.line(1).tj(), rig.sale.line(1).gZk()), std::pair(49.0, 0.6));
    const SaleLine &plain = rig.sale.line(2);
    EXPECT_EQ(std::tuple(int(plain.g()), int(plain.flag1() + plain.flag3() + plain.cla()), plain.f1()),
              std::tuple(0, 0, 0));
    EXPECT_EQ(plain.f2() + plain.f3() + plain.tj() + plain.gZk(), 0.0);
}

// ---------------------------------------------------------------- line discount "."

struct LineDiscountCase {
    const char *percent;
    const char *memberRate;
    int sl;
    Priced expected;
};

const LineDiscountCase kLineDiscountCases[] = {
    {"80", "1", 1, {1, "0.8", "80", "80", "80"}},
    {"85.5", "1", 1, {1, "0.86", "86", "86", "86"}},
    {"80", "0.9", 3, {3, "0.8", "72", "216", "216"}},
    {"100", "1", -2, {-2, "1", "100", "-200", "-200"}},
};

TEST(PricingLineDiscount, RepricesTheCurrentLine)
{
    for (const LineDiscountCase &c : kLineDiscountCases) {
        SCOPED_TRACE(c.percent);
        SaleRig rig;
        rig.sale.setMember(true, money(c.memberRate));
        rig.sale.appendLine(itemLine(100, c.sl));
        EXPECT_TRUE(rig.pricing.discountLine(money(c.percent)));
        expectPriced(rig.sale.line(0), c.expected);
    }
}

// Discount and amount take lines with 0 <= G < 20, the quantity also special prices.
TEST(PricingLineCommands, OnlyOnLinesTheyMayChange)
{
    for (int g : {-1, 0, 19, 20, 99}) {
        SCOPED_TRACE(g);
        SaleRig rig;
        rig.sale.appendLine(itemLine(100, 1, g));
        const SaleLine before = rig.sale.line(0);
        const bool repriceable = g >= 0 && g < 20;
        EXPECT_EQ(rig.pricing.discountLine(money("80")), repriceable);
        EXPECT_EQ(rig.pricing.changeAmount(money("50")), repriceable);
        EXPECT_EQ(rig.pricing.changeQuantity(money("2"), false),
                  g < 20 ? QuantityChange::Changed : QuantityChange::NotEligible);
        if (g >= 20) {
            EXPECT_EQ(rig.sale.line(0), before);
        }
    }
    SaleRig empty;
    EXPECT_FALSE(empty.pricing.discountLine(money("80")));
    EXPECT_FALSE(empty.pricing.changeAmount(money("80")));
    EXPECT_EQ(empty.pricing.changeQuantity(money("2"), true), QuantityChange::NotEligible);
}

// ---------------------------------------------------------------- whole-sale discount ".."

TEST(PricingSaleDiscount, RepricesOrdinaryLinesAndRecomputesGroups)
{
    SaleRig rig;
    rig.sale.appendLine(itemLine(100));
    rig.sale.appendLine(groupLine(19, 59.9, 0, 50, 0.9));
    rig.sale.appendLine(itemLine(59, 1, -1));
    rig.sale.appendLine(itemLine(30, 1, 20));
    rig.sale.setRedemption(10);
    rig.sale.setCurrent(1);
    const SaleLine special = rig.sale.line(2);
    const SaleLine ungrouped = rig.sale.line(3);

    rig.pricing.discountSale(money("88.5"));

    expectPriced(rig.sale.line(0), {1, "0.89", "89", "89", "89"});
    expectPriced(rig.sale.line(1), {1, "0.89", "53.31", "53.31", "53.31"});
    EXPECT_EQ(rig.sale.line(2), special);
    EXPECT_EQ(rig.sale.line(3), ungrouped);
    EXPECT_EQ(rig.sale.line(4).smoney(), 10.0);
    // 53.31 still reaches the threshold of 50: ten percent of it comes off.
    ASSERT_EQ(rig.sale.lineCount(), 6);
    EXPECT_EQ(rig.sale.line(5).kind(), LineKind::CashOff);
    EXPECT_EQ(rig.sale.line(5).smoney(), -5.33);
    EXPECT_EQ(rig.sale.current(), 1);
}

// ---------------------------------------------------------------- amount change "++"

struct AmountCase {
    int sl;
    double tag;
    const char *memberRate;
    const char *amount;
    Priced expected;
};

const AmountCase kAmountCases[] = {
    {2, 100, "1", "150", {2, "0.75", "75", "150", "150"}},
    {2, 100, "1", "-150", {-2, "0.75", "75", "-150", "-150"}},
    {-2, 100, "1", "150", {2, "0.75", "75", "150", "150"}},
    {1, 100, "0.8", "60", {1, "0.75", "60", "60", "60"}},
    {3, 100, "1", "33.333", {3, "0.11", "11.11", "33.33", "33.33"}},
    {1, 100, "1", "0", {1, "0", "0", "0", "0"}},
    // Factor or price that cannot be computed: 1 and the tag price.
    {2, 0, "1", "150", {2, "1", "75", "150", "150"}},
    {0, 100, "1", "150", {0, "1", "100", "150", "150"}},
};

TEST(PricingAmountChange, SetsAmountFactorAndPrice)
{
    for (const AmountCase &c : kAmountCases) {
        SCOPED_TRACE(std::string(c.amount) + " on " + std::to_string(c.sl));
        SaleRig rig;
        rig.sale.setMember(true, money(c.memberRate));
        rig.sale.appendLine(itemLine(c.tag, c.sl));
        EXPECT_TRUE(rig.pricing.changeAmount(money(c.amount)));
        expectPriced(rig.sale.line(0), c.expected);
    }
}

// ---------------------------------------------------------------- quantity "+"

struct QuantityCase {
    const char *quantity;
    bool returnsAllowed;
    QuantityChange outcome;
    int sl;
};

const QuantityCase kQuantityCases[] = {
    {"3", false, QuantityChange::Changed, 3},
    {"1", false, QuantityChange::Changed, 1},
    {"1.4", false, QuantityChange::Changed, 1},
    {"2.5", false, QuantityChange::Changed, 2},
    {"3.5", false, QuantityChange::Changed, 4},
    {"-1", true, QuantityChange::Changed, -1},
    {"-2.5", true, QuantityChange::Changed, -2},
    {"0", true, QuantityChange::OutOfRange, 1},
    {"0.5", true, QuantityChange::OutOfRange, 1},
    {"-0.9999", false, QuantityChange::OutOfRange, 1},
    {"-1", false, QuantityChange::ReturnRefused, 1},
};

TEST(PricingQuantity, ChecksRangeAndRightThenRounds)
{
    for (const QuantityCase &c : kQuantityCases) {
        SCOPED_TRACE(c.quantity);
        SaleRig rig;
        rig.sale.appendLine(itemLine(59.9));
        EXPECT_EQ(rig.pricing.changeQuantity(money(c.quantity), c.returnsAllowed), c.outcome);
        const SaleLine &l = rig.sale.line(0);
        EXPECT_EQ(l.sl(), c.sl);
        EXPECT_EQ(Money::fromDouble(l.smoney()), Money::fromDouble(59.9) * c.sl);
        EXPECT_EQ(l.omoney(), l.smoney());
    }
}

// ---------------------------------------------------------------- member change

TEST(PricingMemberChange, RepricesOrdinaryLinesOnly)
{
    SaleRig rig;
    rig.sale.appendLine(itemLine(100));
    SaleLine discounted = groupLine(3, 200, 0, 1000, 0.9);
    discounted.setZk(0.9);
    rig.sale.appendLine(discounted);
    SaleLine special = itemLine(100, 1, -1);
    special.setSj(59.0);
    special.setZk(0.59);
    special.setSmoney(59.0);
    rig.sale.appendLine(special);
    rig.sale.setRedemption(10);
    rig.sale.setCurrent(1);

    rig.pricing.changeMember(money("0.8"));
    EXPECT_TRUE(rig.sale.memberSelected());
    EXPECT_EQ(rig.sale.memberRate(), money("0.8"));
    expectPriced(rig.sale.line(0), {1, "1", "80", "80", "80"});
    expectPriced(rig.sale.line(1), {1, "0.9", "144", "144", "144"});
    EXPECT_EQ(rig.sale.line(2), special);
    EXPECT_EQ(rig.sale.line(3).smoney(), 10.0);
    EXPECT_EQ(rig.sale.current(), 1);
    EXPECT_EQ(rig.sale.labels().total, "293.00");

    rig.pricing.changeMember(std::nullopt);
    EXPECT_FALSE(rig.sale.memberSelected());
    EXPECT_EQ(rig.sale.memberRate(), money("1"));
    expectPriced(rig.sale.line(0), {1, "1", "100", "100", "100"});
    expectPriced(rig.sale.line(1), {1, "0.9", "180", "180", "180"});
}

// ---------------------------------------------------------------- rounding modes

// Each repricing step that rounds an amount, at each mode and number of places.
struct RoundingCase {
    int mode, decimals;
    const char *member;      // 99.9 x 0.85 = 84.915
    const char *discount;    // 99.9 x 0.90 x 0.85 = 76.4235
    const char *amount;      // 10.004 typed
    const char *quantity;    // 3 x 53.31 = 159.93
    const char *saleAmount;  // 59.9 x 0.89 = 53.311: price 53.31, amount rounded
    const char *groupOff;    // 123.45 x 0.1 = 12.345
};

const RoundingCase kRoundingCases[] = {
    {1, 2, "84.92", "76.42", "10", "159.93", "53.31", "12.35"},
    {2, 2, "84.92", "76.43", "10.01", "159.93", "53.31", "12.35"},
    {3, 2, "84.91", "76.42", "10", "159.93", "53.31", "12.34"},
    {1, 0, "85", "76", "10", "160", "53", "12"},
    {2, 0, "85", "77", "11", "160", "54", "13"},
    {3, 0, "84", "76", "10", "159", "53", "12"},
};

TEST(PricingRounding, EveryCommandRoundsByTheShopsMode)
{
    for (const RoundingCase &c : kRoundingCases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " places " + std::to_string(c.decimals));
        // The amount of line 0 after `command` ran on a sale of one line at `tag`.
        const auto amount = [&c](double tag, const std::function<void(SaleRig &)> &command) {
            SaleRig rig(c.decimals, c.mode);
            rig.sale.appendLine(itemLine(tag));
            command(rig);
            return Money::fromDouble(rig.sale.line(rig.sale.lineCount() - 1).smoney());
        };
        EXPECT_EQ(amount(99.9, [](SaleRig &r) { r.pricing.changeMember(money("0.85")); }), money(c.member));
        EXPECT_EQ(amount(0, [](SaleRig &r) {
                      r.sale.setMember(true, money("0.85"));
                      r.pricing.appendItem(lookup({99.9}));
                  }),
                  money(c.member));
        EXPECT_EQ(amount(99.9, [](SaleRig &r) {
                      r.pricing.changeMember(money("0.85"));
                      r.pricing.discountLine(money("90"));
                  }),
                  money(c.discount));
        EXPECT_EQ(amount(100, [](SaleRig &r) { r.pricing.changeAmount(money("10.004")); }), money(c.amount));
        EXPECT_EQ(amount(100, [](SaleRig &r) {
                      SaleLine l = r.sale.line(0);
                      l.setSj(53.31);
                      r.sale.replaceLine(0, l);
                      r.pricing.changeQuantity(money("3"), false);
                  }),
                  money(c.quantity));
        EXPECT_EQ(amount(59.9, [](SaleRig &r) {
                      r.pricing.discountSale(money("89"));
                      EXPECT_EQ(r.sale.line(0).sj(), 53.31);
                  }),
                  money(c.saleAmount));
        SaleRig rig(c.decimals, c.mode);
        rig.sale.appendLine(groupLine(2, 123.45, 0, 100, 0.9));
        EXPECT_EQ(rig.pricing.groupOfferTotal(), money(c.groupOff));
    }
}

// ---------------------------------------------------------------- group promotions

SaleLine flag1Line(int g, double amount)
{
    SaleLine l = groupLine(g, amount, 0, 2, 0.8, 0);
    l.setFlag1(1);
    l.setFlag3(0);
    return l;
}

SaleLine tagCountedLine()
{
    SaleLine l = groupLine(6, 100, 0, 200, 0.9);
    l.setSl(2);
    l.setSmoney(150.0);
    l.setFlag2(1);
    l.setFlag3(0);
    return l;
}

struct GroupCase {
    const char *name;
    std::vector<SaleLine> lines;
    bool member;
    const char *total;
};

const std::vector<GroupCase> &groupCases()
{
    static const std::vector<GroupCase> cases = {
        {"discount on the group value", {groupLine(3, 120, 0, 200, 0.9), groupLine(3, 100, 0, 200, 0.9)}, false, "22"},
        {"threshold not reached", {groupLine(3, 120, 0, 200, 0.9), groupLine(3, 79.99, 0, 200, 0.9)}, false, "0"},
        {"discount on the piece-counted amount", {flag1Line(4, 100), flag1Line(4, 50)}, false, "30"},
        {"tag amount counts", {tagCountedLine()}, false, "20"},
        {"member rate", {groupLine(3, 120, 0, 200, 0.9, 1, 0.8), groupLine(3, 100, 0, 200, 0.9, 1, 0.8)}, true, "44"},
        {"terms of the group's first line", {groupLine(3, 120, 0, 200, 0.9), groupLine(3, 100, 0, 200, 0.5)}, false, "22"},
        {"amount per whole multiple", {groupLine(7, 150, 1, 100, 20), groupLine(7, 100, 1, 100, 20)}, false, "40"},
        {"multiples of returns", {groupLine(7, -150, 1, 100, 20), groupLine(7, -100, 1, 100, 20)}, false, "-40"},
        {"amount per multiple is not rounded", {groupLine(7, 200, 1, 100, 0.333)}, false, "0.666"},
        {"zero threshold skips only that group",
         {groupLine(5, 250, 1, 0, 20), groupLine(3, 120, 0, 200, 0.9), groupLine(3, 100, 0, 200, 0.9)}, false, "22"},
        {"groups add up", {groupLine(3, 220, 0, 200, 0.9), groupLine(7, 250, 1, 100, 20)}, false, "62"},
        {"unknown kind", {groupLine(3, 220, 2, 200, 0.9)}, false, "0"},
        {"lines outside groups 1 to 19",
         {groupLine(0, 300, 0, 200, 0.9), groupLine(20, 300, 0, 200, 0.9), groupLine(-1, 300, 0, 200, 0.9)}, false, "0"},
    };
    return cases;
}

TEST(PricingGroupOffer, KeepsOneCashOffLineForTheTotal)
{
    for (const GroupCase &c : groupCases()) {
        SCOPED_TRACE(c.name);
        SaleRig rig;
        for (const SaleLine &l : c.lines)
            rig.sale.appendLine(l);
        rig.sale.setMember(c.member, money(c.member ? "0.9" : "1"));
        rig.sale.setCurrent(0);
        rig.pricing.recalcGroupOffer();
        EXPECT_EQ(rig.pricing.groupOfferTotal(), money(c.total));
        const int row = rig.sale.findLine(LineKind::CashOff);
        if (money(c.total).isZero()) {
            EXPECT_EQ(row, -1);
            EXPECT_EQ(rig.sale.lineCount(), int(c.lines.size()));
        } else {
            ASSERT_EQ(row, int(c.lines.size()));
            EXPECT_EQ(Money::fromDouble(rig.sale.line(row).smoney()), -money(c.total));
            EXPECT_EQ(Money::fromDouble(rig.sale.line(row).sj()), -money(c.total));
        }
        EXPECT_EQ(rig.sale.current(), 0);
    }
}

TEST(PricingGroupOffer, CashOffLineFollowsTheSale)
{
    SaleRig rig;
    rig.sale.appendLine(groupLine(3, 120, 0, 200, 0.9));
    rig.sale.appendLine(groupLine(3, 100, 0, 200, 0.9));
    rig.pricing.finishCommand(true);

    ASSERT_EQ(rig.sale.lineCount(), 3);
    const SaleLine &off = rig.sale.line(2);
    EXPECT_EQ(str(off.wlId()), "ZZZZZ");
    EXPECT_EQ(str(off.wlName()), "【满额折现金】");
    EXPECT_TRUE(off.tm().isEmpty());
    EXPECT_EQ(off.g(), 99);
    EXPECT_TRUE(off.vipf());
    expectPriced(off, {0, "1", "-22", "0", "-22"});
    EXPECT_EQ(rig.sale.current(), 1);
    EXPECT_EQ(rig.sale.labels(), (TotalLabels{"198.00", "2", "22"}));
    EXPECT_EQ(rig.display.lastValue(), "198.00");

    // A bigger group value changes the line in place.
    rig.pricing.changeAmount(money("180"));
    rig.pricing.finishCommand(true);
    ASSERT_EQ(rig.sale.lineCount(), 3);
    EXPECT_EQ(rig.sale.line(2).smoney(), -30.0);

    // Below the threshold the line goes; the cursor was on it and stays where it lands.
    rig.sale.setCurrent(2);
    rig.sale.removeLine(0);
    rig.pricing.recalcGroupOffer();
    EXPECT_EQ(rig.sale.lineCount(), 1);
    EXPECT_EQ(rig.sale.findLine(LineKind::CashOff), -1);
    EXPECT_EQ(rig.sale.current(), 0);
    EXPECT_EQ(rig.sale.labels(), (TotalLabels{"180.00", "1", "-80"}));
}

} // namespace
