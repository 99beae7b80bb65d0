// Session tokens, the shop's signing key and the list of tills online.

#include "server/sessions.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

#include "server/shopdatabase.h"

#include "fakeclock.h"
#include "servertestutil.h"
#include "testshop.h"

using namespace vorel;
using namespace vorel::server;
using sql::BackendKind;

namespace {

const QByteArray Key = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
const QDateTime Start(QDate(2026, 5, 20), QTime(8, 0, 0));

// A token as a server with `key` would sign `signedPart`.
QString signedWith(const QByteArray &key, const QByteArray &signedPart)
{
    const QByteArray mac = QMessageAuthenticationCode::hash(signedPart, key, QCryptographicHash::Sha256)
                               .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    return QString::fromLatin1(signedPart + '.' + mac);
}

QByteArray payload(const char *json)
{
    return QByteArray(json).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

} // namespace

TEST(SessionTokens, CarryTheSessionWhateverItsTextForALongWorkingDay)
{
    FakeClock clock(Start);
    const SessionTokens tokens(Key, clock);
    const struct {
        QString user, key, terminal;
    } cases[] = {
        {"01", "vorel", "001"},
        {"01", "new-pc", ""},                       // not registered yet
        {"张丽", "收银台.1", "002"},                  // dots and Chinese inside
        {"o'brien", "a\"b\\c", "003"},
        {"99", QString(200, QLatin1Char('k')), "004"},
    };
    for (const auto &c : cases) {
        const QString token = tokens.issue(c.user, c.key, c.terminal);
        EXPECT_TRUE(token.startsWith("v1.")) << token.toStdString();
        EXPECT_EQ(token.count('.'), 2) << token.toStdString();
        const auto s = tokens.verify(token);
        ASSERT_TRUE(s.has_value()) << c.key.toStdString();
        EXPECT_EQ(s->userId, c.user);
        EXPECT_EQ(s->terminalKey, c.key);
        EXPECT_EQ(s->terminalId, c.terminal);
        EXPECT_EQ(s->issued, Start);
        EXPECT_EQ(s->expires, Start.addSecs(SessionTokens::LifetimeSeconds));
    }
    // Good for a long working day, to the second.
    const QString token = tokens.issue("01", "vorel", "001");
    clock.set(Start.addSecs(SessionTokens::LifetimeSeconds - 1));
    EXPECT_TRUE(tokens.verify(token).has_value());
    clock.set(Start.addSecs(SessionTokens::LifetimeSeconds));
    EXPECT_FALSE(tokens.verify(token).has_value());
}

TEST(SessionTokens, AChangedCharacterAnywhereIsRefused)
{
    FakeClock clock(Start);
    const SessionTokens tokens(Key, clock);
    const QString token = tokens.issue("01", "vorel", "001");
    ASSERT_TRUE(tokens.verify(token).has_value());
    // Every position, each also with the base64 digit one bit away: the last character of
    // the MAC carries two bits that decoding throws away.
    const QString digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    for (int i = 0; i < token.size(); ++i) {
        const qsizetype digit = digits.indexOf(token.at(i));
        const QChar neighbour = digit < 0 ? QChar(u'A') : digits.at(digit ^ 1);
        for (const QChar other : {QChar(u'A'), QChar(u'_'), QChar(u'.'), neighbour}) {
            if (token.at(i) == other)
                continue;
            QString changed = token;
            changed[i] = other;
            EXPECT_FALSE(tokens.verify(changed).has_value()) << i << ": " << changed.toStdString();
        }
    }
}

TEST(SessionTokens, ForeignAndMalformedTokensAreRefused)
{
    FakeClock clock(Start);
    const SessionTokens tokens(Key, clock);
    const QString good = tokens.issue("01", "vorel", "001");
    const QByteArray goodPayload = good.section('.', 1, 1).toLatin1();
    QByteArray otherKey = Key;
    otherKey[0] = 'x';
    const struct {
        const char *what;
        QString token;
    } cases[] = {
        {"empty", ""},
        {"the old random kind", "0123456789abcdef0123456789abcdef"},
        {"no MAC", good.section('.', 0, 1)},
        {"MAC cut short", good.left(good.size() - 1)},
        {"one character more", good + "A"},
        {"not Latin-1", good + QString::fromUtf8("口")},
        {"another shop's key", SessionTokens(otherKey, clock).issue("01", "vorel", "001")},
        {"signed, but another version", signedWith(Key, "v2." + goodPayload)},
        {"signed, but three parts", signedWith(Key, "v1.x." + goodPayload)},
        {"signed, but not base64", signedWith(Key, "v1.*&^")},
        {"signed, but not JSON", signedWith(Key, "v1." + payload("user 01"))},
        {"signed, but no expiry", signedWith(Key, "v1." + payload(R"({"u":"01","k":"vorel","z":"001","iat":1})"))},
        {"signed, but a text expiry",
         signedWith(Key, "v1." + payload(R"({"u":"01","k":"vorel","z":"001","iat":1,"exp":"9999999999"})"))},
        {"signed, but no user", signedWith(Key, "v1." + payload(R"({"k":"vorel","z":"001","iat":1,"exp":9999999999})"))},
    };
    for (const auto &c : cases)
        EXPECT_FALSE(tokens.verify(c.token).has_value()) << c.what;
    // The hand-made signature is a real one: the same payload with "v1" passes.
    EXPECT_TRUE(tokens.verify(signedWith(Key, "v1." + goodPayload)).has_value());

    EXPECT_THROW(SessionTokens(QByteArray(ShopDatabase::MinimumSecretBytes - 1, 'k'), clock), std::invalid_argument);
}

// ---- in the shop database

namespace {

class SessionsInDatabaseTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        shop_ = std::make_unique<test::TestShop>(GetParam(), test::TestShop::Content::Demo);
        db_ = shop_->open();
    }

