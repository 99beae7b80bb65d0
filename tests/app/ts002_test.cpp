// The lock dialog driven with real keys against the demo shop: the password decides, nothing
// else closes it, and a typed quote never reaches the field.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/ui/ts002.h"
#include "lockrig.h"

namespace vorel {
namespace {

class TS002Test : public ::testing::Test, protected test::LockRig {
protected:
    void SetUp() override
    {
        dialog = std::make_unique<TS002>(*lock);
        dialog->prepareUnlock(QStringLiteral("01 张丽"));
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }

    void type(const QString &text) { QTest::keyClicks(dialog->passwordEdit(), text); }
    void enter() { QTest::keyClick(dialog->passwordEdit(), Qt::Key_Return); }

    std::unique_ptr<TS002> dialog;
};

TEST_F(TS002Test, ShowsTheCashierAndAMaskedEmptyPassword)
{
    EXPECT_EQ(dialog->findChild<QLabel *>(QStringLiteral("USER_NAME"))->text(), QStringLiteral("01 张丽"));
    auto *password = dialog->findChild<QLineEdit *>(QStringLiteral("PASSWORD"));
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_FALSE(dialog->wrongPasswordLabel()->isVisible());
    EXPECT_FALSE(dialog->findChild<QPushButton *>(QStringLiteral("btn_ok"))->isVisible());
    EXPECT_FALSE(dialog->findChild<QPushButton *>(QStringLiteral("btn_Cancel"))->isVisible());
}

TEST_F(TS002Test, WrongOrEmptyPasswordKeepsItLockedUntilTheRightOne)
{
    for (const QString &attempt : {QStringLiteral("02"), QString()}) {
        dialog->passwordEdit()->clear();
        type(attempt);
        enter();
        EXPECT_TRUE(dialog->isVisible()) << attempt.toStdString();
        EXPECT_TRUE(dialog->wrongPasswordLabel()->isVisible());
        EXPECT_EQ(dialog->passwordEdit()->selectedText(), attempt);
        // any key hides the notice again
        QTest::keyClick(dialog->passwordEdit(), Qt::Key_Home);
        EXPECT_FALSE(dialog->wrongPasswordLabel()->isVisible());
    }
    // typing over the selected wrong password
    type(QStringLiteral("0"));
    enter();
    ASSERT_TRUE(dialog->isVisible());
    dialog->passwordEdit()->selectAll();
    type(QStringLiteral("01"));
    enter();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(lock->isLocked());
}

TEST_F(TS002Test, NothingButThePasswordClosesIt)
{
    QTest::keyClick(dialog->passwordEdit(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    QTest::keyClick(dialog->passwordEdit(), Qt::Key_F4, Qt::AltModifier);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->close());
    QCloseEvent closing; // what the window manager sends for Alt+F4
    QApplication::sendEvent(dialog.get(), &closing);
    EXPECT_FALSE(closing.isAccepted());
    dialog->reject();
    dialog->accept();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(lock->isLocked());
}

TEST_F(TS002Test, TypedAndPastedQuotesNeverReachThePassword)
{
    type(QStringLiteral("'0''1'"));
    EXPECT_EQ(dialog->passwordEdit()->text(), QStringLiteral("01"));
    // a quote typed inside the text leaves the cursor where it was
    QTest::keyClick(dialog->passwordEdit(), Qt::Key_Home);
    type(QStringLiteral("'9"));
    EXPECT_EQ(dialog->passwordEdit()->text(), QStringLiteral("901"));
    dialog->passwordEdit()->clear();
    dialog->passwordEdit()->insert(QStringLiteral("0'1")); // as a paste does
    emit dialog->passwordEdit()->textEdited(dialog->passwordEdit()->text());
    EXPECT_EQ(dialog->passwordEdit()->text(), QStringLiteral("01"));
    enter();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(TS002Test, LockScreenWaitsForThePasswordThenRestartsTheIdleCount)
{
    dialog.reset();
    lock = std::make_unique<ScreenLock>(connection, clock);
    lock->setLockMinutes(2);
    lock->startIdleTimer();
    clock.advanceSeconds(90);
    lock->tick();
    ASSERT_EQ(lock->idleSeconds(), 90);

    QWidget salesScreen;
    int attempts = 0;
    bool timerWhileLocked = true;
    QString shownCashier;
    std::function<void()> typeWhenUp = [&] {
        auto *up = qobject_cast<TS002 *>(QApplication::activeModalWidget());
        if (up == nullptr) {
            QTimer::singleShot(10, typeWhenUp);
            return;
        }
        ++attempts;
        timerWhileLocked = lock->isIdleTimerActive();
        shownCashier = up->cashierLabel()->text();
        up->close(); // refused
        QTest::keyClicks(up->passwordEdit(), attempts == 1 ? QStringLiteral("9") : QStringLiteral("01"));
        QTest::keyClick(up->passwordEdit(), Qt::Key_Return);
        if (up->isVisible())
            QTimer::singleShot(10, typeWhenUp);
    };
    QTimer::singleShot(10, typeWhenUp);
    TS002::lockScreen(*lock, &salesScreen, QStringLiteral("01 张丽"));

    EXPECT_EQ(attempts, 2);
    EXPECT_FALSE(timerWhileLocked);
    EXPECT_EQ(shownCashier, QStringLiteral("01 张丽"));
    EXPECT_TRUE(salesScreen.findChildren<TS002 *>().isEmpty()); // released after unlocking
    EXPECT_EQ(lock->idleSeconds(), 0);
    EXPECT_TRUE(lock->isIdleTimerActive());
}

} // namespace
} // namespace vorel
