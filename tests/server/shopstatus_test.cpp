// The figures of the status page against slips committed as a till commits them, the tills'
// reports of slips waiting for upload, and the page's doors on a real server.

#include "server/shopstatus.h"

#include <gtest/gtest.h>

#include "server/sessions.h"
#include "server/shopdatabase.h"
#include "sqlengine/engine.h"

#include "fakeclock.h"
#include "servertestutil.h"
#include "testshop.h"

using namespace vorel;
using namespace vorel::server;
using sql::BackendKind;

namespace {

const QDateTime Now(QDate(2026, 5, 20), QTime(16, 0, 0));
constexpr int Window = TillList::OnlineWindowSeconds;

struct Slip {
    const char *noid;
    const char *terminal;
    const char *bdate;
    // S1 .. S7 as the settlement dialog leaves them: right-aligned, cash with a leading 0.
    const char *due, *rounding, *voucher, *card, *bank, *cash, *change;
    int quantity;
};

const Slip Slips[] = {
    {"00110000001", "001", "2026-05-20 00:00:00", "  188.50", "0.50", "0", "0", "0", "0200", "12.00", 2},
    {"00110000002", "001", "2026-05-20 15:59:59", "99.99", "0", "0", "0", "99.99", "0", "0", 1},
    {"00210000001", "002", "2026-05-20 23:59:59", "50", "0", "20", "30.00", "0", "0", "0", 3},
    {"00110000000", "001", "2026-05-19 23:59:59", "70", "0", "0", "0", "0", "070", "0", 1}, // yesterday
    {"00210000002", "002", "2026-05-21 00:00:00", "10", "0", "0", "0", "0", "010", "0", 1}, // tomorrow
};

QString commitBatch(const Slip &s)
{
    return QStringLiteral("INSERT INTO D712 (NOID, CK_ID,ZD_ID, CLASSID, VIPID,VIPZK, yw_id,BDATE,USER_ID,S1,S2,S3,S4,S5,"
                          "S6,S7, NOTE) VALUES ('%1','001','%2','1',NULL,1,NULL,'%3','01',%4,%5,%6,%7,%8,%9,%10,NULL);"
                          "INSERT INTO D712A (NOID, WL_ID, XH,CK_ID, S2, SJ, SMONEY,ODJ, OMONEY, ZK,G,FLAG1,FLAG2,FLAG3, "
                          "NOTE,VIPF) VALUES ('%1','TX00101','1','001','%11','10','10','10','10','1','0','0','0','0','',1);"
                          "INSERT INTO D712A (VIPF, NOID, WL_ID, XH, CK_ID, SJ, SMONEY, ODJ, OMONEY, ZK, G, FLAG1, FLAG2, "
                          "FLAG3, NOTE) VALUES (0,'%1','ZZZZZ','1','001','-5','-5','0','0','1','0','0','0','0','')")
        .arg(QLatin1String(s.noid), QLatin1String(s.terminal), QLatin1String(s.bdate), QLatin1String(s.due),
             QLatin1String(s.rounding), QLatin1String(s.voucher), QLatin1String(s.card), QLatin1String(s.bank),
             QLatin1String(s.cash))
        .arg(QLatin1String(s.change))
        .arg(s.quantity);
}

// A till's figures as "terminal|slips|units|cash|bank|stored value|voucher|rounding|total".
QString figures(const Takings &t)
{
    return QStringList{t.terminalId, QString::number(t.slips), QString::number(t.units), t.cash.toString(2),
                       t.bankCard.toString(2), t.storedValue.toString(2), t.voucher.toString(2), t.rounding.toString(2),
                       t.total().toString(2)}
        .join(u'|');
}

class ShopStatusTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        shop_ = std::make_unique<test::TestShop>(GetParam(), test::TestShop::Content::Demo, Now.date());
        db_ = shop_->open();
    }

    FakeClock clock_{Now};
    std::unique_ptr<test::TestShop> shop_;
    std::unique_ptr<sql::Backend> db_;
};

} // namespace

TEST_P(ShopStatusTest, TakingsAreTodaysCommittedSlipsPerTillAndTender)
{
    sql::Engine engine(*db_, clock_);
    for (const Slip &s : Slips)
        ASSERT_EQ(engine.run(commitBatch(s)).reply, ReplyOk) << s.noid;

    // Cash is net of change; what the tenders took is what was due less the rounding-off.
    const ShopStatus status = StatusBoard::read(*db_, clock_.now(), Window);
    QStringList tills;
    for (const Takings &t : status.takings)
        tills << figures(t);
    EXPECT_EQ(tills, (QStringList{"001|2|3|188.00|99.99|0.00|0.00|0.50|287.99", "002|1|3|0.00|0.00|30.00|20.00|0.00|50.00"}));
    EXPECT_EQ(figures(status.shop), "|3|6|188.00|99.99|30.00|20.00|0.50|337.99");
    EXPECT_EQ(status.takings.at(0).terminalName, "1号收银机");

    // The page gets the amounts as the till shows them.
    const wire::Json json = StatusBoard::toJson(status, 2);
    EXPECT_EQ(json["shop"]["total"], "337.99");
    EXPECT_EQ(json["takings"][1]["stored_value"], "30.00");
}

