#include "core/ui/resultsetpicker.h"

#include <QEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "core/ui/dialogbuttons.h"

namespace vorel {

ResultSetPicker::ResultSetPicker(Rules rules, QWidget *parent)
    : QDialog(parent), rules_(rules), grid_(new ResultSetGrid(this)), layout_(new QVBoxLayout(this))
{
    grid_->installEventFilter(this);
    grid_->viewport()->installEventFilter(this);
    layout_->addWidget(grid_);
    layout_->addLayout(okCancelRow(this, &ResultSetPicker::pick));
    grid_->setFocus();
}

void ResultSetPicker::setRows(const ResultSet &rows, QList<ResultSetModel::Column> columns, int current)
{
    grid_->setRows(rows, std::move(columns));
    grid_->setCurrentRow(qBound(0, current, grid_->rowCount() - 1));
}

void ResultSetPicker::addAboveGrid(QWidget *widget)
{
    layout_->insertWidget(layout_->indexOf(grid_), widget);
}

bool ResultSetPicker::gridKey(int)
{
    return false;
}

void ResultSetPicker::pick()
{
    const int row = grid_->currentRow();
    if (row < 0) {
        if (rules_.emptyCancels)
            reject();
        return;
    }
    if (take(row))
        accept();
}

bool ResultSetPicker::moveRound(int key)
{
    const int rows = grid_->rowCount();
    if (!rules_.wrapRound || (key != Qt::Key_Up && key != Qt::Key_Down) || rows == 0)
        return false;
    const int step = key == Qt::Key_Down ? 1 : -1;
    grid_->setCurrentRow((qMax(grid_->currentRow(), 0) + step + rows) % rows);
    return true;
}

bool ResultSetPicker::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched == grid_) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            pick();
            return true;
        }
        if (moveRound(key) || gridKey(key))
            return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick && watched == grid_->viewport()) {
        pick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vorel
