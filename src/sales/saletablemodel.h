#pragma once
// The sales grid's view of a Sale: fifteen columns with their titles and design widths,
// which of them show, the cell texts and colours, and the footer line. The grid widget
// draws; everything it needs to know comes from here.
//
// The model keeps the texts it last showed, so a change to the sale reports only the cells
// whose texts moved: a new line is one inserted row, an edited line its own changed cells
// plus whatever that moved elsewhere (line numbers below a deletion, the group values of a
// promotion group, a remark no longer hidden as a repeat). Only a new sale resets it.

#include <QAbstractTableModel>
#include <QColor>

#include <array>
#include <optional>

#include "core/session.h"
#include "sales/sale.h"

namespace vorel {

// Colours of the sales grid. The highlight colour is the screen theme's (set in the
// appearance dialog); the remark and "累计" columns keep the grid's own selection colours.
struct SaleGridTheme {
    QColor gridColor = QColor(255, 255, 255);
    QColor fontColor = QColor(0, 0, 0);
    QColor highlight = QColor(0, 0, 128);
    QColor gridHighlight = QColor(0, 0, 128);
    QColor gridHighlightText = QColor(255, 255, 255);
    bool operator==(const SaleGridTheme &) const = default;
};

enum class CellState {
    Plain,        // not selected
    Current,      // the selected row that has the focus
    AlsoSelected, // another row of a multi-row selection
};

struct CellStyle {
    QColor background;
    QColor text;
    bool bold = false;
    bool operator==(const CellStyle &) const = default;
};

struct FooterStyle {
    QColor color; // invalid: the grid's footer colour
    bool bold = false;
    bool large = false;
    bool operator==(const FooterStyle &) const = default;
};

class SaleTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        AutoIdColumn,         // 行
        BarcodeColumn,        // 条码
        StyleColumn,          // 款号
        NameColumn,           // 品名
        SizeColumn,           // 尺码
        ColourColumn,         // 颜色
        QuantityColumn,       // 数量
        TagPriceColumn,       // 吊牌价
        DiscountColumn,       // 折扣
        PriceColumn,          // 售价
        AmountColumn,         // 金额
        TagTotalColumn,       // hidden, footer only
        BeforeRoundingColumn, // hidden, footer only
        NoteColumn,           // 活动
        GroupValueColumn,     // 累计
        ColumnCount
    };

    static const QColor MarkedText;     // special prices and system lines
    static const QColor GroupValueText; // the "累计" column
    static const QColor FooterSumText;  // quantity and amount sums

    SaleTableModel(Sale &sale, const Session &session, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Width in the grid's design, -1 for the grid's default width.
    static int designWidth(int column);

    // Discount by the company parameter, barcode and "累计" by the saved layout, the two
    // footer-only columns never.
    bool isColumnVisible(int column) const;
    void setBarcodeColumnVisible(bool visible);
    void setGroupValueColumnVisible(bool visible);

    // Footer line: line count, quantity, amount (in the amount format) and the two hidden
    // sums; empty under the other columns.
    QString footerText(int column) const;
    static FooterStyle footerStyle(int column);

    const SaleGridTheme &theme() const { return theme_; }
    void setTheme(const SaleGridTheme &theme);
    // Colours and weight of a cell in the given selection state.
    CellStyle cellStyle(const QModelIndex &index, CellState state) const;

signals:
    void footersChanged();
    void columnVisibilityChanged();
    void themeChanged();

private:
    // What one row shows, as last reported to the views.
    struct Row {
        std::array<QString, ColumnCount> text;
        std::optional<Money> groupValue; // empty: hidden as a repeat of the row above
        bool marked = false;
    };

    QString cellText(int row, int column) const;
    std::optional<Money> shownGroupValue(int row) const;
    Row makeRow(int row) const;
    // Brings the kept texts up to the sale and reports the cells that changed: every column
    // of `changedRow` (-1 for none), the line numbers from `firstMoved` on, and the columns
    // that depend on the row above or on the group (remark, "累计") everywhere.
    void sync(int changedRow, int firstMoved);
    void reportRow(int row, int first, int last);
    void rebuild();

    QList<Row> rows_;

    Sale &sale_;
    const Session &session_;
    bool barcodeVisible_ = true;
    bool groupValueVisible_ = true;
    SaleGridTheme theme_;
};

} // namespace vorel
