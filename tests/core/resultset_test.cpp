#include "core/resultset.h"

#include <gtest/gtest.h>

#include <optional>

using namespace vorel;

namespace {

ResultSet makeSet(const QList<Column> &columns, const QList<QVariantList> &rows)
{
    ResultSet rs(columns);
    for (const QVariantList &row : rows)
        rs.appendRow(row);
    return rs;
}

// Walks the visible rows from the first and collects one column.
QStringList walk(ResultSet &rs, const QString &column = QStringLiteral("spdm"))
{
    QStringList out;
    for (rs.first(); !rs.eof(); rs.next())
        out << rs.field(column).asString();
    return out;
}

// Five goods: code, base price, brand, two small counters and a colour mark.
ResultSet goods()
{
    return makeSet({{"spdm", FieldType::Text},
                    {"abase", FieldType::Decimal},
                    {"pp", FieldType::Text},
                    {"a", FieldType::Integer},
                    {"b", FieldType::Integer},
                    {"c", FieldType::Text}},
                   {
                       {"001", 0.0, "A", 1, 5, "x"},
                       {"002", 2.5, "A", 2, 2, "y"},
                       {"003", 3.0, "B", 1, 2, "x"},
                       {"004", -1.0, "A'B", 3, 3, "z"},
                       {"005", QVariant(), "a", 0, 0, QVariant()},
                   });
}

ResultSet numbered(int rows)
{
    ResultSet rs({{"n", FieldType::Integer}});
    for (int i = 1; i <= rows; ++i)
        rs.appendRow({i});
    return rs;
}

} // namespace

// ---- Filter

struct FilterCase {
    const char *expression;
    QStringList visible;
};

void PrintTo(const FilterCase &c, std::ostream *os)
{
    *os << '"' << c.expression << '"';
}

class ResultSetFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(ResultSetFilter, ShowsExactlyTheMatchingRows)
{
    ResultSet rs = goods();
    ASSERT_TRUE(rs.setFilter(QString::fromUtf8(GetParam().expression)));
    EXPECT_EQ(walk(rs), GetParam().visible);
    EXPECT_EQ(rs.rowCount(), GetParam().visible.size());
    EXPECT_EQ(rs.totalRowCount(), 5);
}

INSTANTIATE_TEST_SUITE_P(
    ResultSet, ResultSetFilter,
    ::testing::Values(
        FilterCase{"abase>0", {"002", "003"}},
        FilterCase{"abase >= 2 and pp='A'", {"002"}},
        FilterCase{"(a=1 or b=2) and c<>'x'", {"002"}},
        FilterCase{"(a=1 OR b=2) AnD c != 'x'", {"002"}},
        // AND binds tighter than OR
        FilterCase{"a=1 or b=2 and c<>'x'", {"001", "002", "003"}},
        FilterCase{"((a = 1))", {"001", "003"}},
        // a null amount reads as 0 against a number, as '' against text
        FilterCase{"abase<=0", {"001", "004", "005"}},
        FilterCase{"abase > -0.5", {"001", "002", "003", "005"}},
        FilterCase{"c=''", {"005"}},
        FilterCase{"abase=2.50", {"002"}},
        // doubled quote inside text; text values compare with case
        FilterCase{"pp='A''B'", {"004"}},
        FilterCase{"PP = 'a'", {"005"}},
        // text against text compares as text, text that reads as a number against a number
        FilterCase{"spdm>'002'", {"003", "004", "005"}},
        FilterCase{"spdm=3", {"003"}},
        FilterCase{"pp=1", {}}));

TEST(ResultSetFilterErrors, BadExpressionIsRefusedAndKeepsTheOldFilter)
{
    const char *bad[] = {
        "abase>", "foo=1", "(a=1", "a=1)", "pp='A", "a==1", "a=1 xor b=2", "a=abc",
        "a=1.2.3", "and a=1", "a=1 b=2", "a=1and b=2", "()", "1=a", "a=--1", "a=1 or",
    };
    for (const char *expression : bad) {
        ResultSet rs = goods();
        ASSERT_TRUE(rs.setFilter(QStringLiteral("pp='A'")));
        rs.next();
        EXPECT_FALSE(rs.setFilter(QString::fromUtf8(expression))) << expression;
        EXPECT_EQ(rs.filter(), QStringLiteral("pp='A'")) << expression;
        EXPECT_EQ(rs.rowCount(), 2) << expression;
        EXPECT_EQ(rs.field("spdm").asString(), QStringLiteral("002")) << expression;
    }
}

TEST(ResultSetFilterErrors, EmptyExpressionClearsTheFilter)
{
    ResultSet rs = goods();
    ASSERT_TRUE(rs.setFilter("a=1"));
    EXPECT_TRUE(rs.filtered());
    EXPECT_TRUE(rs.setFilter("   "));
    EXPECT_FALSE(rs.filtered());
    EXPECT_EQ(rs.rowCount(), 5);
}

