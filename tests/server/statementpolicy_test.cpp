// What a till may run through the service: attacks sent over HTTP to a real server on SQLite
// and PostgreSQL are refused whole, with the message and a log line, and change nothing;
// the till's own statements (the SQL corpus, a top-up, its own password) still run.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "core/clock.h"
#include "server/servicerole.h"
#include "server/statementpolicy.h"
#include "sqlengine/engine.h"
#include "fakeclock.h"
#include "servertestutil.h"
#include "testshop.h"

using namespace vorel;
using namespace vorel::server;
using sql::BackendKind;

namespace {

// Every batch of the corpus a till sends passes; those marked "notill" are the tests' own.
TEST(StatementPolicyTest, TheTillsCorpusPasses)
{
    const QDir dir(QStringLiteral(VOREL_CORPUS_DIR));
    int checked = 0;
    for (const QString &name : dir.entryList({QStringLiteral("*.test")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        QString user = QStringLiteral("01");
        bool notTill = false;
        for (int i = 0; i < lines.size(); ++i) {
            const QString line = lines[i].trimmed();
            if (line.startsWith(QLatin1String("till ")))
                user = line.mid(5).trimmed();
            else if (line == QLatin1String("notill"))
                notTill = true;
            else if (line.startsWith(QLatin1String("batch"))) {
                const int at = i + 1;
                QStringList sql;
                while (++i < lines.size() && lines[i].trimmed() != QLatin1String("----"))
                    sql << lines[i];
                if (!std::exchange(notTill, false) && ++checked) {
                    EXPECT_EQ(StatementPolicy::check(sql.join(u'\n'), user), QString()) << name.toStdString() << ":" << at;
                }
            }
        }
    }
    EXPECT_GT(checked, 100);
}

struct Attack {
    const char *path;     // "/exec" or "/open"
    QString sql;
    QString refused;      // what the refusal names
};

class PolicyOverHttpTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        shop_ = std::make_unique<test::TestShop>(GetParam(), test::TestShop::Content::Demo, start_.date());
        server_ = test::startServer(shop_->location(), clock_, &log_, 2);
        const QByteArray answer = test::rawPost(server_->port(), "/login",
                                                R"({"user":"01","password_md5":")" + test::md5("01").toLatin1()
                                                    + R"(","terminal_key":"vorel","database":"CL"})");
        token_ = wire::toQString(wire::parseObject(test::httpBody(answer).toStdString()).value("token", wire::Json()))
                     .toLatin1();
        ASSERT_FALSE(token_.isEmpty()) << answer.toStdString();
    }

    // The till's reply: the exec reply, or the error of an open ("" when it returned rows).
    QString send(const char *path, const QString &sql)
    {
        const QByteArray body = QByteArray::fromStdString(wire::serialize(wire::Json{{"sql", wire::toJson(sql)}}));
        const QByteArray answer = test::rawPost(server_->port(), path, body, token_);
        EXPECT_EQ(test::httpStatus(answer), 200) << answer.toStdString();
        const wire::Json json = wire::parseObject(test::httpBody(answer).toStdString());
        if (QByteArray(path) == "/exec")
            return wire::toQString(json.value("reply", wire::Json()));
        return json.value("ok", false) ? QString() : wire::toQString(json.value("error", wire::Json()));
    }

    // What an attack would change, read straight from the database.
    QString state()
    {
        const std::unique_ptr<sql::Backend> db = shop_->open();
        QStringList out;
        for (const char *query :
             {"SELECT COUNT(*) FROM D712", "SELECT COUNT(*) FROM D712A", "SELECT COUNT(*) FROM SYS_USER",
              "SELECT USER_ID || PASSWORD || POS_QS FROM SYS_USER ORDER BY USER_ID",
              "SELECT VIPM FROM D702 WHERE VIPID = '88000004'", "SELECT COUNT(*) FROM D701"}) {
            ResultSet rows;
            db->execute(QString::fromLatin1(query), &rows);
            for (int r = 0; r < rows.totalRowCount(); ++r)
                out << rows.fieldAt(r, 0).asString();
        }
        const sql::Catalog catalog = db->loadCatalog(); // tables made or dropped
        for (const char *table : {"X1", "X3", "D712A"})
            out << QString::number(catalog.columns(QString::fromLatin1(table)) != nullptr);
        return out.join(u'|');
    }

    const QDateTime start_ = QDateTime(QDate::currentDate(), QTime(9, 0, 0));
    FakeClock clock_{start_};
    std::unique_ptr<test::TestShop> shop_;
    std::unique_ptr<ShopServer> server_;
    test::ServerLog log_;
    QByteArray token_;
};

