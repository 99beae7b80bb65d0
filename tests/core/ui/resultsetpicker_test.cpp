// The picker all list dialogs are built on, driven by keys and mouse: what Enter, OK, a double
// click and Escape do, the ends of the list with and without running round, a refused row,
// and an empty list with and without cancelling.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <optional>
#include <vector>

#include "core/ui/resultsetpicker.h"

using namespace vorel;

namespace {

// Rows numbered from 0; taking `refused` is refused.
class NumberPicker final : public ResultSetPicker {
public:
    NumberPicker(int count, Rules rules, int refused) : ResultSetPicker(rules), refused_(refused)
    {
        for (int n = 0; n < count; ++n)
            rows_.appendRow({n});
        setRows(rows_);
    }
    std::optional<int> taken;

protected:
    bool take(int row) override
    {
        if (row == refused_)
            return false;
        taken = row;
        return true;
    }

private:
    ResultSet rows_{{{QStringLiteral("N"), FieldType::Integer}}};
    int refused_;
};

constexpr int Ok = -1;          // a click on OK
constexpr int DoubleClick = -2; // a double click on the current row, or anywhere in an empty grid
constexpr int Open = -1;        // the dialog is still open

struct Case {
    const char *name;
    int rows;
    ResultSetPicker::Rules rules;
    std::vector<int> input;
    int result; // QDialog::Accepted, QDialog::Rejected or Open
    std::optional<int> taken;
    int refused = -1;
};

} // namespace

TEST(ResultSetPicker, KeysAndClicksTakeOrCancel)
{
    const ResultSetPicker::Rules wrap{.wrapRound = true}, cancels{.emptyCancels = true};
    const Case cases[] = {
        {"arrows move, Enter takes", 3, {}, {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Enter}, QDialog::Accepted, 1},
        {"OK", 3, {}, {Qt::Key_Down, Ok}, QDialog::Accepted, 1},
        {"double click", 3, {}, {Qt::Key_Down, DoubleClick}, QDialog::Accepted, 1},
        {"Up stays on the first row", 3, {}, {Qt::Key_Up, Qt::Key_Return}, QDialog::Accepted, 0},
        {"Down stays on the last row", 3, {}, {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Ok}, QDialog::Accepted, 2},
        {"Up runs round to the last row", 3, wrap, {Qt::Key_Up, Qt::Key_Return}, QDialog::Accepted, 2},
        {"Down runs round to the first row", 3, wrap, {Qt::Key_Up, Qt::Key_Down, Ok}, QDialog::Accepted, 0},
        {"Escape cancels", 3, {}, {Qt::Key_Down, Qt::Key_Escape}, QDialog::Rejected, std::nullopt},
        {"a refused row", 3, {}, {Qt::Key_Down, Qt::Key_Return, Ok, DoubleClick}, Open, std::nullopt, 1},
        {"an empty list", 0, {}, {Qt::Key_Return, Ok, DoubleClick}, Open, std::nullopt},
        {"an empty list cancelled by Enter", 0, cancels, {Qt::Key_Return}, QDialog::Rejected, std::nullopt},
        {"an empty list cancelled by OK", 0, cancels, {Ok}, QDialog::Rejected, std::nullopt},
        {"an empty list cancelled by a double click", 0, cancels, {DoubleClick}, QDialog::Rejected, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        NumberPicker picker(c.rows, c.rules, c.refused);
        picker.show();
        QApplication::setActiveWindow(&picker);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&picker));
        auto *grid = picker.findChild<ResultSetGrid *>(QStringLiteral("DBGridEh"));
        for (int in : c.input) {
            if (in == Ok) {
                QTest::mouseClick(picker.findChild<QPushButton *>(QStringLiteral("btn_ok")), Qt::LeftButton);
            } else if (in == DoubleClick) {
                const QPoint at = c.rows > 0 ? grid->visualRect(grid->currentIndex()).center() : QPoint(10, 10);
                QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
            } else {
                QTest::keyClick(grid, Qt::Key(in));
            }
        }
        EXPECT_EQ(picker.isVisible() ? Open : picker.result(), c.result);
        EXPECT_EQ(picker.taken, c.taken);
    }
}
