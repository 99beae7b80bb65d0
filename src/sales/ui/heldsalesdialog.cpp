#include "sales/ui/heldsalesdialog.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vorel {

HeldSalesDialog::HeldSalesDialog(const QList<HeldSaleRow> &rows, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TS003"));
    setWindowTitle(QStringLiteral("挂单/取单"));
    setModal(true);
    grid_ = new QTableWidget(int(rows.size()), 4, this);
    grid_->setObjectName(QStringLiteral("DBGridEh"));
    grid_->setHorizontalHeaderLabels(
        {QStringLiteral("挂单号"), QStringLiteral("商品"), QStringLiteral("会员卡号"), QStringLiteral("折扣")});
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < rows.size(); ++r) {
        const HeldSaleRow &row = rows.at(r);
        const QString cells[] = {row.number, row.description, row.memberCard, row.memberRateText};
        for (int c = 0; c < 4; ++c)
            grid_->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    if (!rows.isEmpty())
        grid_->selectRow(0);
    grid_->installEventFilter(this);
    connect(grid_, &QTableWidget::cellDoubleClicked, this, [this] { choose(false); });
    auto *column = new QVBoxLayout(this);
    column->addWidget(grid_);
    resize(640, 320);
    grid_->setFocus();
}

void HeldSalesDialog::choose(bool take)
{
    const int row = grid_->currentRow();
    if (row >= 0 && row < grid_->rowCount())
        pick_ = HeldSalePicker::Pick{row, take};
    accept();
}

bool HeldSalesDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            choose(true);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

std::optional<HeldSalePicker::Pick> DialogHeldSalePicker::pick(const QList<HeldSaleRow> &rows)
{
    HeldSalesDialog dialog(rows, owner_);
    dialog.exec();
    return dialog.pick();
}

} // namespace vorel
