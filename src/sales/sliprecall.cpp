#include "sales/sliprecall.h"

#include "core/resultset.h"
#include "core/text.h"
#include "offline/connection.h"

namespace vorel {

const QString SlipRecall::NoSlipText = QStringLiteral("不存在或无效单据!");
const QString SlipRecall::NoLastSlipText = QStringLiteral("无上一单数据!");
const QString SlipRecall::QueryHelpText = QStringLiteral("查单状态,F9重打小票,F10查看收银小票,其他键返回");

namespace {

// The size column of a stored line: the first of S0..S9 that holds its quantity (a return
// holds a negative one).
QString sizeCase(const QString &thenPrefix)
{
    QString sql = QStringLiteral("CASE");
    for (int i = 0; i < 10; ++i)
        sql += QStringLiteral(" WHEN D712A.S%1<>0 THEN ").arg(i) + thenPrefix + QString::number(i);
    return sql + QStringLiteral(" ELSE ") + thenPrefix + QStringLiteral("0 END");
}

QString text(const ResultSet &rows, const char *name)
{
    return rows.field(QLatin1String(name)).asString();
}

QString amountText(const ResultSet &rows, const char *name)
{
    const Field f = rows.field(QLatin1String(name));
    return f.isNull() ? QString() : f.asMoney().toPlainString();
}

} // namespace

QString SlipRecall::lastNumberSql(const QString &terminal)
{
    return QStringLiteral("select max(NOID) AS NOID FROM D712 WHERE ZD_ID=") + sqlQuote(terminal);
}

QString SlipRecall::headerSql(const QString &number)
{
    const QString n = sqlQuote(number);
    return QStringLiteral("SELECT D712.*,SYS_USER.USER_NAME, D702.VIPID AS V1, D702.VIPF AS V2,D712.VIPF AS V3,"
                          "A.V4,A.V5 FROM D712 INNER JOIN SYS_USER ON D712.USER_ID = SYS_USER.USER_ID LEFT JOIN "
                          "(SELECT D712.NOID, SUM(D712A.OMONEY) AS V4, (SUM(D712A.OMONEY)- SUM(D712A.SMONEY)) AS V5 "
                          "FROM D712 INNER JOIN D712A ON D712.NOID = D712A.NOID WHERE (D712.NOID =")
        + n
        + QStringLiteral(") and d712a.wl_id<>'Z' GROUP BY D712.NOID) A ON D712.NOID=A.NOID LEFT OUTER JOIN D702 ON "
                         "D712.VIPID = D702.VIPID WHERE (D712.NOID =")
        + n + QLatin1Char(')');
}

// One select over the stored lines: item lines find their style, colour, size and barcode;
// the three system lines find nothing there and take their names from their id.
QString SlipRecall::linesSql(const QString &number)
{
    return QStringLiteral("SELECT D712A.NOID, D712A.XH, D1809.TM, "
                          "CASE WHEN D1801.K_ID IS NULL THEN D712A.WL_ID ELSE D1801.K_ID END AS WL_ID, "
                          "CASE D712A.WL_ID WHEN 'Z' THEN '【积分换购】' WHEN 'ZZZZZ' THEN '【满额折现金】' "
                          "WHEN 'ZZZZC' THEN '【储值卡充值】' ELSE D1800.WL_NAME END AS WL_NAME, ")
        + sizeCase(QStringLiteral("D1006.M")) + QStringLiteral(" AS WL_GG, D1801.COL_ID AS DW_ID, VD1005.COL_NAME AS "
                                                               "DW_NAME, VD1005.S, ")
        + QStringLiteral("CASE D712A.WL_ID WHEN 'Z' THEN 0 WHEN 'ZZZZZ' THEN 0 WHEN 'ZZZZC' THEN 1 ELSE "
                         "D712A.S0+D712A.S1+D712A.S2+D712A.S3+D712A.S4+D712A.S5+D712A.S6+D712A.S7+D712A.S8+D712A.S9 "
                         "END AS SL, D712A.ODJ, D712A.OMONEY, D712A.ZK, D712A.SJ, D712A.SMONEY, D712A.NOTE, "
                         "D712A.VIPF, ")
        + sizeCase(QString()) + QStringLiteral(" AS M_INDEX, D712A.G, D712A.FLAG1, D712A.FLAG2, D712A.FLAG3, "
                                               "CASE WHEN D1801.K_ID IS NULL THEN NULL ELSE 'a' END AS M_BS ")
        + QStringLiteral("FROM D712A LEFT JOIN D1801 ON D712A.WL_ID = D1801.WL_ID "
                         "LEFT JOIN D1800 ON D1801.K_ID = D1800.K_ID LEFT JOIN D1006 ON D1800.M_ID = D1006.M_ID "
                         "LEFT JOIN VD1005 ON D1801.COL_ID = VD1005.COL_ID "
                         "LEFT JOIN D1809 ON D1809.WL_ID = D712A.WL_ID AND D1809.M_INDEX = ")
        + sizeCase(QString()) + QStringLiteral(" WHERE D712A.NOID = ") + sqlQuote(number)
        + QStringLiteral(" order by D712A.G, D712A.WL_ID");
}

QString SlipRecall::lastNumber(const QString &terminal)
{
    ResultSet rows;
    connection_.openServerSql(rows, lastNumberSql(terminal));
    return rows.isEmpty() ? QString() : text(rows, "NOID");
}

std::optional<RecalledSlip> SlipRecall::read(const QString &number)
{
    ResultSet header;
    if (number.isEmpty() || !connection_.openServerSql(header, headerSql(number)) || header.isEmpty())
        return std::nullopt;
    RecalledSlip slip;
    slip.number = number;
    const Field date = header.field(QStringLiteral("BDATE"));
    slip.date = date.asDateTime().isValid() ? date.asDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                                            : date.asString();
    slip.terminal = text(header, "ZD_ID");
    slip.userId = text(header, "USER_ID");
    slip.salesperson = text(header, "YW_ID");
    slip.vipId = text(header, "VIPID");
    slip.vipZk = amountText(header, "VIPZK");
    static const char *const amounts[] = {"S1", "S2", "S3", "S4", "S5", "S6", "S7"};
    for (int i = 0; i < SettlementFieldCount; ++i)
        slip.amounts[i] = amountText(header, amounts[i]);
    slip.memberPoints = text(header, "V2");
    slip.slipPoints = text(header, "V3");
    slip.tagTotal = amountText(header, "V4");
    slip.saving = amountText(header, "V5");

    ResultSet rows;
    connection_.openServerSql(rows, linesSql(number));
    for (bool more = rows.first(); more && !rows.eof(); more = rows.next()) {
        SaleLine l;
        l.setNoid(text(rows, "NOID"));
        l.setXh(quint16(rows.field(QStringLiteral("XH")).asInt()));
        l.setTm(text(rows, "TM"));
        l.setWlId(text(rows, "WL_ID"));
        l.setWlName(text(rows, "WL_NAME"));
        l.setWlGg(text(rows, "WL_GG"));
        l.setDwId(text(rows, "DW_ID"));
        l.setDwName(text(rows, "DW_NAME"));
        l.setS(text(rows, "S"));
        l.setMBs(text(rows, "M_BS"));
        l.setSl(qint32(rows.field(QStringLiteral("SL")).asInt()));
        l.setOdj(rows.field(QStringLiteral("ODJ")).asDouble());
        l.setOmoney(rows.field(QStringLiteral("OMONEY")).asDouble());
        l.setZk(rows.field(QStringLiteral("ZK")).asDouble());
        l.setSj(rows.field(QStringLiteral("SJ")).asDouble());
        l.setSmoney(rows.field(QStringLiteral("SMONEY")).asDouble());
        l.setNote(text(rows, "NOTE"));
        l.setVipf(rows.field(QStringLiteral("VIPF")).asBool());
        l.setMIndex(qint16(rows.field(QStringLiteral("M_INDEX")).asInt()));
        l.setG(qint16(rows.field(QStringLiteral("G")).asInt()));
        l.setFlag1(qint16(rows.field(QStringLiteral("FLAG1")).asInt()));
        l.setFlag2(qint16(rows.field(QStringLiteral("FLAG2")).asInt()));
        l.setFlag3(qint16(rows.field(QStringLiteral("FLAG3")).asInt()));
        if (l.wlId() == SaleLine::TopUpCode) // the top-up is told by its code
            l.setTm(SaleLine::TopUpCode);
        slip.lines.append(l);
    }
    return slip;
}

} // namespace vorel
