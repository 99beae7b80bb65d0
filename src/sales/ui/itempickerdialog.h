#pragma once
// The item picker TS009: the items a lookup found when there is more than one. Enter, OK or a
// double click takes the current item (Enter on an empty list closes as cancelled), Escape
// cancels, and Space switches between the items in stock and all of them. The dialog works
// on the lookup rows themselves, so the stock filter stays on them after it closes.

#include <QPointer>

#include "core/ui/resultsetpicker.h"
#include "sales/itempicker.h"

namespace vorel {

class ItemPickerDialog : public ResultSetPicker {
    Q_OBJECT
public:
    static const QString Caption;

    // `rows` must outlive the dialog; the item taken becomes their current row.
    explicit ItemPickerDialog(ResultSet &rows, QWidget *parent = nullptr);

protected:
    bool take(int row) override;
    bool gridKey(int key) override;

private:
    ResultSet &rows_;
};

// The sales screen's picker: a TS009 for each lookup that found several items.
class DialogItemPicker final : public ItemPicker {
public:
    explicit DialogItemPicker(QWidget *parent = nullptr) : parent_(parent) {}
    bool pick(ResultSet &rows) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace vorel
