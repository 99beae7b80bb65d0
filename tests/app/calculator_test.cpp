// The calculator behind Ctrl+H, started for real: a script named "calculator" on a PATH of
// its own stands in for the desktop's. It notes each start (its process and folder) and
// runs until told to stop.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>

#include "app/calculator.h"

namespace vorel {
namespace {

class DesktopCalculatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(binDir()));
        QFile script(binDir() + QStringLiteral("/calculator"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        // The PATH of the test holds nothing but this script; the script needs its tools.
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "PATH=/usr/bin:/bin\n"
                                    "echo \"$$ $(pwd)\" >> '%1'\n"
                                    "while [ ! -e '%2' ]; do sleep 0.05; done\n"
                                    "rm -f '%2'\n")
                         .arg(startsFile(), stopFile())
                         .toLocal8Bit());
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        savedPath = qgetenv("PATH");
        qputenv("PATH", binDir().toLocal8Bit());
    }
    void TearDown() override { qputenv("PATH", savedPath); }

    QString binDir() const { return dir.filePath(QStringLiteral("bin")); }
    QString startsFile() const { return dir.filePath(QStringLiteral("starts")); }
    QString stopFile() const { return dir.filePath(QStringLiteral("stop")); }

    // The lines the script wrote, once `count` starts are on record or time is up.
    QStringList starts(int count, int timeoutMs = 5000) const
    {
        QStringList lines;
        const QDeadlineTimer deadline(timeoutMs);
        do {
            QFile file(startsFile());
            if (file.open(QIODevice::ReadOnly))
                lines = QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'),
                                                                     Qt::SkipEmptyParts);
            if (lines.size() >= count)
                break;
            QTest::qWait(20);
        } while (!deadline.hasExpired());
        return lines;
    }

    // The process is gone or only waits to be collected.
    static bool hasEnded(const QString &pid)
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray line = stat.readAll();
        const qsizetype afterName = line.lastIndexOf(')');
        return afterName < 0 || line.mid(afterName + 2, 1) == "Z";
    }

    QTemporaryDir dir;
    QByteArray savedPath;
};

TEST_F(DesktopCalculatorTest, OneCalculatorAtATime)
{
    DesktopCalculator calculator({QStringLiteral("no-such-calculator"), QStringLiteral("calculator")});
    EXPECT_EQ(calculator.findProgram(), binDir() + QStringLiteral("/calculator"));

    ASSERT_TRUE(calculator.open());
    const QStringList first = starts(1);
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(QFileInfo(first.first().section(QLatin1Char(' '), 1)).canonicalFilePath(),
              QFileInfo(binDir()).canonicalFilePath())
        << "starts in its own folder";

    EXPECT_TRUE(calculator.open());
    EXPECT_TRUE(calculator.open());
    EXPECT_EQ(starts(2, 300).size(), 1) << "a second one was started";
    EXPECT_TRUE(calculator.isRunning());

    // The cashier closes it; the next Ctrl+H opens a new one, even before the till's event
    // loop has turned to notice.
    QFile stop(stopFile());
    ASSERT_TRUE(stop.open(QIODevice::WriteOnly));
    stop.close();
    const QString pid = first.first().section(QLatin1Char(' '), 0, 0);
    const QDeadlineTimer deadline(5000);
    while (!hasEnded(pid) && !deadline.hasExpired())
        QThread::msleep(20);
    ASSERT_TRUE(hasEnded(pid));
    EXPECT_TRUE(calculator.open());
    EXPECT_EQ(starts(2).size(), 2);
}

TEST_F(DesktopCalculatorTest, NoCalculatorOnThePath)
{
    DesktopCalculator calculator({QStringLiteral("gnome-calculator"), QStringLiteral("xcalc")});
    EXPECT_TRUE(calculator.findProgram().isEmpty());
    EXPECT_FALSE(calculator.open());
    EXPECT_FALSE(calculator.isRunning());
}

TEST_F(DesktopCalculatorTest, ClosingTheTillClosesItsCalculator)
{
    QString pid;
    {
        DesktopCalculator calculator({QStringLiteral("calculator")});
        ASSERT_TRUE(calculator.open());
        const QStringList started = starts(1);
        ASSERT_EQ(started.size(), 1);
        pid = started.first().section(QLatin1Char(' '), 0, 0);
        ASSERT_TRUE(QFileInfo::exists(QStringLiteral("/proc/") + pid));
    }
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/proc/") + pid));
}

} // namespace
} // namespace vorel
