// The key map of the sales screen on a real sale, command line and slip flow, with the
// screen itself replaced by a record of what the keys asked of it.

#include <gtest/gtest.h>

#include "../settlement/committestutil.h"
#include "app/actionregistry.h"
#include "app/calculator.h"
#include "app/saleskeys.h"
#include "sales/commandline.h"
#include "sales/itempicker.h"
#include "sales/pricing.h"

#include "fakecalculator.h"

using namespace vorel;
using namespace vorel::test;

namespace {

class ViewRecord final : public SalesScreenView {
public:
    void showHelpText(const QString &text) override { help = text; }
    void setKeyHelpVisible(bool visible) override { calls << (visible ? "help on" : "help off"); }
    void setPrintSwitchShown(bool on) override { calls << (on ? "print on" : "print off"); }
    void setPracticeBadgeVisible(bool visible) override { calls << (visible ? "badge on" : "badge off"); }
    void setColourScreen(bool colour) override { calls << (colour ? "colour" : "black"); }
    void hideSummary() override { calls << "hide summary"; }
    void clearCommandLine() override { calls << "clear command"; }

    QString help;
    QStringList calls;
};

class NoPicker final : public ItemPicker {
public:
    bool pick(ResultSet &) override { return false; }
};

class NoSettlement final : public SettlementLauncher {
public:
    void settleSale() override {}
    void settleTopUp() override {}
};

// A cashier with every right but the ones a case takes away.
QString rightsWithout(std::initializer_list<CashierRight> missing)
{
    QString text(17, QLatin1Char('1'));
    for (CashierRight right : missing)
        text[static_cast<int>(right) - 1] = QLatin1Char('0');
    return text;
}

struct KeyRig {
    explicit KeyRig(const QString &rights = rightsWithout({}))
        : pricing(till.sale, till.session.formats),
          commandLine(CommandLineParts{till.session, till.sale, pricing, *till.connection, till.members, launcher,
                                       picker}),
          keys(SalesKeysParts{till.session, till.sale, pricing, commandLine, *till.committer, *till.devices,
                              calculator, registry, view, [this] { ++idleResets; },
                              [this] { view.calls << "execute"; }})
    {
        till.session.applyRights(rights);
        // A key another part of the till registers, with its right.
        registry.add({Qt::Key_F10, Qt::NoModifier, CashierRight::TerminalSettings, {}, [this] { view.calls << "settings"; }});
        registry.add({Qt::Key_D, Qt::ControlModifier, std::nullopt, {}, [this] { view.calls << "date"; }});
    }

    bool press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { return keys.keyDown(key, modifiers); }
    void ring(int lines)
    {
        for (int i = 0; i < lines; ++i)
            till.ring("TX004", "01", 1, 1, 100, 100, true);
    }