TEST_P(PolicyOverHttpTest, AttacksAreRefusedWholeAndChangeNothing)
{
    const bool pg = GetParam() == BackendKind::PostgreSQL;
    QTemporaryDir files;
    const QString written = files.filePath(QStringLiteral("written"));
    const QString before = state();
    const std::vector<Attack> attacks = {
        {"/open", "SELECT USER_ID, PASSWORD FROM SYS_USER", "读取 SYS_USER.PASSWORD"},
        {"/open", "SELECT USER_ID FROM SYS_USER WHERE PASSWORD LIKE 'a%'", "读取 SYS_USER.PASSWORD"},
        {"/open", "SELECT * FROM SYS_USER WHERE USER_ID = '02'", "读取 SYS_USER 全部字段"},
        {"/open", "SELECT U FROM SYS_USER U", "读取 SYS_USER 全部字段"},
        {"/open", "SELECT B FROM SYS_USER U (A, B)", "列别名"},
        {"/open", "SELECT (SELECT MAX(U.PASSWORD) FROM SYS_USER U) FROM D712 U", "别名重复"},
        {"/open", "SELECT SECRET FROM SYS_SERVER", "系统表 SYS_SERVER"},
        {"/open", "SELECT * FROM D712 WHERE NOID IN (SELECT TERMINAL_KEY FROM sys_till)", "系统表 SYS_TILL"},
        {"/open", pg ? "SELECT tablename FROM pg_tables" : "SELECT name FROM sqlite_master", "系统"},
        {"/open", "SELECT table_name FROM information_schema.tables", "系统表 INFORMATION_SCHEMA"},
        {"/exec", "DELETE FROM D712", "DELETE D712"},
        {"/exec", "DROP TABLE D712A", "DROP 语句"},
        {"/exec", "CREATE TABLE X1 (A INT)", "CREATE 语句"},
        {"/exec", "ALTER TABLE D712 ADD X2 INT", "ALTER 语句"},
        {"/exec", "SELECT * INTO X3 FROM D712", "SELECT INTO"},
        {"/exec", "UPDATE SYS_USER SET PASSWORD='00000000000000000000000000000000' WHERE USER_ID='02'",
         "修改其他用户的密码"},
        {"/exec", "UPDATE SYS_USER SET PASSWORD='0' WHERE USER_ID='01' OR USER_ID='02'", "修改其他用户的密码"},
        {"/exec", "UPDATE SYS_USER SET PASSWORD='0' WHERE NOT (USER_ID='01')", "修改其他用户的密码"},
        {"/exec", "UPDATE SYS_USER SET POS_QS='11111111111111111111' WHERE USER_ID='01'", "修改 SYS_USER.POS_QS"},
        {"/exec",
         "INSERT INTO SYS_USER (USER_ID, USER_NAME, PASSWORD, T, POS, POS_QS) VALUES "
         "('66','x','00000000000000000000000000000000',1,1,'11111111111111111111')",
         "INSERT SYS_USER"},
        {"/exec", "update d702 set VIPM=VIPM+1000 where vipid='88000004'", "增加会员储值"},
        {"/exec", "update d702 set VIPM=99999 where vipid='88000004'", "修改会员储值"},
        {"/exec", "PRAGMA writable_schema = 1", "PRAGMA 语句"},
        {"/exec", "ATTACH DATABASE '" + written + "' AS x", "ATTACH 语句"},
        {"/exec", "COPY (SELECT 1) TO PROGRAM 'id > " + written + "'", "COPY 语句"},
        {"/exec", "EXEC sp_who", "EXEC 语句"},
        {"/exec",
         "CREATE FUNCTION f() RETURNS void AS 'begin copy (select 1) to program ''id > " + written
             + "''; end' LANGUAGE plpgsql",
         "CREATE 语句"},
        {"/open", "SELECT f()", "函数 f"},
        {"/open", "SELECT lo_export(lo_from_bytea(0, 'x'), '" + written + "')", "系统对象 lo_"},
        {"/exec", "INSERT INTO D712 (NOID) VALUES ('1'); DROP TABLE D712A", "DROP 语句"},
    };
    for (const Attack &a : attacks) {
        const QString reply = send(a.path, a.sql);
        EXPECT_TRUE(reply.startsWith(StatementPolicy::RefusalPrefix)) << a.sql.toStdString() << " -> " << reply.toStdString();
        EXPECT_TRUE(reply.contains(a.refused)) << a.sql.toStdString() << " -> " << reply.toStdString();
    }
    EXPECT_EQ(state(), before);
    EXPECT_FALSE(QFile::exists(written));
    EXPECT_TRUE(log_.has(QStringLiteral("till=001/vorel user=01"), QStringLiteral("refused: 服务器拒绝执行:DROP 语句")));

    // What the till sends runs: its own password, the users for the offline login, a top-up
    // with its slip, a slip with its cashier's name.
    const QString password = test::md5("0101");
    EXPECT_EQ(send("/exec", "UPDATE SYS_USER SET SYS_USER.PASSWORD='" + password + "' WHERE (SYS_USER.USER_ID='01') "
                            "and (SYS_USER.PASSWORD='" + test::md5("01") + "')"), "Y");
    EXPECT_EQ(send("/open", "SELECT * FROM SYS_USER where t=1 AND POS=1 "), QString());
    EXPECT_EQ(send("/exec", "INSERT INTO D712 (VIPF, m,NOID, CK_ID,ZD_ID, CLASSID, VIPID, BDATE,USER_ID,S1,S6) VALUES "
                            "(0,1,'00110000099','001','001','1','88000004',getDATE(),'01',10,10);"
                            "update d702 set VIPM=VIPM+10 where vipid='88000004';"), "Y");
    EXPECT_EQ(send("/open", "SELECT D712.*, SYS_USER.USER_NAME FROM D712 INNER JOIN SYS_USER ON D712.USER_ID = "
                            "SYS_USER.USER_ID"), QString());
    EXPECT_TRUE(state().contains("01" + password)) << state().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, PolicyOverHttpTest, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         [](const auto &info) {
                             return info.param == BackendKind::SQLite ? "SQLite" : "PostgreSQL";
                         });

