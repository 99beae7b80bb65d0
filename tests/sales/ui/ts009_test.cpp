// The item picker, driven by keys and mouse: the columns it shows, which row Enter and a double
// click take, the stock filter of Space and that it stays on the lookup rows.

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "sales/ui/ts009.h"

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
                  {"SJ", FieldType::Decimal}, {"FA", FieldType::Text}});
    const char *const sizes[] = {"S", "M", "L", "XL"};
    int i = 0;
    for (int n : stock) {
        rs.appendRow({1, "TX001", QStringLiteral("692088001011%1").arg(i), QStringLiteral("纯棉圆领短袖T恤"),
                      QStringLiteral("北岸"), i, QStringLiteral("黑色"), n, QLatin1String(sizes[i % 4]), 79.5,
                      QStringLiteral("满200享9折")});
        ++i;
    }
    return rs;
}

QTableWidget *showGrid(TS009 &d)
{
    d.show();
    QApplication::setActiveWindow(&d);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
    return d.findChild<QTableWidget *>(QStringLiteral("DBGridEh"));
}

QString currentTm(const ResultSet &rows)
{
    return rows.field(QStringLiteral("TM")).asString();
}

} // namespace

TEST(ItemPickerDialog, ShowsTheLookupAndTakesTheRowOfEnter)
{
    ResultSet rows = lookupRows({5, 0, 3});
    TS009 picker(rows);
    QTableWidget *grid = showGrid(picker);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(str(picker.objectName()), "TS009");
    EXPECT_EQ(str(picker.windowTitle()), "【空格】键  只显示有库存的商品/显示所有  切换");
    QStringList captions;
    for (int c = 0; c < grid->columnCount(); ++c)
        captions << grid->horizontalHeaderItem(c)->text();
    EXPECT_EQ(str(captions.join(u'|')), "条码|品牌|款号|商品名称|尺码|颜色|吊牌价|库存|促销");
    QStringList cells;
    for (int c = 0; c < grid->columnCount(); ++c)
        cells << grid->item(1, c)->text();
    EXPECT_EQ(str(cells.join(u'|')), "6920880010111|北岸|TX001|纯棉圆领短袖T恤|M|黑色|79.5|0|满200享9折");

    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(picker.result(), QDialog::Accepted);
    EXPECT_EQ(str(currentTm(rows)), "6920880010112");
}

TEST(ItemPickerDialog, SpaceSwitchesToItemsInStockAndTheFilterStays)
{
    ResultSet rows = lookupRows({5, 0, 3});
    {
        TS009 picker(rows);
        QTableWidget *grid = showGrid(picker);
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_EQ(grid->rowCount(), 2);
        EXPECT_EQ(str(rows.filter()), "abase>0");
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Enter);
        EXPECT_EQ(picker.result(), QDialog::Accepted);
        EXPECT_EQ(str(currentTm(rows)), "6920880010112");
    }
    EXPECT_EQ(str(rows.filter()), "abase>0");
    {
        TS009 picker(rows);
        QTableWidget *grid = showGrid(picker);
        EXPECT_EQ(grid->rowCount(), 2);
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_EQ(grid->rowCount(), 3);
        EXPECT_FALSE(rows.filtered());
        QTest::keyClick(grid, Qt::Key_Escape);
        EXPECT_EQ(picker.result(), QDialog::Rejected);
    }
}

TEST(ItemPickerDialog, EnterOnAnEmptyListCancels)
{
    ResultSet rows = lookupRows({0, 0});
    TS009 picker(rows);
    QTableWidget *grid = showGrid(picker);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(grid->rowCount(), 0);
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_FALSE(picker.isVisible());
    EXPECT_EQ(picker.result(), QDialog::Rejected);
}

TEST(ItemPickerDialog, DoubleClickTakesTheRow)
{
    ResultSet rows = lookupRows({5, 1, 3});
    TS009 picker(rows);
    QTableWidget *grid = showGrid(picker);
    const QPoint at = grid->visualRect(grid->model()->index(1, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(picker.result(), QDialog::Accepted);
    EXPECT_EQ(str(currentTm(rows)), "6920880010111");
}

TEST(ItemPickerDialog, SalesScreenPickerRunsItModally)
{
    ResultSet rows = lookupRows({5, 1, 3});
    DialogItemPicker picker;
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<TS009 *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto *grid = dialog->findChild<QTableWidget *>(QStringLiteral("DBGridEh"));
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Return);
    });
    EXPECT_TRUE(picker.pick(rows));
    EXPECT_EQ(str(currentTm(rows)), "6920880010111");

    QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    EXPECT_FALSE(picker.pick(rows));
}
