// Errors nobody handled: the picture, the report and the day's file for an ordinary error,
// only the on-screen entry for a lost message link, no password digests anywhere, and a
// capture that survives its own failures.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>
#include <system_error>

#include "app/errorcapture.h"
#include "core/error.h"
#include "core/session.h"
#include "core/text.h"
#include "fakeclock.h"

namespace vorel {
namespace {

class FakeScreen final : public ScreenCapture {
public:
    QImage grab() override
    {
        ++grabs;
        if (broken)
            throw std::runtime_error("no screen");
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::red);
        return image;
    }
    int grabs = 0;
    bool broken = false;
};

class FakeReport final : public ErrorReport {
public:
    void show(const QString &user, const QString &path, const QString &text) override
    {
        shown << (user + QLatin1Char('|') + QFileInfo(path).fileName() + QLatin1Char('|') + text);
        if (broken)
            throw std::runtime_error("report failed");
    }
    QStringList shown;
    bool broken = false;
};

struct CaptureRig {
    CaptureRig()
    {
        session.identity.userId = QStringLiteral("01");
        session.identity.userName = QStringLiteral("张三");
        capture.setLinkDropper([this] { ++drops; });
    }
    template <typename E>
    void raise(const E &error)
    {
        try {
            throw error;
        } catch (...) {
            capture.handle(ErrorCapture::describe(std::current_exception()));
        }
    }
    QString dayFile(const QDate &day)
    {
        QFile f(capture.dayFilePath(day));
        return f.open(QIODevice::ReadOnly) ? fromGbk(f.readAll()) : QString();
    }

    QTemporaryDir home;
    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(23, 59, 58))};
    Session session;
    FakeScreen screen;
    FakeReport report;
    ErrorCapture capture{ProgramFolder(home.path()), clock, session, screen, report};
    int drops = 0;
};

TEST(ErrorCapture, AnErrorLeavesPictureReportAndLogLine)
{
    CaptureRig rig;
    // The shop kept its old upper-case folder: the picture goes there.
    ASSERT_TRUE(QDir(rig.home.path()).mkdir(QStringLiteral("LOG")));
    rig.raise(VorelError(QStringLiteral("update SYS_USER set PASSWORD='0cc175b9c0f1b6a8' failed")));
    const QString shot = rig.home.filePath(QStringLiteral("LOG/Err.jpg"));
    EXPECT_EQ(rig.capture.screenshotPath(), shot);
    QImage picture(shot, "JPG");
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(64, 48));
    EXPECT_EQ(rig.report.shown, QStringList{QStringLiteral("01 张三|Err.jpg|【vorel::VorelError】\r\n"
                                                           "update SYS_USER set PASSWORD=*** failed")});
    EXPECT_EQ(rig.dayFile(QDate(2026, 12, 5)),
              QStringLiteral("2026-12-05 23:59:58\r\nMainform\r\nErrmsg:update SYS_USER set PASSWORD=*** failed\r\n"));
    ASSERT_EQ(rig.capture.entries().size(), 1);
    EXPECT_TRUE(rig.capture.entries().at(0).startsWith(QStringLiteral("1\r") + ErrorCapture::EntryHeading));
    EXPECT_FALSE(rig.capture.entries().at(0).contains(QStringLiteral("0cc175")));

    // After midnight the next error goes to the next day's file; the picture is replaced.
    rig.clock.advanceSeconds(5);
    rig.raise(std::out_of_range("index 7"));
    EXPECT_EQ(rig.screen.grabs, 2);
    EXPECT_EQ(rig.dayFile(QDate(2026, 12, 6)), QStringLiteral("2026-12-06 00:00:03\r\nMainform\r\nErrmsg:index 7\r\n"));
    EXPECT_EQ(rig.dayFile(QDate(2026, 12, 5)).count(QStringLiteral("Errmsg:")), 1);
}

TEST(ErrorCapture, ALostMessageLinkIsOnlyNoted)
{
    CaptureRig rig;
    rig.raise(std::system_error(std::make_error_code(std::errc::connection_reset)));
    EXPECT_EQ(rig.drops, 1);
    EXPECT_EQ(rig.capture.entries().size(), 1);
    EXPECT_EQ(rig.screen.grabs, 0);
    EXPECT_TRUE(rig.report.shown.isEmpty());
    EXPECT_FALSE(QFile::exists(rig.capture.dayFilePath(QDate(2026, 12, 5))));
}

TEST(ErrorCapture, FailuresOfTheCaptureAreSwallowed)
{
    CaptureRig rig;
    rig.screen.broken = true;
    rig.report.broken = true;
    // A file where the log folder should be: nothing can be written, nothing escapes.
    QFile blocker(rig.home.filePath(QStringLiteral("log")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_NO_THROW(rig.raise(VorelError(QStringLiteral("first"))));
    EXPECT_EQ(rig.report.shown.size(), 1);

    // A broken picture and report still leave the line in the day's file.
    ASSERT_TRUE(blocker.remove());
    rig.raise(VorelError(QStringLiteral("second")));
    EXPECT_EQ(rig.report.shown.size(), 2);
    EXPECT_EQ(rig.dayFile(QDate(2026, 12, 5)).count(QStringLiteral("Errmsg:")), 1);
}

} // namespace
} // namespace vorel
