#include "sales/saletablemodel.h"

#include <QBrush>
#include <gtest/gtest.h>

#include <functional>
#include <set>

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
}

// What a change to the sale tells the views: rows inserted, removed, the rows of every
// dataChanged, and whether anything was reset or laid out again.
struct Signals {
    std::vector<int> inserted, removed;
    std::set<int> changed;
    int resets = 0;
    explicit Signals(M &model)
    {
        QObject::connect(&model, &M::rowsInserted, [this](const QModelIndex &, int first, int last) {
            for (int r = first; r <= last; ++r)
                inserted.push_back(r);
        });
        QObject::connect(&model, &M::rowsRemoved, [this](const QModelIndex &, int first, int last) {
            for (int r = first; r <= last; ++r)
                removed.push_back(r);
        });
        QObject::connect(&model, &M::dataChanged, [this](const QModelIndex &from, const QModelIndex &to) {
            for (int r = from.row(); r <= to.row(); ++r)
                changed.insert(r);
        });
        QObject::connect(&model, &M::modelReset, [this] { ++resets; });
        QObject::connect(&model, &M::layoutChanged, [this] { ++resets; });
    }
};

TEST(SaleTableModel, ReportsOnlyTheRowsAChangeMoved)
{
    const auto scan = [](SaleRig &r) {
        r.pricing.appendItem(lookup({.tag = 80}));
        r.pricing.finishCommand(true);
    };
    const auto quantity = [](SaleRig &r) {
        r.sale.setCurrent(3);
        ASSERT_EQ(r.pricing.changeQuantity(Money::fromUnits(2), true), QuantityChange::Changed);
        r.pricing.finishCommand(true);
    };
    const auto discount = [](SaleRig &r) {
        r.sale.setCurrent(0);
        ASSERT_TRUE(r.pricing.discountLine(Money::fromUnits(80)));
        r.pricing.finishCommand(true);
    };
    // Every repriceable line: the special price on row 2 stays as it is.
    const auto wholeSale = [](SaleRig &r) {
        r.pricing.discountSale(Money::fromUnits(80));
        r.pricing.finishCommand(true);
    };
    // A new remark on the first line shows the one below it again.
    const auto remark = [](SaleRig &r) {
        SaleLine l = r.sale.line(0);
        l.setNote(QStringLiteral("清仓"));
        r.sale.replaceLine(0, l);
    };
    // Line numbers below move up; group 3 is worth less.
    const auto remove = [](SaleRig &r) { r.sale.removeLine(1); };
    const struct {
        const char *name;
        std::function<void(SaleRig &)> change;
        std::vector<int> inserted, removed;
        std::set<int> changed;
    } cases[] = {
        {"scan", scan, {4}, {}, {}},
        {"quantity", quantity, {}, {}, {3}},
        {"discount", discount, {}, {}, {0}},
        {"whole sale", wholeSale, {}, {}, {0, 1, 3}},
        {"remark", remark, {}, {}, {0, 1}},
        {"delete", remove, {}, {1}, {0, 1, 2}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        GridRig rig;
        for (const SaleLine &l : {noted("满200减", 3), noted("满200减", 3), itemLine(30, 1, 21), noted("新品", 0)})
            rig.sale.appendLine(l);
        Signals seen(rig.model);
        c.change(rig);
        EXPECT_EQ(seen.inserted, c.inserted);
        EXPECT_EQ(seen.removed, c.removed);
        EXPECT_EQ(seen.changed, c.changed);
        EXPECT_EQ(seen.resets, 0);
        // What the model kept is what a model made now would show.
        const M fresh(rig.sale, rig.session);
        ASSERT_EQ(rig.model.rowCount(), fresh.rowCount());
        for (int r = 0; r < fresh.rowCount(); ++r) {
            for (int col = 0; col < M::ColumnCount; ++col) {
                for (int role : {int(Qt::DisplayRole), int(Qt::ForegroundRole)})
                    EXPECT_EQ(rig.model.data(rig.model.index(r, col), role),
                              fresh.data(fresh.index(r, col), role)) << r << "," << col;
            }
        }
    }
}

} // namespace
