// The sales screen's pickers: the names and columns each shows, the item picker's stock
// filter (Space) that stays on the lookup rows, the rows taken, and the offers the redemption
// dialog refuses. The keys and clicks all pickers share are tested once, in tests/core/ui.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "fakeshopservice.h"
#include "recordingmessages.h"
#include "core/messages.h"
#include "sales/ui/itempickerdialog.h"
#include "sales/ui/redemptiondialog.h"
#include "sales/ui/memberpickerdialog.h"

using namespace vorel;

namespace {

std::string str(const QString &s)
{
    return s.toStdString();
}

// Lookup rows as the server names the columns; stock per row as given.
ResultSet lookupRows(std::initializer_list<int> stock)
{
    ResultSet rs({{"VIPF", FieldType::Integer}, {"WL_ID", FieldType::Text}, {"TM", FieldType::Text},
                  {"WL_NAME", FieldType::Text}, {"PP", FieldType::Text}, {"M_INDEX", FieldType::Integer},
                  {"DW_NAME", FieldType::Text}, {"ABASE", FieldType::Integer}, {"WL_GG", FieldType::Text},
                  {"SJ", FieldType::Text}, {"FA", FieldType::Text}});
    int i = 0;
    for (int n : stock) {
        rs.appendRow({1, "TX001", QStringLiteral("692088001011%1").arg(i), QStringLiteral("纯棉圆领短袖T恤"),
                      QStringLiteral("北岸"), i, QStringLiteral("黑色"), n, QStringList{"S", "M", "L"}.value(i), "79.50",
                      QStringLiteral("满200享9折")});
        ++i;
    }
    return rs;
}

ResultSet memberRows()
{
    ResultSet rs({{"VIPID", FieldType::Text}, {"VIPNAME", FieldType::Text}, {"VIPTEL", FieldType::Text},
                  {"BIRDATE", FieldType::Text}, {"G", FieldType::Integer}, {"VIPZK", FieldType::Decimal},
                  {"VIPF", FieldType::Integer}, {"BDATE", FieldType::DateTime}});
    for (const char *id : {"88000001", "88000007"})
        rs.appendRow({id, QStringLiteral("会员"), "139", "3.1", 2, 0.95, 150, QDateTime(QDate(2024, 3, 1), QTime(10, 0))});
    return rs;
}

ResultSet offerRows()
{
    ResultSet rs({{"ID", FieldType::Integer}, {"vipf", FieldType::Integer}, {"vipfm", FieldType::Decimal},
                  {"NOTE", FieldType::Text}});
    rs.appendRow({1, -100, -5.0, QStringLiteral("100积分抵5元")});
    rs.appendRow({2, -500, -30.0, QStringLiteral("500积分抵30元")});
    rs.appendRow({3, -1000, -70.0, QStringLiteral("1000积分抵70元")});
    return rs;
}

ResultSetGrid *showGrid(QDialog &d)
{
    d.show();
    QApplication::setActiveWindow(&d);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
    return d.findChild<ResultSetGrid *>(QStringLiteral("DBGridEh"));
}

// The captions (row -1) or the cells of a row, separated by "|".
std::string shown(const ResultSetGrid *grid, int row)
{
    QStringList texts;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        texts << (row < 0 ? grid->model()->headerData(c, Qt::Horizontal) : grid->model()->index(row, c).data()).toString();
    return str(texts.join(u'|'));
}

} // namespace

// The redemption dialog shows the card above the offers and runs round them.
TEST(RedemptionDialog, ShowsTheCardAndRunsRoundTheOffers)
{
    FakeShopService shop;
    shop.onOpen(QStringLiteral("d705"), offerRows());
    RecordingMessages messages;
    RedemptionDialog ts013(shop, messages, RedemptionRequest{"88000001", QStringLiteral("张伟"), true, true, "1200"});
    ResultSetGrid *grid = showGrid(ts013);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(shown(grid, 2), "-1000|-70|1000积分抵70元");
    EXPECT_EQ(str(ts013.findChild<QLabel *>(QStringLiteral("lab_head"))->text()), "会员卡：88000001 张伟  可用积分：1200");
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(grid->currentRow(), 2);
}

