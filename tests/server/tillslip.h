#pragma once
// Sales slips as a till commits them, for the tests that drive many tills at one server: the
// settlement batch of a slip, and the rows a database must hold afterwards.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include "core/money.h"
#include "core/resultset.h"
#include "sqlengine/backend.h"

namespace vorel::test {

const QDate SaleDay(2026, 12, 5);
const QString SaleTime = QStringLiteral("2026-12-05 10:30:15");

struct Line {
    QString unit;
    int size = 0; // quantity column S0..S9
    int quantity = 0;
    Money price;
    Money amount() const { return price * quantity; }
};

struct Slip {
    QString number;
    QString terminal;
    QString member;
    Money card;
    QList<Line> lines;

    Money total() const
    {
        Money t;
        for (const Line &l : lines)
            t += l.amount();
        return t;
    }
    // Ten yuan per point for members.
    int points() const { return member.isEmpty() ? 0 : static_cast<int>(total().raw() / (10 * Money::Scale)); }

    // The settlement batch as the till builds it.
    QString batch() const
    {
        QString b = QStringLiteral("IF NOT EXISTS (SELECT CK_END_DATE from sys_co where ('%1'>CK_END_DATE) and ('%1'< "
                                   "(CK_END_DATE + 37))) RAISERROR('开单日期不在进销存期间内!', 16, 1); ")
                        .arg(SaleTime);
        if (!member.isEmpty()) {
            b += QStringLiteral("IF EXISTS (SELECT vipid FROM D702 where (vipm<%1) and (vipid='%2'))"
                                "RAISERROR('储值卡余额不足以支付本单!', 16, 1); ")
                     .arg(formatFixed(card, 10, 2), member);
        }
        const Money cash = total() - card;
        b += QStringLiteral("INSERT INTO D712 (NOID, CK_ID,ZD_ID, CLASSID, VIPID,VIPZK, yw_id,BDATE,USER_ID,S1,S2,S3,S4,"
                            "S5,S6,S7, NOTE) VALUES ('%1','001','%2','1',%3,%4,'01','%5','01',%6,      0.00,      0.00,"
                            "%7,      0.00,0%8,      0.00,NULL);")
                 .arg(number, terminal, member.isEmpty() ? QStringLiteral("NULL") : "'" + member + "'",
                      member.isEmpty() ? QStringLiteral("1") : QStringLiteral("0.9"), SaleTime,
                      formatFixed(total(), 10, 2), formatFixed(card, 10, 2), cash.toString(2));
        for (const Line &l : lines) {
            b += QStringLiteral("INSERT INTO D712A (NOID, WL_ID, XH,CK_ID, S%1, SJ, SMONEY,ODJ, OMONEY, ZK,G,FLAG1,FLAG2,"
                                "FLAG3, NOTE,VIPF) VALUES ('%2','%3','1','001','%4','%5','%6','%5','%6','1','0','0','0',"
                                "'0','',1);")
                     .arg(l.size)
                     .arg(number, l.unit)
                     .arg(l.quantity)
                     .arg(l.price.toPlainString(), l.amount().toPlainString());
        }
        if (!member.isEmpty()) {
            b += QStringLiteral("update d712 set vipf=%1 where noid='%2';update d702 set vipf=vipf+%1,vipm=vipm-%3 "
                                "where vipid='%4';")
                     .arg(points())
                     .arg(number, formatFixed(card, 10, 2), member);
        }
        b += QStringLiteral("UPDATE D712A SET DJ = B.DJ,MONEY=B.DJ*(S0+S1+S2+S3+S4+S5+S6+S7+S8+S9) FROM (SELECT "
                            "D1801.WL_ID, D1800.DJ  FROM D1800 INNER JOIN  D1801 ON D1800.K_ID = D1801.K_ID  GROUP BY "
                            "D1801.WL_ID, D1800.DJ) B WHERE D712A.WL_ID = B.WL_ID and d712a.noid='%1'")
                 .arg(number);
        return b;
    }
};

// Rows of a query as sorted text lines (fields joined by '|'); amounts to two decimals so
// both backends read alike.
inline QStringList rowsOf(sql::Backend &db, const QString &query, const QList<int> &moneyColumns = {})
{
    ResultSet rows;
    db.execute(query, &rows);
    QStringList out;
    for (int r = 0; r < rows.totalRowCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < rows.columnCount(); ++c) {
            const Field f = rows.fieldAt(r, c);
            fields << (moneyColumns.contains(c) ? f.asMoney().toString(2) : f.asString());
        }
        out << fields.join(u'|');
    }
    out.sort();
    return out;
}

struct Member {
    qint64 points = 0;
    Money stored;
};

inline QMap<QString, Member> members(sql::Backend &db)
{
    QMap<QString, Member> m;
    ResultSet rows;
    db.execute(QStringLiteral("SELECT VIPID, VIPF, VIPM FROM D702"), &rows);
    for (int r = 0; r < rows.totalRowCount(); ++r)
        m.insert(rows.fieldAt(r, 0).asString(), Member{rows.fieldAt(r, 1).asInt(), rows.fieldAt(r, 2).asMoney()});
    return m;
}

// The header and line rows the accepted slips leave, as rowsOf reads HeaderQuery and LineQuery.
inline const QString HeaderQuery = QStringLiteral("SELECT NOID, ZD_ID, VIPID, S1, S4, VIPF FROM D712");
inline const QList<int> HeaderMoney{3, 4};
inline const QString LineQuery =
    QStringLiteral("SELECT NOID, WL_ID, S0, S1, S2, S3, S4, S5, S6, S7, S8, S9, SMONEY, DJ, MONEY FROM D712A");
inline const QList<int> LineMoney{12, 13, 14};

inline QStringList headerRows(const QList<Slip> &slips)
{
    QStringList out;
    for (const Slip &s : slips) {
        out << QStringList{s.number, s.terminal, s.member, s.total().toString(2), s.card.toString(2),
                           QString::number(s.points())}
                   .join(u'|');
    }
    out.sort();
    return out;
}

// The list price is filled in by the refresh at the end of the batch.
inline QStringList lineRows(const QList<Slip> &slips)
{
    QStringList out;
    for (const Slip &s : slips) {
        for (const Line &l : s.lines) {
            QStringList sizes;
            for (int i = 0; i < 10; ++i)
                sizes << QString::number(i == l.size ? l.quantity : 0);
            out << QStringList{s.number, l.unit, sizes.join(u'|'), l.amount().toString(2), l.price.toString(2),
                               l.amount().toString(2)}
                       .join(u'|');
        }
    }
    out.sort();
    return out;
}

} // namespace vorel::test
