#include "core/ui/resultsetgrid.h"

#include <QHeaderView>

namespace vorel {

ResultSetGrid::ResultSetGrid(QWidget *parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("DBGridEh"));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->hide();
}

void ResultSetGrid::setRows(const ResultSet &rows, QList<ResultSetModel::Column> columns)
{
    auto *previous = model_;
    model_ = new ResultSetModel(rows, std::move(columns), this);
    setModel(model_);
    delete previous;
}

void ResultSetGrid::reload()
{
    if (model_ != nullptr)
        model_->reload();
}

int ResultSetGrid::rowCount() const
{
    return model_ != nullptr ? model_->rowCount() : 0;
}

int ResultSetGrid::currentRow() const
{
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

void ResultSetGrid::setCurrentRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    setCurrentIndex(model_->index(row, qMax(currentIndex().column(), 0)));
}

} // namespace vorel