TEST_P(ShopStatusTest, TillsSeenTodayWithTheirCashierAndSlipsWaiting)
{
    const Session till1{"01", "vorel", "001", Now, Now};
    const Session till2{"02", "pc-2", "", Now, Now};
    const Session gone{"99", "old-pc", "002", Now, Now};
    TillList::announce(*db_, gone, {"99 李强", "CL 1.0"}, clock_.now().addDays(-1));
    TillList::announce(*db_, till1, {"01 张丽", "CL 1.0", "0", "", "*", "g", "", "", "", "4"}, clock_.now());
    TillList::announce(*db_, till2, {"02 王芳", "CL 1.0"}, clock_.now().addSecs(-TillList::OnlineWindowSeconds - 1));

    ShopStatus status = StatusBoard::read(*db_, clock_.now(), Window);
    ASSERT_EQ(status.tills.size(), 2); // yesterday's till is left out
    const TillContact &first = status.tills[0];
    EXPECT_EQ(QStringList({first.terminalKey, first.terminalId, first.userId, first.userName, first.terminalName}),
              QStringList({"vorel", "001", "01", "张丽", "1号收银机"}));
    EXPECT_TRUE(first.online);
    EXPECT_EQ(first.unsent, 4);
    EXPECT_EQ(status.tills[1].terminalKey, "pc-2"); // no terminal number: after the numbered
    EXPECT_FALSE(status.tills[1].online);
    EXPECT_EQ(status.tills[1].unsent, std::nullopt);

    // A keep-alive moves the count; a field that is not a count leaves it; a huge one is capped.
    const struct {
        QString field;
        std::optional<int> stored;
    } reports[] = {{"0", 0}, {" 7 ", 7}, {"-3", 7}, {"x1", 7}, {"", 7}, {"99999999999", TillList::MaxUnsent}};
    for (const auto &r : reports) {
        EXPECT_TRUE(TillList::keepAlive(*db_, till1, {"g", "001", "01", r.field}, clock_.now()));
        EXPECT_EQ(StatusBoard::read(*db_, clock_.now(), Window).tills[0].unsent, r.stored) << r.field.toStdString();
    }
    const wire::Json json = StatusBoard::toJson(StatusBoard::read(*db_, clock_.now().addSecs(30), Window), 2);
    EXPECT_EQ(json["tills"][0]["seconds_ago"], 30);
    EXPECT_TRUE(json["tills"][1]["unsent"].is_null());
}

TEST_P(ShopStatusTest, ThePageAndTheTillsHoldSeparateKeys)
{
    auto server = test::startServer(shop_->location(), clock_, nullptr, 2);
    const int port = server->port();
    const auto tokenOf = [](const QByteArray &answer) {
        return QByteArray::fromStdString(wire::parseObject(test::httpBody(answer).toStdString()).value("token", ""));
    };
    EXPECT_EQ(test::httpStatus(test::rawPost(port, "/status/login", R"({"user":"01","password":"wrong"})")), 401);
    EXPECT_EQ(test::httpStatus(test::rawPost(port, "/status/login", R"({"user":"05","password":"05"})")), 401); // inactive
    EXPECT_EQ(test::httpStatus(test::rawPost(port, "/status/login", R"({"user":"01"})")), 400);
    const QByteArray page = tokenOf(test::rawPost(port, "/status/login", R"({"user":"01","password":"01"})"));
    ASSERT_FALSE(page.isEmpty());
    const QByteArray tillToken = tokenOf(test::rawPost(port, "/login", R"({"user":"01","password_md5":")"
                                                                          + test::md5("01").toLatin1() + R"("})"));
    ASSERT_FALSE(tillToken.isEmpty());

    const auto get = [port](const char *path, const QByteArray &token) {
        return test::rawExchange(port, QByteArray("GET ") + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                                           + (token.isEmpty() ? QByteArray() : "Authorization: Bearer " + token + "\r\n")
                                           + "\r\n");
    };
    EXPECT_EQ(test::httpStatus(get("/status", page)), 200);
    for (const QByteArray &other : {tillToken, QByteArray()})
        EXPECT_EQ(test::httpStatus(get("/status", other)), 401);
    EXPECT_EQ(test::httpStatus(get("/tills", page)), 401);
    for (const char *path : {"/open", "/exec", "/noid"})
        EXPECT_EQ(test::httpStatus(test::rawPost(port, path, R"({"sql":"SELECT 1","code":"1","length":8})", page)), 401)
            << path;
    // The page may load nothing but its own files.
    EXPECT_TRUE(get("/", {}).contains("Content-Security-Policy: default-src 'none'; script-src 'self'"));
}

INSTANTIATE_TEST_SUITE_P(Backends, ShopStatusTest, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());
