#include "sales/ui/ts009.h"
#include "sales/ui/dialogbuttons.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <iterator>

#include "sales/itemlookup.h"

namespace vorel {

const QString TS009::Caption = QStringLiteral("【空格】键  只显示有库存的商品/显示所有  切换");

namespace {

struct PickerColumn {
    const char16_t *caption;
    const char *field;
};

constexpr PickerColumn Columns[] = {
    {u"条码", "tm"},     {u"品牌", "PP"},    {u"款号", "WL_ID"},   {u"商品名称", "WL_NAME"}, {u"尺码", "WL_GG"},
    {u"颜色", "DW_NAME"}, {u"吊牌价", "SJ"}, {u"库存", "abase"}, {u"促销", "fa"},
};

QString cellText(const Field &field, const char *name)
{
    // The tag price as a plain amount ("79", "59.5"), whatever the column type.
    if (qstrcmp(name, "SJ") == 0 && !field.isNull())
        return field.asMoney().toPlainString();
    return field.asString();
}

} // namespace

TS009::TS009(ResultSet &rows, QWidget *parent) : QDialog(parent), rows_(rows)
{
    setObjectName(QStringLiteral("TS009"));
    setWindowTitle(Caption);

    const int columnCount = static_cast<int>(std::size(Columns));
    grid_ = new QTableWidget(0, columnCount, this);
    grid_->setObjectName(QStringLiteral("DBGridEh"));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->verticalHeader()->hide();
    for (int c = 0; c < columnCount; ++c)
        grid_->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf16(Columns[c].caption)));
    grid_->installEventFilter(this);
    connect(grid_, &QTableWidget::cellDoubleClicked, this, &TS009::take);

    auto *buttons = okCancelRow(this, &TS009::take);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(grid_);
    layout->addLayout(buttons);

    fill();
    grid_->resizeColumnsToContents();
    grid_->setFocus();
}

void TS009::fill()
{
    const int current = rows_.recNo();
    const int count = rows_.rowCount();
    grid_->setRowCount(count);
    for (int r = 0; r < count; ++r) {
        rows_.setRecNo(r);
        for (int c = 0; c < grid_->columnCount(); ++c) {
            const char *name = Columns[c].field;
            grid_->setItem(r, c, new QTableWidgetItem(cellText(rows_.field(QLatin1String(name)), name)));
        }
    }
    if (count > 0) {
        const int row = current >= 0 && current < count ? current : 0;
        rows_.setRecNo(row);
        grid_->setCurrentCell(row, 0);
    }
}

void TS009::take()
{
    const int row = grid_->currentRow();
    if (grid_->rowCount() == 0 || row < 0) {
        reject();
        return;
    }
    rows_.setRecNo(row);
    accept();
}

void TS009::toggleInStock()
{
    if (rows_.filtered())
        rows_.clearFilter();
    else
        rows_.setFilter(itemlookup::InStockFilter);
    fill();
}

bool TS009::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            take();
            return true;
        case Qt::Key_Space:
            toggleInStock();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool DialogItemPicker::pick(ResultSet &rows)
{
    TS009 dialog(rows, parent_);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace vorel
