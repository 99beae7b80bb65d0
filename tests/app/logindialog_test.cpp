#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "app/ui/logindialog.h"
#include "loginrig.h"

namespace vorel {
namespace {

TEST(LoginDialogTest, KeysLogInOnlineAndOffline)
{
    test::LoginRig rig;
    rig.prefs.setServer(QStringLiteral("shop.example,9000"));
    LoginDialog dialog(*rig.flow);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    auto *server = dialog.findChild<QLineEdit *>(QStringLiteral("n_server"));
    auto *user = dialog.findChild<QLineEdit *>(QStringLiteral("usercode"));
    auto *password = dialog.findChild<QLineEdit *>(QStringLiteral("userpassword"));
    ASSERT_TRUE(server && user && password);
    EXPECT_EQ(server->text(), QStringLiteral("shop.example,9000"));
    EXPECT_EQ(user->text(), QStringLiteral("02")); // the preferences' default user
    EXPECT_EQ(dialog.findChild<QPushButton *>(QStringLiteral("btn_ok"))->text(), QStringLiteral("连线 F2"));
    EXPECT_TRUE(dialog.findChild<QPushButton *>(QStringLiteral("btn_ls"))->isVisible());

    user->clear();
    QTest::keyClicks(user, QStringLiteral("ab0123456789xyz"));
    EXPECT_EQ(user->text(), QStringLiteral("AB0123456789"));

    // F3 goes to the local store, which has never been filled.
    QTest::keyClick(password, Qt::Key_F3);
    EXPECT_EQ(rig.messages.texts(), QStringList{LoginFlow::NoOfflineDataText});
    EXPECT_TRUE(dialog.isVisible());

    user->clear();
    QTest::keyClicks(user, QStringLiteral("01"));
    password->clear();
    QTest::keyClicks(password, QStringLiteral("01"));
    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(rig.link->port, 9000);
    EXPECT_TRUE(rig.session.connection.loginFlag);
    EXPECT_EQ(rig.session.identity.userId, QStringLiteral("01"));
    EXPECT_EQ(rig.prefs.user(), QStringLiteral("01"));
}

} // namespace
} // namespace vorel
