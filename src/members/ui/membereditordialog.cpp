#include "members/ui/membereditordialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/messages.h"

namespace vorel {

namespace {

using Field = MemberEditor::Field;

QLineEdit *textField(const char *name, Field field, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    if (const int length = MemberEditor::maxLength(field))
        edit->setMaxLength(length);
    return edit;
}

QDateEdit *dateField(const char *name, QWidget *parent)
{
    auto *edit = new QDateEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setCalendarPopup(true);
    return edit;
}

QLabel *valueLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

MemberEditorDialog::MemberEditorDialog(MemberEditor &editor, Messages &messages, QWidget *parent)
    : QDialog(parent), editor_(editor), messages_(messages)
{
    setObjectName(QStringLiteral("TIV7001_1"));
    setWindowTitle(QStringLiteral("会员信息管理"));

    cardNo_ = textField("Edit1", Field::CardNo, this);
    name_ = textField("Edit2", Field::Name, this);
    age_ = textField("Edit3", Field::Age, this);
    phone_ = textField("Edit4", Field::Phone, this);
    job_ = textField("EDIT5", Field::Job, this);
    email_ = textField("Edit6", Field::Email, this);
    address_ = textField("EDIT7", Field::Address, this);
    opened_ = dateField("BDATE", this);
    expires_ = dateField("EDATE", this);
    discount_ = textField("ZK", Field::Discount, this);
    birthday_ = textField("Edit8", Field::Birthday, this);
    grade_ = new QComboBox(this);
    grade_->setObjectName(QStringLiteral("ComboBox1"));
    grade_->addItems(MemberEditor::Grades);
    status_ = new QComboBox(this);
    status_->setObjectName(QStringLiteral("ComboBox2"));
    status_->addItems(MemberEditor::Statuses);
    points_ = textField("VIPF", Field::Points, this);
    pointsLabel_ = valueLabel("F", this);
    balance_ = textField("VIPM_B", Field::Balance, this);
    balanceLabel_ = valueLabel("VIPm", this);
    note_ = textField("note", Field::Note, this);

    fields_ = {{Field::CardNo, cardNo_},     {Field::Name, name_},         {Field::Age, age_},
               {Field::Phone, phone_},       {Field::Job, job_},           {Field::Email, email_},
               {Field::Address, address_},   {Field::Opened, opened_},     {Field::Expires, expires_},
               {Field::Discount, discount_}, {Field::Birthday, birthday_}, {Field::Points, points_},
               {Field::Balance, balance_},   {Field::Note, note_}};

    auto *grid = new QGridLayout;
    const auto row = [this, grid](int r, int c, const QString &caption, QWidget *field, const QString &hint = {}) {
        grid->addWidget(new QLabel(caption, this), r, c * 3);
        grid->addWidget(field, r, c * 3 + 1);
        if (!hint.isEmpty())
            grid->addWidget(new QLabel(hint, this), r, c * 3 + 2);
    };
    row(0, 0, QStringLiteral("会员卡号"), cardNo_);
    row(1, 0, QStringLiteral("称呼"), name_);
    row(2, 0, QStringLiteral("年    龄"), age_);
    row(3, 0, QStringLiteral("电    话"), phone_);
    row(4, 0, QStringLiteral("职    业"), job_);
    row(5, 0, QStringLiteral("电    邮"), email_);
    row(6, 0, QStringLiteral("地    址"), address_);
    row(7, 0, QStringLiteral("备    注"), note_);
    row(0, 1, QStringLiteral("开卡日期"), opened_);
    row(1, 1, QStringLiteral("有效日期"), expires_);
    row(2, 1, QStringLiteral("折扣"), discount_, QStringLiteral("0.01~1.00"));
    row(3, 1, QStringLiteral("生    日"), birthday_, QStringLiteral("格式:月.日"));
    row(4, 1, QStringLiteral("等级"), grade_);
    row(5, 1, QStringLiteral("使用状态"), status_);
    row(6, 1, QStringLiteral("初始积分"), points_);
    row(7, 1, QStringLiteral("初始余额"), balance_);
    row(8, 1, QStringLiteral("累计积分"), pointsLabel_);
    row(9, 1, QStringLiteral("余    额"), balanceLabel_);

    // The buttons never take the focus: leaving a field for them runs no field check, and OK
    // checks every field itself.
    ok_ = new QPushButton(QStringLiteral("确定"), this);
    ok_->setObjectName(QStringLiteral("btn_ok"));
    ok_->setDefault(true);
    ok_->setFocusPolicy(Qt::NoFocus);
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setObjectName(QStringLiteral("btn_Cancel"));
    cancel_->setFocusPolicy(Qt::NoFocus);
    connect(ok_, &QPushButton::clicked, this, &MemberEditorDialog::save);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(cardNo_, &QLineEdit::textEdited, cardNo_, [this](const QString &text) {
        const int at = cardNo_->cursorPosition();
        cardNo_->setText(text.toUpper());
        cardNo_->setCursorPosition(at);
    });
    for (QWidget *field : std::as_const(fields_))
        field->installEventFilter(this);
}

void MemberEditorDialog::openForAdd()
{
    editor_.openForAdd();
    fromForm();
    pointsLabel_->setText(QStringLiteral("0"));
    balanceLabel_->setText(QStringLiteral("0"));
    // The card number is the server's to give when cards are numbered automatically.
    const bool typed = !editor_.autoNumbering();
    cardNo_->setReadOnly(!typed);
    cardNo_->setFocusPolicy(typed ? Qt::StrongFocus : Qt::NoFocus);
    (typed ? cardNo_ : name_)->setFocus();
}

void MemberEditorDialog::fromForm()
{
    const MemberForm &f = editor_.form();
    cardNo_->setText(f.cardNo);
    name_->setText(f.name);
    age_->setText(f.age);
    phone_->setText(f.phone);
    job_->setText(f.job);
    email_->setText(f.email);
    address_->setText(f.address);
    opened_->setDate(f.opened);
    expires_->setDate(f.expires);
    discount_->setText(f.discount);
    birthday_->setText(f.birthday);
    grade_->setCurrentIndex(f.grade);
    status_->setCurrentIndex(f.status);
    points_->setText(f.points);
    balance_->setText(f.balance);
    note_->setText(f.note);
}

void MemberEditorDialog::toForm()
{
    MemberForm &f = editor_.form();
    f.cardNo = cardNo_->text();
    f.name = name_->text();
    f.age = age_->text();
    f.phone = phone_->text();
    f.job = job_->text();
    f.email = email_->text();
    f.address = address_->text();
    f.opened = opened_->date();
    f.expires = expires_->date();
    f.discount = discount_->text();
    f.birthday = birthday_->text();
    f.grade = grade_->currentIndex();
    f.status = status_->currentIndex();
    f.points = points_->text();
    f.balance = balance_->text();
    f.note = note_->text();
}

bool MemberEditorDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut && !refocusing_) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        // Only a move to another field of this form: switching windows, closing the form or
        // cancelling checks nothing.
        QWidget *next = QApplication::focusWidget();
        const bool moved = reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
                           next && next != cancel_ && isAncestorOf(next);
        const MemberEditor::Field field = fields_.key(static_cast<QWidget *>(watched), Field::None);
        if (moved && field != Field::None) {
            toForm();
            const auto problem = editor_.leave(field);
            // The card number may have been drawn, the birthday normalised.
            cardNo_->setText(editor_.form().cardNo);
            birthday_->setText(editor_.form().birthday);
            if (problem)
                report(*problem, true);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void MemberEditorDialog::report(const MemberEditor::Problem &problem, bool deferFocus)
{
    QWidget *field = fields_.value(problem.field);
    if (problem.field == Field::None)
        messages_.failure(problem.message);
    else
        messages_.notice(problem.message);
    if (!field)
        return;
    if (!deferFocus) {
        field->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The focus is on its way to the next field: it comes back once it got there, and the
    // field it passed through is not checked on the way back.
    refocusing_ = true;
    QTimer::singleShot(0, field, [this, field] {
        field->setFocus(Qt::OtherFocusReason);
        refocusing_ = false;
    });
}

void MemberEditorDialog::save()
{
    toForm();
    const auto problem = editor_.save();
    fromForm();
    if (problem) {
        report(*problem, false);
        return;
    }
    accept();
}

QString MemberEditorDialog::addMember(MemberEditor &editor, Messages &messages, QWidget *parent)
{
    MemberEditorDialog dialog(editor, messages, parent);
    dialog.openForAdd();
    dialog.exec();
    return dialog.resultText();
}

} // namespace vorel
