// The password change against a real shop server, through its dialog: the entries must
// agree, the old password must be right, and afterwards only the new one logs in. Offline
// and without the right the key refuses.

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/passwordchange.h"
#include "app/tillshoplink.h"
#include "app/ui/passwordchangedialog.h"
#include "core/session.h"
#include "core/text.h"
#include "fakeclock.h"
#include "freshstore.h"
#include "loopbackserver.h"
#include "offline/connection.h"
#include "recordingmessages.h"
#include "screenrig.h"
#include "testshop.h"

namespace vorel {
namespace {

struct ServedTill {
    ServedTill()
    {
        store = test::freshLocalStore(home);
        server = test::startLoopbackServer(shop.location(), clock);
        session.connection.indyTcpPort = server->messagePort();
        link = std::make_unique<TillShopLink>(session, *store, clock, home.filePath(QStringLiteral("shop.db")));
        EXPECT_TRUE(link->connect(QStringLiteral("127.0.0.1"), server->port(), 2000));
        EXPECT_TRUE(logsIn(QStringLiteral("01")));
    }
    bool logsIn(const QString &password)
    {
        const LoginReply reply = link->service().thrGetLogin(
            LoginRequest{QStringLiteral("01"), getMD5(password), QStringLiteral("vorel"), QStringLiteral("CL")});
        return reply.reachable && reply.rows.rowCount() == 1;
    }

    QTemporaryDir home;
    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0))};
    test::TestShop shop{sql::BackendKind::SQLite, test::TestShop::Content::Demo, clock.now().date()};
    std::unique_ptr<server::ShopServer> server;
    Session session;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<TillShopLink> link;
    RecordingMessages messages;
};

TEST(PasswordChange, TheDialogChangesThePasswordOnTheServer)
{
    ServedTill till;
    PasswordChange change(till.link->connection(), till.messages);
    ASSERT_TRUE(change.available());
    PasswordChangeDialog dialog(change, QStringLiteral("01"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const auto edit = [&](const char *name) { return dialog.findChild<QLineEdit *>(QLatin1String(name)); };
    EXPECT_FALSE(edit("user_id")->isEnabled());
    const auto confirm = [&](const QString &old, const QString &fresh, const QString &again) {
        for (auto [name, text] : {std::pair("old", old), std::pair("new", fresh), std::pair("new1", again)}) {
            edit(name)->clear();
            QTest::keyClicks(edit(name), text);
        }
        till.messages.shown.clear();
        edit("new1")->setFocus();
        QTest::keyClick(edit("new1"), Qt::Key_Return);
        return till.messages.texts();
    };

    // Each refusal leaves the dialog open and the shop's password as it was.
    struct Refusal {
        QString old, fresh, again, shown;
        const char *focus;
    };
    const Refusal refusals[] = {
        {"01", "abc", "abd", PasswordChange::MismatchText, "new"},
        {"99", "abc", "abc", PasswordChange::FailedText, "new1"},
    };
    for (const Refusal &r : refusals) {
        EXPECT_EQ(confirm(r.old, r.fresh, r.again), QStringList{r.shown});
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.focusWidget()->objectName(), QLatin1String(r.focus));
        EXPECT_TRUE(till.logsIn(QStringLiteral("01")));
    }

    // Typed with Caps Lock and blanks: the digest of the trimmed lower-case text is stored.
    EXPECT_EQ(confirm(QStringLiteral("01"), QStringLiteral(" NewPw "), QStringLiteral("newpw")),
              QStringList{PasswordChange::DoneText});
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(till.logsIn(QStringLiteral("newpw")));
    EXPECT_FALSE(till.logsIn(QStringLiteral("01")));

    // With the server gone the change is not offered.
    till.link->connection().setOffline(true);
    EXPECT_FALSE(change.available());
}

TEST(PasswordChange, F11RefusesOfflineAndWithoutTheRight)
{
    test::ScreenRig rig;
    ASSERT_TRUE(rig.started);
    QLineEdit *line = rig.form->commandEdit();
    rig.link->connection().setOffline(true);
    QTest::keyClick(line, Qt::Key_F11);
    EXPECT_EQ(rig.label("HELP_COLOR"), PasswordChange::OfflineText);
    rig.session.terminal.rights = CashierRights(QStringLiteral("11111111011111111"));
    QTest::keyClick(line, Qt::Key_F11);
    EXPECT_EQ(rig.label("HELP_COLOR"), QStringLiteral("您无权使用该功能!"));
}

} // namespace
} // namespace vorel
