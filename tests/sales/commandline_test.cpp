// The command line's interpreter: the order of its checks, each prefix with its refusals and
// rights, the finish step, Enter on an empty line, the help texts and the character filter.

#include <gtest/gtest.h>

#include "commandlinetestutil.h"

#include "fakeshopservice.h"

namespace vorel {
namespace {

using test::CommandRig;

// The current line as "SL|SJ|SMONEY|NOTE".
QString lineState(const Sale &sale)
{
    const SaleLine *l = sale.currentLine();
    if (!l)
        return QStringLiteral("-");
    return QStringLiteral("%1|%2|%3|%4")
        .arg(l->sl())
        .arg(Money::fromDouble(l->sj()).toPlainString(), Money::fromDouble(l->smoney()).toPlainString(), l->note());
}

const char *const Untouched = "1|100|100|";

class CommandLineTest : public ::testing::Test {
protected:
    CommandLineTest()
    {
        ResultSet salesperson({{QStringLiteral("YW_ID"), FieldType::Text}});
        salesperson.appendRow({QStringLiteral("01")});
        shop.onOpen(QStringLiteral("(yw_id='01')"), salesperson);
        shop.onOpen(QStringLiteral("FROM D1101"), ResultSet({{QStringLiteral("YW_ID"), FieldType::Text}}));
        shop.onOpen(QStringLiteral("6920880010118"), test::lookup({}));
    }