// The role `init --role` makes: a till's batch runs as it, the rest of PostgreSQL does not,
// and `serve` as the owner (a superuser here) says so on standard error.
TEST(ServiceRoleTest, TheServiceRoleRunsTillBatchesAndNothingBeyond)
{
    VOREL_REQUIRE_BACKEND(BackendKind::PostgreSQL);
    const QDate today(2026, 12, 5);
    test::TestShop shop(BackendKind::PostgreSQL, test::TestShop::Content::Demo, today);
    const QString role = QStringLiteral("vorel_svc_%1").arg(QCoreApplication::applicationPid());
    QProcess init;
    init.start(QStringLiteral(VOREL_SERVER_EXE), {"init", "--db", shop.location(), "--role", role});
    ASSERT_TRUE(init.waitForFinished(60000));
    const QString printed = QString::fromUtf8(init.readAllStandardOutput());
    ASSERT_EQ(init.exitCode(), 0) << init.readAllStandardError().toStdString();
    const QString location = printed.section(u'\n', 1, 1).trimmed();
    ASSERT_TRUE(location.contains(role)) << printed.toStdString();

    const std::unique_ptr<sql::Backend> owner = shop.open();
    {
        const std::unique_ptr<sql::Backend> db = sql::openBackend(location);
        EXPECT_FALSE(connectedAsSuperuser(*db));
        ManualClock clock(QDateTime(today, QTime(10, 30, 15)));
        sql::Engine engine(*db, clock);
        // A sale line moves stock through the trigger; the password is the user's own.
        EXPECT_EQ(engine.run("INSERT INTO D712 (NOID, CK_ID, ZD_ID, BDATE, USER_ID, S1, S6) VALUES "
                             "('00110000077','001','001',getdate(),'01',10,10);INSERT INTO D712A (NOID, WL_ID, XH, "
                             "CK_ID, S1, SJ, SMONEY) VALUES ('00110000077','TX00101','1','001','1','10','10')")
                      .reply,
                  "Y");
        for (const char *refused :
             {"CREATE TABLE X1 (A INT)", "UPDATE D1800 SET PFJ = 0", "DELETE FROM D712", "DROP TABLE D712A",
              "SELECT lo_export(lo_from_bytea(0, 'x'), '/tmp/vorel-role-test')",
              "COPY (SELECT 1) TO PROGRAM 'true'", "UPDATE SYS_USER SET POS_QS = '1'"}) {
            EXPECT_THROW(db->execute(QString::fromLatin1(refused), nullptr), sql::DbError) << refused;
            db->rollback();
        }
    }

    QProcess serve;
    serve.start(QStringLiteral(VOREL_SERVER_EXE), {"serve", "--db", shop.location(), "--host", "127.0.0.1", "--port",
                                                   "0", "--msg-port", "0", "--threads", "1"});
    QString err;
    for (int i = 0; i < 100 && !err.contains(QLatin1String("SUPERUSER")); ++i) {
        serve.waitForReadyRead(100);
        err += QString::fromUtf8(serve.readAllStandardError());
    }
    serve.terminate();
    serve.waitForFinished(10000);
    EXPECT_TRUE(err.contains(QLatin1String("WARNING: connected to PostgreSQL as a SUPERUSER"))) << err.toStdString();

    owner->execute(QStringLiteral("DROP OWNED BY %1").arg(role), nullptr);
    owner->execute(QStringLiteral("DROP ROLE %1").arg(role), nullptr);
}

} // namespace
