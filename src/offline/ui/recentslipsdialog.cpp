#include "offline/ui/recentslipsdialog.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "core/clock.h"
#include "core/messages.h"
#include "core/ui/dialogbuttons.h"
#include "core/ui/resultsetgrid.h"

namespace vorel {

namespace {

// An amount of 0 is drawn blank; the selected row takes the list's own colour.
class AmountDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant &value, const QLocale &locale) const override
    {
        bool number = false;
        const double v = value.toString().toDouble(&number);
        return number && v == 0 ? QString() : QStyledItemDelegate::displayText(value, locale);
    }
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->state & QStyle::State_Selected)
            option->backgroundBrush = QColor(0xC9, 0xD0, 0xE2);
    }
};

// The slip's date from month to second.
class DateDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant &value, const QLocale &locale) const override
    {
        const QDateTime t = value.typeId() == QMetaType::QDateTime ? value.toDateTime() : parseDateTime(value.toString());
        return t.isValid() ? t.toString(QStringLiteral("MM-dd HH:mm:ss")) : QStyledItemDelegate::displayText(value, locale);
    }
};

bool chineseSystem()
{
    const QLocale l = QLocale::system();
    return l.language() == QLocale::Chinese && l.territory() == QLocale::China;
}

} // namespace

RecentSlipsDialog::RecentSlipsDialog(RecentSlips &slips, Messages &messages, const QString &prefix,
                                     const QString &terminalId, QWidget *parent)
    : QDialog(parent), slips_(slips), messages_(messages)
{
    setObjectName(QStringLiteral("TS006"));
    setWindowTitle(QStringLiteral("查单"));
    setModal(true);
    slips_.load(terminalId);

    auto *column = new QVBoxLayout(this);
    auto *shown = new QLabel(QStringLiteral("只显示本机最近十单记录:"), this);
    shown->setObjectName(QStringLiteral("Label1"));
    auto *other = new QLabel(QStringLiteral("最近十单以外请输入单号查询"), this);
    other->setObjectName(QStringLiteral("Label2"));
    number_ = new QLineEdit(prefix, this);
    number_->setObjectName(QStringLiteral("EDT_SEACH_NOID"));
    number_->setMaxLength(15);
    number_->setCursorPosition(number_->text().size());
    auto *hint = new QLabel(QStringLiteral("删除离线单据快捷键 delete"), this);
    hint->setObjectName(QStringLiteral("hintdel"));
    hint->setVisible(slips_.offline());
    grid_ = new ResultSetGrid(this);
    grid_->setRows(slips_.rows(), {{QStringLiteral("票 号"), QStringLiteral("NOID")},
                                   {QStringLiteral("开单日期"), QStringLiteral("BDATE")},
                                   {QStringLiteral("应收"), QStringLiteral("S1"), true},
                                   {QStringLiteral("抹零"), QStringLiteral("S2"), true},
                                   {QStringLiteral("现金券"), QStringLiteral("S3"), true},
                                   {QStringLiteral("储值卡"), QStringLiteral("S4"), true},
                                   {chineseSystem() ? QStringLiteral("银联") : QStringLiteral("EPS"), QStringLiteral("S5"), true},
                                   {QStringLiteral("现 金"), QStringLiteral("S6"), true},
                                   {QStringLiteral("找零"), QStringLiteral("S7"), true}});
    grid_->setItemDelegateForColumn(1, new DateDelegate(grid_));
    for (int c = 2; c < 9; ++c)
        grid_->setItemDelegateForColumn(c, new AmountDelegate(grid_));
    grid_->setColumnWidth(0, 110);
    column->addWidget(shown);
    column->addWidget(other);
    column->addWidget(number_);
    column->addWidget(hint);
    column->addWidget(grid_);
    column->addLayout(okCancelRow<QDialog>(this, &QDialog::accept));

    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &RecentSlipsDialog::rowChanged);
    connect(grid_, &QAbstractItemView::doubleClicked, this, [this] {
        if (grid_->rowCount() > 0)
            accept();
        else
            reject();
    });
    grid_->installEventFilter(this);
    number_->installEventFilter(this);
    if (grid_->rowCount() > 0)
        grid_->setCurrentRow(grid_->rowCount() - 1);
    number_->setFocus();
}

QString RecentSlipsDialog::slipNumber() const
{
    return number_->text().trimmed();
}

void RecentSlipsDialog::rowChanged()
{
    const int row = grid_->currentRow();
    ResultSet &rows = slips_.rows();
    if (row >= 0 && row < rows.totalRowCount())
        number_->setText(rows.fieldAt(row, rows.columnIndex(QStringLiteral("NOID"))).asString());
}

void RecentSlipsDialog::deleteSelected()
{
    const int row = grid_->currentRow();
    if (!slips_.canDelete() || row < 0)
        return;
    if (!messages_.ask(RecentSlips::DeleteQuestion))
        return;
    if (slips_.remove(row)) {
        grid_->reload();
        if (grid_->rowCount() > 0)
            grid_->setCurrentRow(std::min(row, grid_->rowCount() - 1));
    }
}

bool RecentSlipsDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete &&
        slips_.canDelete()) {
        deleteSelected();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vorel
