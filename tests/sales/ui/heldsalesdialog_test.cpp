// TS003: Enter takes the chosen held sale off the list, a double click brings it back and
// keeps it listed, Escape and Enter on an empty list bring nothing back.

#include <gtest/gtest.h>

#include <QTableWidget>
#include <QTest>

#include "sales/ui/heldsalesdialog.h"

using namespace vorel;

TEST(HeldSalesDialog, EnterTakesDoubleClickKeepsEscapeLeaves)
{
    const QList<HeldSaleRow> two{{"0", "纯棉圆领短袖T恤 / ", "88000001", "0.9"}, {"1", "小黑裙 / ", "", ""}};
    const struct {
        const char *name;
        QList<HeldSaleRow> rows;
        bool doubleClick;
        Qt::Key key;
        std::optional<HeldSalePicker::Pick> want;
    } cases[] = {
        {"Enter on the second row", two, false, Qt::Key_Return, HeldSalePicker::Pick{1, true}},
        {"double click on the second row", two, true, Qt::Key_unknown, HeldSalePicker::Pick{1, false}},
        {"Escape", two, false, Qt::Key_Escape, std::nullopt},
        {"Enter on an empty list", {}, false, Qt::Key_Return, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        HeldSalesDialog dialog(c.rows);
        dialog.show();
        auto *grid = dialog.findChild<QTableWidget *>(QStringLiteral("DBGridEh"));
        ASSERT_NE(grid, nullptr);
        ASSERT_EQ(grid->rowCount(), c.rows.size());
        if (!c.rows.isEmpty()) {
            EXPECT_EQ(grid->item(0, 2)->text(), QStringLiteral("88000001"));
            grid->setCurrentCell(1, 0);
        }
        if (c.doubleClick)
            emit grid->cellDoubleClicked(1, 0);
        else
            QTest::keyClick(grid, c.key);
        EXPECT_FALSE(dialog.isVisible());
        ASSERT_EQ(dialog.pick().has_value(), c.want.has_value());
        if (c.want) {
            EXPECT_EQ(dialog.pick()->row, c.want->row);
            EXPECT_EQ(dialog.pick()->take, c.want->take);
        }
    }
}
