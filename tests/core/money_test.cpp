#include "core/money.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using vorel::Money;

namespace {

constexpr qint64 MaxRaw = std::numeric_limits<qint64>::max();
constexpr qint64 MinRaw = std::numeric_limits<qint64>::min();

Money money(const char *text)
{
    return Money::parse(QString::fromUtf8(text)).value();
}

std::string str(const QString &text)
{
    return text.toStdString();
}

// ---------------------------------------------------------------- convertmon

struct RoundCase {
    const char *value;
    int mode;
    int decimals;
    const char *expected;
};

const RoundCase kRoundCases[] = {
    // Half up: the boundaries that a binary double gets wrong.
    {"2.675", 1, 2, "2.68"}, {"1.005", 1, 2, "1.01"}, {"0.0049", 1, 2, "0"},
    {"0.125", 1, 1, "0.1"}, {"0.15", 1, 1, "0.2"}, {"12.5", 1, 0, "13"},
    {"12.4999", 1, 0, "12"},
    // Up: any remainder goes away from zero.
    {"1.0001", 2, 2, "1.01"}, {"0.125", 2, 1, "0.2"}, {"0.005", 2, 0, "1"},
    // Cut: any remainder is dropped.
    {"2.6799", 3, 2, "2.67"}, {"0.19", 3, 1, "0.1"}, {"12.9999", 3, 0, "12"},
    // Exact values stay as they are.
    {"12.34", 2, 2, "12.34"}, {"12", 2, 0, "12"},
    // Unknown modes round half up; places are held to 0..2.
    {"2.675", 0, 2, "2.68"}, {"2.674", 7, 2, "2.67"}, {"2.6751", 3, 4, "2.67"},
    {"2.6751", 2, 9, "2.68"}, {"2.5", 1, -1, "3"},
    // Large amounts.
    {"99999999999.995", 1, 2, "100000000000"}, {"99999999999.991", 2, 2, "100000000000"},
    {"99999999999.9949", 1, 2, "99999999999.99"},
};

// Negative amounts mirror positive ones in every mode.
TEST(MoneyConvertmon, RoundsByModeAndPlaces)
{
    for (const RoundCase &c : kRoundCases) {
        SCOPED_TRACE(std::string(c.value) + " mode " + std::to_string(c.mode) + " places "
                     + std::to_string(c.decimals));
        EXPECT_EQ(vorel::convertmon(money(c.value), c.mode, c.decimals).raw(), money(c.expected).raw());
        EXPECT_EQ(vorel::convertmon(-money(c.value), c.mode, c.decimals).raw(), -money(c.expected).raw());
    }
}

// ---------------------------------------------------------------- doubles and text in

TEST(MoneyFromDouble, TakesTheDecimalTheDoubleStandsFor)
{
    struct Case {
        double value;
        qint64 raw;
    };
    const Case cases[] = {
        {0.1 + 0.2, 3000}, {1.005, 10050}, {0.00005, 1}, {-0.00005, -1},
        {0.00004999, 0}, {0.01245, 125}, {-0.0, 0}, {9e14, 9000000000000000000},
        {9.3e14, MaxRaw}, {-1e20, MinRaw}, {std::numeric_limits<double>::infinity(), MaxRaw},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(Money::fromDouble(c.value).raw(), c.raw);
    }
}

TEST(MoneyFromDouble, EveryFourPlaceDecimalSurvivesTheRoundTrip)
{
    for (qint64 raw = -200000; raw <= 2000000; raw += 7) {
        const double asDouble = double(raw) / Money::Scale;
        ASSERT_EQ(Money::fromDouble(asDouble).raw(), raw) << asDouble;
        ASSERT_EQ(Money::fromRaw(raw).toDouble(), asDouble);
    }
}

TEST(MoneyParse, ReadsDecimalText)
{
    struct Case {
        const char *text;
        std::optional<qint64> raw;
    };
    const Case cases[] = {
        {"  12.50", 125000}, {"-.5", -5000}, {"+7", 70000}, {"12.", 120000},
        {"\t42\n", 420000}, {"-0.00005", -1}, {"0.000049999", 0}, {"1.234549", 12345},
        {"922337203685477.5807", MaxRaw}, {"-922337203685477.5808", MinRaw},
        {"922337203685477.58065", MaxRaw}, {"922337203685477.58075", std::nullopt},
        {"99999999999999999999999", std::nullopt}, {"1.2.3", std::nullopt}, {"   ", std::nullopt},
        {"-.", std::nullopt}, {"1 2", std::nullopt}, {"1,5", std::nullopt},
        {"1e3", std::nullopt}, {"--1", std::nullopt}, {"12元", std::nullopt}, {"１２", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<Money> parsed = Money::parse(QString::fromUtf8(c.text));
        ASSERT_EQ(parsed.has_value(), c.raw.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->raw(), *c.raw);
        }
    }
}

// ---------------------------------------------------------------- arithmetic

TEST(MoneyArithmetic, ProductsRoundHalfAwayFromZero)
{
    struct Case {
        const char *a;
        const char *b;
        const char *expected;
    };
    const Case cases[] = {
        {"59.9", "0.85", "50.915"}, {"1.0005", "0.5", "0.5003"}, {"-1.0005", "0.5", "-0.5003"},
        {"-1.0005", "-0.5", "0.5003"}, {"0.0001", "0.4999", "0"},
        {"-100000000000.5", "99.9999", "-9999990000050"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " x " + c.b);
        EXPECT_EQ((money(c.a) * money(c.b)).raw(), money(c.expected).raw());
        EXPECT_EQ((money(c.b) * money(c.a)).raw(), money(c.expected).raw());
    }
}

// Whole divisors also go through the division by a count, which must agree.
TEST(MoneyArithmetic, QuotientsRoundHalfAwayFromZero)
{
    struct Case {
        const char *a;
        const char *b;
        std::optional<const char *> expected;
    };
    const Case cases[] = {
        {"10", "3", "3.3333"}, {"20", "-3", "-6.6667"}, {"-20", "-3", "6.6667"},
        {"1", "0.0003", "3333.3333"}, {"-0.0001", "2", "-0.0001"}, {"0.0001", "3", "0"},
        {"100000000000", "0.01", "10000000000000"}, {"0", "0", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        const std::optional<Money> q = money(c.a).dividedBy(money(c.b));
        ASSERT_EQ(q.has_value(), c.expected.has_value());
        if (q) {
            EXPECT_EQ(q->raw(), money(*c.expected).raw());
        }
        if (!QByteArray(c.b).contains('.')) {
            const std::optional<Money> byCount = money(c.a).dividedBy(qint64(QByteArray(c.b).toLongLong()));
            EXPECT_EQ(byCount.has_value(), q.has_value());
            if (byCount && q) {
                EXPECT_EQ(byCount->raw(), q->raw());
            }
        }
    }
}

// ---------------------------------------------------------------- text out

TEST(MoneyText, ToStringRoundsToThePlacesAsked)
{
    struct Case {
        Money value;
        int decimals;
        const char *expected;
    };
    const Case cases[] = {
        {money("-2.675"), 2, "-2.68"}, {money("-0.004"), 2, "0.00"}, {money("-0.5"), 0, "-1"},
        {money("1"), 2, "1.00"}, {money("12.3456"), 6, "12.3456"}, {money("12.3456"), -2, "12"},
        {Money::fromRaw(MaxRaw), 2, "922337203685477.58"},
        {Money::fromRaw(MinRaw), 4, "-922337203685477.5808"},
        {Money::fromRaw(MinRaw), 0, "-922337203685478"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value.raw());
        EXPECT_EQ(str(c.value.toString(c.decimals)), c.expected);
    }
}

TEST(MoneyText, PlainStringDropsTrailingZeros)
{
    const std::pair<const char *, const char *> cases[] = {
        {"12.50", "12.5"}, {"-0.25", "-0.25"}, {"-0", "0"}, {"0.0001", "0.0001"}, {"100", "100"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(str(money(in).toPlainString()), out) << in;
}

TEST(MoneyFormatPattern, RightAlignsAndRounds)
{
    struct Case {
        const char *pattern;
        const char *value;
        const char *expected;
    };
    const Case cases[] = {
        {"%18.0F", "12.5", "                13"}, {"%10.2F", "-0.004", "      0.00"},
        {"%10.2F", "-1234567.891", "-1234567.89"}, {"%19.2F", "-1234.5", "           -1234.50"},
        {"%.0F", "-2.5", "-3"}, {"%5.2F", "123456.789", "123456.79"}, {"%F", "1.5", "1.50"},
        {"%8F", "1.5", "    1.50"}, {"%10.2f", "3", "      3.00"}, {"%-8.1F", "2.25", "2.3     "},
        {"%.6F", "1.23456", "1.234600"},
        // What cannot be read shows the plain value.
        {"%10.2D", "12.50", "12.5"}, {"%10.2Fx", "12.50", "12.5"}, {" %10.2F", "12.50", "12.5"},
        {"%1000F", "12.50", "12.5"}, {"%10.F", "12.50", "12.5"}, {"", "-3", "-3"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " " + c.value);
        EXPECT_EQ(str(vorel::formatPattern(QString::fromLatin1(c.pattern), money(c.value))),
                  c.expected);
    }
}

TEST(MoneyFormatDisplay, FollowsTheDisplayFormat)
{
    struct Case {
        const char *format;
        const char *value;
        const char *expected;
    };
    const Case cases[] = {
        {"0", "-2.5", "-3"}, {"0", "-0.4", "0"}, {"0.0", "-0.04", "0.0"}, {"0.0", "7", "7.0"},
        {"0.00", "0.005", "0.01"}, {"0.##", "2", "2"}, {"0.##", "2.675", "2.68"},
        {"0.##", "2.999", "3"}, {"0.##", "-0.001", "0"}, {"0.0#", "1", "1.0"},
        {"0.0#", "1.25", "1.25"}, {"#,##0.00", "-1234.5", "-1,234.50"}, {"#,##0.00", "0.5", "0.50"},
        {"#,##0", "999.5", "1,000"}, {"#.##", "0.5", ".5"}, {"#.##", "0", ""},
        {"00.0", "5", "05.0"}, {"0.000000", "1.5", "1.500000"},
        // Formats this till does not use show the plain value.
        {"0.00元", "2.5", "2.5"}, {"0.00;(0.00)", "2.5", "2.5"}, {"0.0,0", "2.5", "2.5"},
        {"", "2.50", "2.5"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + c.value);
        EXPECT_EQ(str(vorel::formatDisplay(QString::fromUtf8(c.format), money(c.value))), c.expected);
    }
}

} // namespace
