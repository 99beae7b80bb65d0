// F5 and F3 as the sales screen sees them, and the two dialogs driven as real widgets:
// TS005 with a scripted shop, TS006 over the local store.

#include <QStyledItemDelegate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "core/terminalsettings.h"
#include "core/ui/resultsetgrid.h"
#include "fakeclock.h"
#include "offline/syncdesk.h"
#include "offline/ui/recentslipsdialog.h"
#include "offline/ui/syncdialog.h"
#include "offlinetestutil.h"
#include "recordingmessages.h"

namespace vorel {
namespace {

class ScriptedScreens final : public OfflineScreens {
public:
    SyncOutcome outcome;
    int syncs = 0;
    bool lastAutomatic = false;
    SyncOutcome synchronise(const SyncTerminal &, bool automatic) override
    {
        ++syncs;
        lastAutomatic = automatic;
        return outcome;
    }
    std::optional<QString> chooseSlip(const QString &prefix, const QString &) override { return prefix; }
};

class Desk : public test::ConnectionFixture {
protected:
    TerminalSettings settings{dir.file(QStringLiteral("VOREL.DLL"))};
    ScriptedScreens screens;
    SyncDesk desk{connection, settings, screens};
};

TEST_F(Desk, F5RefusesInItsOrderAndReportsTheOutcome)
{
    struct Case {
        bool allowed, offline;
        int net;
        bool right;
        int closed;
        QString expected;
    };
    const QString summary = QStringLiteral(" 销售单据:2");
    const Case cases[] = {
        {false, true, 1, false, SyncOutcome::Synchronised, SyncDesk::OfflineRefusedText},
        {true, true, 1, false, SyncOutcome::Synchronised, SyncDesk::WhileOfflineText},
        {true, false, 1, false, SyncOutcome::Synchronised, SyncDesk::StandAloneText},
        {true, false, 0, false, SyncOutcome::Synchronised, SyncDesk::NoRightText},
        {true, false, 0, true, SyncOutcome::Dismissed, QString()},
        {true, false, 0, true, SyncOutcome::Synchronised, SyncDesk::ManualDoneText + summary},
        {true, false, 0, true, SyncOutcome::SwitchedOffline, SyncDesk::SwitchedOfflineText},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        session.connection.offlineAllowed = c.allowed;
        session.connection.offline = c.offline;
        session.connection.net = quint8(c.net);
        screens.outcome = {c.closed, Synchroniser::Done, summary};
        const int before = screens.syncs;
        EXPECT_EQ(desk.synchroniseOnRequest(c.right), c.expected);
        const bool refused = !c.allowed || c.offline || c.net == 1 || !c.right;
        EXPECT_EQ(screens.syncs, before + (refused ? 0 : 1));
        EXPECT_EQ(desk.switchedOffline(), c.closed == SyncOutcome::SwitchedOffline && !refused);
    }
    EXPECT_TRUE(connection.isOffline());
    EXPECT_FALSE(session.connection.loginOnline);
}

TEST_F(Desk, TheAutomaticRunSaysHowItEnded)
{
    session.connection.offline = false;
    EXPECT_EQ(desk.synchroniseAtStart(false), std::nullopt);
    const std::pair<int, QString> results[] = {
        {Synchroniser::DownloadFailed, SyncDesk::AutoDownloadFailedText},
        {Synchroniser::UploadFailed, SyncDesk::AutoUploadFailedText},
        {Synchroniser::Done, SyncDesk::AutoDoneText + QStringLiteral(" 登录记录:1")},
    };
    for (const auto &[result, text] : results) {
        screens.outcome = {SyncOutcome::Dismissed, result, QStringLiteral(" 登录记录:1")};
        EXPECT_EQ(desk.synchroniseAtStart(true), text);
        EXPECT_TRUE(screens.lastAutomatic);
    }
    QString refusal;
    EXPECT_EQ(desk.chooseSlip(false, true, &refusal), std::nullopt);
    EXPECT_EQ(refusal, SyncDesk::SaleOpenText);
}

class SyncScreen : public test::ConnectionFixture {
protected:
    SyncDialog *dialog(bool automatic)
    {
        dialog_ = std::make_unique<SyncDialog>(sync, store, messages, SyncTerminal{QStringLiteral("001"), QStringLiteral("001")},
                                               automatic);
        dialog_->setStartDelay(0);
        return dialog_.get();
    }
    bool shown(const char *name) { return dialog_->findChild<QLabel *>(QString::fromLatin1(name))->isVisibleTo(dialog_.get()); }
    QString text(const char *name) { return dialog_->findChild<QLabel *>(QString::fromLatin1(name))->text(); }

