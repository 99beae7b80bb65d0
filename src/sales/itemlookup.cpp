#include "sales/itemlookup.h"

#include "core/text.h"

namespace vorel::itemlookup {

namespace {

// " like '%<code>%')". Literals go through sqlQuote: the command line never lets a quote
// through, and a stray one stays inside its literal.
QString likeAnywhere(const QString &code)
{
    return QStringLiteral(" like ") + sqlQuote(QLatin1Char('%') + code + QLatin1Char('%')) + QLatin1Char(')');
}

// "CASE D1809.M_INDEX WHEN 0 THEN <column>0 ... WHEN 9 THEN <column>9 END AS <alias>"
QString bySizeIndex(const QString &column, const QString &alias)
{
    QString sql = QStringLiteral("CASE D1809.M_INDEX");
    for (int i = 0; i <= 9; ++i) {
        const QString n = QString::number(i);
        sql += QStringLiteral(" WHEN ") + n + QStringLiteral(" THEN ") + column + n;
    }
    return sql + QStringLiteral(" END AS ") + alias;
}

QString promotionColumns(const QString &table)
{
    static const char *const Names[] = {"I",      "cla",  "clazk", "F1",    "F2",    "F3",    "TJ",   "DJ_VIP",
                                        "G_VIP",  "G_ZK", "G",     "flag1", "flag2", "flag3", "FA"};
    QString sql;
    for (const char *name : Names) {
        if (!sql.isEmpty())
            sql += QStringLiteral(", ");
        sql += table + QLatin1Char('.') + QLatin1String(name);
    }
    return sql;
}

// The brand is only shown: a style whose brand is missing or unknown is still found (with an
// empty PP), as it is in the local store.
QString serverSelect(const QString &warehouseId)
{
    const QString wh = sqlQuote(warehouseId);
    return QStringLiteral("SELECT D1800.VIPF, D1800.K_ID, D1800.K_ID AS WL_ID, D1809.TM, D1800.WL_NAME, "
                          "D1009.PP_NAME AS PP, D1809.M_INDEX, D1801.COL_ID AS DW_ID, D1005.COL_NAME AS DW_NAME, ") +
           bySizeIndex(QStringLiteral("D1802.K"), QStringLiteral("ABASE")) + QStringLiteral(", ") +
           bySizeIndex(QStringLiteral("D1006.M"), QStringLiteral("WL_GG")) + QStringLiteral(", D1800.PFJ AS SJ, ") +
           promotionColumns(QStringLiteral("VD704")) +
           QStringLiteral(" FROM D1809 INNER JOIN D1800 ON D1809.K_ID = D1800.K_ID AND (D1800.WL_YS=1)"
                          " LEFT OUTER JOIN D1009 ON D1800.PP_ID = D1009.PP_ID"
                          " INNER JOIN D1801 ON D1809.WL_ID = D1801.WL_ID"
                          " INNER JOIN D1005 ON D1801.COL_ID = D1005.COL_ID"
                          " INNER JOIN D1802 ON D1801.WL_ID = D1802.WL_ID AND (D1802.CK_ID = ") +
           wh +
           QStringLiteral(") INNER JOIN D1006 ON D1800.M_ID = D1006.M_ID"
                          " LEFT OUTER JOIN VD704 ON D1800.K_ID = VD704.K_ID AND (VD704.CK_ID = ") +
           wh + QStringLiteral(") ");
}

QString serverSearch(const QString &code)
{
    const QString like = likeAnywhere(code);
    return QStringLiteral("((D1800.K_ID") + like + QStringLiteral(" or (d1809.tm") + like +
           QStringLiteral(" or (D1800.pym") + like + QStringLiteral(" or (D1800.wl_name") + like +
           QStringLiteral(")");
}

// The local mirror holds only this warehouse's styles on sale and their stock, with the
// promotion terms copied into D1800 and the brand name in D1800.PP.
QString localSelect()
{
    return QStringLiteral("SELECT D1800.VIPF, D1800.K_ID, D1800.K_ID AS WL_ID, D1809.TM, D1800.WL_NAME, D1800.PP, "
                          "D1809.M_INDEX, D1801.COL_ID AS DW_ID, VD1005.COL_NAME AS DW_NAME, ") +
           bySizeIndex(QStringLiteral("D1802.K"), QStringLiteral("ABASE")) + QStringLiteral(", ") +
           bySizeIndex(QStringLiteral("D1006.M"), QStringLiteral("WL_GG")) + QStringLiteral(", D1800.PFJ AS SJ, ") +
           promotionColumns(QStringLiteral("D1800")) +
           QStringLiteral(" FROM D1809 INNER JOIN D1800 ON D1809.K_ID = D1800.K_ID"
                          " INNER JOIN D1801 ON D1809.WL_ID = D1801.WL_ID"
                          " INNER JOIN VD1005 ON D1801.COL_ID = VD1005.COL_ID"
                          " INNER JOIN D1802 ON D1801.WL_ID = D1802.WL_ID"
                          " INNER JOIN D1006 ON D1800.M_ID = D1006.M_ID ");
}

} // namespace

TypedCode splitCode(const QString &raw)
{
    TypedCode typed;
    typed.code = raw;
    if (raw.contains(QLatin1Char('.'))) {
        typed.hasDot = true;
        typed.code = getno(raw, QStringLiteral("."), 1);
        typed.size = getno(raw, QStringLiteral("."), 2);
    }
    return typed;
}

QString serverBatch(const QString &raw, const QString &warehouseId)
{
    const QString r = sqlQuote(raw);
    const TypedCode typed = splitCode(raw);
    const QString select = serverSelect(warehouseId);

    QString fuzzy;
    if (typed.hasDot && typed.size.isEmpty())
        fuzzy = select + QStringLiteral("WHERE 1>0 AND  (D1800.K_ID=") + sqlQuote(typed.code) +
                QStringLiteral(")  ORDER BY D1800.K_ID,D1809.M_INDEX  ");
    else if (typed.size.isEmpty())
        fuzzy = select + QStringLiteral("WHERE 1>0 AND ") + serverSearch(typed.code) +
                QStringLiteral(" ORDER BY D1800.K_ID,D1809.M_INDEX ");
    else
        fuzzy = QStringLiteral(" SELECT  * FROM( ") + select + QStringLiteral("WHERE 1>0 AND ") +
                serverSearch(typed.code) + QStringLiteral(") A WHERE A.WL_GG=") + sqlQuote(typed.size) +
                QStringLiteral("  ORDER BY K_ID ");

    return QStringLiteral("if exists(select top 1 d1800.k_id from D1809 INNER JOIN D1800 ON D1809.K_ID = "
                          "D1800.K_ID where (D1800.WL_YS=1) and ((D1800.K_ID = ") +
           r + QStringLiteral(") or (tm=") + r + QStringLiteral(")))") + select +
           QStringLiteral("WHERE (D1800.K_ID = ") + r + QStringLiteral(") or (d1809.tm=") + r +
           QStringLiteral(") ORDER BY D1800.K_ID,D1809.M_INDEX  else ") + fuzzy;
}

QString localExactSql(const QString &raw)
{
    // The style is tested on the barcode's own K_ID, which the join makes equal to D1800's:
    // with both tests on one table SQLite reads the two indexes, while an OR across the two
    // tables walks every barcode of the store.
    const QString r = sqlQuote(raw);
    return localSelect() + QStringLiteral("WHERE (D1809.K_ID = ") + r + QStringLiteral(") or (D1809.TM=") + r +
           QStringLiteral(") order by D1800.K_ID,D1809.M_INDEX");
}

QString localSearchSql(const QString &code)
{
    const QString like = likeAnywhere(code);
    return localSelect() + QStringLiteral("WHERE (D1809.TM") + like + QStringLiteral(" or (D1800.K_ID") + like +
           QStringLiteral(" or (D1800.pym") + like + QStringLiteral(" or (D1800.wl_name") + like +
           QStringLiteral(" order by D1800.K_ID,D1809.M_INDEX Limit 30");
}

} // namespace vorel::itemlookup