    QString secretText()
    {
        ResultSet rows;
        db_->execute("SELECT SECRET FROM SYS_SERVER", &rows);
        return rows.totalRowCount() == 1 ? rows.fieldAt(0, 0).asString() : QString();
    }

    FakeClock clock_{Start};
    std::unique_ptr<test::TestShop> shop_;
    std::unique_ptr<sql::Backend> db_;
};

} // namespace

TEST_P(SessionsInDatabaseTest, TheShopKeyIsDrawnOnceAndThenRead)
{
    EXPECT_EQ(secretText(), ""); // the schema script alone draws none
    const QByteArray first = ShopDatabase::shopSecret(*db_, clock_);
    EXPECT_EQ(first.size(), ShopDatabase::SecretBytes);
    EXPECT_EQ(secretText(), QString::fromLatin1(first.toHex()));
    ResultSet rows;
    db_->execute("SELECT BDATE FROM SYS_SERVER", &rows);
    EXPECT_EQ(rows.fieldAt(0, 0).asDateTime(), Start);

    // A second server reads the same key over its own connection.
    EXPECT_EQ(ShopDatabase::shopSecret(*shop_->open(), clock_), first);

    // Another shop draws its own.
    test::TestShop other(GetParam(), test::TestShop::Content::Schema);
    EXPECT_NE(ShopDatabase::shopSecret(*other.open(), clock_), first);

    // A key set by hand must be hex of at least 16 bytes.
    const struct {
        const char *secret;
        bool accepted;
    } cases[] = {
        {"00112233445566778899aabbccddeeff", true},
        {"00112233445566778899AABBCCDDEEFF0011", true},
        {"00112233445566778899aabbccddee", false}, // 15 bytes
        {"00112233445566778899aabbccddeefg", false},
        {"00112233445566778899aabbccddeeff0", false}, // odd length
    };
    for (const auto &c : cases) {
        db_->execute(QStringLiteral("UPDATE SYS_SERVER SET SECRET = '%1'").arg(c.secret), nullptr);
        if (c.accepted)
            EXPECT_EQ(ShopDatabase::shopSecret(*db_, clock_), QByteArray::fromHex(c.secret)) << c.secret;
        else
            EXPECT_THROW(ShopDatabase::shopSecret(*db_, clock_), std::invalid_argument) << c.secret;
    }
}

TEST_P(SessionsInDatabaseTest, TillsAreOnlineWhileTheyKeepCalling)
{
    const Session first{"01", "vorel", "001", Start, Start};
    const Session second{"02", "pc-2", "", Start, Start};
    EXPECT_TRUE(TillList::online(*db_, clock_.now()).isEmpty());
    EXPECT_FALSE(TillList::keepAlive(*db_, first, {}, clock_.now())); // not announced yet

    TillList::announce(*db_, first, {"01 张丽", "CL 1.0", "0"}, clock_.now());
    clock_.advanceSeconds(60);
    TillList::announce(*db_, second, {"02 王芳", "  CL 1.1 "}, clock_.now());
    QList<wire::OnlineTill> tills = TillList::online(*db_, clock_.now());
    // Ordered by key; the version is trimmed.
    EXPECT_EQ(test::tillTexts(tills), (QStringList{"pc-2||02|王芳|CL 1.1", "vorel|001|01|张丽|CL 1.0"}));
    ASSERT_EQ(tills.size(), 2);
    EXPECT_EQ(tills[1].lastSeen, Start);

    // The first till falls silent; the second keeps calling.
    const struct {
        qint64 advance;
        QStringList listed;
    } steps[] = {
        {TillList::OnlineWindowSeconds - 60, {"pc-2", "vorel"}}, // the first is exactly at the edge
        {1, {"pc-2"}},
        {TillList::OnlineWindowSeconds, {"pc-2"}},
    };
    for (const auto &s : steps) {
        clock_.advanceSeconds(s.advance);
        EXPECT_TRUE(TillList::keepAlive(*db_, second, {}, clock_.now()));
        QStringList keys;
        for (const wire::OnlineTill &t : TillList::online(*db_, clock_.now()))
            keys << t.terminalKey;
        EXPECT_EQ(keys, s.listed) << s.advance;
    }

    // Back after a break: its keep-alive lists it again; a new login on the same till
    // replaces who is there.
    EXPECT_TRUE(TillList::keepAlive(*db_, first, {}, clock_.now()));
    EXPECT_EQ(TillList::online(*db_, clock_.now()).size(), 2);
    TillList::announce(*db_, Session{"99", "vorel", "001", Start, Start}, {"99 李强", "CL 2.0"}, clock_.now());
    tills = TillList::online(*db_, clock_.now());
    ASSERT_EQ(tills.size(), 2);
    EXPECT_EQ(test::tillText(tills[1]), "vorel|001|99|李强|CL 2.0");
    EXPECT_EQ(tills[1].lastSeen, clock_.now());

    // Texts longer than the table's columns are cut, not refused.
    const Session longKey{"01", QString(100, QLatin1Char('k')), "", Start, Start};
    TillList::announce(*db_, longKey, {"x", QString(300, QChar(u'版'))}, clock_.now());
    EXPECT_TRUE(TillList::keepAlive(*db_, longKey, {}, clock_.now()));
    tills = TillList::online(*db_, clock_.now());
    ASSERT_EQ(tills.size(), 3);
    EXPECT_EQ(tills[0].terminalKey, QString(64, QLatin1Char('k')));
    EXPECT_EQ(tills[0].version, QString(100, QChar(u'版')));
}

INSTANTIATE_TEST_SUITE_P(Backends, SessionsInDatabaseTest, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());
