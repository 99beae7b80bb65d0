#include "sales/sale.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/text.h"
#include "recordingcustomerdisplay.h"
#include "salestestutil.h"

using namespace vorel;
using namespace vorel::test;

namespace {

// ---------------------------------------------------------------- lines

struct TextField {
    const char *name;
    std::function<void(SaleLine &, const QString &)> set;
    std::function<QString(const SaleLine &)> get;
    int width;
};

// Cutting at a byte width is gbkLeft's (tested in core); each setter applies its column's width,
// here one even and one odd.
TEST(SaleLine, TextFieldsAreCutToTheirByteWidths)
{
    const TextField fields[] = {
        {"NOTE", &SaleLine::setNote, &SaleLine::note, 50},
        {"S", &SaleLine::setS, &SaleLine::s, 3},
    };
    const QString ascii(100, QLatin1Char('7'));
    // One ASCII byte first, so the byte width falls inside a Chinese character.
    const QString mixed = QStringLiteral("a") + QString(60, QChar(0x670D));
    for (const TextField &f : fields) {
        SCOPED_TRACE(f.name);
        SaleLine line;
        f.set(line, ascii);
        EXPECT_EQ(f.get(line), ascii.left(f.width));
        f.set(line, mixed);
        EXPECT_EQ(gbkLength(f.get(line)), f.width % 2 == 0 ? f.width - 1 : f.width);
        EXPECT_TRUE(mixed.startsWith(f.get(line)));
        f.set(line, QStringLiteral("白"));
        EXPECT_EQ(str(f.get(line)), "白");
    }
}

TEST(SaleLine, KindsAndSystemLines)
{
    const struct {
        const char *wlId, *tm;
        LineKind kind;
    } kinds[] = {
        {"K2301", "6900000000017", LineKind::Item}, {"Z", "", LineKind::Redemption},
        {"ZZZZZ", "", LineKind::CashOff},           {"", "ZZZZC", LineKind::TopUp},
        {"Z1", "", LineKind::Item},                 {"ZZZZ", "", LineKind::Item},
    };
    for (const auto &k : kinds) {
        SaleLine line;
        line.setWlId(QString::fromLatin1(k.wlId));
        line.setTm(QString::fromLatin1(k.tm));
        EXPECT_EQ(line.kind(), k.kind) << k.wlId << "/" << k.tm;
    }

    EXPECT_EQ(SaleLine::redemption(15).kind(), LineKind::Redemption);
    EXPECT_EQ(SaleLine::cashOff(money("5")).kind(), LineKind::CashOff);
    const SaleLine topUp = SaleLine::topUp(money("88.5"));
    EXPECT_EQ(topUp.kind(), LineKind::TopUp);
    expectPriced(topUp, {1, "1", "88.5", "88.5", "88.5"});
}

// ---------------------------------------------------------------- groups and totals

TEST(Sale, ReturnLineCountsNegativelyEverywhere)
{
    SaleRig rig;
    rig.sale.appendLine(itemLine(100, -2));
    EXPECT_EQ(rig.sale.line(0).ototal(), money("-200"));
    rig.sale.refreshTotals();
    EXPECT_EQ(rig.sale.labels(), (TotalLabels{"-200.00", "-2", "0"}));

    rig.sale.appendLine(itemLine(150));
    rig.sale.refreshTotals();
    const SaleTotals t = rig.sale.totals();
    EXPECT_EQ(t.lineCount, 2);
    EXPECT_EQ(t.quantity, -1);
    EXPECT_EQ(t.amount, money("-50"));
    EXPECT_EQ(t.tagTotal, money("-50"));
    EXPECT_EQ(t.beforeRounding, money("-50"));
    EXPECT_EQ(rig.sale.labels(), (TotalLabels{"-50.00", "-1", "0"}));
    EXPECT_EQ(rig.display.lastValue(), "-50.00");
}

TEST(Sale, SavingLabelCountsCashOffButNotRedemption)
{
    SaleRig rig;
    SaleLine discounted = itemLine(100);
    discounted.setSmoney(80.0);
    rig.sale.appendLine(discounted);
    rig.sale.setRedemption(10);
    rig.sale.refreshTotals();
    EXPECT_EQ(rig.sale.labels(), (TotalLabels{"90.00", "1", "20"}));

    rig.sale.appendLine(SaleLine::cashOff(money("5")));
    rig.sale.refreshTotals();
    EXPECT_EQ(rig.sale.labels(), (TotalLabels{"85.00", "1", "25"}));
}

TEST(Sale, TotalOnLabelAndCustomerDisplay)
{
    const struct {
        int gridDecimals; // -1: the session has not set the grid yet
        int shopDecimals;
        const char *amount, *label, *display;
    } cases[] = {
        {2, 2, "1234.5", "1234.50", "1234.50"},
        {1, 1, "0.05", "0.1", "0.1"},
        {0, 0, "1234.5", "1235", "1235"},
        {-1, 2, "12.25", "12.3", "12.30"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.amount);
        Session session;
        session.formats.amountDecimals = c.shopDecimals;
        Sale sale(session.formats);
        RecordingCustomerDisplay display;
        sale.setCustomerDisplay(&display);
        if (c.gridDecimals >= 0)
            sale.applyAmountDecimals(c.gridDecimals);
        sale.appendLine(itemLine(Money::parse(QString::fromLatin1(c.amount))->toDouble()));
        sale.refreshTotals();
        EXPECT_EQ(str(sale.labels().total), c.label);
        ASSERT_EQ(display.shown.size(), 1);
        EXPECT_EQ(display.shown[0].indicator, CustomerDisplay::Indicator::Total);
        EXPECT_EQ(str(display.shown[0].value), c.display);
    }
}

TEST(Sale, EmptySaleShowsZeroTotals)
{
    for (int decimals : {0, 2}) {
        SCOPED_TRACE(decimals);
        SaleRig rig(decimals);
        EXPECT_EQ(rig.sale.labels(), (TotalLabels{"0", "0", "0"}));
        rig.sale.appendLine(itemLine(100, 3));
        rig.sale.appendLine(itemLine(20));
        rig.sale.refreshTotals();
        while (!rig.sale.isEmpty()) {
            rig.sale.removeLine(0);
            rig.sale.refreshTotals();
        }
        EXPECT_EQ(rig.sale.labels().total, decimals == 0 ? "0" : "0.00");
        EXPECT_EQ(rig.sale.labels().quantity, "0");
        EXPECT_EQ(rig.sale.labels().saving, "0");
        EXPECT_EQ(rig.display.lastValue(), decimals == 0 ? "0" : "0.00");
    }
}

// ---------------------------------------------------------------- cursor and lifecycle

TEST(Sale, CursorAfterDeletion)
{
    const struct {
        int current, removed, expected;
    } cases[] = {{1, 1, 1}, {3, 3, 2}, {3, 0, 2}, {0, 2, 0}, {2, 3, 2}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.current) + " remove " + std::to_string(c.removed));
        SaleRig rig;
        for (int i = 0; i < 4; ++i)
            rig.sale.appendLine(itemLine(10 + i));
        ASSERT_TRUE(rig.sale.setCurrent(c.current));
        const double next = c.current == c.removed && c.removed < 3 ? 11 + c.removed : 0;
        rig.sale.removeLine(c.removed);
        EXPECT_EQ(rig.sale.current(), c.expected);
        if (next != 0) {
            EXPECT_EQ(rig.sale.currentLine()->odj(), next);
        }
    }
    SaleRig rig;
    rig.sale.appendLine(itemLine(10));
    EXPECT_FALSE(rig.sale.setCurrent(1));
    rig.sale.removeLine(0);
    EXPECT_EQ(rig.sale.current(), -1);
    EXPECT_EQ(rig.sale.currentLine(), nullptr);
}

