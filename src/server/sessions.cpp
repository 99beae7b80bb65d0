#include "server/sessions.h"

#include <openssl/crypto.h>

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <algorithm>
#include <stdexcept>

#include "core/resultset.h"
#include "server/login.h"
#include "server/loginguard.h"
#include "server/shopdatabase.h"

namespace vorel::server {

namespace {

using wire::Json;

const QByteArray TokenVersion = QByteArrayLiteral("v1");
constexpr auto Base64Url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

QString quoted(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QString quotedOrNull(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("NULL") : quoted(text);
}

// At most `max` characters of `text`, never half of a surrogate pair.
QString clipped(const QString &text, int max)
{
    if (text.size() <= max)
        return text;
    int n = max;
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

// Column widths of SYS_TILL.
constexpr int KeyWidth = 64;
constexpr int VersionWidth = 100;

std::optional<QString> textMember(const Json &object, const char *key)
{
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string())
        return std::nullopt;
    return wire::toQString(*it);
}

std::optional<qint64> numberMember(const Json &object, const char *key)
{
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number_integer())
        return std::nullopt;
    return it->get<qint64>();
}

// The count of unsent slips in field `index`: digits only, else nothing.
std::optional<int> unsentCount(const QStringList &fields, int index)
{
    const QString text = fields.value(index).trimmed();
    const auto digit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    if (text.isEmpty() || text.size() > 12 || !std::all_of(text.begin(), text.end(), digit))
        return std::nullopt;
    return static_cast<int>(std::min<qint64>(text.toLongLong(), TillList::MaxUnsent));
}

} // namespace

// ---- tokens

SessionTokens::SessionTokens(QByteArray secret, const Clock &clock) : secret_(std::move(secret)), clock_(clock)
{
    if (secret_.size() < ShopDatabase::MinimumSecretBytes)
        throw std::invalid_argument("the session signing key is too short");
}

QByteArray SessionTokens::mac(const QByteArray &signedPart) const
{
    return QMessageAuthenticationCode::hash(signedPart, secret_, QCryptographicHash::Sha256).toBase64(Base64Url);
}

QString SessionTokens::passwordMark(const QString &passwordMd5) const
{
    return QString::fromLatin1(mac(QByteArrayLiteral("password:") + passwordMd5.trimmed().toLower().toUtf8()).left(16));
}

QString SessionTokens::issue(const QString &userId, const QString &terminalKey, const QString &terminalId,
                             qint64 epoch, const QString &passwordMark) const
{
    const qint64 now = clock_.now().toSecsSinceEpoch();
    const Json payload{{"u", wire::toJson(userId)},
                       {"k", wire::toJson(terminalKey)},
                       {"z", wire::toJson(terminalId)},
                       {"iat", now},
                       {"exp", now + LifetimeSeconds},
                       {"e", epoch},
                       {"p", wire::toJson(passwordMark)}};
    const std::string json = wire::serialize(payload);
    const QByteArray signedPart =
        TokenVersion + '.' + QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())).toBase64(Base64Url);
    return QString::fromLatin1(signedPart + '.' + mac(signedPart));
}

