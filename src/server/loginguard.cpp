#include "server/loginguard.h"

#include <QRegularExpression>
#include <algorithm>

#include "core/resultset.h"

namespace vorel::server {

namespace {

QDateTime timeField(const ResultSet &rows, int row, int column)
{
    const Field f = rows.fieldAt(row, column);
    if (f.isNull())
        return {};
    QDateTime t = f.asDateTime();
    return t.isValid() ? t : parseDateTime(f.asString());
}

} // namespace

int ThrottleRule::lockSeconds(qint64 failures) const
{
    if (failures < std::max(1, freeFailures))
        return 0;
    const qint64 beyond = std::min<qint64>(failures - freeFailures, 20);
    return static_cast<int>(std::min<qint64>(qint64(firstLockSeconds) << beyond, longestLockSeconds));
}

QString tooManyAttemptsText(int seconds)
{
    return QStringLiteral("登录尝试过多,请%1秒后再试!").arg(std::max(1, seconds));
}

QString placeholders(const sql::Backend &db, QString sql)
{
    if (db.kind() == sql::BackendKind::PostgreSQL)
        sql.replace(QRegularExpression(QStringLiteral("\\?(\\d)")), QStringLiteral("$\\1"));
    return sql;
}

sql::BoundValue boundText(const QString &text)
{
    sql::BoundValue v;
    v.type = sql::BoundValue::Type::Text;
    v.text = text;
    return v;
}

sql::BoundValue boundTime(const QDateTime &time)
{
    sql::BoundValue v;
    v.type = sql::BoundValue::Type::Timestamp;
    v.text = formatDateTime(time);
    return v;
}

// ---- per user, in the shop database

UserGuard::State UserGuard::state(sql::Backend &db, const QString &userId, const QDateTime &now) const
{
    ResultSet rows;
    db.execute(
        placeholders(db, QStringLiteral("SELECT FAILS, LAST_FAIL, EPOCH FROM SYS_LOGIN_GUARD WHERE USER_ID = ?1")),
        {boundText(userId)}, &rows);
    State s;
    if (rows.totalRowCount() == 0)
        return s;
    s.epoch = rows.fieldAt(0, 2).asInt();
    const QDateTime last = timeField(rows, 0, 1);
    if (!last.isValid() || last.secsTo(now) >= rule_.forgetAfterSeconds)
        return s;
    s.failures = rows.fieldAt(0, 0).asInt();
    const qint64 left = now.secsTo(last.addSecs(rule_.lockSeconds(s.failures)));
    s.lockedFor = static_cast<int>(std::max<qint64>(0, left));
    return s;
}

void UserGuard::recordFailure(sql::Backend &db, const QString &userId, const QDateTime &now) const
{
    // One statement, so two servers counting at the same moment both count.
    db.execute(placeholders(db, QStringLiteral("INSERT INTO SYS_LOGIN_GUARD (USER_ID, FAILS, LAST_FAIL, EPOCH) "
                                               "VALUES (?1, 1, ?2, 0) ON CONFLICT (USER_ID) DO UPDATE SET "
                                               "FAILS = CASE WHEN SYS_LOGIN_GUARD.LAST_FAIL IS NULL "
                                               "OR SYS_LOGIN_GUARD.LAST_FAIL < ?3 THEN 1 "
                                               "ELSE SYS_LOGIN_GUARD.FAILS + 1 END, LAST_FAIL = ?2")),
               {boundText(userId), boundTime(now), boundTime(now.addSecs(-rule_.forgetAfterSeconds))}, nullptr);
}

void UserGuard::clearFailures(sql::Backend &db, const QString &userId) const
{
    db.execute(placeholders(db, QStringLiteral("UPDATE SYS_LOGIN_GUARD SET FAILS = 0, LAST_FAIL = NULL "
                                               "WHERE USER_ID = ?1 AND FAILS > 0")),
               {boundText(userId)}, nullptr);
}

qint64 UserGuard::epoch(sql::Backend &db, const QString &userId)
{
    ResultSet rows;
    db.execute(placeholders(db, QStringLiteral("SELECT EPOCH FROM SYS_LOGIN_GUARD WHERE USER_ID = ?1")),
               {boundText(userId)}, &rows);
    return rows.totalRowCount() > 0 ? rows.fieldAt(0, 0).asInt() : 0;
}

void UserGuard::bumpEpoch(sql::Backend &db, const QString &userId)
{
    db.execute(placeholders(db, QStringLiteral("INSERT INTO SYS_LOGIN_GUARD (USER_ID, FAILS, EPOCH) VALUES (?1, 0, 1) "
                                               "ON CONFLICT (USER_ID) DO UPDATE SET EPOCH = SYS_LOGIN_GUARD.EPOCH + 1")),
               {boundText(userId)}, nullptr);
}

// ---- per address, in memory

int AddressThrottle::lockedFor(const QString &address)
{
    const QDateTime now = clock_.now();
    const std::lock_guard lock(mutex_);
    const auto it = counts_.constFind(address);
    if (it == counts_.constEnd() || it->last.secsTo(now) >= rule_.forgetAfterSeconds)
        return 0;
    return static_cast<int>(std::max<qint64>(0, now.secsTo(it->last.addSecs(rule_.lockSeconds(it->failures)))));
}

void AddressThrottle::recordFailure(const QString &address)
{
    const QDateTime now = clock_.now();
    const std::lock_guard lock(mutex_);
    if (counts_.size() >= MaxAddresses && !counts_.contains(address))
        prune(now);
    Count &c = counts_[address];
    if (!c.last.isValid() || c.last.secsTo(now) >= rule_.forgetAfterSeconds)
        c.failures = 0;
    ++c.failures;
    c.last = now;
}

void AddressThrottle::prune(const QDateTime &now)
{
    counts_.removeIf([&](const auto &entry) { return entry.value().last.secsTo(now) >= rule_.forgetAfterSeconds; });
    // Still full: the table is being flooded; the oldest half goes, which at worst forgets
    // some counts early.
    if (counts_.size() >= MaxAddresses) {
        QList<QDateTime> times;
        for (const Count &c : std::as_const(counts_))
            times << c.last;
        std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
        const QDateTime middle = times.at(times.size() / 2);
        counts_.removeIf([&](const auto &entry) { return entry.value().last <= middle; });
    }
}

} // namespace vorel::server