    TerminalSettings settings{dir.file(QStringLiteral("VOREL.DLL"))};
    FakeClock clock;
    RecordingMessages messages;
    Synchroniser sync{store, shop, settings, clock, 3};
    std::unique_ptr<SyncDialog> dialog_;
};

TEST_F(SyncScreen, ManualFailuresStayOpenAndF3NeedsOfflineData)
{
    store.execute(test::slipHeader(QStringLiteral("00110000001")));
    SyncDialog *d = dialog(false);
    QTest::keyClick(d, Qt::Key_F3);
    EXPECT_EQ(messages.texts(), QStringList{Synchroniser::NoOfflineDataText});

    shop.setReachable(false);
    QTest::keyClick(d, Qt::Key_F5);
    EXPECT_EQ(d->syncResult(), Synchroniser::UploadFailed);
    EXPECT_TRUE(shown("Label4") && shown("Label5"));
    EXPECT_EQ(text("Label4"), Synchroniser::UploadFailedCause);
    EXPECT_TRUE(d->findChild<QPushButton *>(QStringLiteral("btn_ok"))->isEnabled());
    EXPECT_TRUE(settings.lastSyncTime().isEmpty());

    // The slip goes up, the first read fails.
    shop.setReachable(true);
    shop.onExec(QString(), ReplyOk);
    shop.onOpenFail(QStringLiteral("VD1005"));
    QTest::keyClick(d, Qt::Key_F5);
    EXPECT_EQ(d->syncResult(), Synchroniser::DownloadFailed);
    EXPECT_EQ(text("Label5"), Synchroniser::DownloadFailedAdvice);
    EXPECT_TRUE(settings.lastSyncTime().startsWith(Synchroniser::StampFailurePrefix));

    store.execute(QStringLiteral("INSERT INTO SYS_CO VALUES ('1,1,1')"));
    QTest::keyClick(d, Qt::Key_F3);
    EXPECT_EQ(d->result(), SyncDialog::SwitchedOfflineResult);
}

TEST_F(SyncScreen, AnAutomaticRunClosesByItself)
{
    shop.setReachable(false);
    store.execute(test::slipHeader(QStringLiteral("00110000001")));
    SyncDialog *d = dialog(true);
    EXPECT_FALSE(d->findChild<QPushButton *>(QStringLiteral("btn_ok"))->isEnabled());
    d->show();
    ASSERT_TRUE(test::waitUntil([d] { return !d->isVisible(); }));
    EXPECT_EQ(d->syncResult(), Synchroniser::UploadFailed);
}

class SlipList : public test::ConnectionFixture {
protected:
    void keep(int count)
    {
        for (int i = 1; i <= count; ++i)
            store.execute(test::slipHeader(QStringLiteral("001%1").arg(10000000 + i)));
        store.execute(QStringLiteral("UPDATE D712 SET S2=0, S5=12.5"));
    }
    RecordingMessages messages;
    RecentSlips slips{connection};
};

TEST_F(SlipList, OfflineTheStoreListsAndDeletes)
{
    session.connection.offline = true;
    keep(12);
    RecentSlipsDialog d(slips, messages, QStringLiteral("001"), QStringLiteral("001"));
    auto *grid = d.findChild<ResultSetGrid *>(QStringLiteral("DBGridEh"));
    auto *number = d.findChild<QLineEdit *>(QStringLiteral("EDT_SEACH_NOID"));
    ASSERT_EQ(grid->rowCount(), 10);
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), QStringLiteral("00110000003"));
    EXPECT_EQ(number->text(), QStringLiteral("00110000012"));
    EXPECT_TRUE(d.findChild<QLabel *>(QStringLiteral("hintdel"))->isVisibleTo(&d));
    const auto cell = [grid](int column) {
        const QModelIndex i = grid->model()->index(0, column);
        return static_cast<QStyledItemDelegate *>(grid->itemDelegateForColumn(column))->displayText(i.data(), QLocale());
    };
    EXPECT_EQ(cell(1), QStringLiteral("03-02 10:15:00"));
    EXPECT_EQ(cell(3), QString()); // S2 = 0
    EXPECT_EQ(cell(6), QStringLiteral("12.5"));

    messages.answers = {false, true};
    QTest::keyClick(number, Qt::Key_Delete);
    EXPECT_EQ(count(QStringLiteral("d712")), 12);
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(messages.texts().last(), RecentSlips::DeleteQuestion);
    EXPECT_EQ(count(QStringLiteral("d712 where noid='00110000012'")), 0);
    EXPECT_EQ(grid->rowCount(), 9);
}

TEST_F(SlipList, OnlineTheShopListsAndNothingIsDeleted)
{
    session.connection.offline = false;
    keep(1);
    ResultSet server({{QStringLiteral("NOID"), FieldType::Text}, {QStringLiteral("S1"), FieldType::Decimal}});
    server.appendRow({QStringLiteral("00110000040"), 10});
    shop.onOpen(QStringLiteral("top 10"), server);
    RecentSlipsDialog d(slips, messages, QStringLiteral("001"), QStringLiteral("001"));
    EXPECT_EQ(d.slipNumber(), QStringLiteral("00110000040"));
    EXPECT_FALSE(d.findChild<QLabel *>(QStringLiteral("hintdel"))->isVisibleTo(&d));
    QTest::keyClick(d.findChild<ResultSetGrid *>(QStringLiteral("DBGridEh")), Qt::Key_Delete);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(count(QStringLiteral("d712")), 1);
}

} // namespace
} // namespace vorel