std::optional<Session> SessionTokens::verify(const QString &token) const
{
    const QByteArray text = token.toLatin1();
    const qsizetype lastDot = text.lastIndexOf('.');
    if (lastDot <= 0 || text.size() > 4096 || QString::fromLatin1(text) != token)
        return std::nullopt;
    const QByteArray signedPart = text.left(lastDot);
    const QByteArray given = text.mid(lastDot + 1);
    const QByteArray expected = mac(signedPart);
    // The comparison takes as long wherever the first wrong character is.
    if (given.size() != expected.size()
        || CRYPTO_memcmp(given.constData(), expected.constData(), static_cast<size_t>(expected.size())) != 0)
        return std::nullopt;

    // From here on the token was made by a server of this shop; the checks below only turn
    // away a layout of another version.
    const QList<QByteArray> parts = signedPart.split('.');
    if (parts.size() != 2 || parts[0] != TokenVersion)
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(parts[1], Base64Url | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    const Json payload = Json::parse(decoded.decoded.constBegin(), decoded.decoded.constEnd(), nullptr, false);
    if (!payload.is_object())
        return std::nullopt;
    const auto user = textMember(payload, "u");
    const auto key = textMember(payload, "k");
    const auto terminal = textMember(payload, "z");
    const auto issued = numberMember(payload, "iat");
    const auto expires = numberMember(payload, "exp");
    if (!user || !key || !terminal || !issued || !expires)
        return std::nullopt;
    if (clock_.now().toSecsSinceEpoch() >= *expires)
        return std::nullopt;
    return Session{*user,
                   *key,
                   *terminal,
                   QDateTime::fromSecsSinceEpoch(*issued),
                   QDateTime::fromSecsSinceEpoch(*expires),
                   numberMember(payload, "e").value_or(-1),
                   textMember(payload, "p").value_or(QString())};
}

// ---- whether a session still stands

UserStanding readStanding(sql::Backend &db, const QString &userId)
{
    const UserRecord user = readUser(db, userId);
    UserStanding s{user.exists, user.active, user.tillRight, user.passwordMd5, 0};
    if (user.exists)
        s.epoch = UserGuard::epoch(db, userId);
    return s;
}

bool SessionCheck::stillValid(const Session &session, const std::function<UserStanding()> &read)
{
    const QDateTime now = clock_.now();
    std::optional<UserStanding> standing;
    {
        const std::lock_guard lock(mutex_);
        const auto it = users_.constFind(session.userId);
        if (it != users_.constEnd()) {
            const qint64 age = it->read.msecsTo(now);
            if (age >= 0 && age < CacheSeconds * 1000)
                standing = it->standing;
        }
    }
    if (!standing) {
        standing = read();
        const std::lock_guard lock(mutex_);
        if (users_.size() >= MaxUsers)
            users_.clear();
        users_.insert(session.userId, Remembered{*standing, now});
    }
    return standing->exists && standing->active && standing->tillRight && standing->epoch == session.epoch
           && !standing->passwordMd5.isEmpty() && tokens_.passwordMark(standing->passwordMd5) == session.passwordMark;
}

void SessionCheck::forget(const QString &userId)
{
    const std::lock_guard lock(mutex_);
    users_.remove(userId);
}

// ---- tills online

void TillList::announce(sql::Backend &db, const Session &session, const QStringList &fields, const QDateTime &now)
{
    const std::optional<int> unsent = unsentCount(fields, ConnectUnsentField);
    db.execute(QStringLiteral("INSERT INTO SYS_TILL (ZD_KEY, ZD_ID, USER_ID, VERSION, LAST_SEEN, UNSENT) "
                              "VALUES (%1, %2, %3, %4, %5, %6) "
                              "ON CONFLICT (ZD_KEY) DO UPDATE SET ZD_ID = excluded.ZD_ID, USER_ID = excluded.USER_ID, "
                              "VERSION = excluded.VERSION, LAST_SEEN = excluded.LAST_SEEN, UNSENT = excluded.UNSENT")
                   .arg(quoted(clipped(session.terminalKey, KeyWidth)), quotedOrNull(session.terminalId),
                        quoted(session.userId), quoted(clipped(fields.value(1).trimmed(), VersionWidth)),
                        quoted(formatDateTime(now)), unsent ? QString::number(*unsent) : QStringLiteral("NULL")),
               nullptr);
}

bool TillList::keepAlive(sql::Backend &db, const Session &session, const QStringList &fields, const QDateTime &now)
{
    const std::optional<int> unsent = unsentCount(fields, KeepAliveUnsentField);
    db.execute(QStringLiteral("UPDATE SYS_TILL SET LAST_SEEN = %1%3 WHERE ZD_KEY = %2")
                   .arg(quoted(formatDateTime(now)), quoted(clipped(session.terminalKey, KeyWidth)),
                        unsent ? QStringLiteral(", UNSENT = %1").arg(*unsent) : QString()),
               nullptr);
    return db.changedRows() > 0;
}

QList<wire::OnlineTill> TillList::online(sql::Backend &db, const QDateTime &now)
{
    ResultSet rows;
    db.execute(QStringLiteral("SELECT T.ZD_KEY, T.ZD_ID, T.USER_ID, U.USER_NAME, T.VERSION, T.LAST_SEEN "
                              "FROM SYS_TILL T LEFT JOIN SYS_USER U ON U.USER_ID = T.USER_ID "
                              "WHERE T.LAST_SEEN >= %1")
                   .arg(quoted(formatDateTime(now.addSecs(-OnlineWindowSeconds)))),
               &rows);
    QList<wire::OnlineTill> tills;
    for (int r = 0; r < rows.totalRowCount(); ++r) {
        tills.append(wire::OnlineTill{rows.fieldAt(r, 0).asString(), rows.fieldAt(r, 1).asString(),
                                      rows.fieldAt(r, 2).asString(), rows.fieldAt(r, 3).asString(),
                                      rows.fieldAt(r, 4).asString(), rows.fieldAt(r, 5).asDateTime()});
    }
    // Sorted here: the two databases collate text differently.
    std::sort(tills.begin(), tills.end(),
              [](const wire::OnlineTill &a, const wire::OnlineTill &b) { return a.terminalKey < b.terminalKey; });
    return tills;
}

} // namespace vorel::server
