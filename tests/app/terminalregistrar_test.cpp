#include <gtest/gtest.h>

#include "app/terminalregistrar.h"
#include "fakeshopservice.h"
#include "loginrig.h"

namespace vorel {
namespace {

using Status = TerminalRegistrar::Status;
using Focus = TerminalRegistrar::Focus;

// An unregistered PC in front of the demo shop (terminal 001, key "vorel"), with a second
// warehouse. Keys are drawn from `draws`.
struct Registration {
    TerminalRegistrar::Outcome confirm(const char *number, const char *key = "", const char *warehouse = "002")
    {
        EXPECT_TRUE(registrar.prepare(warehouses));
        return registrar.confirm({QString::fromUtf8(number), QStringLiteral("试衣间收银机"), QString::fromUtf8(warehouse),
                                  QString::fromUtf8(key), true});
    }

    test::LoginRig rig;
    ResultSet warehouses = rig.newPcWithTwoWarehouses();
    QList<int> draws{4321, 17, 9999};
    TerminalRegistrar registrar{*rig.service, rig.link->connection(), rig.settings, rig.messages,
                                [this] { return draws.isEmpty() ? 0 : draws.takeFirst(); }};
};

TEST(TerminalRegistrar, ProposesTheNextNumberButNeverBelowOneHundred)
{
    const std::pair<QStringList, const char *> cases[] = {
        {{}, "100"},
        {{QStringLiteral("099")}, "100"},
        {{QStringLiteral("001"), QStringLiteral("105"), QStringLiteral("100")}, "106"},
    };
    Registration r;
    for (const auto &[numbers, proposal] : cases) {
        r.rig.shopExec(QStringLiteral("delete from D701"));
        for (const QString &n : numbers)
            r.rig.shopExec(QStringLiteral("insert into D701 (ZD_ID, ZD_NAME, CK_ID) values ('%1', '机%1', '001')").arg(n));
        ASSERT_TRUE(r.registrar.prepare(r.warehouses));
        EXPECT_EQ(r.registrar.proposedNumber(), QString::fromUtf8(proposal)) << numbers.join(',').toStdString();
        EXPECT_EQ(r.registrar.terminals().rowCount(), numbers.size());
        EXPECT_EQ(r.registrar.terminals().columnCount(), 4);
        EXPECT_EQ(r.registrar.firstWarehouse(), QStringLiteral("001"));
    }
}

TEST(TerminalRegistrar, ChecksKeepTheDialogOpenAndWriteNothing)
{
    struct Case {
        const char *number, *key, *warehouse;
        bool noWarehouses;
        QString message;
        Focus focus;
    };
    const Case cases[] = {
        {"12", "", "002", false, TerminalRegistrar::BadNumberText, Focus::None},
        {"1050", "", "002", false, TerminalRegistrar::BadNumberText, Focus::None},
        {"   ", "", "002", false, TerminalRegistrar::BadNumberText, Focus::None},
        {"105", "", "002", true, TerminalRegistrar::NoWarehousesText, Focus::None},
        {"105", "", "", false, TerminalRegistrar::NoWarehouseChosenText, Focus::None},
        {"001", "", "002", false, TerminalRegistrar::KeyRequiredText, Focus::None},
        {"001", "4321001", "002", false, TerminalRegistrar::WrongKeyText, Focus::Key},
    };
    Registration r;
    const ResultSet all = r.warehouses;
    for (const Case &c : cases) {
        r.rig.messages.shown.clear();
        r.warehouses = c.noWarehouses ? ResultSet(all.columns()) : all;
        const auto out = r.confirm(c.number, c.key, c.warehouse);
        EXPECT_EQ(out.status, Status::Refused) << c.number;
        EXPECT_EQ(out.focus, c.focus) << c.number;
        ASSERT_EQ(r.rig.messages.shown.size(), 1) << c.number;
        EXPECT_EQ(r.rig.messages.shown[0].text, c.message) << c.number;
        EXPECT_EQ(r.rig.messages.shown[0].kind, Messages::Kind::Notice);
    }
    EXPECT_EQ(r.rig.shopCount(QStringLiteral("select count(*) from D701")), 1);
    EXPECT_EQ(r.rig.settings.macAddress(), QStringLiteral("PC-NEW-7"));
}

TEST(TerminalRegistrar, YesEmptiesTheLocalStoreNoKeepsItForUpload)
{
    for (bool yes : {true, false}) {
        Registration r;
        r.rig.store->execute(QStringLiteral(
            "insert into SYS_CO (PARAM) values ('1');insert into DB_INFO (ZD_ID) values ('001');"
            "insert into D712 (NOID, BDATE) values ('00110000003', '2026-12-04 09:00:00');"
            "insert into D712A (NOID, WL_ID) values ('00110000003', 'A01');"
            "insert into D703 (ZD_ID, BDATE) values ('001', '2026-12-04 09:00:00');"
            "insert into SYS_USER (USER_ID) values ('01');insert into SYS_LOG_LOGIN (USER_ID) values ('01');"));
        const qint64 shopUsers = r.rig.shopCount(QStringLiteral("select count(*) from sys_user"));
        r.rig.messages.answers = {yes};
        ASSERT_EQ(r.confirm("105").status, Status::Registered);
        for (const char *table : {"sys_co", "db_info", "d712a", "d712", "d703", "sys_user", "sys_log_login"}) {
            const qint64 left =
                r.rig.store->query(QStringLiteral("select count(*) from ") + QLatin1String(table)).fieldAt(0, 0).asInt();
            EXPECT_EQ(left, yes && qstrcmp(table, "sys_log_login") != 0 ? 0 : 1) << table << " yes=" << yes;
        }
        // Only the local store: the shop keeps its users and the till stays online.
        EXPECT_EQ(r.rig.shopCount(QStringLiteral("select count(*) from sys_user")), shopUsers);
        EXPECT_FALSE(r.rig.link->connection().isOffline());
    }
}

TEST(TerminalRegistrar, ServerFailureIsReportedAndTheSettingsStayAsTheyWere)
{
    const QString insert = QStringLiteral("insert into d701(CK_ID, ZD_ID, ZD_NAME, ZD_KEY,db, BDATE, EDATE) values "
                                          "('001','105','试衣间收银机','7105','1',getdate(),getdate());");
    struct Case {
        const char *failingRead; // refused by the shop, or none
        QString insertReply;
        QStringList sent;
    };
    const Case cases[] = {
        {"WHERE ZD_ID=", ReplyOk, {}},
        {nullptr, QStringLiteral("违反了 PRIMARY KEY 约束 'PK_D701'"), {insert}},
        {"FROM D712", ReplyOk, {insert}},
    };
    for (const Case &c : cases) {
        test::LoginRig rig;
        rig.settings.setSlipCounter(10000123);
        FakeShopService shop;
        if (c.failingRead)
            shop.onOpenFail(QString::fromUtf8(c.failingRead));
        shop.onExec(QStringLiteral("insert into d701"), c.insertReply);
        TerminalRegistrar reg(shop, rig.link->connection(), rig.settings, rig.messages, [] { return 7; });
        ResultSet warehouses({{QStringLiteral("CK_ID"), FieldType::Text}, {QStringLiteral("CK_NAME"), FieldType::Text}});
        warehouses.appendRow({QStringLiteral("001"), QStringLiteral("南京路旗舰店")});
        ASSERT_TRUE(reg.prepare(warehouses));

        EXPECT_EQ(reg.confirm({QStringLiteral("105"), QStringLiteral("试衣间收银机"), QStringLiteral("001"), {}, true}).status,
                  Status::Failed);
        EXPECT_EQ(shop.executedSql(), c.sent);
        ASSERT_EQ(rig.messages.shown.size(), 1);
        EXPECT_EQ(rig.messages.shown[0].kind, Messages::Kind::Failure);
        EXPECT_EQ(rig.messages.shown[0].text, c.failingRead ? LoginFlow::ServerFailedText : c.insertReply);
        EXPECT_EQ(rig.settings.macAddress(), QStringLiteral("vorel")); // the default: never written
        EXPECT_EQ(rig.settings.slipCounter(), 10000123);
    }
}

} // namespace
} // namespace vorel