    Till till{ShopKind::InProcess};
    Pricing pricing;
    NoPicker picker;
    NoSettlement launcher;
    FakeCalculator calculator;
    ActionRegistry registry;
    ViewRecord view;
    CommandLine commandLine;
    int idleResets = 0;
    SalesKeys keys;
};

struct RightCase {
    const char *name;
    int key;
    CashierRight right;  // the right the key needs
    int lines;           // lines in the sale
    const char *granted; // what the screen is asked for with the right
    int linesAfter;      // lines left with the right
};

TEST(SalesKeys, RestrictedKeysNeedTheirRight)
{
    const RightCase cases[] = {
        {"practice", Qt::Key_F7, CashierRight::Practice, 0, "badge on", 0},
        {"settings", Qt::Key_F10, CashierRight::TerminalSettings, 0, "settings", 0},
        {"clear sale", Qt::Key_Insert, CashierRight::DrawerAndLines, 2, nullptr, 0},
        {"delete line", Qt::Key_Delete, CashierRight::DrawerAndLines, 2, nullptr, 1},
        {"drawer", Qt::Key_End, CashierRight::DrawerAndLines, 0, nullptr, 0},
    };
    for (const RightCase &c : cases) {
        SCOPED_TRACE(c.name);
        {
            KeyRig refused(rightsWithout({c.right}));
            refused.ring(c.lines);
            EXPECT_TRUE(refused.press(c.key));
            EXPECT_EQ(refused.view.help, CommandLine::NoRightText);
            EXPECT_TRUE(refused.view.calls.isEmpty());
            EXPECT_EQ(refused.till.sale.lineCount(), c.lines);
            EXPECT_TRUE(refused.till.drawerBytes().isEmpty());
        }
        // Only the right's own character counts: a cashier lacking the next one still may.
        KeyRig granted(rightsWithout({CashierRight(static_cast<int>(c.right) + 1)}));
        granted.ring(c.lines);
        EXPECT_TRUE(granted.press(c.key));
        EXPECT_TRUE(granted.view.help.isEmpty());
        if (c.granted) {
            EXPECT_EQ(granted.view.calls, QStringList{QString::fromLatin1(c.granted)});
        }
        EXPECT_EQ(granted.till.sale.lineCount(), c.linesAfter);
        // The drawer key opens the drawer even when the drawer is not used at settlement.
        EXPECT_EQ(granted.till.drawerBytes().isEmpty(), c.key != Qt::Key_End);
    }
}

TEST(SalesKeys, LineKeysChangeTheSale)
{
    KeyRig rig;
    // Insert starts the slip again without a new number.
    rig.ring(3);
    const QString number = rig.till.committer->numbers().number();
    rig.press(Qt::Key_Insert);
    EXPECT_TRUE(rig.till.sale.isEmpty());
    EXPECT_EQ(rig.till.committer->numbers().number(), number);
    EXPECT_EQ(rig.till.sale.labels().total, QStringLiteral("0.00"));

    // Up from the first line goes to the last, Down from the last to the first.
    rig.ring(3);
    rig.till.sale.setCurrent(0);
    rig.press(Qt::Key_Up);
    EXPECT_EQ(rig.till.sale.current(), 2);
    rig.press(Qt::Key_Down);
    EXPECT_EQ(rig.till.sale.current(), 0);

    // Delete takes the current line and the totals follow.
    rig.press(Qt::Key_Delete);
    EXPECT_EQ(rig.till.sale.lineCount(), 2);
    EXPECT_EQ(rig.till.sale.labels().total, QStringLiteral("200.00"));
}

TEST(SalesKeys, SystemLinesOnDelete)
{
    KeyRig rig;
    rig.ring(1);
    rig.till.sale.appendLine(SaleLine::cashOff(Money::fromUnits(10)));
    rig.till.sale.setCurrent(1);
    rig.press(Qt::Key_Delete);
    EXPECT_EQ(rig.view.help, SalesKeys::CashOffLineText);
    EXPECT_EQ(rig.till.sale.lineCount(), 2);

    // The redemption line goes, and with it its voucher in the saving total.
    KeyRig redeemed;
    redeemed.ring(1);
    redeemed.till.sale.setRedemption(20.0);
    redeemed.till.sale.refreshTotals();
    ASSERT_EQ(redeemed.till.sale.redeemAmount(), 20.0);
    redeemed.press(Qt::Key_Delete);
    EXPECT_EQ(redeemed.till.sale.lineCount(), 1);
    EXPECT_EQ(redeemed.till.sale.redeemAmount(), 0.0);
    EXPECT_EQ(redeemed.till.sale.labels().saving, QStringLiteral("0"));
}

TEST(SalesKeys, ScreenKeys)
{
    KeyRig rig;
    rig.press(Qt::Key_F6);
    EXPECT_TRUE(rig.keys.printSwitch());
    EXPECT_EQ(rig.view.help, QStringLiteral("打印开关已开!"));
    rig.press(Qt::Key_F6);
    EXPECT_EQ(rig.view.help, QStringLiteral("打印开关已关!"));

    rig.view.calls.clear();
    rig.press(Qt::Key_ScrollLock);
    rig.press(Qt::Key_ScrollLock);
    rig.press(Qt::Key_F1);
    EXPECT_TRUE(rig.press(Qt::Key_Space));
    EXPECT_TRUE(rig.press(Qt::Key_Return));
    EXPECT_EQ(rig.view.calls, (QStringList{"black", "colour", "help on", "clear command", "execute"}));

    // Keys of screens still to come, and any other key with Shift, do nothing.
    rig.view.calls.clear();
    for (int key : {Qt::Key_F3, Qt::Key_F4, Qt::Key_F5, Qt::Key_F8, Qt::Key_F9, Qt::Key_F11, Qt::Key_PageUp,
                    Qt::Key_PageDown, Qt::Key_Pause})
        EXPECT_FALSE(rig.press(key)) << key;
    EXPECT_FALSE(rig.press(Qt::Key_F6, Qt::ShiftModifier));
    EXPECT_FALSE(rig.press(Qt::Key_Plus, Qt::KeypadModifier));
    EXPECT_TRUE(rig.view.calls.isEmpty());
    EXPECT_FALSE(rig.keys.printSwitch());
    EXPECT_EQ(rig.idleResets, 18);

    // Ctrl keys: a registered one is used up; the calculator opens and its key goes on.
    rig.press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(rig.view.calls, QStringList{"date"});
    EXPECT_FALSE(rig.press(Qt::Key_H, Qt::ControlModifier));
    EXPECT_EQ(rig.calculator.opens(), 1);
    EXPECT_FALSE(rig.press(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(rig.view.calls.size(), 1);
}

TEST(SalesKeys, AfterASettledSaleTheNextKeyOnlyStartsTheNextSlip)
{
    KeyRig rig;
    rig.ring(1);
    rig.till.prompt.typing = {{SettlementField::Cash, QStringLiteral("100")}};
    ASSERT_EQ(rig.till.committer->bsBtn01Click(), SlipCommitter::Outcome::Committed);
    const QString paid = rig.till.committer->numbers().number();

    EXPECT_TRUE(rig.press(Qt::Key_Return));
    EXPECT_EQ(rig.view.calls, QStringList{"hide summary"});
    EXPECT_TRUE(rig.till.sale.isEmpty());
    EXPECT_EQ(rig.till.committer->numbers().counter(), SlipNumbers::FirstCounter + 1);
    EXPECT_NE(rig.till.committer->numbers().number(), paid);

    // While a slip is being sent every key is dropped.
    rig.view.calls.clear();
    rig.commandLine.setInputLocked(true);
    EXPECT_TRUE(rig.press(Qt::Key_D, Qt::ControlModifier));
    EXPECT_TRUE(rig.view.calls.isEmpty());
}

} // namespace
