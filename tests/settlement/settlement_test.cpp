#include "settlement/settlement.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

using namespace vorel;
using F = SettlementField;

namespace {

std::string str(const QString &s)
{
    return s.toStdString();
}

SettlementRequest request(const char *due, int decimals = 2)
{
    SettlementRequest r;
    r.amountDue = QString::fromLatin1(due);
    r.decimals = decimals;
    return r;
}

// A settlement of `due` at two places with every tender offered and these texts typed.
Settlement typed(const char *due, std::initializer_list<std::pair<F, const char *>> tenders,
                 bool changeUnder100 = true)
{
    Settlement s(changeUnder100);
    s.prepare(request(due));
    for (const auto &[field, text] : tenders)
        s.edit(field, QString::fromLatin1(text));
    return s;
}

TEST(Settlement, OpeningFillsTheFieldsAndProposesTheStoredValue)
{
    const struct {
        const char *due, *balance;
        bool offered, online, editable;
        const char *storedValue, *amountDue, *change;
    } cases[] = {
        {"50", "30", true, true, true, "     30.00", "     50.00", "    -20.00"},
        {"50", "80", true, true, true, "     50.00", "     50.00", "      0.00"},
        {"50", "80", true, false, true, "      0.00", "     50.00", "    -50.00"},
        {"50", "80", false, true, true, "      0.00", "     50.00", "    -50.00"},
        {"50", "-5", true, true, true, "      0.00", "     50.00", "    -50.00"},
        {"-20", "80", true, true, true, "      0.00", "    -20.00", "     20.00"},
        {"100.456", "x", true, true, true, "      0.00", "    100.46", "   -100.46"},
        {" 12a", "80", true, true, true, "      0.00", "      0.00", "      0.00"},
        // A points exchange settles nothing.
        {"-20", "0", true, true, false, "      0.00", "      0.00", "      0.00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.due) + " / " + c.balance);
        SettlementRequest r = request(c.due);
        r.balance = QString::fromLatin1(c.balance);
        r.storedValue = c.offered;
        r.online = c.online;
        r.editable = c.editable;
        Settlement s;
        s.prepare(r);
        EXPECT_EQ(str(s.text(F::StoredValue)), c.storedValue);
        EXPECT_EQ(str(s.text(F::AmountDue)), c.amountDue);
        EXPECT_EQ(str(s.text(F::Change)), c.change);
        for (F f : {F::RoundOff, F::Voucher, F::BankCard, F::Cash})
            EXPECT_EQ(str(s.text(f)), "      0.00");
    }

    Settlement noPlaces;
    noPlaces.prepare(request("99.5", 0));
    EXPECT_EQ(str(noPlaces.text(F::AmountDue)), "       100");
    EXPECT_EQ(str(noPlaces.formatAmount(Money::fromDouble(3.5))), "4");
}

TEST(Settlement, LayoutIsRebuiltOnlyWhenItsInputsChange)
{
    Settlement s;
    using R = Settlement::Relayout;
    SettlementRequest r = request("10");
    EXPECT_EQ(s.prepare(r), (R{true, true}));
    r.amountDue = QStringLiteral("20");
    r.balance = QStringLiteral("5");
    r.editable = false;
    r.online = false;
    EXPECT_EQ(s.prepare(r), (R{false, false}));
    r.voucher = false;
    EXPECT_EQ(s.prepare(r), (R{false, true}));
    EXPECT_EQ(s.shownTenders(), (QList<F>{F::RoundOff, F::StoredValue, F::BankCard, F::Cash}));
    r.dark = true;
    EXPECT_EQ(s.prepare(r), (R{true, true}));
    EXPECT_TRUE(s.dark());
}

TEST(Settlement, TypedCharacters)
{
    using V = Settlement::KeyVerdict;
    const struct {
        char ch;
        const char *text;
        int selected;
        bool editable;
        V verdict;
    } cases[] = {
        {'7', "1", 0, true, V::Accept},
        {'.', "1", 0, true, V::Accept},
        {'.', "1.", 0, true, V::Swallow},
        {'.', "0.00", 4, true, V::Swallow}, // the point counts even when selected
        {'-', "", 0, true, V::Swallow},
        {' ', "12.5", 0, true, V::Empty},
        {' ', "12.5", 0, false, V::Swallow},
        {'\b', "1234567890", 0, true, V::Accept},
        {'1', "1234567890", 0, true, V::Swallow},
        {'1', "1234567890", 1, true, V::Accept},
        {'.', "123456789", 0, true, V::Accept},
    };
    Settlement s;
    for (const auto &c : cases) {
        SettlementRequest r = request("10");
        r.editable = c.editable;
        s.prepare(r);
        EXPECT_EQ(s.keyVerdict(QLatin1Char(c.ch), QString::fromLatin1(c.text), c.selected), c.verdict)
            << "'" << c.ch << "' into \"" << c.text << "\"";
    }
    EXPECT_EQ(s.keyVerdict(QChar(0xFF11), QString(), 0), V::Swallow); // full-width digit
}

TEST(Settlement, EnterAcceptsOnlyACompletePayment)
{
    const struct {
        const char *name, *due;
        std::initializer_list<std::pair<F, const char *>> tenders;
        F focused;
        bool changeUnder100, closes;
    } cases[] = {
        {"change 99.50", "100.50", {{F::Cash, "200"}}, F::Cash, true, true},
        {"change 100.00", "200", {{F::Cash, "300"}}, F::Cash, true, false},
        {"change 100.00 without the limit", "200", {{F::Cash, "300"}}, F::Cash, false, true},
        {"exact", "50", {{F::Voucher, "20"}, {F::Cash, "30"}}, F::Cash, true, true},
        {"short", "50", {{F::Cash, "49.99"}}, F::Cash, true, false},
        {"short by a fraction the display hides", "50", {{F::Cash, "49.999"}}, F::Cash, true, false},
        {"focused field empty", "50", {{F::Voucher, "60"}, {F::Cash, ""}}, F::Cash, true, false},
        {"focused field negative", "50", {{F::Voucher, "90"}, {F::Cash, "-40"}}, F::Cash, true, false},
        {"rounding-off above the amount due", "50", {{F::RoundOff, "60"}}, F::RoundOff, true, false},
        {"rounding-off within the amount due", "50.3", {{F::RoundOff, "0.3"}, {F::Cash, "50"}}, F::RoundOff, true, true},
        {"nothing due", "0", {{F::Cash, ""}}, F::Cash, true, true},
        {"a return", "-30", {{F::Cash, "-5"}}, F::Cash, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Settlement s = typed(c.due, c.tenders, c.changeUnder100);
        EXPECT_EQ(s.accept(c.focused), c.closes);
    }
}

TEST(Settlement, LeavingATenderRewritesItOrKeepsTheFocus)
{
    const struct {
        F tender;
        const char *typed;
        bool mayLeave;
        const char *after;
    } cases[] = {
        {F::Cash, "1.5", true, "1.50"},
        {F::Cash, "", true, "0.00"},
        {F::Voucher, "0012.345", true, "12.35"},
        {F::Cash, "-1", false, "-1"},
        {F::RoundOff, "40.01", false, "40.01"},
        {F::RoundOff, "40", true, "40.00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        Settlement s = typed("40", {{c.tender, c.typed}});
        EXPECT_EQ(s.mayLeave(c.tender), c.mayLeave);
        if (c.mayLeave)
            s.leave(c.tender);
        EXPECT_EQ(str(s.text(c.tender)), c.after);
    }
}

TEST(Settlement, KeypadStarPaysTheRest)
{
    const struct {
        const char *name, *due;
        std::initializer_list<std::pair<F, const char *>> tenders;
        F focused;
        bool closes;
        const char *focusedText, *change;
    } cases[] = {
        {"on the bank card", "88.8", {{F::Cash, "50"}}, F::BankCard, true, "38.80", "      0.00"},
        {"nothing due", "0", {{F::Cash, "5"}}, F::Cash, true, "0", "      0.00"},
        {"a return", "-30", {{F::Cash, "5"}}, F::Cash, true, "0", "     30.00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Settlement s = typed(c.due, c.tenders);
        EXPECT_EQ(s.payRest(c.focused), c.closes);
        EXPECT_EQ(str(s.text(c.focused)), c.focusedText);
        EXPECT_EQ(str(s.text(F::Change)), c.change);
    }
}

} // namespace
