#include "core/clock.h"

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "fakeclock.h"

namespace vorel {
namespace {

QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

// The clock of a rehearsed till and of a demo shop's fixed day: it follows the server's time
// like the PC's clock would, and keeps its own for a time that is no time.
TEST(ClockManual, FollowsTheServerAndTheScript)
{
    ManualClock clock(at(2026, 12, 5, 9));
    EXPECT_TRUE(clock.setSystemTime(at(2026, 12, 6, 8, 30)));
    EXPECT_EQ(clock.now(), at(2026, 12, 6, 8, 30));
    EXPECT_FALSE(clock.setSystemTime(QDateTime()));
    EXPECT_EQ(clock.now(), at(2026, 12, 6, 8, 30));
    clock.advanceSeconds(90);
    EXPECT_EQ(clock.now(), at(2026, 12, 6, 8, 31, 30));
}

TEST(ClockFormat, FormatsWithZeroPadding)
{
    EXPECT_EQ(formatDateTime(at(2026, 1, 2, 3, 4, 5, 678)), "2026-01-02 03:04:05");
    EXPECT_EQ(formatDate(QDate(2026, 7, 9)), "2026-07-09");
}

TEST(ClockFormat, ParseAcceptedForms)
{
    const struct {
        const char *text;
        QDateTime expected;
    } cases[] = {
        {"  2026-01-02 03:04:05 ", at(2026, 1, 2, 3, 4, 5)},
        {"2026-01-02T03:04:05", at(2026, 1, 2, 3, 4, 5)},
        {"2026-01-02 03:04:05.250", at(2026, 1, 2, 3, 4, 5, 250)},
        {"2026-01-02 03:04", at(2026, 1, 2, 3, 4)}, {"2026-01-02", at(2026, 1, 2)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseDateTime(QString::fromLatin1(c.text)), c.expected);
    }
}

TEST(ClockFormat, ParseRefusesBadInput)
{
    for (const char *text : {"", "   ", "yesterday", "2026-13-01 00:00:00", "2025-02-29 10:00:00",
                             "2026-01-01 10:60:00", "2026/01/01 10:00:00", "2026-01-01 10:00:00 x"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(parseDateTime(QString::fromLatin1(text)).isValid());
    }
}

// Runs the test body with the process in another time zone and puts the old one back.
class ClockTimeZone : public testing::Test {
protected:
    void SetUp() override
    {
        if (const char *tz = std::getenv("TZ"))
            saved_ = std::string(tz);
        ::setenv("TZ", "Asia/Shanghai", 1);
        ::tzset();
    }
    void TearDown() override
    {
        if (saved_)
            ::setenv("TZ", saved_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    std::optional<std::string> saved_;
};

TEST_F(ClockTimeZone, LocalTimeIsWhatTheTillShows)
{
    // 2026-01-01 00:00:00 UTC is eight in the morning in Shanghai.
    const qint64 newYearUtc = 1767225600;
    const QDateTime local = QDateTime::fromSecsSinceEpoch(newYearUtc);
    EXPECT_EQ(formatDateTime(local), "2026-01-01 08:00:00");

    const QDateTime parsed = parseDateTime(QStringLiteral("2026-01-01 08:00:00"));
    EXPECT_EQ(parsed.toSecsSinceEpoch(), newYearUtc);
    // One second before the local new year.
    EXPECT_EQ(formatDateTime(QDateTime::fromSecsSinceEpoch(newYearUtc - 8 * 3600 - 1)),
              "2025-12-31 23:59:59");
}

} // namespace
} // namespace vorel
