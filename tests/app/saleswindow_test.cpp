// The sales screen on a stand-alone demo shop, driven by keys: keys that reach the window
// itself, and the close with its saved settings and closed login record.

#include <gtest/gtest.h>

#include <QImage>
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

    QTest::keyClicks(rig.form, QStringLiteral("6920880010118"));
    QTest::keyClick(rig.form, Qt::Key_Return);
    EXPECT_EQ(rig.controller().sale().lineCount(), 1);
    EXPECT_EQ(rig.label("LAB_TOL02"), QStringLiteral("79"));

    QTest::keyClick(rig.form, Qt::Key_F6);
    EXPECT_EQ(rig.label("LAB_PRINT"), QStringLiteral("开"));
    // A cashier without the drawer right is refused at the window too; the right's own
    // character decides, not its neighbour's.
    rig.session.applyRights(QStringLiteral("10111111111111111"));
    QTest::keyClick(rig.form, Qt::Key_Delete);
    EXPECT_EQ(rig.controller().sale().lineCount(), 1);
    EXPECT_EQ(rig.form->helpLabel()->text(), QStringLiteral("您无权使用该功能!"));
    // A quote never reaches the command line.
    QTest::keyClicks(rig.form->commandEdit(), QStringLiteral("a'b"));
    EXPECT_EQ(rig.form->commandEdit()->text(), QStringLiteral("ab"));
}

TEST(MainForm, KeyHelpListsEveryKeyInOrder)
{
    ScreenRig rig;
    QStringList shown;
    for (const QLabel *l : rig.form->findChild<QWidget *>(QStringLiteral("Pnl_cli_3_B"))->findChildren<QLabel *>())
        shown << l->text();
    const QStringList expected{
        " F1  帮助   F7  练习", " F2  登出   F8  明细", " F3  查单   F9  重打", " F4  交班   F10 设置",
        " F5  同步   F11 改密", " F6 打印开关F12 主题", " [空格]    ：清空条码", " [DEL ]    ：删除一行",
        " [INS ]    ：清空", " [+ ] +数量：改数量", " [+-] +数量：退货", " [++] +金额：改金额",
        " [--] +回车：积分换购", " [. ] +折扣：当前打折", " [..] +折扣：整单打折", " [* ] +号码：会员卡号",
        " [*+] +回车：增加会员", " [**] +金额：会员充值", " [/ ] +号码：营 业 员", " [//] +备注：备注信息",
        " [CTRL+D] 日期更改", " [HOME  ] 锁  屏", " [END   ] 开钱箱", " [PgUp  ] 上一单",
        " [PgDn  ] 挂单/取单", " [SCR LK] 彩色/黑白", " [Pause ] 字体大小", " [CTRL+Q] 退出收银系统"};
    EXPECT_EQ(shown.mid(0, expected.size()), expected);
}

TEST(MainForm, ASkinThatCannotBeReadLeavesTheBuiltInLook)
{
    TerminalConfig config;
    config.skins = {QStringLiteral("gone.skn")};
    ScreenRig rig(config);
    EXPECT_TRUE(rig.form->styleSheet().isEmpty());
    EXPECT_EQ(rig.controller().config().skinIndex, -1);
    // F12 tries the list again from its start.
    QTest::keyClick(rig.form, Qt::Key_F12);
    EXPECT_EQ(rig.controller().config().skinIndex, -1);
}

TEST(MainForm, ConfirmedSettingsTakeEffectAtOnce)
{
    ScreenRig rig;
    QImage logo(8, 8, QImage::Format_RGB32);
    logo.fill(Qt::red);
    ASSERT_TRUE(logo.save(rig.home.filePath(QStringLiteral("logo.png"))));
    rig.settings.setServerTimeoutSeconds(9);
    rig.settings.setLogoPath(QStringLiteral("logo.png"));
    rig.controller().applyTerminalSettings();
    EXPECT_EQ(rig.session.connection.serverTimeoutSeconds, 9);
    EXPECT_EQ(rig.controller().config().logoFile, rig.home.filePath(QStringLiteral("logo.png")));
}

TEST(MainForm, ClosingSavesTheScreenAndEndsTheLogin)
{
    TerminalConfig config;
    config.keyHelpVisible = true;
    ScreenRig rig(config);
    ASSERT_FALSE(rig.session.terminal.loginGuid.isEmpty());
    QTest::keyClick(rig.form, Qt::Key_F1); // the key help goes away
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
