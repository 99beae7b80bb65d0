#include "core/session.h"

#include <gtest/gtest.h>

namespace vorel {
namespace {

// A full parameter list of "1"s with one entry replaced.
QString paramsWith(int index, const QString &value, int count = CompanyParams::MinEntries)
{
    QStringList entries(count, QStringLiteral("1"));
    entries[index] = value;
    return entries.join(QLatin1Char(','));
}

// ---- CompanyParams -------------------------------------------------------------------------

struct ListCase {
    const char *name;
    QString text;
    int size;
    QList<std::pair<int, QString>> entries; // index, expected text
};

class CompanyParamsList : public testing::TestWithParam<ListCase> {};

TEST_P(CompanyParamsList, SplitsTrimsAndPads)
{
    const ListCase &c = GetParam();
    const CompanyParams p(c.text);
    EXPECT_EQ(p.size(), c.size);
    for (const auto &[index, expected] : c.entries)
        EXPECT_EQ(p.entry(index), expected) << "entry " << index;
}

INSTANTIATE_TEST_SUITE_P(
    , CompanyParamsList,
    testing::Values(
        ListCase{"Empty", QString(), 30, {{0, "1"}, {29, "1"}}},
        ListCase{"Short", QStringLiteral("0,2,x"), 30, {{0, "0"}, {1, "2"}, {2, "x"}, {3, "1"}, {29, "1"}}},
        ListCase{"BlanksAroundEntries", QStringLiteral(" 0 ,\t5,  x y "), 30,
                 {{0, "0"}, {1, "5"}, {2, "x y"}}},
        ListCase{"BlankEntryReadsAsDefault", QStringLiteral("0,,  ,0"), 30,
                 {{0, "0"}, {1, "1"}, {2, "1"}, {3, "0"}}},
        ListCase{"TrailingComma", QStringLiteral("0,0,"), 30, {{1, "0"}, {2, "1"}}},
        ListCase{"MoreThanThirtyKept", paramsWith(33, QStringLiteral("7"), 35), 35,
                 {{33, "7"}, {34, "1"}, {35, "1"}}},
        ListCase{"OutOfRangeReadsDefault", QStringLiteral("0"), 30, {{-1, "1"}, {30, "1"}, {1000, "1"}}}),
    [](const testing::TestParamInfo<ListCase> &info) { return std::string(info.param.name); });

// Which switch reads which entry, and that only the text "0" turns a switch off.
struct SwitchCase {
    const char *name;
    int entry;
    bool (CompanyParams::*read)() const;
};

class CompanyParamsSwitch : public testing::TestWithParam<SwitchCase> {};

TEST_P(CompanyParamsSwitch, OnlyZeroClears)
{
    const SwitchCase &c = GetParam();
    const struct {
        QString value;
        bool expected;
    } values[] = {{"0", false}, {" 0 ", false}, {"1", true}, {"00", true}, {"", true}};
    for (const auto &v : values) {
        const CompanyParams p(paramsWith(c.entry, v.value));
        EXPECT_EQ((p.*c.read)(), v.expected) << "value '" << v.value.toStdString() << "'";
    }
    // No other entry moves the switch.
    for (int other = 0; other < CompanyParams::MinEntries; ++other) {
        if (other != c.entry) {
            EXPECT_TRUE((CompanyParams(paramsWith(other, "0")).*c.read)()) << "entry " << other;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    , CompanyParamsSwitch,
    testing::Values(SwitchCase{"OfflineAllowed", 7, &CompanyParams::offlineAllowed},
                    SwitchCase{"DiscountColumn", 5, &CompanyParams::showDiscountColumn},
                    SwitchCase{"SalesSwitch6", 6, &CompanyParams::salesScreenSwitch6},
                    SwitchCase{"SalesSwitch8", 8, &CompanyParams::salesScreenSwitch8},
                    SwitchCase{"CheckDate", 20, &CompanyParams::checkDate}),
    [](const testing::TestParamInfo<SwitchCase> &info) { return std::string(info.param.name); });

TEST(CompanyParams, NumericEntries)
{
    const struct {
        QString value;
        int vipf;     // entry 21
        int gparam29; // entry 29
    } cases[] = {
        {"0", 0, 0},   {"1", 1, 0},     {"2", 2, 4},    {"4", 4, 4},   {"5", 5, 5},
        {"x", 1, 4},    {" 7 ", 7, 7},  {"-3", -3, 4}, {"3.5", 1, 4},
        {"00", 0, 4},  {"", 1, 0},      {"99999999999", 1, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("value '" + c.value.toStdString() + "'");
        EXPECT_EQ(CompanyParams(paramsWith(21, c.value)).vipf(), c.vipf);
        EXPECT_EQ(CompanyParams(paramsWith(29, c.value)).gparam29(), c.gparam29);
    }
    // Missing entries read "1".
    EXPECT_EQ(CompanyParams(QStringLiteral("0,0")).vipf(), 1);
    EXPECT_EQ(CompanyParams(QStringLiteral("0,0")).gparam29(), 0);
}

// ---- CashierRights -------------------------------------------------------------------------

// A right is its own character of the rights text: only a "1" there grants it.
TEST(CashierRights, EachRightIsItsOwnCharacter)
{
    const CashierRights r(QStringLiteral("00000000000000010"));
    EXPECT_TRUE(r.has(CashierRight::Returns));
    EXPECT_FALSE(r.has(CashierRight::Synchronise));
    EXPECT_FALSE(r.has(CashierRight::RepairLocalStore));
    EXPECT_FALSE(r.has(CashierRight::UseTill));
    // A text too short grants nothing past its end; a character other than "1" grants nothing.
    EXPECT_FALSE(CashierRights(QStringLiteral("1")).has(CashierRight::DrawerAndLines));
    EXPECT_FALSE(CashierRights(QStringLiteral("1x")).has(CashierRight::DrawerAndLines));
    EXPECT_FALSE(CashierRights(QStringLiteral(" 1")).has(CashierRight::UseTill));
}

// ---- Session -------------------------------------------------------------------------------

// A logout drops the cashier and the rights but keeps the terminal; the next login's shop
// parameters and rights replace everything of the first.
TEST(Session, StartLogoutThenNextCashier)
{
    Session s;
    s.identity.userId = QStringLiteral("02");
    s.identity.pwdMd5 = QStringLiteral("c4ca4238a0b923820dcc509a6f75849b");
    SessionStart start;
    start.terminalId = QStringLiteral("003");
    start.loginGuid = QStringLiteral("{first}");
    QStringList params(30, QStringLiteral("1"));
    params[7] = params[20] = QStringLiteral("0");
    params[10] = QStringLiteral("3");
    params[21] = QStringLiteral("10");
    params[29] = QStringLiteral("8");
    start.companyParams = params.join(QLatin1Char(','));
    start.rights = QStringLiteral("10100000000000011");
    s.startSession(start);
    EXPECT_TRUE(s.connection.loginFlag);
    EXPECT_FALSE(s.connection.offlineAllowed || s.company.checkDate);
    EXPECT_EQ(s.company.gparam11, "3");
    EXPECT_EQ(s.company.vipf, 10);
    EXPECT_EQ(s.company.gparam29, 8);
    EXPECT_TRUE(s.terminal.rights.has(CashierRight::RepairLocalStore) && !s.terminal.rights.has(CashierRight::DrawerAndLines));
    EXPECT_EQ(s.identity.userId, "02"); // the login set it; starting keeps it
    s.terminal.onDuty = true;

    s.endSession();
    EXPECT_FALSE(s.connection.loginFlag);
    EXPECT_FALSE(s.terminal.onDuty);
    EXPECT_TRUE(s.terminal.loginGuid.isEmpty());
    EXPECT_TRUE(s.identity.userId.isEmpty());
    EXPECT_TRUE(s.identity.pwdMd5.isEmpty());
    EXPECT_FALSE(s.terminal.rights.has(CashierRight::UseTill) || s.terminal.rights.has(CashierRight::RepairLocalStore));
    EXPECT_EQ(s.terminal.terminalId, "003");

    start.rights = QStringLiteral("11");
    start.companyParams = QStringLiteral("1,1,1,1,1,1,1,1,1,1,x");
    s.startSession(start);
    EXPECT_TRUE(s.terminal.rights.has(CashierRight::DrawerAndLines));
    EXPECT_FALSE(s.terminal.rights.has(CashierRight::Discount) || s.terminal.rights.has(CashierRight::RepairLocalStore));
    EXPECT_TRUE(s.connection.offlineAllowed && s.company.checkDate);
    EXPECT_EQ(s.company.gparam11, "x");
    EXPECT_EQ(s.company.vipf, 1);
    EXPECT_EQ(s.company.gparam29, 0);
}

} // namespace
} // namespace vorel
