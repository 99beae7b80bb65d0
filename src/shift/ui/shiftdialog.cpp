#include "shift/ui/shiftdialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/messages.h"
#include "core/money.h"
#include "core/ui/dialogbuttons.h"

namespace vorel {

namespace {

QLabel *named(const QString &name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    return l;
}

QPushButton *button(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// $00BBGGRR as the form designer writes a colour.
QString colourSheet(quint32 bgr)
{
    return QStringLiteral("background-color: #%1%2%3;")
        .arg(bgr & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((bgr >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((bgr >> 16) & 0xFF, 2, 16, QLatin1Char('0'));
}

} // namespace

// ---- TS010_1

ShiftRecordsDialog::ShiftRecordsDialog(ResultSet rows, QWidget *parent)
    : ResultSetPicker(Rules{}, parent), rows_(std::move(rows))
{
    setObjectName(QStringLiteral("TS010_1"));
    setWindowTitle(QStringLiteral("本机-交班明细表 (仅列出最近未删除的记录，含上传和未上传)"));
    setRows(rows_, {{QStringLiteral("当班时间"), QStringLiteral("BDATE")},
                    {QStringLiteral("交班时间"), QStringLiteral("EDATE")},
                    {QStringLiteral("登录号"), QStringLiteral("USER_ID")},
                    {QStringLiteral("收银员"), QStringLiteral("USER_NAME")},
                    {QStringLiteral("上传"), QStringLiteral("T")},
                    {QStringLiteral("开始单号"), QStringLiteral("BNOID")},
                    {QStringLiteral("结束单号"), QStringLiteral("ENOID")}});
}

bool ShiftRecordsDialog::take(int)
{
    return true;
}

// ---- TS010

ShiftDialog::ShiftDialog(shift::ShiftDesk &desk, Messages &messages, QWidget *parent)
    : QDialog(parent), desk_(desk), messages_(messages)
{
    setObjectName(QStringLiteral("TS010"));
    setWindowTitle(QStringLiteral("当班/交班"));
    setModal(true);

    auto *column = new QVBoxLayout(this);
    caption_ = named(QStringLiteral("Pnl_top"), this);
    message_ = named(QStringLiteral("Label_msg"), this);
    caption_->setAutoFillBackground(true);
    column->addWidget(caption_);
    column->addWidget(message_);

    auto *grid = new QGridLayout;
    int row = 0;
    const auto add = [&](const QString &caption, QWidget *value) {
        grid->addWidget(new QLabel(caption, this), row / 2, (row % 2) * 2);
        grid->addWidget(value, row / 2, (row % 2) * 2 + 1);
        ++row;
    };
    shiftList_ = new QComboBox(this);
    shiftList_->setObjectName(QStringLiteral("CB"));
    for (const QString &name : shift::ShiftNames)
        shiftList_->addItem(name);
    float_ = new QLineEdit(this);
    float_->setObjectName(QStringLiteral("A4"));
    // Typed quotes are dropped at once.
    connect(float_, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (text.contains(QLatin1Char('\'')))
            float_->setText(QString(text).remove(QLatin1Char('\'')));
    });
    cashier_ = named(QStringLiteral("A1"), this);
    terminal_ = named(QStringLiteral("A7"), this);
    start_ = named(QStringLiteral("A2"), this);
    end_ = named(QStringLiteral("A3"), this);
    duration_ = named(QStringLiteral("tolhh"), this);
    slips_ = named(QStringLiteral("NUM"), this);
    quantity_ = named(QStringLiteral("SL"), this);
    handoverCash_ = named(QStringLiteral("EMONEY"), this);
    add(QStringLiteral("班  次:"), shiftList_);
    add(QStringLiteral("当班金额:"), float_);
    add(QStringLiteral("收银员:"), cashier_);
    add(QStringLiteral("机  号:"), terminal_);
    add(QStringLiteral("当班时间:"), start_);
    add(QStringLiteral("交班时间:"), end_);
    add(QStringLiteral("开票张数:"), slips_);
    add(QStringLiteral("销售数量:"), quantity_);
    static const char *const Captions[] = {"应 收 款:", "抹    零:", "现 金 券:", "储 值 卡:",
                                           "银    联:", "现    金:", "找    零:"};
    for (std::size_t i = 0; i < amounts_.size(); ++i) {
        amounts_[i] = named(QStringLiteral("S%1").arg(i + 1), this);
        add(QString::fromUtf8(Captions[i]), amounts_[i]);
    }
    add(QStringLiteral("交班现金:"), handoverCash_);
    durationCaption_ = new QLabel(QStringLiteral("当班时长:"), this);
    grid->addWidget(durationCaption_, row / 2 + 1, 0);
    grid->addWidget(duration_, row / 2 + 1, 1);
    column->addLayout(grid);

    auto *extras = new QHBoxLayout;
    QPushButton *reprint = button(QStringLiteral("btn_print"), QStringLiteral("重打上一班小票"), this);
    QPushButton *show = button(QStringLiteral("btn_show"), QStringLiteral("查看上一班小票"), this);
    QPushButton *list = button(QStringLiteral("btn_F4"), QStringLiteral("离线交班明细 (F4)"), this);
    connect(reprint, &QPushButton::clicked, this, [this] { desk_.reprintLastVoucher(); });
    connect(show, &QPushButton::clicked, this, [this] { desk_.showLastVoucher(); });
    connect(list, &QPushButton::clicked, this, &ShiftDialog::showShiftRecords);
    extras->addWidget(reprint);
    extras->addWidget(show);
    extras->addWidget(list);
    column->addLayout(extras);
    QHBoxLayout *buttons = okCancelRow(this, &ShiftDialog::btn_okClick);
    ok_ = findChild<QPushButton *>(QStringLiteral("btn_ok"));
    column->addLayout(buttons);
}

void ShiftDialog::prepare(const shift::ShiftForm &form)
{
    handover_ = form.handover;
    caption_->setText(form.caption);
    caption_->setStyleSheet(colourSheet(form.headerColour));
    message_->setText(form.message);
    shiftList_->setCurrentIndex(form.shiftIndex);
    shiftList_->setEnabled(!form.handover);
    float_->setText(form.floatText);
    float_->setEnabled(!form.handover);
    cashier_->setText(form.cashier);
    terminal_->setText(form.terminal);
    start_->setText(form.start);
    end_->setText(form.end);
    duration_->setText(form.duration);
    duration_->setVisible(form.handover);
    durationCaption_->setVisible(form.handover);
    slips_->setText(form.slips);
    quantity_->setText(form.quantity);
    handoverCash_->setText(form.handoverCash);
    for (std::size_t i = 0; i < amounts_.size(); ++i)
        amounts_[i]->setText(form.amounts[i]);
    ok_->setEnabled(true);
    if (form.handover) {
        ok_->setFocus();
    } else {
        float_->setFocus();
        float_->selectAll();
    }
}

shift::OnDutyAnswer ShiftDialog::answer() const
{
    return {shiftList_->currentIndex(), float_->text().trimmed()};
}

std::optional<shift::OnDutyAnswer> ShiftDialog::askOnDuty(const shift::ShiftForm &form)
{
    prepare(form);
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return answer();
}

bool ShiftDialog::confirmHandover(const shift::ShiftForm &form)
{
    prepare(form);
    return exec() == QDialog::Accepted;
}

void ShiftDialog::btn_okClick()
{
    if (!handover_) {
        const std::optional<Money> amount = Money::parse(float_->text());
        if (!amount || amount->isNegative()) {
            messages_.failure(shift::BadFloatText);
            float_->setFocus();
            float_->selectAll();
            return;
        }
    }
    accept();
}

void ShiftDialog::showShiftRecords()
{
    ShiftRecordsDialog list(desk_.shiftRecords(), this);
    if (list.exec() == QDialog::Accepted)
        ok_->setEnabled(true);
}

void ShiftDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier) {
        showShiftRecords();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace vorel
