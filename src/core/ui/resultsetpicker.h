#pragma once
// The pickers' dialog: the rows of a result set in a grid (DBGridEh) above OK and Cancel
// (btn_ok, btn_Cancel), one row to take. Enter on the grid, OK and a double click on the grid
// take the current row; Escape and Cancel close the dialog as cancelled; the arrow keys and
// Page Up/Down move through the rows. Each picker says what taking a row means and may refuse
// it, which keeps the dialog open.

#include <QDialog>

#include "core/ui/resultsetgrid.h"

class QVBoxLayout;

namespace vorel {

class ResultSetPicker : public QDialog {
    Q_OBJECT
public:
    struct Rules {
        bool wrapRound = false;    // Up on the first row goes to the last, Down on the last to the first
        bool emptyCancels = false; // with no row to take, Enter, OK and a double click cancel
    };

protected:
    explicit ResultSetPicker(Rules rules, QWidget *parent = nullptr);

    // Shows `rows` (which must outlive the dialog) in `columns` (none: every column by name),
    // with the cursor on visible row `current` (clamped to the rows).
    void setRows(const ResultSet &rows, QList<ResultSetModel::Column> columns = {}, int current = 0);
    ResultSetGrid *grid() const { return grid_; }
    // Adds a widget under the ones added before, above the grid.
    void addAboveGrid(QWidget *widget);

    // Takes visible row `row`; false keeps the dialog open.
    virtual bool take(int row) = 0;
    // A key pressed on the grid that the rules above leave alone; true when the picker used it.
    virtual bool gridKey(int key);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void pick();
    bool moveRound(int key);

    Rules rules_;
    ResultSetGrid *grid_;
    QVBoxLayout *layout_;
};

} // namespace vorel