TEST(ItemPickerDialog, SpaceSwitchesToItemsInStockAndTheFilterStays)
{
    ResultSet rows = lookupRows({5, 0, 3});
    DialogItemPicker picker;
    QTimer::singleShot(0, [] {
        auto *grid = QApplication::activeModalWidget()->findChild<ResultSetGrid *>(QStringLiteral("DBGridEh"));
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_EQ(grid->rowCount(), 2);
        EXPECT_EQ(shown(grid, 1).substr(0, 13), "6920880010112");
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Enter);
    });
    EXPECT_TRUE(picker.pick(rows));
    EXPECT_EQ(str(rows.field(QStringLiteral("TM")).asString()), "6920880010112");
    EXPECT_EQ(str(rows.filter()), "abase>0");

    QTimer::singleShot(0, [] {
        auto *grid = QApplication::activeModalWidget()->findChild<ResultSetGrid *>(QStringLiteral("DBGridEh"));
        EXPECT_EQ(grid->rowCount(), 2);
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_EQ(grid->rowCount(), 3);
        QTest::keyClick(grid, Qt::Key_Escape);
    });
    EXPECT_FALSE(picker.pick(rows));
    EXPECT_FALSE(rows.filtered());
}

TEST(ItemPickerDialog, EnterWhenNothingIsInStockCancels)
{
    ResultSet rows = lookupRows({0, 0});
    ItemPickerDialog picker(rows);
    ResultSetGrid *grid = showGrid(picker);
    QTest::keyClick(grid, Qt::Key_Space);
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_FALSE(picker.isVisible());
}

TEST(MemberPicker, TakesTheRowOrCancelsWithNone)
{
    const ResultSet cards = memberRows();
    MemberPickerDialog picker(cards);
    QTest::keyClick(showGrid(picker), Qt::Key_Down);
    QTest::keyClick(picker.findChild<ResultSetGrid *>(), Qt::Key_Return);
    EXPECT_EQ(picker.chosen(), 1);

    const ResultSet none(cards.columns());
    MemberPickerDialog empty(none);
    QTest::mouseDClick(showGrid(empty)->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(empty.isVisible());
}

TEST(RedemptionDialog, TakesAnOfferOnlyWhenTheMemberMayHaveIt)
{
    const struct {
        const char *name;
        bool right, card;
        const char *points;
        int row;
        const char *message; // null: the offer is taken
    } cases[] = {
        {"no right", false, true, "5000", 0, "积分换购 功能 必须先选定会员 且有权限才可以进行!"},
        {"no card", true, false, "5000", 0, "积分换购 功能 必须先选定会员 且有权限才可以进行!"},
        {"points short", true, true, "999", 2, "该会员 积分不足选定本项!"},
        {"exactly enough", true, true, "1000", 2, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakeShopService shop;
        shop.onOpen(QStringLiteral("d705"), offerRows());
        RecordingMessages messages;
        RedemptionDialog dialog(shop, messages, RedemptionRequest{"88000001", QStringLiteral("张伟"), c.right, c.card, c.points});
        showGrid(dialog)->setCurrentRow(c.row);
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btn_ok")), Qt::LeftButton);
        EXPECT_EQ(messages.texts(), c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList());
        EXPECT_EQ(dialog.isVisible(), c.message != nullptr);
        // The offer of the row taken: 1000 points for a voucher of 70.
        EXPECT_EQ(dialog.chosen() ? dialog.chosen()->points : 0, c.message ? 0 : -1000);
        EXPECT_EQ(dialog.chosen() ? dialog.chosen()->voucher : 0, c.message ? 0 : -70.0);
    }
}
