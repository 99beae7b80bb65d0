#include "printing/ui/templatepickers.h"

#include <QFontDatabase>
#include <QListWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/ui/dialogbuttons.h"
#include "printing/receiptlibrary.h"

namespace vorel {

const QString SampleTemplatesDialog::Caption = QStringLiteral("小票模板选择");
const QString OtherTillTemplatesPicker::Caption = QStringLiteral("小票模板选择-从其他收银机");

SampleTemplatesDialog::SampleTemplatesDialog(QWidget *parent) : QDialog(parent)
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
            connect(list, &QListWidget::itemDoubleClicked, this, &SampleTemplatesDialog::take);
            tabs_->addTab(list, library.at(index).tab);
            lists_ << list;
        }
        auto *item = new QListWidgetItem(library.at(index).lines.join(QLatin1Char('\n')), lists_.last());
        item->setData(Qt::UserRole, index);
    }
    for (QListWidget *list : std::as_const(lists_))
        list->setCurrentRow(0);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(okCancelRow(this, &SampleTemplatesDialog::take));
    resize(900, 420);
}

int SampleTemplatesDialog::chosenIndex() const
{
    const auto *list = qobject_cast<const QListWidget *>(tabs_->currentWidget());
    if (list == nullptr || list->currentItem() == nullptr)
        return -1;
    return list->currentItem()->data(Qt::UserRole).toInt();
}

void SampleTemplatesDialog::choose(int index)
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

void SampleTemplatesDialog::take()
{
    if (chosenIndex() >= 0)
        accept();
}

OtherTillTemplatesPicker::OtherTillTemplatesPicker(ResultSet &rows, QWidget *parent) : ResultSetPicker({}, parent), rows_(rows)
{
    setObjectName(QStringLiteral("TS004_2"));
    setWindowTitle(Caption);
    grid()->setObjectName(QStringLiteral("DBGridEh1"));
    rows_.first();
    setRows(rows_);
    resize(800, 400);
}

bool OtherTillTemplatesPicker::take(int row)
{
    return rows_.setRecNo(row);
}

} // namespace vorel
