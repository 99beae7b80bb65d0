// The sales screen on a stand-alone demo shop, driven by keys: keys that reach the window
// itself, and the close with its saved settings and closed login record.

#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
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

// What the screen shows of the grid after a sale outgrew it and every scan scrolled it is
// what drawing the grid afresh shows (the rows once came out squeezed and stale).
TEST(MainForm, TheGridOnScreenAfterItScrollsIsTheGridDrawnAfresh)
{
    ScreenRig rig;
    ASSERT_TRUE(rig.started);
    auto *table = rig.form->findChild<QTableView *>(QStringLiteral("DBGridEhTable"));
    ASSERT_NE(table, nullptr);
    for (int i = 0; i < 40; ++i) {
        QTest::keyClicks(rig.form->commandEdit(), i % 2 ? QStringLiteral("6920880160608") : QStringLiteral("6920880010118"));
        QTest::keyClick(rig.form->commandEdit(), Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    ASSERT_GE(rig.controller().sale().lineCount(), 40);
    const auto shown = [&] {
        const QPoint at = table->viewport()->mapTo(rig.form, QPoint(0, 0));
        return table->screen()->grabWindow(rig.form->winId(), at.x(), at.y(), table->viewport()->width(),
                                           table->viewport()->height()).toImage();
    };
    const QImage scrolled = shown();
    table->viewport()->repaint();
    EXPECT_EQ(scrolled, shown());
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
