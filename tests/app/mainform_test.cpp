// The sales screen on a stand-alone demo shop, driven by keys: keys that reach the window
// itself, and the close with its saved settings and closed login record.

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "app/calculator.h"
#include "app/loginflow.h"
#include "app/tillshoplink.h"
#include "app/ui/mainform.h"
#include "core/clock.h"
#include "core/messages.h"
#include "core/programfolder.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "offline/localstore.h"
#include "sales/sale.h"

using namespace vorel;

namespace {

class NoRegistration final : public TerminalRegistration {
public:
    bool registerTerminal(const QString &, const ResultSet &) override { return false; }
};

struct ScreenRig {
    ScreenRig()
        : folder(home.path()), settings(home.filePath(QStringLiteral("VOREL.DLL"))),
          prefs(home.filePath(QStringLiteral("vorel")))
    {
        LocalStore::provideCleanCopy(folder, LocalStore::shippedCleanCopy());
        store = std::make_unique<LocalStore>(LocalStore::prepareFile(folder));
        store->open();
        link = std::make_unique<TillShopLink>(session, *store, clock, home.filePath(QStringLiteral("shop.db")));
        form = std::make_unique<TMainForm>(
            MainFormParts{session, settings, folder, *link, clock, messages, calculator});
        TerminalConfig config;
        config.keyHelpVisible = true;
        form->applyConfig(config);
        LoginFlow flow(session, settings, prefs, clock, messages, *link, registration);
        const auto r = flow.login(LoginFlow::Mode::Online, QStringLiteral("单机版,1"), QStringLiteral("01"),
                                  QStringLiteral("01"));
        EXPECT_EQ(r.status, LoginFlow::Status::Started);
        form->startSession();
    }
    QString label(const char *name) const
    {
        return form->findChild<QLabel *>(QString::fromLatin1(name))->text();
    }

    QTemporaryDir home;
    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0))};
    ProgramFolder folder;
    TerminalSettings settings;
    UserPreferences prefs;
    Session session;
    RecordingMessages messages;
    FakeCalculator calculator;
    NoRegistration registration;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<TillShopLink> link;
    std::unique_ptr<TMainForm> form;
};

TEST(MainForm, KeysOnTheWindowReachTheCommandLine)
{
    ScreenRig rig;
    EXPECT_EQ(rig.label("bsLabZ01"), QStringLiteral("001"));
    EXPECT_EQ(rig.label("bsLabZ03"), QStringLiteral("00110000000"));

    QTest::keyClicks(rig.form.get(), QStringLiteral("6920880010118"));
    QTest::keyClick(rig.form.get(), Qt::Key_Return);
    EXPECT_EQ(rig.form->sale().lineCount(), 1);
    EXPECT_EQ(rig.label("LAB_TOL02"), QStringLiteral("79"));

    QTest::keyClick(rig.form.get(), Qt::Key_F6);
    EXPECT_EQ(rig.label("LAB_PRINT"), QStringLiteral("开"));
    // A quote never reaches the command line.
    QTest::keyClicks(rig.form->commandEdit(), QStringLiteral("a'b"));
    EXPECT_EQ(rig.form->commandEdit()->text(), QStringLiteral("ab"));
}

TEST(MainForm, ClosingSavesTheScreenAndEndsTheLogin)
{
    ScreenRig rig;
    ASSERT_FALSE(rig.session.terminal.loginGuid.isEmpty());
    QTest::keyClick(rig.form.get(), Qt::Key_F1); // the key help goes away
    rig.form->close();

    EXPECT_FALSE(rig.settings.keyHelpVisible());
    EXPECT_EQ(rig.settings.warehouseName(), QStringLiteral("南京路旗舰店"));
    EXPECT_TRUE(rig.settings.gridLayout(GridLayout{}).has_value());
    EXPECT_TRUE(rig.session.terminal.loginGuid.isEmpty());
    ResultSet rows;
    ASSERT_TRUE(rig.link->service().posOpenSql(rows, QStringLiteral("select guid, enddate from sys_log_login")));
    ASSERT_TRUE(rows.first());
    EXPECT_TRUE(rows.field(QStringLiteral("guid")).isNull());
    EXPECT_EQ(rows.field(QStringLiteral("enddate")).asString(), QStringLiteral("2026-12-05 10:00:00"));
}

} // namespace
