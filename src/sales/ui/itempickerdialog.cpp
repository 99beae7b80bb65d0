#include "sales/ui/itempickerdialog.h"

#include "sales/itemlookup.h"

namespace vorel {

const QString ItemPickerDialog::Caption = QStringLiteral("【空格】键  只显示有库存的商品/显示所有  切换");

ItemPickerDialog::ItemPickerDialog(ResultSet &rows, QWidget *parent) : ResultSetPicker({.emptyCancels = true}, parent), rows_(rows)
{
    setObjectName(QStringLiteral("TS009"));
    setWindowTitle(Caption);
    setRows(rows_,
            {{QStringLiteral("条码"), QStringLiteral("tm")},
             {QStringLiteral("品牌"), QStringLiteral("PP")},
             {QStringLiteral("款号"), QStringLiteral("WL_ID")},
             {QStringLiteral("商品名称"), QStringLiteral("WL_NAME")},
             {QStringLiteral("尺码"), QStringLiteral("WL_GG")},
             {QStringLiteral("颜色"), QStringLiteral("DW_NAME")},
             {QStringLiteral("吊牌价"), QStringLiteral("SJ"), true},
             {QStringLiteral("库存"), QStringLiteral("abase")},
             {QStringLiteral("促销"), QStringLiteral("fa")}},
            rows_.recNo());
    grid()->resizeColumnsToContents();
}

bool ItemPickerDialog::take(int row)
{
    return rows_.setRecNo(row);
}

bool ItemPickerDialog::gridKey(int key)
{
    if (key != Qt::Key_Space)
        return false;
    if (rows_.filtered())
        rows_.clearFilter();
    else
        rows_.setFilter(itemlookup::InStockFilter);
    grid()->reload();
    grid()->setCurrentRow(qMax(rows_.recNo(), 0));
    return true;
}

bool DialogItemPicker::pick(ResultSet &rows)
{
    ItemPickerDialog dialog(rows, parent_);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace vorel
