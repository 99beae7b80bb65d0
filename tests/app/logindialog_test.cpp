#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/ui/logindialog.h"
#include "loginrig.h"

namespace vorel {
namespace {

// The login dialog of a network till whose preferences name a server, on screen.
class LoginDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        ASSERT_TRUE(server && user && password);
    }
    QLineEdit *edit(const char *name) { return dialog.findChild<QLineEdit *>(QString::fromLatin1(name)); }

    test::LoginRig rig;
    const bool serverNamed = rig.prefs.setServer(QStringLiteral("shop.example,9000"));
    LoginDialog dialog{*rig.flow};
    QLineEdit *server = edit("n_server");
    QLineEdit *user = edit("usercode");
    QLineEdit *password = edit("userpassword");
};

TEST_F(LoginDialogTest, KeysLogInOnlineAndOffline)
{
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
    // Caps Lock on: the password still arrives in lower case.
    QTest::keyClicks(password, QStringLiteral("aBC"));
    EXPECT_EQ(password->text(), QStringLiteral("abc"));
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

TEST_F(LoginDialogTest, NetworkSettingsAndRepairButtons)
{

    // The settings open on the server text's address and port; OK shows the new ones.
    QString shownHost;
    int shownPort = 0;
    QTimer::singleShot(0, [&] {
        auto *net = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_TRUE(net && net->objectName() == QStringLiteral("TFrm_Net"));
        auto *host = net->findChild<QLineEdit *>(QStringLiteral("edt_server"));
        auto *port = net->findChild<QSpinBox *>(QStringLiteral("edt_port"));
        shownHost = host->text();
        shownPort = port->value();
        host->setText(QStringLiteral("10.0.0.8"));
        port->setValue(9100);
        QTest::mouseClick(net->findChild<QPushButton *>(QStringLiteral("btn_ok")), Qt::LeftButton);
    });
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btn_set")), Qt::LeftButton);
    EXPECT_EQ(shownHost, QStringLiteral("shop.example"));
    EXPECT_EQ(shownPort, 9000);
    EXPECT_EQ(server->text(), QStringLiteral("10.0.0.8,9100"));
    EXPECT_EQ(rig.prefs.server(), QStringLiteral("10.0.0.8,9100"));

    // Repair: the server checks the password and the right, then says what it can do.
    user->setText(QStringLiteral("01"));
    password->setText(QStringLiteral("01"));
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btn_db")), Qt::LeftButton);
    EXPECT_EQ(rig.link->port, 9100);
    EXPECT_EQ(rig.messages.texts(), QStringList{LoginFlow::RepairUnavailableText});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(rig.session.connection.loginFlag);
}

} // namespace
} // namespace vorel
