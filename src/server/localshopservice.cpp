#include "server/localshopservice.h"

#include <QFileInfo>

#include "server/login.h"
#include "server/membernumbers.h"
#include "server/shopdatabase.h"
#include "sqlengine/engine.h"
#include "sqlengine/translator.h"

namespace vorel {

namespace {

constexpr qint64 TillTranslationBytes = 1024 * 1024;

qint64 utf8Size(const QString &text)
{
    return text.toUtf8().size();
}

qint64 serializedSize(const ResultSet &rows)
{
    return static_cast<qint64>(wire::serialize(wire::resultSetToJson(rows)).size());
}

// What the login answers when the shop database cannot be started.
ResultSet errorRow(const QString &message)
{
    ResultSet rows({{QStringLiteral("ERRID"), FieldType::Integer}, {QStringLiteral("ERRMSG"), FieldType::Text}});
    rows.appendRow({qint64(1), message});
    return rows;
}

} // namespace

LocalShopService::LocalShopService(QString shopFile, const Clock &clock)
    : shopFile_(std::move(shopFile)), clock_(clock)
{
    try {
        server::ShopDatabase shop(shopFile_, clock_);
        if (!QFileInfo::exists(shopFile_)) {
            server::CreateOptions demo;
            demo.demo = true;
            shop.create(demo);
        }
        db_ = shop.open();
        // One till's batches: a handful of shapes it runs again and again (item, member and
        // stock lookups) and slips, whose shape changes with the size columns of their lines
        // and seldom comes back. A small cache keeps the former and lets the latter go.
        engine_ = std::make_unique<sql::Engine>(*db_, clock_, std::make_shared<sql::TranslationCache>(TillTranslationBytes));
    } catch (const server::ShopDatabaseError &e) {
        openError_ = e.message();
        engine_.reset();
        db_.reset();
    }
}

LocalShopService::~LocalShopService() = default;

QString LocalShopService::posExecSql(const QString & /*code*/, const QString & /*key*/,
                                     const QString & /*operation*/, const QString &sql, int /*timeoutSeconds*/)
{
    if (!engine_) {
        setLastBytes(0, 0);
        return openError_;
    }
    const QString reply = engine_->run(sql).reply;
    setLastBytesLater([sql, reply] { return ByteCount{utf8Size(sql), utf8Size(reply)}; });
    return reply;
}

bool LocalShopService::posOpenSql(ResultSet &out, const QString &sql)
{
    if (!engine_) {
        out = ResultSet();
        setLastBytes(0, 0);
        return false;
    }
    const bool ok = engine_->query(sql, out);
    setLastBytesLater([sql, rows = ok ? out : ResultSet(), ok] {
        return ByteCount{utf8Size(sql), ok ? serializedSize(rows) : 0};
    });
    if (ok)
        out.first();
    return ok;
}

LoginReply LocalShopService::thrGetLogin(const LoginRequest &request)
{
    LoginReply reply;
    reply.reachable = true;
    const qint64 sent = utf8Size(request.userId) + utf8Size(request.passwordMd5) + utf8Size(request.terminalKey)
                        + utf8Size(request.databaseName);
    if (!engine_) {
        reply.rows = errorRow(openError_);
        setLastBytes(sent, serializedSize(reply.rows));
        return reply;
    }
    server::LoginOutcome outcome = server::runLogin(*engine_, request);
    reply.rows = outcome.ok ? std::move(outcome.rows) : errorRow(outcome.error);
    reply.refusal = outcome.refusal;
    reply.rows.first();
    setLastBytes(sent, serializedSize(reply.rows));
    if (outcome.ok && reply.rows.totalRowCount() > 0) {
        const std::lock_guard lock(tillsMutex_);
        lastLogin_ = wire::OnlineTill{request.terminalKey, reply.rows.field(QStringLiteral("ZD_ID")).asString(),
                                      reply.rows.field(QStringLiteral("user_id")).asString(),
                                      reply.rows.field(QStringLiteral("user_name")).asString(), QString(), QDateTime()};
    }
    return reply;
}

QString LocalShopService::getNoId(const QString &code, const QString & /*key*/, int length)
{
    if (!db_)
        return {};
    try {
        QString number = server::MemberNumbers::draw(*db_, code, length);
        setLastBytes(utf8Size(code), utf8Size(number));
        return number;
    } catch (const std::exception &) {
        setLastBytes(utf8Size(code), 0);
        return {};
    }
}

bool LocalShopService::tcpSend(const QString &kind, const QStringList &fields)
{
    const std::lock_guard lock(tillsMutex_);
    const QDateTime now = clock_.now();
    if (kind == QLatin1String("Connect")) {
        wire::OnlineTill till = lastLogin_;
        till.version = fields.value(1).trimmed();
        till.lastSeen = now;
        online_.removeIf([&](const wire::OnlineTill &t) { return t.terminalKey == till.terminalKey; });
        online_.append(till);
        return true;
    }
    if (kind == QLatin1String("0")) {
        for (wire::OnlineTill &t : online_)
            t.lastSeen = now;
        return true;
    }
    return false;
}

QList<wire::OnlineTill> LocalShopService::tillsOnline() const
{
    const std::lock_guard lock(tillsMutex_);
    return online_;
}

} // namespace vorel
