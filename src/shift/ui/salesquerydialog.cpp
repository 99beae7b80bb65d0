#include "shift/ui/salesquerydialog.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "core/ui/resultsetgrid.h"

namespace vorel {

namespace {

// A return (negative quantity) and the cash-off item stand out in their own colours.
class RowColours final : public QStyledItemDelegate {
public:
    RowColours(const shift::SalesQuery &query, QObject *parent) : QStyledItemDelegate(parent), query_(query) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const ResultSet &rows = query_.rows();
        const int raw = rows.rawRowOf(index.row());
        if (raw < 0)
            return;
        if (rows.fieldAt(raw, rows.columnIndex(QStringLiteral("SL"))).asInt() < 0)
            option->backgroundBrush = QColor(0x80, 0xFF, 0xFF); // $00FFFF80
        else if (rows.fieldAt(raw, rows.columnIndex(QStringLiteral("K_ID"))).asString() == QLatin1String("ZZZZZ"))
            option->backgroundBrush = QColor(0xFF, 0xD2, 0xD2); // $00D2D2FF
    }

private:
    const shift::SalesQuery &query_;
};

QList<ResultSetModel::Column> gridColumns(bool uploadFlag)
{
    QList<ResultSetModel::Column> c{
        {QStringLiteral("单号"), QStringLiteral("NOID")},        {QStringLiteral("开单日期"), QStringLiteral("BDATE")},
        {QStringLiteral("款号"), QStringLiteral("K_ID")},        {QStringLiteral("品名"), QStringLiteral("WL_NAME")},
        {QStringLiteral("尺码"), QStringLiteral("M")},           {QStringLiteral("颜色"), QStringLiteral("COL_NAME")},
        {QStringLiteral("数量"), QStringLiteral("SL")},          {QStringLiteral("吊牌 单价"), QStringLiteral("ODJ"), true},
        {QStringLiteral("吊牌 金额"), QStringLiteral("OMONEY"), true}, {QStringLiteral("折后 折扣"), QStringLiteral("ZK"), true},
        {QStringLiteral("折后 VIP折扣"), QStringLiteral("VIPZK"), true}, {QStringLiteral("折后 单价"), QStringLiteral("DJ"), true},
        {QStringLiteral("折后 金额"), QStringLiteral("MONEY"), true}, {QStringLiteral("备注"), QStringLiteral("NOTE")},
        {QStringLiteral("VIP"), QStringLiteral("VIPID")},        {QStringLiteral("开单用户"), QStringLiteral("USER_ID")},
        {QStringLiteral("营业员"), QStringLiteral("YW_ID")},
    };
    if (uploadFlag)
        c.append({QStringLiteral("上传"), QStringLiteral("T")});
    return c;
}

} // namespace

SalesQueryDialog::SalesQueryDialog(shift::SalesQuery &query, QWidget *parent) : QDialog(parent), query_(query)
{
    setObjectName(QStringLiteral("TS007"));
    setWindowTitle(QStringLiteral("本机-销售明细表"));
    setModal(true);

    auto *column = new QVBoxLayout(this);
    auto *periods = new QHBoxLayout;
    const struct {
        const char *name;
        const char *text;
        shift::Period period;
    } buttons[] = {{"btn_1", "今天", shift::Period::Today},     {"btn_2", "昨天", shift::Period::Yesterday},
                   {"btn_3", "当月", shift::Period::ThisMonth}, {"btn_4", "上月", shift::Period::LastMonth},
                   {"btn_5", "本班", shift::Period::MyShift}};
    for (const auto &b : buttons) {
        auto *button = new QPushButton(QString::fromUtf8(b.text), this);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setAutoDefault(false);
        const shift::Period period = b.period;
        connect(button, &QPushButton::clicked, this, [this, period] { runPeriod(period); });
        periods->addWidget(button);
    }
    from_ = new QDateEdit(this);
    from_->setObjectName(QStringLiteral("D1"));
    to_ = new QDateEdit(this);
    to_->setObjectName(QStringLiteral("D2"));
    for (QDateEdit *d : {from_, to_}) {
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setCalendarPopup(true);
    }
    auto *range = new QPushButton(QStringLiteral("查询"), this);
    range->setObjectName(QStringLiteral("btn_6"));
    range->setAutoDefault(false);
    connect(range, &QPushButton::clicked, this, [this] { runPeriod(shift::Period::Range); });
    periods->addWidget(from_);
    periods->addWidget(new QLabel(QStringLiteral("至"), this));
    periods->addWidget(to_);
    periods->addWidget(range);
    column->addLayout(periods);

    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("Edit1"));
    search_->setPlaceholderText(shift::SalesQuerySearchHint);
    // Typed quotes are dropped at once.
    connect(search_, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (text.contains(QLatin1Char('\'')))
            search_->setText(QString(text).remove(QLatin1Char('\'')));
    });
    search_->installEventFilter(this);
    column->addWidget(search_);

    grid_ = new ResultSetGrid(this);
    grid_->setItemDelegate(new RowColours(query_, grid_));
    column->addWidget(grid_, 1);

    auto *footer = new QHBoxLayout;
    slipCount_ = new QLabel(this);
    slipCount_->setObjectName(QStringLiteral("footer_WL_NAME"));
    quantity_ = new QLabel(this);
    quantity_->setObjectName(QStringLiteral("footer_SL"));
    footer->addWidget(slipCount_);
    footer->addStretch();
    footer->addWidget(new QLabel(QStringLiteral("数量:"), this));
    footer->addWidget(quantity_);
    column->addLayout(footer);
    resize(1000, 600);
}

void SalesQueryDialog::prepareSalesQuery()
{
    search_->clear();
    from_->setDate(query_.today());
    to_->setDate(query_.today());
    runPeriod(shift::Period::Today);
    search_->setFocus();
}

void SalesQueryDialog::runPeriod(shift::Period period)
{
    period_ = period;
    query_.run(period, search_->text(), from_->date(), to_->date());
    showRows();
}

void SalesQueryDialog::showRows()
{
    grid_->setRows(query_.rows(), gridColumns(query_.showsUploadFlag()));
    slipCount_->setText(query_.slipCountText());
    quantity_->setText(QString::number(query_.footer().quantity));
    if (grid_->rowCount() > 0)
        grid_->setCurrentRow(0);
}

bool SalesQueryDialog::eventFilter(QObject *watched, QEvent *event)
{
    // Enter in the search field runs the last period again with the text.
    if (watched == search_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            runPeriod(period_);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vorel