TEST(ResultSetFilterValues, AmountsCompareAtFourDecimals)
{
    ResultSet rs = makeSet({{"je", FieldType::Decimal}}, {{0.1 + 0.2}, {0.31}});
    ASSERT_TRUE(rs.setFilter("je=0.3"));
    EXPECT_EQ(rs.rowCount(), 1);
    ASSERT_TRUE(rs.setFilter("je>0.3"));
    EXPECT_EQ(rs.rowCount(), 1);
}

TEST(ResultSetFilterValues, DateTimesCompareAsText)
{
    ResultSet rs = makeSet({{"id", FieldType::Integer}, {"rq", FieldType::DateTime}},
                           {{1, QDateTime(QDate(2026, 2, 28), QTime(23, 59, 59))},
                            {2, QDateTime(QDate(2026, 3, 1), QTime(0, 0, 0))},
                            {3, QStringLiteral("2026-03-02 08:00:00")}});
    ASSERT_TRUE(rs.setFilter("rq >= '2026-03-01'"));
    EXPECT_EQ(walk(rs, "id"), (QStringList{"2", "3"}));
}

TEST(ResultSetFilterValues, ChangedRowsFollowTheFilter)
{
    ResultSet rs = goods();
    ASSERT_TRUE(rs.setFilter("pp='A'")); // 001, 002
    ASSERT_EQ(rs.field("spdm").asString(), "001");
    rs.setValue("pp", "B");
    EXPECT_EQ(rs.rowCount(), 1);
    EXPECT_EQ(rs.field("spdm").asString(), "002");
    rs.setValueAt(2, rs.columnIndex("pp"), "A"); // 003 joins, behind the cursor's row
    EXPECT_EQ(walk(rs), (QStringList{"002", "003"}));
    rs.clearFilter();
    EXPECT_EQ(walk(rs, "pp"), (QStringList{"B", "A", "A", "A'B", "a"}));
}

// ---- Navigation

TEST(ResultSetNavigation, NextPastTheEndStaysOnTheLastRow)
{
    ResultSet one = numbered(1);
    EXPECT_EQ(one.recNo(), 0); // filled sets start on their first row
    EXPECT_FALSE(one.next());
    EXPECT_TRUE(one.eof());
    EXPECT_FALSE(one.prior()); // with one row, prior() from the end is the start
    EXPECT_TRUE(one.bof());
    EXPECT_FALSE(one.eof());

    ResultSet rs = numbered(3);
    EXPECT_TRUE(rs.next());
    EXPECT_TRUE(rs.next());
    EXPECT_FALSE(rs.eof());
    EXPECT_FALSE(rs.next());
    EXPECT_TRUE(rs.eof());
    EXPECT_FALSE(rs.next());
    EXPECT_EQ(rs.recNo(), 2);
    EXPECT_EQ(rs.field("n").asInt(), 3);
    // from the end, prior() steps onto the row before the last
    EXPECT_TRUE(rs.prior());
    EXPECT_FALSE(rs.eof());
    EXPECT_EQ(rs.field("n").asInt(), 2);
}

TEST(ResultSetNavigation, SetFilterMovesToTheFirstVisibleRow)
{
    ResultSet rs = goods();
    rs.last();
    ASSERT_TRUE(rs.setFilter("a>=2"));
    EXPECT_EQ(rs.recNo(), 0);
    EXPECT_EQ(rs.currentRawRow(), 1);
    // a filter that hides everything leaves no current row; clearing it starts over
    ASSERT_TRUE(rs.setFilter("a>100"));
    EXPECT_TRUE(rs.eof());
    EXPECT_TRUE(rs.bof());
    EXPECT_FALSE(rs.first());
    EXPECT_TRUE(rs.field("spdm").isNull());
    rs.clearFilter();
    EXPECT_EQ(rs.recNo(), 0);
    EXPECT_EQ(rs.field("spdm").asString(), "001");
}

TEST(ResultSetNavigation, RemovingRowsKeepsTheCursorSensible)
{
    ResultSet rs = numbered(4);
    rs.setRecNo(2); // n=3
    rs.removeRawRow(0);
    EXPECT_EQ(rs.field("n").asInt(), 3);
    EXPECT_EQ(rs.recNo(), 1);
    rs.removeRawRow(rs.currentRawRow()); // the current row goes: the next takes its place
    EXPECT_EQ(rs.field("n").asInt(), 4);
    rs.removeRawRow(rs.currentRawRow()); // the last goes: back onto the new last
    EXPECT_EQ(rs.field("n").asInt(), 2);
    rs.removeRawRow(0);
    EXPECT_TRUE(rs.isEmpty());
    EXPECT_EQ(rs.recNo(), -1);
}

// ---- Columns and typed reads

struct ReadCase {
    const char *label;
    QVariant value;
    FieldType type;
    QString text;
    qint64 whole;
    double real;
    qint64 moneyRaw;
    bool flag;
    QDateTime when;
};