TEST(Sale, OneRedemptionLineAndANewSaleForgetsIt)
{
    SaleRig rig;
    rig.sale.appendLine(itemLine(100));
    rig.sale.setRedemption(10);
    SaleLine remarked = rig.sale.line(1);
    remarked.setNote(QStringLiteral("生日"));
    rig.sale.replaceLine(1, remarked);
    rig.sale.setCurrent(0);

    rig.sale.setRedemption(25);
    ASSERT_EQ(rig.sale.lineCount(), 2);
    EXPECT_EQ(rig.sale.current(), 1);
    EXPECT_EQ(rig.sale.line(1).smoney(), 25.0);
    EXPECT_EQ(str(rig.sale.line(1).note()), "生日");
    EXPECT_EQ(rig.sale.redeemAmount(), 25.0);

    rig.sale.setMember(true, money("0.8"));
    rig.sale.refreshTotals();
    rig.sale.clear();
    EXPECT_TRUE(rig.sale.isEmpty());
    EXPECT_EQ(rig.sale.current(), -1);
    EXPECT_EQ(rig.sale.memberRate(), money("1"));
    EXPECT_FALSE(rig.sale.memberSelected());
    EXPECT_EQ(rig.sale.redeemAmount(), 0.0);
    EXPECT_EQ(rig.sale.labels(), (TotalLabels{"0", "0", "0"}));
}

} // namespace
