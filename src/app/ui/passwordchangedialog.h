#pragma once
// The password change "tset_password" (密码更改): the cashier's number, the old password and
// the new one twice, each hidden and kept in lower case as typed. OK (or Enter) hands the
// texts to PasswordChange; the dialog closes only after the change went through.

#include <QDialog>

class QLineEdit;

namespace vorel {

class PasswordChange;

class PasswordChangeDialog : public QDialog {
    Q_OBJECT

public:
    PasswordChangeDialog(PasswordChange &change, const QString &userId, QWidget *parent = nullptr);

    // F11 of the sales screen: the dialog for `userId`, modally.
    static void run(PasswordChange &change, const QString &userId, QWidget *owner);

private:
    void confirm();

    PasswordChange &change_;
    QLineEdit *user_;
    QLineEdit *old_;
    QLineEdit *new_;
    QLineEdit *repeated_;
};

} // namespace vorel
