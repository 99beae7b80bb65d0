#pragma once
// The lock dialog "系统已锁屏，请输入解锁密码" (TS002): shows the cashier, takes the
// password, and refuses every way of closing it (Escape, the window's close, Alt+F4) until
// ScreenLock accepts the password. It exists only while the screen is locked.

#include <QDialog>

class QLabel;
class QLineEdit;

namespace vorel {

class ScreenLock;

class ScreenLockDialog : public QDialog {
    Q_OBJECT
public:
    ScreenLockDialog(ScreenLock &lock, QWidget *parent = nullptr);

    // Shows the cashier (the sales screen's cashier label), empties the password and puts
    // the close guard up.
    void prepareUnlock(const QString &cashier);

    // The lock key and the idle lock of the sales screen: the dialog for `cashier` over
    // `owner`, modally, until the right password; then the idle count starts again.
    static void lockScreen(ScreenLock &lock, QWidget *owner, const QString &cashier);

    QLabel *cashierLabel() const { return userName_; }
    QLineEdit *passwordEdit() const { return password_; }
    QLabel *wrongPasswordLabel() const { return wrong_; }

    // Closing goes through here; refused while locked.
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void checkPassword();

    ScreenLock &lock_;
    QLabel *userName_ = nullptr;
    QLineEdit *password_ = nullptr;
    QLabel *wrong_ = nullptr;
};

} // namespace vorel
