#pragma once
// A read-only grid over a result set, named DBGridEh unless renamed: whole rows are
// selected, one at a time, and rows carry no numbers. The grid owns the model it shows.

#include <QTableView>

#include "core/resultsetmodel.h"

namespace vorel {

class ResultSetGrid : public QTableView {
    Q_OBJECT
public:
    explicit ResultSetGrid(QWidget *parent = nullptr);

    // Shows `rows`, which must outlive the grid, in `columns` (none: every column by name).
    void setRows(const ResultSet &rows, QList<ResultSetModel::Column> columns = {});
    // Shows the set anew after its rows or its filter changed; no row is current after it.
    void reload();

    int rowCount() const;
    int currentRow() const; // -1 when no row is current
    void setCurrentRow(int row); // keeps the current column; a row out of range is ignored

private:
    ResultSetModel *model_ = nullptr;
};

} // namespace vorel
