// The lock dialog driven with real keys against the demo shop: the password decides, nothing
// else closes it, and a typed quote never reaches the field. What it shows, and the sales
// screen putting it up until the right password, are the lock scenario's.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/ui/screenlockdialog.h"
#include "lockrig.h"

namespace vorel {
namespace {

class TS002Test : public ::testing::Test, protected test::LockRig {
protected:
    void SetUp() override
    {
        dialog = std::make_unique<ScreenLockDialog>(*lock);
        dialog->prepareUnlock(QStringLiteral("01 张丽"));
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }

    void type(const QString &text) { QTest::keyClicks(dialog->passwordEdit(), text); }
    void enter() { QTest::keyClick(dialog->passwordEdit(), Qt::Key_Return); }

    std::unique_ptr<ScreenLockDialog> dialog;
};

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
    EXPECT_EQ(dialog->passwordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(dialog->findChild<QPushButton *>(QStringLiteral("btn_ok"))->isVisible());
    EXPECT_FALSE(dialog->findChild<QPushButton *>(QStringLiteral("btn_Cancel"))->isVisible());
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

} // namespace
} // namespace vorel
