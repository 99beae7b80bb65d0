#include "server/membernumbers.h"

#include <chrono>
#include <thread>

#include "core/resultset.h"

namespace vorel::server {

namespace {

// Operation code of member cards: their numbers must not collide with a card typed by hand.
const QString MemberCardCode = QStringLiteral("701");

QString quoted(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

bool allDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

qint64 highestNumber(qint64 length)
{
    qint64 n = 1;
    for (qint64 i = 0; i < length; ++i)
        n *= 10;
    return n - 1;
}

// The highest card number of `length` digits already in use, 0 when there is none.
qint64 highestCardInUse(sql::Backend &db, int length)
{
    ResultSet rows;
    db.execute(QStringLiteral("SELECT VIPID FROM D702 WHERE LENGTH(VIPID) = %1").arg(length), &rows);
    qint64 highest = 0;
    for (int r = 0; r < rows.totalRowCount(); ++r) {
        const QString id = rows.fieldAt(r, 0).asString();
        if (allDigits(id))
            highest = std::max(highest, id.toLongLong());
    }
    return highest;
}

bool cardExists(sql::Backend &db, const QString &number)
{
    ResultSet rows;
    db.execute(QStringLiteral("SELECT 1 FROM D702 WHERE VIPID = %1").arg(quoted(number)), &rows);
    return rows.totalRowCount() > 0;
}

QString drawOnce(sql::Backend &db, const QString &code, int length)
{
    const QString where = QStringLiteral(" WHERE CODE = %1 AND LEN = %2").arg(quoted(code)).arg(length);
    const bool memberCards = code == MemberCardCode;
    ResultSet current;
    db.execute(QStringLiteral("SELECT LAST_NO FROM SYS_NOID") + where, &current);
    if (current.totalRowCount() == 0) {
        // First number of this length: start above the cards that are already there. Two
        // servers doing this at once insert one row; the other insert does nothing.
        const qint64 start = memberCards ? highestCardInUse(db, length) : 0;
        db.execute(QStringLiteral("INSERT INTO SYS_NOID (CODE, LEN, LAST_NO) VALUES (%1, %2, %3) "
                                  "ON CONFLICT DO NOTHING")
                       .arg(quoted(code))
                       .arg(length)
                       .arg(start),
                   nullptr);
    }
    const qint64 limit = highestNumber(length);
    for (;;) {
        // The update takes the row's lock: a second drawer waits here until we commit.
        db.execute(QStringLiteral("UPDATE SYS_NOID SET LAST_NO = LAST_NO + 1") + where, nullptr);
        ResultSet next;
        db.execute(QStringLiteral("SELECT LAST_NO FROM SYS_NOID") + where, &next);
        const qint64 value = next.fieldAt(0, 0).asInt();
        if (value > limit)
            throw std::range_error("every member number of this length is in use");
        const QString number = QStringLiteral("%1").arg(value, length, 10, QLatin1Char('0'));
        if (!memberCards || !cardExists(db, number))
            return number;
    }
}

} // namespace

QString MemberNumbers::draw(sql::Backend &db, const QString &code, int length)
{
    if (length < 1 || length > MaxLength)
        throw std::invalid_argument("a member number has 1 to 18 digits");
    constexpr int attempts = 5;
    for (int attempt = 1;; ++attempt) {
        try {
            db.begin(true);
            QString number = drawOnce(db, code, length);
            db.commit();
            return number;
        } catch (const sql::DbError &e) {
            db.rollback();
            if (e.kind != sql::DbError::Kind::Busy || attempt >= attempts)
                throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
        } catch (...) {
            db.rollback();
            throw;
        }
    }
}

} // namespace vorel::server
