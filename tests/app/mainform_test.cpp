// The sales screen on a stand-alone demo shop, driven by keys: keys that reach the window
// itself, and the close with its saved settings and closed login record.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "sales/sale.h"
#include "screenrig.h"

using namespace vorel;
using vorel::test::ScreenRig;

namespace {

TEST(MainForm, KeysOnTheWindowReachTheCommandLine)
{
    ScreenRig rig;
    ASSERT_TRUE(rig.started);
    EXPECT_EQ(rig.label("bsLabZ01"), QStringLiteral("001"));
    EXPECT_EQ(rig.label("bsLabZ03"), QStringLiteral("00110000000"));

    QTest::keyClicks(rig.form.get(), QStringLiteral("6920880010118"));
    QTest::keyClick(rig.form.get(), Qt::Key_Return);
    EXPECT_EQ(rig.form->sale().lineCount(), 1);
    EXPECT_EQ(rig.label("LAB_TOL02"), QStringLiteral("79"));

    QTest::keyClick(rig.form.get(), Qt::Key_F6);
    EXPECT_EQ(rig.label("LAB_PRINT"), QStringLiteral("开"));
    // A quote never reaches the command line.
    QTest::keyClicks(rig.form->commandEdit(), QStringLiteral("a'b"));
    EXPECT_EQ(rig.form->commandEdit()->text(), QStringLiteral("ab"));
}

TEST(MainForm, ClosingSavesTheScreenAndEndsTheLogin)
{
    TerminalConfig config;
    config.keyHelpVisible = true;
    ScreenRig rig(config);
    ASSERT_FALSE(rig.session.terminal.loginGuid.isEmpty());
    QTest::keyClick(rig.form.get(), Qt::Key_F1); // the key help goes away
    rig.form->close();

    EXPECT_FALSE(rig.settings.keyHelpVisible());
    EXPECT_EQ(rig.settings.warehouseName(), QStringLiteral("南京路旗舰店"));
    EXPECT_TRUE(rig.settings.gridLayout(GridLayout{}).has_value());
    EXPECT_TRUE(rig.session.terminal.loginGuid.isEmpty());
    ResultSet rows;
    ASSERT_TRUE(rig.link->service().posOpenSql(rows, QStringLiteral("select guid, enddate from sys_log_login")));
    ASSERT_TRUE(rows.first());
    EXPECT_TRUE(rows.field(QStringLiteral("guid")).isNull());
    EXPECT_EQ(rows.field(QStringLiteral("enddate")).asString(), QStringLiteral("2026-12-05 10:00:00"));
}

} // namespace
