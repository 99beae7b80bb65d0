// The two wrappers and the bulk door against a scripted shop service and a real local store:
// the order of the checks, what each outcome does to the state, and what lands locally.

#include "offlinetestutil.h"

#include "fakeshopservice.h"

namespace vorel {
namespace {

const QString Slip = QStringLiteral("00110000001");

class ConnectionTest : public test::ConnectionFixture {
protected:
    ConnectionTest()
    {
        QObject::connect(&connection, &Connection::offlineChanged, &connection,
                         [this](bool offline) { offlineSignals.append(offline); });
        QObject::connect(&connection, &Connection::statusChanged, &connection,
                         [this](bool offline) { statusSignals.append(offline); });
    }

    QList<bool> offlineSignals;
    QList<bool> statusSignals;
};

// ---- execServerSql: the order of the checks

enum class Server { Unused, Ok, Reply, Down };

struct ExecCase {
    const char *name;
    bool offlineAllowed;
    bool offlineBefore;
    int net;
    Route route;
    Server server;
    const char *serverReply; // with Server::Reply
    bool localSqlFails;      // the batch is one the local store refuses
    // expected
    const char *reply; // nullptr: the server's reply unchanged; "NDT": NetworkDownText
    bool offlineAfter;
    bool slipStoredLocally;
};

const char *const NDT = "NDT";

class ExecOrder : public ConnectionTest, public ::testing::WithParamInterface<ExecCase> {};

TEST_P(ExecOrder, FollowsTheOrderOfChecks)
{
    const ExecCase &c = GetParam();
    session.connection.offlineAllowed = c.offlineAllowed;
    session.connection.net = static_cast<quint8>(c.net);
    session.connection.serverTimeoutSeconds = 7;
    connection.setOffline(c.offlineBefore);
    offlineSignals.clear();
    statusSignals.clear();
    shop.setReachable(c.server != Server::Down);
    if (c.server == Server::Reply)
        shop.onExec(QStringLiteral("INSERT INTO D712"), QString::fromUtf8(c.serverReply));
    const QString sql = test::slipBatch(Slip) + (c.localSqlFails ? QStringLiteral("update d712 set vipm=0;") : QString());

    const QString reply =
        connection.execServerSql({opcode::Slip, Slip, QStringLiteral("Add")}, sql, c.route);

    const QString serverReply =
        c.server == Server::Down ? FakeShopService::UnreachableReply : QString::fromUtf8(c.serverReply);
    EXPECT_EQ(reply, !c.reply                         ? serverReply
                     : QByteArray(c.reply) == NDT     ? Connection::NetworkDownText
                                                      : QString::fromUtf8(c.reply));
    EXPECT_EQ(session.connection.offline, c.offlineAfter);
    EXPECT_EQ(connection.showsOffline(), c.offlineAfter);

    const auto calls = shop.calls(FakeShopService::CallKind::Exec);
    ASSERT_EQ(calls.size(), c.server != Server::Unused ? 1 : 0);
    if (!calls.isEmpty()) {
        EXPECT_EQ(calls.first().code, opcode::Slip);
        EXPECT_EQ(calls.first().key, Slip);
        EXPECT_EQ(calls.first().operation, QStringLiteral("Add"));
        EXPECT_EQ(calls.first().sql, sql);
        EXPECT_EQ(calls.first().timeoutSeconds, 7);
    }

    EXPECT_EQ(count(QStringLiteral("d712 where T=0 and vipf=19")), c.slipStoredLocally ? 1 : 0);
    EXPECT_EQ(count(QStringLiteral("d712a")), c.slipStoredLocally ? 1 : 0);
    EXPECT_FALSE(store.inTransaction());
    // A signal exactly when the state differs from before.
    EXPECT_EQ(offlineSignals.size(), c.offlineBefore != c.offlineAfter ? 1 : 0);
    EXPECT_EQ(statusSignals.size(), c.offlineBefore != c.offlineAfter ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ExecOrder,
    ::testing::Values(
        // 1. Offline and not allowed: refused for server and local routes, nothing asked, nothing written.
        ExecCase{"NotAllowedOfflineRoute0", false, true, 0, Route::Server, Server::Unused, "", false, NDT, true, false},
        ExecCase{"NotAllowedOfflineRoute2", false, true, 0, Route::Local, Server::Unused, "", false, NDT, true, false},
        // 2. Local routes run on the store only.
        ExecCase{"Route1Local", true, true, 0, Route::Offline, Server::Unused, "", false, "Y", true, true},
        ExecCase{"Route2Local", true, false, 0, Route::Local, Server::Unused, "", false, "Y", false, true},
        ExecCase{"Route2WhileNotAllowedButOnline", false, false, 0, Route::Local, Server::Unused, "", false, "Y", false, true},
        ExecCase{"Route1LocalFailure", true, true, 0, Route::Offline, Server::Unused, "", true, "ERROR", true, false},
        // 3./4. The server's yes and each kind of business refusal come back as they are.
        ExecCase{"ServerYes", true, false, 0, Route::Server, Server::Ok, "", false, "Y", false, false},
        ExecCase{"ServerYesWhileOffline", true, true, 0, Route::Server, Server::Ok, "", false, "Y", true, false},
        ExecCase{"DuplicateSlip", true, false, 0, Route::Server, Server::Reply,
                 "违反了 PRIMARY KEY 约束 'PK_D712'。不能插入重复键。", false, nullptr, false, false},
        ExecCase{"StockShort", true, false, 0, Route::Server, Server::Reply, "库存不足,不允许负库存销售!", false, nullptr, false,
                 false},
        ExecCase{"ClosedPeriod", true, false, 0, Route::ServerOnly, Server::Reply, "开单日期不在进销存期间内!", false, nullptr,
                 false, false},
        ExecCase{"LockAnywhere", true, false, 0, Route::Server, Server::Reply, "单据已被他人锁定", false, nullptr, false, false},
        ExecCase{"StoredValueShort", true, false, 0, Route::ServerOnly, Server::Reply, "储值卡余额不足以支付本单!", false, nullptr,
                 false, false},
        // 5. Stand-alone edition: any failure is just the reply, whatever the route or the setting.
        ExecCase{"StandAloneDown", true, false, 1, Route::Server, Server::Down, "", false, nullptr, false, false},
        ExecCase{"StandAloneRoute3Down", false, false, 1, Route::ServerOnly, Server::Down, "", false, nullptr, false, false},
        // 6.-8. Anything else is a network failure: offline, then fall back or refuse.
        ExecCase{"DownFallsBack", true, false, 0, Route::Server, Server::Down, "", false, "Y", true, true},
        ExecCase{"OtherReplyFallsBack", true, false, 0, Route::Server, Server::Reply, "Invalid column name 'X'.", false, "Y",
                 true, true},
        ExecCase{"DownFallBackFails", true, false, 0, Route::Server, Server::Down, "", true, "ERROR", true, false},
        ExecCase{"DownRoute3NeverFallsBack", true, false, 0, Route::ServerOnly, Server::Down, "", false, NDT, true, false},
        ExecCase{"DownNotAllowed", false, false, 0, Route::Server, Server::Down, "", false, NDT, true, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ConnectionTest, ALocalBatchThatFailsHalfWayLeavesNoRowBehind)
{
    // The last statement repeats the slip number.
    const QString batch =
        QStringLiteral("insert into db_pao(t) values ('one');") + test::slipBatch(Slip) + test::slipHeader(Slip);
    EXPECT_EQ(connection.execServerSql({opcode::Plain}, batch, Route::Local), ReplyError);
    for (const char *table : {"db_pao", "d712", "d712a"})
        EXPECT_EQ(count(QString::fromLatin1(table)), 0) << table;
    EXPECT_TRUE(connection.lastLocalError().contains(QStringLiteral("UNIQUE"))) << connection.lastLocalError().toStdString();
    // The store is still good for the next slip.
    EXPECT_EQ(connection.execServerSql({opcode::Plain}, test::slipBatch(Slip), Route::Local), ReplyOk);
    EXPECT_EQ(count(QStringLiteral("d712")), 1);
}

TEST_F(ConnectionTest, ALocalWriteOnAStoreThatIsNotOpenIsAnError)
{
    store.close();
    EXPECT_EQ(connection.execServerSql({opcode::Plain}, test::slipBatch(Slip), Route::Local), ReplyError);
    EXPECT_FALSE(connection.lastLocalError().isEmpty());
    ResultSet rows;
    EXPECT_FALSE(connection.openServerSql(rows, QStringLiteral("select * from d712"), true));
    EXPECT_EQ(rows.columnCount(), 0);
}

// ---- openServerSql

struct OpenCase {
    const char *name;
    bool local;
    bool offlineBefore;
    bool offlineAllowed;
    int net;
    bool serverFails;
    bool withSwitchAndLocalSql;
    // expected
    bool returns;
    const char *firstNoid; // nullptr: no rows
    bool serverAsked;
    bool offlineAfter;
    bool switchSqlRan;
};

class OpenOrder : public ConnectionTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenOrder, ReadsWhereTheStateSays)
{
    const OpenCase &c = GetParam();
    ASSERT_EQ(connection.execServerSql({opcode::Plain}, test::slipBatch(QStringLiteral("local-row")), Route::Local),
              ReplyOk);
    connection.setOffline(c.offlineBefore);
    session.connection.offlineAllowed = c.offlineAllowed;
    session.connection.net = static_cast<quint8>(c.net);
    if (c.serverFails) {
        shop.onOpenFail(QStringLiteral("d712"));
    } else {
        ResultSet serverRows(QList<Column>{{QStringLiteral("NOID"), FieldType::Text}});
        serverRows.appendRow({QStringLiteral("server-row")});
        shop.onOpen(QStringLiteral("d712"), serverRows);
    }

    ResultSet rows;
    rows.setColumns({{QStringLiteral("stale"), FieldType::Text}});
    const QString sql = QStringLiteral("select noid from d712 order by noid");
    const bool ok = c.withSwitchAndLocalSql
                        ? connection.openServerSql(rows, sql, c.local,
                                                   QStringLiteral("insert into db_pao(t) values ('switched')"),
                                                   QStringLiteral("select 'from-local-sql' as noid"))
                        : connection.openServerSql(rows, sql, c.local);

    EXPECT_EQ(ok, c.returns);
    ASSERT_EQ(rows.rowCount(), c.firstNoid ? 1 : 0);
    if (c.firstNoid) {
        EXPECT_EQ(rows.field(QStringLiteral("noid")).asString(), QString::fromUtf8(c.firstNoid));
    }
    EXPECT_EQ(shop.calls(FakeShopService::CallKind::Open).size(), c.serverAsked ? 1 : 0);
    EXPECT_EQ(session.connection.offline, c.offlineAfter);
    EXPECT_EQ(count(QStringLiteral("db_pao where t='switched'")), c.switchSqlRan ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OpenOrder,
    ::testing::Values(
        OpenCase{"LocalFlag", true, false, true, 0, false, false, true, "local-row", false, false, false},
        OpenCase{"OfflineIgnoresLocalSql", false, true, true, 0, false, true, true, "local-row", false, true, false},
        OpenCase{"Server", false, false, true, 0, false, false, true, "server-row", true, false, false},
        OpenCase{"StandAloneFailure", false, false, true, 1, true, true, false, nullptr, true, false, false},
        OpenCase{"FailureSwitchesAndReadsLocally", false, false, true, 0, true, false, true, "local-row", true, true,
                 false},
        OpenCase{"FailureRunsSwitchSqlAndLocalSql", false, false, true, 0, true, true, true, "from-local-sql", true,
                 true, true},
        // Switched even when offline work is not allowed; the switch statement is then refused.
        OpenCase{"FailureWhileNotAllowed", false, false, false, 0, true, true, true, "from-local-sql", true, true,
                 false}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- execLocalSql: the synchronisation's long transaction

TEST_F(ConnectionTest, BulkBatchesLandTogetherAtTheCommit)
{
    // An abandoned load leaves nothing.
    EXPECT_EQ(connection.execLocalSql(QStringLiteral("INSERT INTO SYS_CO VALUES('half');"), false), ReplyOk);
    connection.rollbackLocal();
    EXPECT_FALSE(store.inTransaction());
    EXPECT_EQ(count(QStringLiteral("sys_co")), 0);

    EXPECT_EQ(connection.execLocalSql(QStringLiteral("DELETE FROM SYS_CO;INSERT INTO SYS_CO VALUES('1,1,1');"), false),
              ReplyOk);
    EXPECT_EQ(connection.execLocalSql(QStringLiteral("INSERT INTO D1801  VALUES('TX001BK','TX001','BK');"), false),
              ReplyOk);
    EXPECT_TRUE(store.inTransaction());
    {
        // Another connection sees nothing of the open transaction.
        LocalStore other(dir.storePath());
        other.open();
        EXPECT_EQ(test::scalar(other, QStringLiteral("select count(*) from sys_co")), 0);
    }
    EXPECT_EQ(connection.execLocalSql(QString(), true), ReplyOk);
    EXPECT_FALSE(store.inTransaction());
    EXPECT_EQ(count(QStringLiteral("sys_co")), 1);
    EXPECT_EQ(count(QStringLiteral("d1801")), 1);
    // Committing with nothing open is harmless.
    EXPECT_EQ(connection.execLocalSql(QString(), true), ReplyOk);
}

TEST_F(ConnectionTest, ABulkBatchThatFailsDropsTheWholeTransaction)
{
    ASSERT_EQ(connection.execServerSql({opcode::Plain}, QStringLiteral("INSERT INTO SYS_CO VALUES('old');"), Route::Local),
              ReplyOk);
    EXPECT_EQ(connection.execLocalSql(QStringLiteral("DELETE FROM SYS_CO;INSERT INTO SYS_CO VALUES('new');"), false),
              ReplyOk);
    // A bar code with a quote breaks its batch.
    EXPECT_EQ(connection.execLocalSql(
                  QStringLiteral("INSERT INTO D1809 (WL_ID,K_ID,M_INDEX,TM) VALUES('A','A','0','69'01');"), false),
              ReplyError);
    EXPECT_FALSE(store.inTransaction());
    EXPECT_EQ(connection.execLocalSql(QString(), true), ReplyOk);
    const ResultSet co = store.query(QStringLiteral("select param from sys_co"));
    ASSERT_EQ(co.totalRowCount(), 1);
    EXPECT_EQ(co.fieldAt(0, 0).asString(), QStringLiteral("old"));
}

// ---- state and label

TEST_F(ConnectionTest, TheLabelFollowsTheStateAndSignalsOnlyChanges)
{
    connection.showLinkLost(); // the label only
    EXPECT_FALSE(connection.isOffline());
    EXPECT_TRUE(connection.showsOffline());
    connection.setOffline(true);
    connection.setOffline(true);
    connection.setOffline(false);
    EXPECT_FALSE(session.connection.offline);
    EXPECT_FALSE(connection.showsOffline());
    EXPECT_EQ(offlineSignals, (QList<bool>{true, false}));
    EXPECT_EQ(statusSignals, (QList<bool>{true, false}));
}

} // namespace
} // namespace vorel
