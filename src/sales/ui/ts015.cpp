#include "sales/ui/ts015.h"
#include "sales/ui/dialogbuttons.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <iterator>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vorel {

namespace {

struct PickerColumn {
    const char16_t *caption;
    const char *field;
};

constexpr PickerColumn Columns[] = {
    {u"卡号", "VIPID"},     {u"称呼", "VIPNAME"}, {u"电 话", "VIPTEL"}, {u"生 日", "BIRDATE"},
    {u"等 级", "G"},        {u"折 扣", "VIPZK"},  {u"积 分", "VIPF"},   {u"开卡日期 ", "BDATE"},
};

} // namespace

TS015::TS015(const ResultSet &cards, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TS015"));
    setWindowTitle(QStringLiteral("会员选择"));

    const int columnCount = static_cast<int>(std::size(Columns));
    grid_ = new QTableWidget(cards.totalRowCount(), columnCount, this);
    grid_->setObjectName(QStringLiteral("DBGridEh"));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->verticalHeader()->hide();
    for (int c = 0; c < columnCount; ++c) {
        grid_->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf16(Columns[c].caption)));
        const int source = cards.columnIndex(QString::fromLatin1(Columns[c].field));
        for (int r = 0; source >= 0 && r < cards.totalRowCount(); ++r)
            grid_->setItem(r, c, new QTableWidgetItem(cards.fieldAt(r, source).asString()));
    }
    grid_->resizeColumnsToContents();
    if (grid_->rowCount() > 0)
        grid_->setCurrentCell(0, 0);
    grid_->viewport()->installEventFilter(this);

    auto *buttons = okCancelRow(this, &TS015::take);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(grid_);
    layout->addLayout(buttons);
    grid_->setFocus();
}

void TS015::take()
{
    const int row = grid_->currentRow();
    if (row < 0)
        return;
    chosen_ = row;
    accept();
}

bool TS015::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == grid_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        if (grid_->rowCount() == 0)
            reject();
        else
            take();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

std::optional<int> TS015::pick(const ResultSet &cards, QWidget *parent)
{
    TS015 dialog(cards, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

} // namespace vorel
