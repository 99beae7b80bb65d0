#include "settlement/ui/businessdatedialog.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "settlement/slipnumbers.h"

namespace vorel {

namespace {

QLabel *notice(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

} // namespace

BusinessDateDialog::BusinessDateDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TS012"));
    setWindowTitle(QStringLiteral("开单日期设定"));

    auto *column = new QVBoxLayout(this);
    auto *choice = new QGridLayout;
    rb1_ = new QRadioButton(QStringLiteral("将开单日期改为:"), this);
    rb1_->setObjectName(QStringLiteral("rb1"));
    picker_ = new QDateEdit(QDate::currentDate(), this);
    picker_->setObjectName(QStringLiteral("bdate"));
    picker_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    picker_->setCalendarPopup(true);
    rb2_ = new QRadioButton(QStringLiteral("自动默认开单日期为本机时间"), this);
    rb2_->setObjectName(QStringLiteral("rb2"));
    choice->addWidget(rb1_, 0, 0);
    choice->addWidget(picker_, 0, 1);
    choice->addWidget(rb2_, 1, 0, 1, 2);
    column->addLayout(choice);

    column->addWidget(notice(QStringLiteral("Label2"),
                             QStringLiteral("系统提示：将开单日期更改后，系统开出单据一直以更改后的日期保存。"), this));
    column->addWidget(notice(QStringLiteral("Label3"),
                             QStringLiteral("用途：因系统故障，网络问题不能及时录入单据，隔日录入时需更改日期后再录入"),
                             this));
    column->addWidget(notice(QStringLiteral("Label4"),
                             QStringLiteral("更改的日期必须在进销存期间内，否则保存将提示日期出错。"), this));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("btn_ok"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("btn_Cancel"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    column->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void BusinessDateDialog::prepare(const BusinessDate &date)
{
    const DateChoice shown = date.dialogChoice();
    (shown.automatic ? rb2_ : rb1_)->setChecked(true);
    picker_->setDate(shown.picker.date());
}

void BusinessDateDialog::apply(BusinessDate &date) const
{
    date.choose(rb2_->isChecked(), picker_->date());
}

bool BusinessDateDialog::ask(BusinessDate &date)
{
    prepare(date);
    if (exec() != QDialog::Accepted)
        return false;
    apply(date);
    return true;
}

} // namespace vorel