    FakeShopService shop;
    CommandRig rig{shop};
};

struct Case {
    const char *typed;
    const char *help;    // the help label afterwards
    bool cleared;        // the edit is emptied; otherwise the text stays
    const char *line;    // the current line afterwards, "SL|SJ|SMONEY|NOTE"
    const char *member;  // the member command handed over, "" none
    int withoutRight = 0;
    bool offline = false;
    bool discountOff = false;
    bool emptySale = false;
    int g = 0; // the group of the sale's line
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << '"' << c.typed << "\" without right " << c.withoutRight << (c.offline ? " offline" : "")
        << (c.discountOff ? " no discount" : "") << (c.emptySale ? " empty sale" : "") << " G " << c.g;
}

const char *const NoRight = "您无权使用该功能!";

class CommandTable : public CommandLineTest, public ::testing::WithParamInterface<Case> {};

TEST_P(CommandTable, DispatchesChecksAndFinishes)
{
    const Case &c = GetParam();
    if (!c.emptySale)
        rig.sale.appendLine(test::itemLine(100, 1, c.g));
    rig.session.terminal.rights = CashierRights(test::rightsWithout(c.withoutRight));
    rig.connection.setOffline(c.offline);
    if (c.discountOff)
        rig.session.company.params = CompanyParams(QStringLiteral("1,1,1,1,1,0"));
    const std::optional<QString> after = rig.cmd.ExecuteCommand(QString::fromUtf8(c.typed));

    EXPECT_EQ(rig.cmd.helpText(), QString::fromUtf8(c.help));
    EXPECT_EQ(after.has_value(), c.cleared);
    if (c.cleared) {
        EXPECT_EQ(*after, QString());
    }
    EXPECT_EQ(lineState(rig.sale), QString::fromUtf8(c.emptySale ? "-" : c.line));
    EXPECT_EQ(rig.members.calls.join(u','), QString::fromUtf8(c.member));
    EXPECT_EQ(rig.settlement.sales, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Prefixes, CommandTable,
    ::testing::Values(
        // Each prefix doing its work.
        Case{"//gift wrap", "", true, "1|100|100|gift wrap", ""},
        Case{"--", "", true, Untouched, "redeem"},
        Case{"..80", "", true, "1|80|80|", ""},
        Case{".80", "", true, "1|80|80|", ""},
        Case{"++150", "", true, "1|150|150|", ""},
        Case{"**50", "", true, Untouched, "topUp:50"},
        Case{"*+", "", true, Untouched, "newCard"},
        Case{"*88000001", "", true, Untouched, "choose:88000001"},
        Case{"*", "", true, Untouched, "choose:"},
        Case{"/01", "", true, Untouched, ""},
        Case{"+3", "", true, "3|100|300|", ""},
        Case{"+-1", "", true, "-1|100|-100|", ""},
        // Refusals: the message shows, the text and the sale stay.
        Case{"..80", "系统设定不可使用打折功能!", false, Untouched, "", 0, false, true},
        Case{"..80", NoRight, false, Untouched, "", 6},
        Case{"++5", NoRight, false, Untouched, "", 12},
        Case{"+2", NoRight, false, Untouched, "", 12},
        Case{"+-2", "您无权使用【退货】功能!", false, Untouched, "", 16},
        Case{"+0", "数量必须 小于-1 且大于 1", false, Untouched, ""},
        Case{"--", "离线状态不可使用【积分换购】功能", false, Untouched, "", 0, true},
        Case{"*+", "您没有权限使用该功能或是离线状态也不可使用!", false, Untouched, "", 0, true},
        Case{"/03", "该营业员号无效", false, Untouched, ""},
        Case{"it'em", "不能带有单引号!", false, Untouched, ""},
        // Rights that are not the command's own leave it alone.
        Case{"..80", "", true, "1|80|80|", "", 12},
        Case{"+2", "", true, "2|100|200|", "", 16},
        // A value that is not a number: nothing at all.
        Case{"++abc", "", false, Untouched, ""},
        Case{".x", "", false, Untouched, ""},
        Case{"+", "", false, Untouched, ""},
        Case{"**", "", false, Untouched, ""},
        // Commands on the current line do nothing on an empty sale; the others still run.
        Case{"//x", "", false, "", "", 0, false, false, true},
        Case{"..80", "", false, "", "", 0, false, false, true},
        Case{"++5", "", false, "", "", 0, false, false, true},
        Case{".8", "", false, "", "", 0, false, false, true},
        Case{"**50", "", true, "", "topUp:50", 0, false, false, true},
        // A special price (G -1) takes no discount but a new quantity; G 20 and above takes
        // neither. The command is done all the same: the text goes.
        Case{.typed = ".80", .help = "", .cleared = true, .line = Untouched, .member = "", .g = -1},
        Case{.typed = "+2", .help = "", .cleared = true, .line = "2|100|200|", .member = "", .g = -1},
        Case{.typed = "+2", .help = "", .cleared = true, .line = Untouched, .member = "", .g = 20}));

TEST_F(CommandLineTest, FinishStepRecomputesPromotionsAndShowsTheTotal)
{
    // Group 1 from 200 at 0.9 on the charged amount: two pieces at 120 reach it.
    rig.sale.appendLine(test::groupLine(1, 120, 0, 200, 0.9));
    ASSERT_EQ(rig.cmd.ExecuteCommand(QStringLiteral("+2")), QString());
    ASSERT_EQ(rig.sale.lineCount(), 2);
    EXPECT_EQ(rig.sale.line(1).wlId(), SaleLine::CashOffId);
    EXPECT_DOUBLE_EQ(rig.sale.line(1).smoney(), -24);
    EXPECT_EQ(rig.display.lastValue(), QStringLiteral("216.00"));
}

TEST_F(CommandLineTest, ItemCodeAppendsALineUnlessOffDuty)
{
    rig.cmd.TMCOLORChange(QStringLiteral("6920880010118"));
    EXPECT_EQ(rig.cmd.ExecuteCommand(QStringLiteral("6920880010118")), QString());
    ASSERT_EQ(rig.sale.lineCount(), 1);
    EXPECT_EQ(rig.sale.currentLine()->tm(), QStringLiteral("6900000000017"));
    EXPECT_EQ(rig.cmd.commandText(), QString());

    // Blanks only: no lookup at all.
    shop.clearCalls();
    EXPECT_EQ(rig.cmd.ExecuteCommand(QStringLiteral("   ")), std::nullopt);
    EXPECT_TRUE(shop.calls().isEmpty());

    // A till with shifts sells only for the cashier on duty.
    rig.session.terminal.shiftEnabled = true;
    EXPECT_EQ(rig.cmd.ExecuteCommand(QStringLiteral("6920880010118")), std::nullopt);
    EXPECT_EQ(rig.cmd.helpText(), QStringLiteral("不是当班用户不可进行收银功能"));
    EXPECT_TRUE(shop.calls().isEmpty());
    rig.session.terminal.onDuty = true;
    EXPECT_EQ(rig.cmd.ExecuteCommand(QStringLiteral("6920880010118")), QString());
    EXPECT_EQ(rig.sale.lineCount(), 2);
}

TEST_F(CommandLineTest, EnterOnAnEmptyLineSettlesOnlyASaleWithLines)
{
    EXPECT_EQ(rig.cmd.ExecuteCommand(QString()), std::nullopt);
    EXPECT_EQ(rig.settlement.sales, 0);
    EXPECT_TRUE(shop.calls().isEmpty());

    rig.sale.appendLine(test::itemLine(100));
    EXPECT_EQ(rig.cmd.ExecuteCommand(QString()), std::nullopt);
    EXPECT_EQ(rig.settlement.sales, 1);
    EXPECT_EQ(rig.settlement.topUps, 0);
    // Blanks are not an empty line.
    EXPECT_EQ(rig.cmd.ExecuteCommand(QStringLiteral(" ")), std::nullopt);
    EXPECT_EQ(rig.settlement.sales, 1);
}

TEST_F(CommandLineTest, LockedInputIgnoresEnterAndEveryCharacter)
{
    rig.sale.appendLine(test::itemLine(100));
    rig.cmd.setInputLocked(true);
    EXPECT_EQ(rig.cmd.ExecuteCommand(QString()), std::nullopt);
    EXPECT_EQ(rig.cmd.ExecuteCommand(QStringLiteral("+3")), std::nullopt);
    EXPECT_EQ(rig.settlement.sales, 0);
    EXPECT_EQ(lineState(rig.sale), QString::fromUtf8(Untouched));

    struct Key {
        QChar ch;
        bool unlocked, locked;
    } keys[] = {{u'7', true, false}, {u'+', true, false}, {u'A', true, false}, {u' ', false, false},
                {u'\'', false, false}, {QChar(10), false, false}};
    for (const Key &k : keys) {
        rig.cmd.setInputLocked(false);
        EXPECT_EQ(rig.cmd.TMCOLORKeyPress(k.ch), k.unlocked) << int(k.ch.unicode());
        rig.cmd.setInputLocked(true);
        EXPECT_EQ(rig.cmd.TMCOLORKeyPress(k.ch), k.locked) << int(k.ch.unicode());
    }
}

TEST_F(CommandLineTest, MemberCommandOutcomes)
{
    rig.members.reply = CommandResult::refused(QStringLiteral("该会员卡号无效"));
    EXPECT_EQ(rig.cmd.ExecuteCommand(QStringLiteral("*123")), std::nullopt);
    EXPECT_EQ(rig.cmd.helpText(), QStringLiteral("该会员卡号无效"));

    // A message of a command that went through shows after the text was cleared, and the
    // new-card editor leaves its text in the edit.
    rig.members.reply = {QStringLiteral("会员已选择"), true, QStringLiteral("*88000009")};
    rig.cmd.TMCOLORChange(QStringLiteral("*+"));
    EXPECT_EQ(rig.cmd.ExecuteCommand(QStringLiteral("*+")), QStringLiteral("*88000009"));
    EXPECT_EQ(rig.cmd.helpText(), QStringLiteral("会员已选择"));
    EXPECT_EQ(rig.cmd.commandText(), QStringLiteral("*88000009"));

    rig.members.reply = CommandResult::nothing();
    EXPECT_EQ(rig.cmd.ExecuteCommand(QStringLiteral("*88000009")), std::nullopt);
    EXPECT_EQ(rig.cmd.helpText(), QString());
}

TEST_F(CommandLineTest, SalespersonIsCheckedAndClearedByASlashAlone)
{
    EXPECT_EQ(rig.cmd.ExecuteCommand(QStringLiteral("/01")), QString());
    EXPECT_EQ(rig.sale.salesperson(), QStringLiteral("01"));
    EXPECT_EQ(rig.cmd.ExecuteCommand(QStringLiteral("/1")), std::nullopt);
    EXPECT_EQ(rig.cmd.helpText(), QStringLiteral("该营业员号无效"));
    EXPECT_EQ(rig.sale.salesperson(), QStringLiteral("01"));
    shop.clearCalls();
    EXPECT_EQ(rig.cmd.ExecuteCommand(QStringLiteral("/")), QString());
    EXPECT_TRUE(shop.calls().isEmpty());
    EXPECT_EQ(rig.sale.salesperson(), QString());
}

TEST_F(CommandLineTest, HelpTextsFollowTheWholeTypedText)
{
    struct Row {
        const char *typed, *help;
    } rows[] = {
        // The texts themselves are a table in the command line; here how the typed text picks one.
        {"++", "金额更改,后面请输入金额"},
        {".", "当前商品打折，后面输入折扣【8折输入->.80】"},
        {"+-", "退货功能,后面请输入退货数量"}, // the hint of a return, which runs as "+"
        {" ++ ", "金额更改,后面请输入金额"},
        {"*+", ""},
        {"+-3", ""},
        {"6920880010118", ""},
        {"", ""},
    };
    int idleResets = 0;
    QObject::connect(&rig.cmd, &CommandLine::idleCounterReset, [&] { ++idleResets; });
    int expectedResets = 0;
    for (const Row &r : rows) {
        rig.cmd.TMCOLORChange(QStringLiteral("x")); // a message of an earlier command
        rig.cmd.TMCOLORChange(QString::fromUtf8(r.typed));
        expectedResets += 2;
        EXPECT_EQ(rig.cmd.helpText(), QString::fromUtf8(r.help)) << r.typed;
    }
    EXPECT_EQ(idleResets, expectedResets);

    // While a stored slip is displayed the first change only leaves that state.
    bool querying = true;
    rig.cmd.setQueryStateHandler([&] { return std::exchange(querying, false); });
    rig.cmd.TMCOLORChange(QStringLiteral("++"));
    EXPECT_EQ(rig.cmd.helpText(), QString());
    rig.cmd.TMCOLORChange(QStringLiteral("+"));
    EXPECT_EQ(rig.cmd.helpText(), QStringLiteral("数量更改，后面输入数量 "));
}

} // namespace
} // namespace vorel
