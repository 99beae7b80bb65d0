#pragma once
// The sales grid: a read-only table over the sale model that selects whole rows and never
// takes the keyboard focus, a footer row of sums under it, and the cell colours of the model
// (selected rows in the theme's highlight, special prices and system lines in blue).

#include <QWidget>

#include <array>

class QTableView;

namespace vorel {

class SaleTableModel;
class Sale;

class SalesGrid : public QWidget {
    Q_OBJECT

public:
    SalesGrid(SaleTableModel &model, Sale &sale, QWidget *parent = nullptr);

    QTableView *table() const { return table_; }
    // The grid's font size and its title's (FONT, TITFONT), 0 keeps the current one.
    void setFontSizes(int body, int title);
    // Widths of the columns as the layout stores them.
    int columnWidth(int column) const;
    void setColumnWidth(int column, int width);
    // Shows the columns the model (company switches, saved layout) wants shown.
    void applyVisibility();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // On a narrow screen the remark, colour and barcode columns give up width, in that
    // order, so every column stays on view.
    void fitColumns();
    void followCurrent(int row);

    SaleTableModel &model_;
    Sale &sale_;
    // Widths asked for (design or saved layout), before fitting to the screen.
    std::array<int, 15> wanted_{};
    QTableView *table_;
    QWidget *footer_;
};

} // namespace vorel
