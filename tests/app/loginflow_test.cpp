// Logging in online, stand-alone and offline against the demo shop, and what the login
// screen shows before. The port given after the server name reaches the link in the
// login dialog's test.

#include <gtest/gtest.h>

#include <optional>

#include "loginrig.h"

namespace vorel {
namespace {

using test::LoginRig;
using Mode = LoginFlow::Mode;
using Status = LoginFlow::Status;

struct AddressCase {
    const char *text;
    const char *host;
    int port;
    bool standAlone;
};

TEST(ServerText, PortCountsOnlyAboveOneHundred)
{
    const AddressCase cases[] = {
        {"shop.example", "shop.example", 8601, false},
        {"shop.example,80", "shop.example", 8601, false},
        {"shop.example,9000", "shop.example", 9000, false},
        {"shop.example,abc", "shop.example", 8601, false},
        {"whatever,1", "127.0.0.1", 8601, true},
    };
    for (const AddressCase &c : cases) {
        const ServerAddress a = parseServerText(QString::fromUtf8(c.text), 8601);
        EXPECT_EQ(a.host, QString::fromUtf8(c.host)) << c.text;
        EXPECT_EQ(a.port, c.port) << c.text;
        EXPECT_EQ(a.standAlone, c.standAlone) << c.text;
    }
}

TEST(LoginFlowOnline, GoodPasswordStartsTheSessionAndRemembersTheTerminal)
{
    LoginRig rig;
    for (const char *user : {"01", "02"}) {
        const QString id = QString::fromUtf8(user);
        const auto r = rig.flow->login(Mode::Online, QStringLiteral("shop.example"), id, id);
        ASSERT_EQ(r.status, Status::Started) << rig.messages.texts().join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(rig.link->host, QStringLiteral("shop.example"));
        EXPECT_TRUE(rig.messages.shown.isEmpty());
        EXPECT_FALSE(rig.flow->inProgress());
        EXPECT_TRUE(rig.session.connection.loginFlag);
        EXPECT_TRUE(rig.session.connection.loginOnline);
        EXPECT_FALSE(rig.session.connection.offline);
        EXPECT_EQ(rig.session.identity.userId, id);
        EXPECT_EQ(rig.session.identity.pwdMd5, getMD5(id));
        EXPECT_EQ(rig.session.terminal.terminalId, QStringLiteral("001"));
        EXPECT_EQ(rig.session.terminal.warehouseName, QStringLiteral("南京路旗舰店"));
        EXPECT_FALSE(rig.session.terminal.loginGuid.isEmpty());
        EXPECT_TRUE(rig.session.terminal.rights.has(CashierRight::UseTill));
        EXPECT_EQ(rig.settings.posId(), QStringLiteral("001 1号收银机"));
        EXPECT_EQ(rig.settings.shiftNotice(), QStringLiteral("本机未启用【当班】功能!"));
        // The network edition leaves the login record to the server.
        EXPECT_EQ(rig.shopCount(QStringLiteral("select count(*) from sys_log_login")), 0);
        EXPECT_EQ(rig.tillClock.setCalls(), 0);
    }
}

struct RefusalCase {
    const char *name;
    const char *server;
    const char *user;
    const char *password;
    QString message;
    std::optional<LoginFlow::Focus> focus;
    QStringList shopSql = {}; // run on the shop first
    bool newPc = false;       // a terminal key the shop does not know
};

TEST(LoginFlowOnline, RefusalsShowTheirMessageAndStartNothing)
{
    using F = LoginFlow::Focus;
    const RefusalCase cases[] = {
        {"wrong password", "shop", "01", "02", LoginFlow::WrongPasswordText, F::PasswordSelected},
        {"unknown user", "shop", "77", "77", LoginFlow::WrongPasswordText, F::PasswordSelected},
        {"no till right", "shop", "03", "03", LoginFlow::NoTillRightText, F::None},
        {"no user", "shop", "", "01", LoginFlow::NoUserText, F::User},
        {"control byte in the user", "shop", "0\x7f" "1", "01", LoginFlow::WrongPasswordText, F::User},
        {"no server", "  ", "01", "01", LoginFlow::NoServerText, F::Server},
        {"disabled terminal", "shop", "01", "01", QStringLiteral("该终端机已被停用!请联系管理员!"), {},
         {QStringLiteral("update D701 set T=1 where ZD_ID='001'")}},
        {"unknown terminal without warehouses", "shop", "01", "01", LoginFlow::NoWarehouseText, {},
         {QStringLiteral("update sys_co set ck_qs=1"), QStringLiteral("delete from SYS_USER_CK")}, true},
    };
    for (const RefusalCase &c : cases) {
        SCOPED_TRACE(c.name);
        LoginRig rig;
        for (const QString &sql : c.shopSql)
            rig.shopExec(sql);
        if (c.newPc)
            rig.settings.setMacAddress(QStringLiteral("PC-NEW-7"));
        const auto r = rig.flow->login(Mode::Online, QString::fromUtf8(c.server), QString::fromUtf8(c.user),
                                       QString::fromUtf8(c.password));
        EXPECT_EQ(r.status, Status::Stopped);
        if (c.focus) {
            EXPECT_EQ(r.focus, *c.focus);
        }
        EXPECT_EQ(rig.messages.texts(), QStringList{c.message});
        EXPECT_TRUE(rig.registration.users.isEmpty());
        EXPECT_FALSE(rig.session.connection.loginFlag);
        EXPECT_TRUE(rig.settings.posId().isEmpty());
    }
}

TEST(LoginFlowOnline, UnreachableServerFails)
{
    for (bool connects : {false, true}) {
        LoginRig rig(LoginRig::Shop::Unreachable);
        rig.link->answers = connects;
        const auto r = rig.flow->login(Mode::Online, QStringLiteral("shop"), QStringLiteral("01"), QStringLiteral("01"));
        EXPECT_EQ(r.status, Status::Stopped);
        EXPECT_EQ(rig.messages.texts(), QStringList{QStringLiteral("连接服务器失败!")});
    }
}

TEST(LoginFlowOnline, UnknownTerminalKeyOpensRegistration)
{
    LoginRig rig;
    rig.settings.setMacAddress(QStringLiteral("PC-NEW-7"));
    for (bool registered : {false, true}) {
        rig.registration.users.clear();
        rig.registration.answer = registered;
        const auto r = rig.flow->login(Mode::Online, QStringLiteral("shop"), QStringLiteral("01"), QStringLiteral("01"));
        EXPECT_EQ(rig.registration.users, QStringList{QStringLiteral("01")});
        EXPECT_EQ(rig.registration.offered, 1);
        EXPECT_TRUE(rig.messages.shown.isEmpty());
        // Either way this attempt ends: after a registration the cashier logs in again.
        EXPECT_EQ(r.status, Status::Stopped);
        EXPECT_EQ(r.focus, registered ? LoginFlow::Focus::PasswordSelected : LoginFlow::Focus::None);
        EXPECT_FALSE(rig.session.connection.loginFlag);
    }
}

TEST(LoginFlowOnline, PcClockFollowsTheServerDate)
{
    LoginRig rig;
    rig.tillClock.set(QDateTime(QDate(2026, 11, 30), QTime(18, 0, 0)));
    const auto r = rig.flow->login(Mode::Online, QStringLiteral("shop"), QStringLiteral("01"), QStringLiteral("01"));
    EXPECT_EQ(r.status, Status::Started);
    EXPECT_EQ(rig.tillClock.setCalls(), 1);
    EXPECT_EQ(rig.tillClock.now().date(), QDate(2026, 12, 5));
    EXPECT_EQ(rig.messages.texts(),
              QStringList{QStringLiteral("本机日期和服务器日期不相符!已将本机日期同步为服务器日期:2026-12-05")});
}

TEST(LoginFlowStandAlone, CommaOneStartsTheShopInsideAndWritesTheLoginRecord)
{
    LoginRig rig;
    rig.tillClock.set(QDateTime(QDate(2026, 11, 30), QTime(18, 0, 0)));
    const auto r = rig.flow->login(Mode::Online, QStringLiteral("anything,1"), QStringLiteral("02"), QStringLiteral("02"));
    ASSERT_EQ(r.status, Status::Started) << rig.messages.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(rig.session.connection.net, 1);
    EXPECT_EQ(rig.session.connection.server, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(rig.link->standAloneStarts, 1);
    EXPECT_TRUE(rig.link->host.isEmpty());
    EXPECT_EQ(rig.tillClock.setCalls(), 0); // only the network edition follows the server
    EXPECT_EQ(rig.shopCount(QStringLiteral("select count(*) from sys_log_login where user_id='02' and computer='POS:TILL-01' "
                                           "and guid='")
                            + rig.session.terminal.loginGuid + QLatin1Char('\'')),
              1);
    EXPECT_EQ(rig.flow->prepare().server, QStringLiteral("单机版"));
}

TEST(LoginFlowOffline, EmptyThenFilledStoreChecksPasswordAndRightsAndWritesTheRecordLocally)
{
    LoginRig rig;
    // An empty store reports the missing data, not a wrong password.
    auto r = rig.flow->login(Mode::Offline, QString(), QStringLiteral("01"), QStringLiteral("01"));
    EXPECT_EQ(r.status, Status::Stopped);
    EXPECT_EQ(r.focus, LoginFlow::Focus::PasswordSelected);
    EXPECT_EQ(rig.messages.texts(),
              QStringList{QStringLiteral("系统无离线数据!原因：1、您至少与服务器进行一次同步数据!2、最后一次与服务器同步不成功!")});

    rig.store->execute(QStringLiteral(
        "INSERT INTO SYS_CO (PARAM) VALUES ('1,1,1,1,1,1,1,1,0,1');"
        "INSERT INTO D1007 (CK_ID, CK_NAME) VALUES ('001', '南京路旗舰店');"
        "INSERT INTO D701 (CK_ID, ZD_ID, ZD_NAME, ZD_KEY, DB, T) VALUES ('001', '001', '1号收银机', 'vorel', 1, 0);"
        "INSERT INTO SYS_USER (USER_ID, USER_NAME, PASSWORD, T, POS_QS) VALUES "
        "('01', '张丽', '96a3be3cf272e017046d1b2674a52bd3', 1, '11111111111111111'),"
        "('03', '赵敏', 'e45ee7ce7e88149af8dd32b27f9512ce', 1, '01111111111111111'),"
        "('05', '吴静', '751d31dd6b56b26b29dac2c0e1839e34', 0, '11111111111111111')"));
    const struct {
        const char *user;
        const char *password;
        QString message; // empty: the session starts
    } cases[] = {
        {"01", "02", LoginFlow::WrongPasswordText},
        {"03", "03", LoginFlow::NoTillRightText},
        {"05", "05", LoginFlow::WrongPasswordText},        // inactive
        {"01'or'1'='1", "x", LoginFlow::WrongPasswordText}, // the number must not end the text
        {"01", "01", QString()},
    };
    for (const auto &c : cases) {
        rig.messages.shown.clear();
        r = rig.flow->login(Mode::Offline, QString(), QString::fromUtf8(c.user), QString::fromUtf8(c.password));
        EXPECT_EQ(r.status, c.message.isEmpty() ? Status::Started : Status::Stopped) << c.user << c.password;
        EXPECT_EQ(rig.messages.texts(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
    }
    EXPECT_TRUE(rig.session.connection.offline);
    EXPECT_FALSE(rig.session.connection.loginOnline);
    EXPECT_EQ(rig.session.identity.userName, QStringLiteral("张丽"));
    EXPECT_TRUE(rig.session.terminal.shiftEnabled);
    EXPECT_TRUE(rig.settings.shiftNotice().isEmpty());
    EXPECT_EQ(rig.settings.posId(), QStringLiteral("001 1号收银机"));
    const ResultSet record = rig.store->query(QStringLiteral("select user_id, begindate, guid from sys_log_login"));
    ASSERT_EQ(record.totalRowCount(), 1);
    EXPECT_EQ(record.fieldAt(0, 1).asDateTime(), rig.tillClock.now());
    EXPECT_EQ(record.fieldAt(0, 2).asString(), rig.session.terminal.loginGuid);
    EXPECT_EQ(rig.shopCount(QStringLiteral("select count(*) from sys_log_login")), 0);
}

TEST(LoginFlowScreen, OpeningShowsTerminalAndServerFromTheSettings)
{
    LoginRig rig;
    rig.settings.setWarehouseName(QStringLiteral("南京路"));
    rig.settings.setPosId(QStringLiteral("001 1号收银机"));
    rig.settings.setShiftNotice(QStringLiteral("本机未启用【当班】功能!"));
    rig.prefs.setServer(QStringLiteral("shop.example,9000"));
    rig.prefs.setUser(QStringLiteral("02"));
    LoginScreen s = rig.flow->prepare();
    EXPECT_EQ(s.terminal, QStringLiteral("(南京路)001 1号收银机"));
    EXPECT_EQ(s.onDuty, QStringLiteral("本机未启用【当班】功能!"));
    EXPECT_FALSE(s.showPending);
    EXPECT_EQ(s.server, QStringLiteral("shop.example,9000"));
    EXPECT_TRUE(s.serverEnabled);
    EXPECT_TRUE(s.networkButtons);
    EXPECT_EQ(s.user, QStringLiteral("02"));

    rig.settings.setLastSyncTime(QStringLiteral("2026-12-04 18:00:00"));
    rig.store->execute(QStringLiteral("insert into db_info (zd_id, user_id, bdate) values ('001','02','2026-12-05 08:30:00')"));
    rig.settings.setShiftNotice(QString());
    s = rig.flow->prepare();
    EXPECT_TRUE(s.showPending);
    EXPECT_EQ(s.pendingSlips, QStringLiteral("0"));
    EXPECT_EQ(s.onDuty, QStringLiteral("02   2026-12-05 08:30"));
}

} // namespace
} // namespace vorel
