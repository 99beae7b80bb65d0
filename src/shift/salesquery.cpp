#include "shift/salesquery.h"

#include "core/clock.h"
#include "core/session.h"
#include "offline/connection.h"

namespace vorel::shift {

namespace {

// The lines of real items, with their size label and colour.
QString itemLines(const QString &terminalId)
{
    QString sizeCase = QStringLiteral("case when D712A.s0<>0 then D1006.M0");
    for (int i = 1; i <= 9; ++i)
        sizeCase += QStringLiteral(" when D712A.s%1<>0 then d1006.m%1").arg(i);
    return QStringLiteral("SELECT D712.T,D712.BDATE,D712.yw_id, D712A.NOID, D1800.K_ID,D1800.WL_NAME,VD1005.COL_NAME,")
           + sizeCase
           + QStringLiteral(" end as M, D712.VIPID, (D712A.S0+D712A.S1+ D712A.S2+D712A.S3+D712A.S4+ D712A.S5+D712A.S6+"
                            "D712A.S7+D712A.S8+D712A.S9)  AS SL, D712A.ODJ, D712A.OMONEY, D712A.ZK,D712.VIPZK, "
                            "D712A.SJ AS DJ, D712A.SMONEY AS MONEY,D712.USER_ID,D712A.NOTE FROM D712A INNER JOIN "
                            "D1801 ON D1801.WL_ID = D712A.WL_ID  INNER JOIN D1800 ON D1801.K_ID = D1800.K_ID INNER "
                            "JOIN D712 ON D712A.NOID = D712.NOID INNER JOIN D1007 ON D712.CK_ID = D1007.CK_ID INNER "
                            "JOIN VD1005 ON D1801.COL_ID = VD1005.COL_ID INNER JOIN D1006 ON D1800.M_ID = D1006.M_ID "
                            "WHERE D712.zd_id='")
           + terminalId + QLatin1Char('\'');
}

// The system's own lines (points redemption, cash-off, top-up), without size and colour.
QString systemLines(const QString &terminalId)
{
    return QStringLiteral(" UNION ALL SELECT D712.T,D712.BDATE,D712.yw_id, D712A.NOID, D712A.WL_ID, D1800.WL_NAME ,"
                          "null,null,D712.VIPID,0 as SL, D712A.ODJ, D712A.OMONEY, D712A.ZK, D712.VIPZK,D712A.SJ as DJ, "
                          "D712A.SMONEY as MONEY, D712.USER_ID,NULL FROM (SELECT 'Z' AS K_ID,'【积分换购】' AS "
                          "WL_NAME union SELECT 'ZZZZZ' AS K_ID,'【满额折现金】' AS WL_NAME union SELECT "
                          "'ZZZZC','【储值卡充值】') D1800   INNER JOIN D712A ON D1800.K_ID=D712A.WL_ID INNER JOIN "
                          "D712 on D712A.NOID = D712.NOID AND (D712.zd_id='")
           + terminalId + QStringLiteral("')");
}

QString between(const QDate &from, const QDate &before)
{
    return QStringLiteral(" and (d712.bdate>='") + formatDate(from) + QStringLiteral("') AND (D712.BDATE<'")
           + formatDate(before) + QStringLiteral("')");
}

} // namespace

QString periodCondition(Period period, const QDate &today, const QString &userId, const QDate &from, const QDate &to)
{
    const QDate monthStart(today.year(), today.month(), 1);
    switch (period) {
    case Period::Today:
        return between(today, today.addDays(1));
    case Period::Yesterday:
        return between(today.addDays(-1), today);
    case Period::ThisMonth:
        return between(monthStart, today.addDays(1));
    case Period::LastMonth:
        return between(monthStart.addMonths(-1), monthStart);
    case Period::MyShift:
        return between(today, today.addDays(1)) + QStringLiteral(" and (d712.user_id='")
               + QString(userId).remove(QLatin1Char('\'')) + QStringLiteral("')");
    case Period::Range:
        return between(from, to.addDays(1));
    case Period::All:
        break;
    }
    return QString();
}

QString searchCondition(const QString &text)
{
    const QString s = QString(text).remove(QLatin1Char('\'')).trimmed();
    if (s.isEmpty())
        return QString();
    return QStringLiteral(" and  ((d712.noid like '%") + s + QStringLiteral("%') or (d712.vipid like '%") + s
           + QStringLiteral("%') or  (d1800.k_id like '%") + s + QStringLiteral("%'))");
}

QString salesQuerySql(const QString &terminalId, const QString &condition)
{
    return QStringLiteral("SELECT * FROM (") + itemLines(terminalId) + condition + systemLines(terminalId) + condition
           + QStringLiteral(") TMP ORDER BY BDATE,K_ID ");
}

SalesQueryFooter salesQueryFooter(const ResultSet &rows)
{
    SalesQueryFooter f;
    const int noid = rows.columnIndex(QStringLiteral("NOID"));
    const int sl = rows.columnIndex(QStringLiteral("SL"));
    QString previous;
    for (int r = 0; r < rows.totalRowCount(); ++r) {
        const QString number = rows.fieldAt(r, noid).asString();
        if (r == 0 || number != previous)
            ++f.slips;
        previous = number;
        f.quantity += rows.fieldAt(r, sl).asInt();
    }
    return f;
}

SalesQuery::SalesQuery(Session &session, Connection &connection, const Clock &clock)
    : session_(session), connection_(connection), clock_(clock)
{
}

bool SalesQuery::run(Period period, const QString &search, const QDate &from, const QDate &to)
{
    const QString condition = periodCondition(period, clock_.now().date(), session_.identity.userId, from, to)
                              + searchCondition(search);
    rows_ = ResultSet();
    const bool read = connection_.openServerSql(rows_, salesQuerySql(session_.terminal.terminalId, condition),
                                                connection_.isOffline());
    footer_ = salesQueryFooter(rows_);
    rows_.first();
    return read;
}

QDate SalesQuery::today() const
{
    return clock_.now().date();
}

bool SalesQuery::showsUploadFlag() const
{
    return connection_.isOffline();
}

} // namespace vorel::shift
