#pragma once
// TS007 (本机-销售明细表): the lines of this terminal's slips for a period, the search field
// Edit1 and the grid DBGridEh with its footer (the number of slips under the item names, the
// pieces under the quantity). Kept by the sales screen for the session; the query itself is
// shift::SalesQuery.

#include <QDialog>

#include "shift/salesquery.h"

class QDateEdit;
class QLabel;
class QLineEdit;

namespace vorel {

class ResultSetGrid;

class SalesQueryDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SalesQueryDialog(shift::SalesQuery &query, QWidget *parent = nullptr);

    // PrepareSalesQuery: today's lines, the search field focused.
    void prepareSalesQuery();
    // dataclick: runs a period with the search text as it stands.
    void runPeriod(shift::Period period);

    ResultSetGrid *grid() const { return grid_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showRows();

    shift::SalesQuery &query_;
    shift::Period period_ = shift::Period::Today;
    QLineEdit *search_;   // Edit1
    QDateEdit *from_;
    QDateEdit *to_;
    ResultSetGrid *grid_; // DBGridEh
    QLabel *slipCount_;   // footer under WL_NAME
    QLabel *quantity_;    // footer under SL
};

} // namespace vorel
