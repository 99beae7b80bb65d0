#include "server/wire.h"

#include <gtest/gtest.h>

#include "servertestutil.h"

using namespace vorel;
using wire::Json;

namespace {

ResultSet sample()
{
    ResultSet rs({{"VIPID", FieldType::Text},
                  {"VIPF", FieldType::Integer},
                  {"VIPM", FieldType::Decimal},
                  {"BDATE", FieldType::DateTime}});
    rs.appendRow({QStringLiteral("88000001"), qint64(1200), 500.25, QDateTime(QDate(2026, 3, 1), QTime(10, 0, 5))});
    rs.appendRow({QStringLiteral("张伟 'O''Brien'\t\"x\""), QVariant(), 0.1, QVariant()});
    rs.appendRow({QVariant(), qint64(-7), qint64(12), QStringLiteral("not a date")});
    return rs;
}

} // namespace

TEST(Wire, ResultSetTravelsAsDocumented)
{
    const Json j = wire::resultSetToJson(sample());
    EXPECT_EQ(j["columns"][2], (Json{{"name", "VIPM"}, {"type", "decimal"}}));
    EXPECT_EQ(j["columns"][3]["type"], "datetime");
    const struct {
        int row;
        int column;
        Json expected;
    } cells[] = {
        {0, 1, 1200},                   // integer: a JSON number
        {0, 2, "500.25"},               // decimal: exact text
        {0, 3, "2026-03-01 10:00:05"},  // date-time text
        {1, 2, "0.1"},                  // the shortest text that gives the double back
        {1, 1, nullptr},                // null
        {2, 2, "12"},                   // an integer held in a decimal column
        {2, 3, "not a date"},           // left as the database gave it
    };
    for (const auto &c : cells)
        EXPECT_EQ(j["rows"][c.row][c.column], c.expected) << c.row << "," << c.column;
}

TEST(Wire, ResultSetRoundTripKeepsTypesAndText)
{
    const ResultSet in = sample();
    const ResultSet out = wire::resultSetFromJson(Json::parse(wire::serialize(wire::resultSetToJson(in))));
    ASSERT_EQ(out.columnCount(), in.columnCount());
    ASSERT_EQ(out.totalRowCount(), in.totalRowCount());
    for (int c = 0; c < in.columnCount(); ++c) {
        EXPECT_EQ(out.column(c).name, in.column(c).name);
        EXPECT_EQ(out.column(c).type, in.column(c).type);
    }
    for (int r = 0; r < in.totalRowCount(); ++r) {
        for (int c = 0; c < in.columnCount(); ++c) {
            EXPECT_EQ(out.fieldAt(r, c).isNull(), in.fieldAt(r, c).isNull()) << r << "," << c;
            EXPECT_EQ(out.fieldAt(r, c).asString(), in.fieldAt(r, c).asString()) << r << "," << c;
        }
    }
    EXPECT_EQ(out.fieldAt(0, 2).asMoney(), Money::parse("500.25").value());
    EXPECT_EQ(out.fieldAt(0, 3).variant().typeId(), QMetaType::QDateTime);
    EXPECT_EQ(out.fieldAt(0, 1).variant().typeId(), QMetaType::LongLong);
    EXPECT_EQ(out.recNo(), 0); // positioned on the first row like a freshly opened query
}

TEST(Wire, MalformedBodiesAreRefused)
{
    const char *bodies[] = {
        R"({"rows": []})",                                                     // no columns
        R"({"columns": [{"name": "A", "type": "blob"}], "rows": []})",         // unknown type
        R"({"columns": [{"name": "A", "type": "text"}], "rows": [["x", 1]]})", // row too long
        R"({"columns": [{"name": "A", "type": "text"}], "rows": [[["x"]]]})",  // value is a list
        R"({"columns": [{"type": "text"}]})",                                  // nameless column
    };
    for (const char *body : bodies)
        EXPECT_THROW(wire::resultSetFromJson(Json::parse(body)), wire::WireError) << body;
    EXPECT_THROW(wire::parseObject("[1,2]"), wire::WireError);
    EXPECT_THROW(wire::parseObject("{not json"), wire::WireError);
    EXPECT_THROW(wire::requiredText(Json{{"sql", 5}}, "sql"), wire::WireError);
}
