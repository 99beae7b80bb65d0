#include "sales/saletablemodel.h"

#include <QBrush>
#include <gtest/gtest.h>

#include "salestestutil.h"

using namespace vorel;
using namespace vorel::test;

namespace {

using M = SaleTableModel;

struct GridRig : SaleRig {
    explicit GridRig(int decimals = 2) : SaleRig(decimals) {}
    M model{sale, session};

    std::string text(int row, int column) const
    {
        return str(model.data(model.index(row, column)).toString());
    }
    QColor foreground(int row, int column) const
    {
        return model.data(model.index(row, column), Qt::ForegroundRole).value<QBrush>().color();
    }
};

SaleLine noted(const char *note, int g = 0)
{
    SaleLine l = itemLine(50, 1, g);
    l.setNote(QString::fromUtf8(note));
    l.setFlag3(1);
    return l;
}

TEST(SaleTableModel, ColumnVisibility)
{
    GridRig rig;
    for (int c = 0; c < M::ColumnCount; ++c)
        EXPECT_EQ(rig.model.isColumnVisible(c), c != M::TagTotalColumn && c != M::BeforeRoundingColumn) << c;

    rig.session.applyCompanyParams(QStringLiteral("1,1,1,1,1,0"));
    rig.model.setBarcodeColumnVisible(false);
    rig.model.setGroupValueColumnVisible(false);
    for (int c : {M::BarcodeColumn, M::DiscountColumn, M::GroupValueColumn})
        EXPECT_FALSE(rig.model.isColumnVisible(c)) << c;
    EXPECT_TRUE(rig.model.isColumnVisible(M::StyleColumn));
}

TEST(SaleTableModel, CellTextsAndFooters)
{
    GridRig rig;
    SaleLine l = itemLine(59.9, 2, 3);
    l.setTm(QStringLiteral("6900000000017"));
    l.setWlName(QStringLiteral("圆领T恤"));
    l.setWlGg(QStringLiteral("XL"));
    l.setDwName(QStringLiteral("白色"));
    l.setZk(0.8);
    l.setSj(47.92);
    l.setOmoney(95.836);
    l.setSmoney(95.84);
    l.setNote(QStringLiteral("夏季特惠"));
    l.setFlag1(1);
    rig.sale.appendLine(l);
    rig.sale.appendLine(itemLine(-10, -1));

    const char *row0[] = {"1",  "6900000000017", "K1",     "圆领T恤", "XL", "白色", "2", "59.9",
                          "0.8", "47.92",        "95.84", "119.8",    "95.836", "夏季特惠", "2"};
    for (int c = 0; c < M::ColumnCount; ++c)
        EXPECT_EQ(rig.text(0, c), row0[c]) << c;

    const char *footers[] = {"", "", "2", "", "", "", "1", "", "", "", "105.84", "129.8", "105.836", "", ""};
    for (int c = 0; c < M::ColumnCount; ++c)
        EXPECT_EQ(str(rig.model.footerText(c)), footers[c]) << c;
}

TEST(SaleTableModel, PriceAndAmountFollowTheShopsPlaces)
{
    const struct {
        int decimals; // -1: before the session starts
        const char *price, *amount;
    } cases[] = {{-1, "60.0", "179.9"}, {0, "60", "180"}, {1, "60.0", "179.9"}, {2, "59.95", "179.85"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.decimals);
        Session session;
        Sale sale(session.formats);
        M model(sale, session);
        if (c.decimals >= 0)
            sale.applyAmountDecimals(c.decimals);
        sale.appendLine(itemLine(59.95, 3));
        EXPECT_EQ(str(model.data(model.index(0, M::PriceColumn)).toString()), c.price);
        EXPECT_EQ(str(model.data(model.index(0, M::AmountColumn)).toString()), c.amount);
        EXPECT_EQ(str(model.footerText(M::AmountColumn)), c.amount);
    }
}

TEST(SaleTableModel, LineNumbersFollowDeletions)
{
    GridRig rig;
    for (int i = 0; i < 4; ++i)
        rig.sale.appendLine(itemLine(10 + i));
    int removed = 0;
    QObject::connect(&rig.model, &QAbstractItemModel::rowsRemoved, [&removed] { ++removed; });
    rig.sale.removeLine(1);
    ASSERT_EQ(rig.model.rowCount(), 3);
    EXPECT_EQ(removed, 1);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(rig.text(r, M::AutoIdColumn), std::to_string(r + 1));
    EXPECT_EQ(rig.text(1, M::TagPriceColumn), "12");

    rig.sale.clear();
    EXPECT_EQ(rig.model.rowCount(), 0);
    EXPECT_EQ(str(rig.model.footerText(M::StyleColumn)), "0");
}

TEST(SaleTableModel, CellColours)
{
    GridRig rig;
    SaleGridTheme theme;
    theme.gridColor = QColor(0xEE, 0xEE, 0xEE);
    theme.highlight = QColor(0x6A, 0xEA, 0xB4);
    theme.gridHighlight = QColor(1, 2, 3);
    rig.model.setTheme(theme);
    const QColor white(255, 255, 255), blue(0, 0, 255);
    // Special prices and system lines are blue in every state, also when selected.
    const struct {
        int g;
        bool blue;
    } cases[] = {{-1, true}, {0, false}, {20, false}, {21, true}, {99, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.g);
        rig.sale.appendLine(itemLine(10, 1, c.g));
        const int row = rig.sale.lineCount() - 1;
        const QModelIndex name = rig.model.index(row, M::NameColumn);
        const QColor selectedText = c.blue ? blue : white;
        EXPECT_EQ(rig.model.cellStyle(name, CellState::Plain),
                  (CellStyle{theme.gridColor, c.blue ? blue : theme.fontColor, false}));
        EXPECT_EQ(rig.model.cellStyle(name, CellState::Current), (CellStyle{theme.highlight, selectedText, false}));
        EXPECT_EQ(rig.model.cellStyle(name, CellState::AlsoSelected), (CellStyle{theme.highlight, selectedText, true}));
        EXPECT_EQ(rig.foreground(row, M::AmountColumn), c.blue ? blue : theme.fontColor);
        // The remark and group value columns keep the grid's own colours.
        EXPECT_EQ(rig.foreground(row, M::NoteColumn), theme.fontColor);
        EXPECT_EQ(rig.foreground(row, M::GroupValueColumn), QColor(255, 0, 0));
        EXPECT_EQ(rig.model.cellStyle(rig.model.index(row, M::NoteColumn), CellState::AlsoSelected),
                  (CellStyle{theme.gridHighlight, theme.gridHighlightText, false}));
    }
}

TEST(SaleTableModel, RepeatedRemarkAndGroupValueHidden)
{
    GridRig rig;
    for (const SaleLine &l : {noted("满200减", 3), noted("满200减", 3), noted("新品", 0), noted("新品", 4),
                              noted("满200减", 3)})
        rig.sale.appendLine(l);
    const char *notes[] = {"满200减", "", "新品", "", "满200减"};
    // Group 3 is worth 150 on each of its rows; groups 0 and 4 are worth 50 each.
    const char *values[] = {"150", "", "50", "", "150"};
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(rig.text(r, M::NoteColumn), notes[r]) << r;
        EXPECT_EQ(rig.text(r, M::GroupValueColumn), values[r]) << r;
    }
    // A change further up can bring a hidden value back.
    int changes = 0;
    QObject::connect(&rig.model, &QAbstractItemModel::dataChanged, [&changes] { ++changes; });
    SaleLine first = rig.sale.line(0);
    first.setNote(QStringLiteral("清仓"));
    rig.sale.replaceLine(0, first);
    EXPECT_EQ(rig.text(1, M::NoteColumn), "满200减");
    EXPECT_GT(changes, 0);
}

} // namespace
