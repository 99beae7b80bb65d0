#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/localstorerepair.h"
#include "app/ui/localstorerepairdialog.h"
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

}

// A local store damaged by a power cut, replaced from the login dialog: the question counts
// what would be lost, the damaged file stays as a backup, the clean copy takes its place and
// the dialog closes so that the till ends.
TEST(LoginDialogRepair, ADamagedStoreIsReplacedByTheCleanCopy)
{
    const QByteArray damages[] = {QByteArray(), QByteArray("garbage, no database at all")};
    for (const QByteArray &damage : damages) {
        test::LoginRig rig;
        const QString path = rig.store->path();
        rig.store->close();
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(damage);
        }
        QFile::copy(LocalStore::shippedCleanCopy(), rig.home.filePath(QStringLiteral("VORELZBACK")));
        LoginDialog dialog(*rig.flow);
        dialog.show();
        dialog.findChild<QLineEdit *>(QStringLiteral("n_server"))->setText(QStringLiteral("shop.example"));
        dialog.findChild<QLineEdit *>(QStringLiteral("usercode"))->setText(QStringLiteral("01"));
        dialog.findChild<QLineEdit *>(QStringLiteral("userpassword"))->setText(QStringLiteral("01"));
        rig.messages.answers = {true};
        bool repairShown = false;
        QTimer::singleShot(0, [&] {
            auto *repair = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            ASSERT_TRUE(repair && repair->objectName() == QStringLiteral("TFrm_db"));
            repairShown = true;
            QTest::keyClick(repair, Qt::Key_F2);
        });
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btn_db")), Qt::LeftButton);
        ASSERT_TRUE(repairShown);
        EXPECT_EQ(rig.messages.texts(), (QStringList{rig.messages.texts().value(0), LocalStoreRepair::DoneText}));
        EXPECT_TRUE(rig.messages.texts().value(0).contains(QStringLiteral("无法读取")));
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(dialog.isVisible());

        QFile backup(LocalStoreRepair::backupName(path, rig.tillClock.now()));
        ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
        EXPECT_EQ(backup.readAll(), damage);
        // The store works again, empty until the next synchronisation fills it.
        EXPECT_TRUE(rig.store->isOpen());
        EXPECT_EQ(rig.store->query(QStringLiteral("select count(*) from D712")).field(0).asInt(), 0);
    }
}

// Slips that wait for upload are named before anything is replaced; "no" keeps them.
TEST(LocalStoreRepair, PendingSlipsAreNamedAndKeptOnNo)
{
    test::LoginRig rig;
    rig.store->execute(QStringLiteral("insert into D712 (NOID, BDATE, T) values ('00110000007', '2026-12-05', 0);"
                                      "insert into D712 (NOID, BDATE, T) values ('00110000008', '2026-12-05', 1)"));
    LocalStoreRepair repair(*rig.store, rig.tillClock);
    const QString question = repair.question();
    EXPECT_TRUE(question.contains(QStringLiteral("1 张")));
    EXPECT_TRUE(question.contains(QStringLiteral("00110000007")));
    EXPECT_FALSE(question.contains(QStringLiteral("00110000008")));

    LocalStoreRepairDialog dialog(repair, rig.messages);
    rig.messages.answers = {false};
    QTest::keyClick(&dialog, Qt::Key_F2);
    EXPECT_EQ(rig.store->query(QStringLiteral("select count(*) from D712")).field(0).asInt(), 2);

    // Without a clean copy nothing is replaced and the till is told.
    QFile::remove(rig.home.filePath(QStringLiteral("VORELZBACK")));
    rig.messages.answers = {true};
    QTest::keyClick(&dialog, Qt::Key_F2);
    EXPECT_EQ(rig.messages.texts().last(), LocalStoreRepair::FailedText);
    EXPECT_EQ(rig.store->query(QStringLiteral("select count(*) from D712")).field(0).asInt(), 2);
}

} // namespace
} // namespace vorel
