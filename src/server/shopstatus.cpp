#include "server/shopstatus.h"

#include <QHash>
#include <algorithm>

#include "core/clock.h"
#include "core/resultset.h"

namespace vorel::server {

namespace {

using wire::Json;

QString dateLiteral(const QDateTime &t)
{
    return QLatin1Char('\'') + formatDateTime(t) + QLatin1Char('\'');
}

// Terminals without a number sort after the numbered ones.
bool byTerminal(const QString &a, const QString &b)
{
    if (a.isEmpty() != b.isEmpty())
        return b.isEmpty();
    return a < b;
}

Json moneyJson(Money m, int decimals)
{
    return wire::toJson(formatFixed(m, 0, decimals));
}

Json takingsJson(const Takings &t, int decimals)
{
    return Json{{"terminal", wire::toJson(t.terminalId)},
                {"name", wire::toJson(t.terminalName)},
                {"slips", t.slips},
                {"units", t.units},
                {"voucher", moneyJson(t.voucher, decimals)},
                {"stored_value", moneyJson(t.storedValue, decimals)},
                {"bank_card", moneyJson(t.bankCard, decimals)},
                {"cash", moneyJson(t.cash, decimals)},
                {"rounding", moneyJson(t.rounding, decimals)},
                {"total", moneyJson(t.total(), decimals)}};
}

} // namespace

ShopStatus StatusBoard::read(sql::Backend &db, const QDateTime &now, int onlineWindowSeconds)
{
    ShopStatus status;
    status.at = now;
    const QDateTime dayStart(now.date(), QTime(0, 0));
    const QString from = dateLiteral(dayStart);
    const QString to = dateLiteral(dayStart.addDays(1));
    const QDateTime onlineSince = now.addSecs(-onlineWindowSeconds);

    // Tills: those that called today, and those still online from before midnight.
    ResultSet rows;
    db.execute(QStringLiteral("SELECT T.ZD_KEY, T.ZD_ID, Z.ZD_NAME, T.USER_ID, U.USER_NAME, T.LAST_SEEN, T.UNSENT "
                              "FROM SYS_TILL T LEFT JOIN SYS_USER U ON U.USER_ID = T.USER_ID "
                              "LEFT JOIN D701 Z ON Z.ZD_ID = T.ZD_ID "
                              "WHERE T.LAST_SEEN >= %1 ORDER BY T.LAST_SEEN DESC LIMIT %2")
                   .arg(dateLiteral(std::min(dayStart, onlineSince)))
                   .arg(MaxTills + 1),
               &rows);
    for (int r = 0; r < rows.totalRowCount() && r < MaxTills; ++r) {
        TillContact t;
        t.terminalKey = rows.fieldAt(r, 0).asString();
        t.terminalId = rows.fieldAt(r, 1).asString();
        t.terminalName = rows.fieldAt(r, 2).asString();
        t.userId = rows.fieldAt(r, 3).asString();
        t.userName = rows.fieldAt(r, 4).asString();
        t.lastSeen = rows.fieldAt(r, 5).asDateTime();
        t.online = t.lastSeen >= onlineSince;
        if (!rows.fieldAt(r, 6).isNull())
            t.unsent = static_cast<int>(rows.fieldAt(r, 6).asInt());
        status.tills.append(t);
    }
    status.moreTills = rows.totalRowCount() > MaxTills;
    std::sort(status.tills.begin(), status.tills.end(), [](const TillContact &a, const TillContact &b) {
        if (a.terminalId != b.terminalId)
            return byTerminal(a.terminalId, b.terminalId);
        return a.terminalKey < b.terminalKey;
    });

    // Today's slips per till, and of the whole shop (also when not every till is listed).
    const QString sums = QStringLiteral("COUNT(*), SUM(D.S2), SUM(D.S3), SUM(D.S4), SUM(D.S5), SUM(D.S6), SUM(D.S7) "
                                        "FROM D712 D WHERE D.BDATE >= %1 AND D.BDATE < %2")
                             .arg(from, to);
    const auto takingsAt = [](const ResultSet &rows, int r, int c) {
        Takings t;
        t.slips = rows.fieldAt(r, c).asInt();
        t.rounding = rows.fieldAt(r, c + 1).asMoney();
        t.voucher = rows.fieldAt(r, c + 2).asMoney();
        t.storedValue = rows.fieldAt(r, c + 3).asMoney();
        t.bankCard = rows.fieldAt(r, c + 4).asMoney();
        t.cash = rows.fieldAt(r, c + 5).asMoney() - rows.fieldAt(r, c + 6).asMoney();
        return t;
    };
    rows = ResultSet();
    db.execute(QStringLiteral("SELECT ") + sums, &rows);
    status.shop = takingsAt(rows, 0, 0);
    rows = ResultSet();
    db.execute(QStringLiteral("SELECT D.ZD_ID, %1 GROUP BY D.ZD_ID ORDER BY D.ZD_ID LIMIT %2").arg(sums).arg(MaxTills + 1),
               &rows);
    QHash<QString, int> index;
    for (int r = 0; r < rows.totalRowCount() && r < MaxTills; ++r) {
        Takings t = takingsAt(rows, r, 1);
        t.terminalId = rows.fieldAt(r, 0).asString();
        index.insert(t.terminalId, static_cast<int>(status.takings.size()));
        status.takings.append(t);
    }
    status.moreTills = status.moreTills || rows.totalRowCount() > MaxTills;

    rows = ResultSet();
    db.execute(QStringLiteral("SELECT D.ZD_ID, Z.ZD_NAME FROM D701 Z INNER JOIN (SELECT DISTINCT ZD_ID FROM D712 "
                              "WHERE BDATE >= %1 AND BDATE < %2) D ON D.ZD_ID = Z.ZD_ID")
                   .arg(from, to),
               &rows);
    for (int r = 0; r < rows.totalRowCount(); ++r) {
        const auto it = index.constFind(rows.fieldAt(r, 0).asString());
        if (it != index.constEnd())
            status.takings[*it].terminalName = rows.fieldAt(r, 1).asString();
    }

    rows = ResultSet();
    db.execute(QStringLiteral("SELECT D.ZD_ID, SUM(A.S0 + A.S1 + A.S2 + A.S3 + A.S4 + A.S5 + A.S6 + A.S7 + A.S8 + A.S9) "
                              "FROM D712A A INNER JOIN D712 D ON D.NOID = A.NOID "
                              "WHERE D.BDATE >= %1 AND D.BDATE < %2 GROUP BY D.ZD_ID")
                   .arg(from, to),
               &rows);
    for (int r = 0; r < rows.totalRowCount(); ++r) {
        const qint64 units = rows.fieldAt(r, 1).asInt();
        status.shop.units += units;
        const auto it = index.constFind(rows.fieldAt(r, 0).asString());
        if (it != index.constEnd())
            status.takings[*it].units = units;
    }

    std::sort(status.takings.begin(), status.takings.end(),
              [](const Takings &a, const Takings &b) { return byTerminal(a.terminalId, b.terminalId); });
    return status;
}

Json StatusBoard::toJson(const ShopStatus &status, int decimals)
{
    Json tills = Json::array();
    for (const TillContact &t : status.tills) {
        tills.push_back(Json{{"key", wire::toJson(t.terminalKey)},
                             {"terminal", wire::toJson(t.terminalId)},
                             {"name", wire::toJson(t.terminalName)},
                             {"user", wire::toJson(t.userId)},
                             {"user_name", wire::toJson(t.userName)},
                             {"last_seen", wire::toJson(formatDateTime(t.lastSeen))},
                             {"seconds_ago", std::max<qint64>(0, t.lastSeen.secsTo(status.at))},
                             {"online", t.online},
                             {"unsent", t.unsent ? Json(*t.unsent) : Json(nullptr)}});
    }
    Json takings = Json::array();
    for (const Takings &t : status.takings)
        takings.push_back(takingsJson(t, decimals));
    return Json{{"at", wire::toJson(formatDateTime(status.at))},
                {"tills", tills},
                {"more_tills", status.moreTills},
                {"takings", takings},
                {"shop", takingsJson(status.shop, decimals)}};
}

} // namespace vorel::server