void PrintTo(const ReadCase &c, std::ostream *os)
{
    *os << c.label;
}

class ResultSetRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ResultSetRead, EveryReader)
{
    const ReadCase &c = GetParam();
    const Field f(c.value, c.type);
    EXPECT_EQ(f.isNull(), !c.value.isValid() || c.value.isNull());
    EXPECT_EQ(f.asString(), c.text);
    EXPECT_EQ(f.asInt(), c.whole);
    EXPECT_DOUBLE_EQ(f.asDouble(), c.real);
    EXPECT_EQ(f.asMoney().raw(), c.moneyRaw);
    EXPECT_EQ(f.asBool(), c.flag);
    EXPECT_EQ(f.asDateTime(), c.when);
}

const QDateTime kStamp(QDate(2026, 3, 5), QTime(14, 7, 9));

INSTANTIATE_TEST_SUITE_P(
    ResultSet, ResultSetRead,
    ::testing::Values(
        ReadCase{"nullText", QVariant(), FieldType::Text, "", 0, 0, 0, false, {}},
        ReadCase{"typedNull", QVariant(QMetaType(QMetaType::Double)), FieldType::Decimal, "", 0,
                 0, 0, false, {}},
        ReadCase{"textNumber", QStringLiteral("12"), FieldType::Text, "12", 12, 12, 120000,
                 true, {}},
        ReadCase{"textWord", QStringLiteral("abc"), FieldType::Text, "abc", 0, 0, 0, false, {}},
        ReadCase{"textDecimal", QStringLiteral(" 12.50 "), FieldType::Text, " 12.50 ", 13, 12.5,
                 125000, true, {}},
        ReadCase{"textTrue", QStringLiteral("True"), FieldType::Text, "True", 0, 0, 0, true, {}},
        ReadCase{"textZero", QStringLiteral("0"), FieldType::Text, "0", 0, 0, 0, false, {}},
        ReadCase{"integer", QVariant(qint64(42)), FieldType::Integer, "42", 42, 42, 420000, true,
                 {}},
        ReadCase{"bool", QVariant(true), FieldType::Integer, "true", 1, 1, 10000, true, {}},
        ReadCase{"decimalHalf", QVariant(2.675), FieldType::Decimal, "2.675", 3, 2.675, 26750,
                 true, {}},
        ReadCase{"decimalSum", QVariant(0.1 + 0.2), FieldType::Decimal, "0.3", 0, 0.1 + 0.2,
                 3000, true, {}},
        ReadCase{"decimalText", QStringLiteral("12.50"), FieldType::Decimal, "12.5", 13, 12.5,
                 125000, true, {}},
        ReadCase{"dateTime", QVariant(kStamp), FieldType::DateTime, "2026-03-05 14:07:09", 0, 0,
                 0, false, kStamp},
        ReadCase{"dateTimeText", QStringLiteral("2026-03-05 14:07:09"), FieldType::DateTime,
                 "2026-03-05 14:07:09", 0, 0, 0, false, kStamp},
        ReadCase{"dateOnly", QVariant(QDate(2026, 3, 5)), FieldType::DateTime,
                 "2026-03-05 00:00:00", 0, 0, 0, false,
                 QDateTime(QDate(2026, 3, 5), QTime(0, 0))},
        ReadCase{"dateTimeInTextColumn", QVariant(kStamp), FieldType::Text,
                 "2026-03-05 14:07:09", 0, 0, 0, false, kStamp}),
    [](const auto &info) { return std::string(info.param.label); });

// ---- Copying between sets

TEST(ResultSetCopy, AppendRowsFromMatchesColumnsByName)
{
    ResultSet source = makeSet({{"SPDM", FieldType::Text},
                                {"Qty", FieldType::Integer},
                                {"Extra", FieldType::Text}},
                               {{"001", 1, "e1"}, {"002", 2, "e2"}, {"003", 3, "e3"}});
    ASSERT_TRUE(source.setFilter("QTY>1"));
    source.last();

    ResultSet target = makeSet({{"qty", FieldType::Integer},
                                {"spdm", FieldType::Text},
                                {"price", FieldType::Decimal}},
                               {{9, "000", 1.5}});
    target.appendRowsFrom(source);
    ASSERT_EQ(target.totalRowCount(), 3);
    EXPECT_EQ(target.rawRow(1), (QVariantList{2, "002", QVariant()}));
    EXPECT_EQ(target.rawRow(2), (QVariantList{3, "003", QVariant()}));
    EXPECT_EQ(target.recNo(), 0); // the cursor stays where it was
    EXPECT_EQ(source.recNo(), 1); // and the source's does too

    ResultSet self = numbered(2);
    self.appendRowsFrom(self);
    EXPECT_EQ(walk(self, "n"), (QStringList{"1", "2", "1", "2"}));
}
