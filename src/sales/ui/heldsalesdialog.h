#pragma once
// TS003 (挂单/取单): the held sales, one row each (hold number, items, member card, member
// discount). Enter takes the chosen sale off the list, a double click brings it back and
// leaves it listed, Escape brings nothing back.

#include <QDialog>
#include <optional>

#include "sales/heldsales.h"

class QTableWidget;

namespace vorel {

class HeldSalesDialog final : public QDialog {
    Q_OBJECT
public:
    explicit HeldSalesDialog(const QList<HeldSaleRow> &rows, QWidget *parent = nullptr);
    std::optional<HeldSalePicker::Pick> pick() const { return pick_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void choose(bool take);

    QTableWidget *grid_;
    std::optional<HeldSalePicker::Pick> pick_;
};

class DialogHeldSalePicker final : public HeldSalePicker {
public:
    explicit DialogHeldSalePicker(QWidget *owner) : owner_(owner) {}
    std::optional<Pick> pick(const QList<HeldSaleRow> &rows) override;

private:
    QWidget *owner_;
};

} // namespace vorel
