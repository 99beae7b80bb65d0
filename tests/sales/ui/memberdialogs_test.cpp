// The member picker and the redemption dialog, driven by keys and mouse.

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "core/messages.h"
#include "sales/ui/ts013.h"
#include "sales/ui/ts015.h"

#include "fakeshopservice.h"
#include "recordingmessages.h"

using namespace vorel;

namespace {

std::string str(const QString &s)
{
    return s.toStdString();
}

ResultSet memberRows(int count)
{
    ResultSet rs({{"VIPID", FieldType::Text}, {"VIPNAME", FieldType::Text}, {"VIPTEL", FieldType::Text},
                  {"BIRDATE", FieldType::Text}, {"G", FieldType::Integer}, {"VIPZK", FieldType::Decimal},
                  {"VIPF", FieldType::Integer}, {"BDATE", FieldType::DateTime}});
    const char *ids[] = {"88000001", "88000007"};
    for (int i = 0; i < count; ++i)
        rs.appendRow({QString::fromLatin1(ids[i]), QStringLiteral("会员"), QStringLiteral("139"),
                      QStringLiteral("3.1"), 2, 0.95, 150, QDateTime(QDate(2024, 3, 1), QTime(10, 0))});
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

template <typename Dialog>
QTableWidget *showGrid(Dialog &d)
{
    d.show();
    QApplication::setActiveWindow(&d);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
    return d.template findChild<QTableWidget *>(QStringLiteral("DBGridEh"));
}

void doubleClick(QTableWidget *grid, int row)
{
    const QPoint at = grid->visualRect(grid->model()->index(row, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

TEST(MemberPicker, ListsTheCardsAndTakesOneByEnterOrDoubleClick)
{
    {
        TS015 picker(memberRows(2));
        QTableWidget *grid = showGrid(picker);
        EXPECT_EQ(str(picker.windowTitle()), "会员选择");
        QStringList captions;
        for (int c = 0; c < grid->columnCount(); ++c)
            captions << grid->horizontalHeaderItem(c)->text();
        EXPECT_EQ(str(captions.join(u'|')), "卡号|称呼|电 话|生 日|等 级|折 扣|积 分|开卡日期 ");
        EXPECT_EQ(str(grid->item(1, 0)->text()), "88000007");
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Return);
        EXPECT_EQ(picker.result(), QDialog::Accepted);
        EXPECT_EQ(picker.chosen(), 1);
    }
    {
        TS015 picker(memberRows(2));
        doubleClick(showGrid(picker), 1);
        EXPECT_EQ(picker.result(), QDialog::Accepted);
        EXPECT_EQ(picker.chosen(), 1);
    }
}

TEST(MemberPicker, EscapeOrDoubleClickOnAnEmptyListCancels)
{
    {
        TS015 picker(memberRows(2));
        QTest::keyClick(showGrid(picker), Qt::Key_Escape);
        EXPECT_EQ(picker.result(), QDialog::Rejected);
        EXPECT_FALSE(picker.chosen());
    }
    {
        TS015 picker(memberRows(0));
        QTableWidget *grid = showGrid(picker);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
        EXPECT_FALSE(picker.isVisible());
        EXPECT_EQ(picker.result(), QDialog::Rejected);
    }
}

TEST(RedemptionDialog, ReadsTheOffersAndWrapsRoundTheList)
{
    FakeShopService shop;
    shop.onOpen(QStringLiteral("d705"), offerRows());
    RecordingMessages messages;
    const RedemptionRequest request{QStringLiteral("88000001"), QStringLiteral("张伟"), true, true,
                                    QStringLiteral("1200")};
    TS013 dialog(shop, messages, request);
    QTableWidget *grid = showGrid(dialog);

    ASSERT_EQ(shop.calls(FakeShopService::CallKind::Open).size(), 1);
    EXPECT_EQ(str(shop.calls(FakeShopService::CallKind::Open).first().sql),
              "select * from d705 order by vipf desc,vipfm desc");
    EXPECT_EQ(str(dialog.windowTitle()), "积分换购设定");
    EXPECT_EQ(str(dialog.findChild<QLabel *>(QStringLiteral("lab_head"))->text()),
              "会员卡：88000001 张伟  可用积分：1200");
    EXPECT_EQ(str(grid->item(2, 2)->text()), "1000积分抵70元");

    const struct {
        Qt::Key key;
        int row;
    } moves[] = {{Qt::Key_Up, 2}, {Qt::Key_Down, 0}, {Qt::Key_Down, 1}, {Qt::Key_Down, 2}, {Qt::Key_Down, 0}};
    for (const auto &m : moves) {
        QTest::keyClick(grid, m.key);
        EXPECT_EQ(grid->currentRow(), m.row);
    }
}

TEST(RedemptionDialog, TakesAnOfferOnlyWhenTheMemberMayHaveIt)
{
    const struct {
        const char *name;
        bool right, card;
        const char *points;
        int row;
        bool byDoubleClick;
        const char *message; // null: the offer is taken
    } cases[] = {
        {"no right", false, true, "5000", 0, false, "积分换购 功能 必须先选定会员 且有权限才可以进行!"},
        {"no card", true, false, "5000", 0, true, "积分换购 功能 必须先选定会员 且有权限才可以进行!"},
        {"points short", true, true, "999", 2, false, "该会员 积分不足选定本项!"},
        {"exactly enough", true, true, "1000", 2, false, nullptr},
        {"double click", true, true, "1200", 1, true, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakeShopService shop;
        shop.onOpen(QStringLiteral("d705"), offerRows());
        RecordingMessages messages;
        TS013 dialog(shop, messages,
                     RedemptionRequest{QStringLiteral("88000001"), QStringLiteral("张伟"), c.right, c.card,
                                       QString::fromLatin1(c.points)});
        QTableWidget *grid = showGrid(dialog);
        if (c.byDoubleClick) {
            doubleClick(grid, c.row);
        } else {
            grid->setCurrentCell(c.row, 0);
            QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btn_ok")), Qt::LeftButton);
        }
        if (c.message) {
            ASSERT_EQ(messages.shown.size(), 1);
            EXPECT_EQ(str(messages.shown.first().text), c.message);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_FALSE(dialog.chosen());
            continue;
        }
        EXPECT_TRUE(messages.shown.isEmpty());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        ASSERT_TRUE(dialog.chosen());
        const ResultSet offers = offerRows();
        EXPECT_EQ(dialog.chosen()->points, offers.fieldAt(c.row, 1).asInt());
        EXPECT_EQ(dialog.chosen()->voucher, offers.fieldAt(c.row, 2).asDouble());
    }
}
