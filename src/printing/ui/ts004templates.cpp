#include "printing/ui/ts004templates.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/resultset.h"
#include "printing/receiptlibrary.h"

namespace vorel {

namespace {

QHBoxLayout *okCancel(QDialog *dialog, QPushButton **ok)
{
    *ok = new QPushButton(QStringLiteral("确定"), dialog);
    (*ok)->setObjectName(QStringLiteral("btn_ok"));
    (*ok)->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("取消"), dialog);
    cancel->setObjectName(QStringLiteral("btn_Cancel"));
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(*ok);
    row->addWidget(cancel);
    return row;
}

} // namespace

const QString TS004_1::Caption = QStringLiteral("小票模板选择");
const QString TS004_2::Caption = QStringLiteral("小票模板选择-从其他收银机");

TS004_1::TS004_1(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TS004_1"));
    setWindowTitle(Caption);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("PageControl1"));
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    // The library keeps its entries tab by tab, two to a tab.
    const QList<ReceiptLibraryEntry> &library = receiptLibrary();
    for (int index = 0; index < library.size(); ++index) {
        if (lists_.isEmpty() || tabs_->tabText(tabs_->count() - 1) != library.at(index).tab) {
            auto *list = new QListWidget(tabs_);
            list->setObjectName(QStringLiteral("List%1").arg(lists_.size() + 1));
            list->setFont(fixed);
            list->setFlow(QListView::LeftToRight);
            list->setSpacing(8);
            connect(list, &QListWidget::itemDoubleClicked, this, &TS004_1::take);
            tabs_->addTab(list, library.at(index).tab);
            lists_ << list;
        }
        auto *item = new QListWidgetItem(library.at(index).lines.join(QLatin1Char('\n')), lists_.last());
        item->setData(Qt::UserRole, index);
    }
    for (QListWidget *list : std::as_const(lists_))
        list->setCurrentRow(0);

    QPushButton *ok = nullptr;
    QHBoxLayout *buttons = okCancel(this, &ok);
    connect(ok, &QPushButton::clicked, this, &TS004_1::take);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(buttons);
    resize(900, 420);
}

int TS004_1::chosenIndex() const
{
    const auto *list = qobject_cast<const QListWidget *>(tabs_->currentWidget());
    if (list == nullptr || list->currentItem() == nullptr)
        return -1;
    return list->currentItem()->data(Qt::UserRole).toInt();
}

void TS004_1::choose(int index)
{
    for (QListWidget *list : std::as_const(lists_)) {
        for (int row = 0; row < list->count(); ++row) {
            if (list->item(row)->data(Qt::UserRole).toInt() == index) {
                tabs_->setCurrentWidget(list);
                list->setCurrentRow(row);
                return;
            }
        }
    }
}

void TS004_1::take()
{
    if (chosenIndex() >= 0)
        accept();
}

TS004_2::TS004_2(ResultSet &rows, QWidget *parent) : QDialog(parent), rows_(rows)
{
    setObjectName(QStringLiteral("TS004_2"));
    setWindowTitle(Caption);
    grid_ = new QTableWidget(0, rows_.columnCount(), this);
    grid_->setObjectName(QStringLiteral("DBGridEh1"));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->verticalHeader()->hide();
    for (int c = 0; c < rows_.columnCount(); ++c)
        grid_->setHorizontalHeaderItem(c, new QTableWidgetItem(rows_.column(c).name));
    grid_->setRowCount(rows_.rowCount());
    for (int r = 0; r < rows_.rowCount(); ++r) {
        rows_.setRecNo(r);
        for (int c = 0; c < rows_.columnCount(); ++c)
            grid_->setItem(r, c, new QTableWidgetItem(rows_.field(c).asString()));
    }
    if (rows_.rowCount() > 0) {
        rows_.first();
        grid_->setCurrentCell(0, 0);
    }
    connect(grid_, &QTableWidget::cellDoubleClicked, this, &TS004_2::take);

    QPushButton *ok = nullptr;
    QHBoxLayout *buttons = okCancel(this, &ok);
    connect(ok, &QPushButton::clicked, this, &TS004_2::take);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(grid_);
    layout->addLayout(buttons);
    resize(800, 400);
}

void TS004_2::take()
{
    const int row = grid_->currentRow();
    if (row < 0 || !rows_.setRecNo(row))
        return;
    accept();
}

} // namespace vorel
