#include "app/ui/passwordchangedialog.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/passwordchange.h"
#include "core/ui/dialogbuttons.h"

namespace vorel {

namespace {

QLineEdit *passwordEdit(const char *name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(12);
    edit->setEchoMode(QLineEdit::Password);
    // Caps Lock must not change what is stored: the text is kept in lower case as typed.
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString &text) {
        const QString lower = text.toLower();
        if (lower != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(lower);
            edit->setCursorPosition(cursor);
        }
    });
    return edit;
}

} // namespace

PasswordChangeDialog::PasswordChangeDialog(PasswordChange &change, const QString &userId, QWidget *parent)
    : QDialog(parent), change_(change), user_(new QLineEdit(userId, this)), old_(passwordEdit("old", this)),
      new_(passwordEdit("new", this)), repeated_(passwordEdit("new1", this))
{
    setObjectName(QStringLiteral("tset_password"));
    setWindowTitle(QStringLiteral("密码更改"));
    user_->setObjectName(QStringLiteral("user_id"));
    user_->setEnabled(false);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("用 户 号"), user_);
    form->addRow(QStringLiteral("旧 密 码"), old_);
    form->addRow(QStringLiteral("新 密 码"), new_);
    form->addRow(QStringLiteral("确认新密码"), repeated_);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(okCancelRow<PasswordChangeDialog>(this, &PasswordChangeDialog::confirm));
    old_->setFocus();
}

void PasswordChangeDialog::run(PasswordChange &change, const QString &userId, QWidget *owner)
{
    PasswordChangeDialog dialog(change, userId, owner);
    dialog.exec();
}

void PasswordChangeDialog::confirm()
{
    switch (change_.confirm(user_->text(), old_->text(), new_->text(), repeated_->text())) {
    case PasswordChange::Outcome::Changed:
        accept();
        break;
    case PasswordChange::Outcome::Mismatch:
        new_->setFocus();
        new_->selectAll();
        break;
    case PasswordChange::Outcome::WrongOld:
        break;
    case PasswordChange::Outcome::Failed:
        old_->setFocus();
        old_->selectAll();
        break;
    }
}

} // namespace vorel
