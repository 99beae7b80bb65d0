#include "app/ui/screenlockdialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/screenlock.h"

namespace vorel {

namespace {

QLabel *label(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QPushButton *hiddenButton(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->hide();
    return b;
}

} // namespace

ScreenLockDialog::ScreenLockDialog(ScreenLock &lock, QWidget *parent) : QDialog(parent), lock_(lock)
{
    setObjectName(QStringLiteral("TS002"));
    setWindowTitle(ScreenLock::Caption);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setModal(true);

    auto *column = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    userName_ = label(QStringLiteral("USER_NAME"), QString(), this);
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("PASSWORD"));
    password_->setEchoMode(QLineEdit::Password);
    grid->addWidget(label(QStringLiteral("Label4"), QStringLiteral("收银员："), this), 0, 0);
    grid->addWidget(userName_, 0, 1);
    grid->addWidget(label(QStringLiteral("Label1"), QStringLiteral("密  码："), this), 1, 0);
    grid->addWidget(password_, 1, 1);
    column->addLayout(grid);

    wrong_ = label(QStringLiteral("Label2"), ScreenLock::WrongPasswordText, this);
    wrong_->setStyleSheet(QStringLiteral("color: red;"));
    wrong_->hide();
    column->addWidget(wrong_);

    // Kept for the layout of the form; hidden, and Cancel does nothing.
    hiddenButton(QStringLiteral("btn_ok"), QStringLiteral("确定"), this);
    hiddenButton(QStringLiteral("btn_Cancel"), QStringLiteral("取消"), this);

    password_->installEventFilter(this);
    // Pasted text loses its quotes as typed text does.
    connect(password_, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (ScreenLock::refusesTyped(text))
            password_->setText(ScreenLock::withoutQuotes(text));
    });
}

void ScreenLockDialog::prepareUnlock(const QString &cashier)
{
    userName_->setText(cashier);
    password_->clear();
    wrong_->hide();
    lock_.prepareUnlock();
    password_->setFocus();
}

void ScreenLockDialog::lockScreen(ScreenLock &lock, QWidget *owner, const QString &cashier)
{
    lock.lock([&] {
        ScreenLockDialog dialog(lock, owner);
        dialog.prepareUnlock(cashier);
        dialog.exec();
    });
}

void ScreenLockDialog::done(int result)
{
    if (!lock_.mayClose())
        return;
    QDialog::done(result);
}

void ScreenLockDialog::closeEvent(QCloseEvent *event)
{
    if (!lock_.mayClose()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

bool ScreenLockDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == password_ && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        wrong_->hide();
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            checkPassword();
            return true;
        }
        if (ScreenLock::refusesTyped(key->text()))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ScreenLockDialog::checkPassword()
{
    if (lock_.unlock(password_->text())) {
        accept();
        return;
    }
    password_->selectAll();
    wrong_->show();
}

} // namespace vorel
