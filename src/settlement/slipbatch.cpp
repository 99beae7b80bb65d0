#include "settlement/slipbatch.h"

#include "core/text.h"
#include "sales/sale.h"
#include "sales/saleline.h"

namespace vorel {

namespace {

QString num(double value)
{
    return Money::fromDouble(value).toPlainString();
}

QString q(const QString &text)
{
    return sqlQuote(text);
}

QString qn(qint64 value)
{
    return sqlQuote(QString::number(value));
}

QString qm(double value)
{
    return sqlQuote(num(value));
}

const QString &amountOf(const SettlementTexts &amounts, SettlementField field)
{
    return amounts[static_cast<std::size_t>(field)];
}

// The pseudo item's unit and its stock row in the warehouse, made when missing.
QString itemRows(const QString &id, const QString &warehouse, const QString &separator)
{
    return QStringLiteral("if not EXISTS(SELECT WL_ID FROM D1801 where (WL_ID = %1)) "
                          "INSERT INTO D1801 (WL_ID) VALUES(%1);"
                          "if not EXISTS(SELECT WL_ID FROM D1802 where (CK_ID = %2) and (WL_ID = %1)) "
                          "INSERT INTO D1802 (WL_ID, CK_ID) VALUES(%1,%3%2);")
        .arg(q(id), q(warehouse), separator);
}

QString ordinaryLine(const QString &number, const QString &warehouse, const SaleLine &line, const QString &note,
                     bool earnsPoints)
{
    const Money tagAmount = Money::fromDouble(line.odj()) * line.sl();
    return QStringLiteral("INSERT INTO D712A (NOID, WL_ID, XH,CK_ID, S%1, SJ, SMONEY,ODJ, OMONEY, ZK,G,FLAG1,FLAG2,FLAG3, "
                          "NOTE,VIPF) VALUES (")
               .arg(line.mIndex())
        + QStringList{q(number), q(line.wlId() + line.dwId()), q(QStringLiteral("1")), q(warehouse), qn(line.sl()),
                      qm(line.sj()), qm(line.smoney()), qm(line.odj()), q(tagAmount.toPlainString()), qm(line.zk()),
                      qn(line.g()), qn(line.flag1()), qn(line.flag2()), qn(line.flag3()), q(note),
                      boltos(earnsPoints)}
              .join(QLatin1Char(','))
        + QStringLiteral(");");
}

QString systemLine(const QString &number, const QString &warehouse, const SaleLine &line)
{
    const Money tagAmount = Money::fromDouble(line.odj()) * line.sl();
    return QStringLiteral("INSERT INTO D712A (VIPF,NOID, WL_ID, XH,CK_ID, SJ, SMONEY,ODJ, OMONEY, ZK,G,FLAG1,FLAG2,FLAG3, "
                          "NOTE) VALUES (0,")
        + QStringList{q(number), q(line.wlId()), q(QStringLiteral("1")), q(warehouse), qm(line.sj()),
                      qm(line.smoney()), qm(line.odj()), q(tagAmount.toPlainString()), qm(line.zk()), qn(line.g()),
                      qn(line.flag1()), qn(line.flag2()), qn(line.flag3()), q(line.note())}
              .join(QLatin1Char(','))
        + QStringLiteral(");");
}

} // namespace

QString amountSql(const QString &shown)
{
    return shown.trimmed().isEmpty() ? QStringLiteral("0") : shown;
}

QString cashSql(const QString &shown)
{
    return QLatin1Char('0') + shown.trimmed();
}

QString lineNote(const SaleLine &line, const Sale &sale)
{
    // A line of a threshold group carries the promotion's name only when its own group
    // reached the threshold (and the promotion is a discount or an amount per multiple);
    // below it the promotion did not apply, so the slip shows no name.
    if (!line.inPromotionGroup())
        return line.note();
    const bool reached = (line.clazk() == 0 || line.clazk() == 1)
        && sale.groupSums(line.g()).suma >= Money::fromUnits(line.f1());
    return reached ? line.note() : QString();
}

SlipBatch buildSlipBatch(const SlipBatchInput &in, const Sale &sale)
{
    SlipBatch out;
    const QString date = q(in.date);
    const bool member = !in.vipId.isEmpty();
    const QString &storedValue = amountOf(in.amounts, SettlementField::StoredValue);
    const bool paysStoredValue = Settlement::moneyOfText(storedValue) > Money();

    // When both guards apply, both stay in the batch: the period check first, then the
    // balance check, so a slip outside the period is refused for its date even when the
    // card is short too.
    QString sql;
    if (in.periodCheck)
        sql += QStringLiteral("IF NOT EXISTS (SELECT CK_END_DATE from sys_co where (%1>CK_END_DATE) and "
                              "(%1< (CK_END_DATE + 37))) RAISERROR('%2', 16, 1); ")
                   .arg(date, PeriodRefusalText);
    if (in.online && member && paysStoredValue)
        sql += QStringLiteral("IF EXISTS (SELECT vipid FROM D702 where (vipm<%1) and (vipid=%2))RAISERROR('%3', 16, 1); ")
                   .arg(amountSql(storedValue), q(in.vipId), BalanceRefusalText);

    const auto amount = [&in](SettlementField f) { return amountSql(amountOf(in.amounts, f)); };
    sql += QStringLiteral("INSERT INTO D712 (NOID, CK_ID,ZD_ID, CLASSID, VIPID,VIPZK, yw_id,BDATE,USER_ID,S1,S2,S3,S4,S5,"
                          "S6,S7, NOTE) VALUES (")
        + QStringList{q(in.number),
                      q(in.warehouseId),
                      q(in.terminalId),
                      q(QStringLiteral("1")),
                      member ? q(in.vipId) : QStringLiteral("NULL"),
                      member ? in.vipZk : QStringLiteral("1"),
                      in.salesperson.isEmpty() ? QStringLiteral("NULL") : q(in.salesperson),
                      date,
                      q(in.userId),
                      amount(SettlementField::AmountDue),
                      amount(SettlementField::RoundOff),
                      amount(SettlementField::Voucher),
                      amount(SettlementField::StoredValue),
                      amount(SettlementField::BankCard),
                      cashSql(amountOf(in.amounts, SettlementField::Cash)),
                      amount(SettlementField::Change)}
              .join(QLatin1Char(','))
        + QStringLiteral(",NULL);");

    const Money total = sale.totals().amount;
    const bool redemption = sale.findLine(LineKind::Redemption) >= 0;
    Money pointsBase;
    out.lines = sale.lines();
    for (SaleLine &line : out.lines) {
        switch (line.kind()) {
        case LineKind::Redemption:
            if (in.online)
                sql += itemRows(SaleLine::RedemptionId, in.warehouseId, QStringLiteral(" "));
            // The redemption never makes the slip negative: it gives up what is missing.
            if (total < Money()) {
                line.setSmoney(Money::fromDouble(line.smoney()) - total);
                out.raised = true;
            }
            sql += systemLine(in.number, in.warehouseId, line);
            break;
        case LineKind::CashOff:
            if (in.online)
                sql += itemRows(SaleLine::CashOffId, in.warehouseId, QStringLiteral(" "));
            if (Money::fromDouble(line.smoney()) != Money())
                sql += systemLine(in.number, in.warehouseId, line);
            pointsBase += Money::fromDouble(line.smoney());
            break;
        case LineKind::Item:
        case LineKind::TopUp:
            sql += ordinaryLine(in.number, in.warehouseId, line, lineNote(line, sale), line.vipf() && !redemption);
            if (line.vipf())
                pointsBase += Money::fromDouble(line.smoney());
            break;
        }
    }

    if (member) {
        if (redemption) {
            out.slipPoints = in.redeemPoints;
            out.pointsEarned = true;
        } else if (pointsBase > Money() && in.pointsPerUnit > 0) {
            out.slipPoints = pointsBase.raw() / (Money::Scale * in.pointsPerUnit);
            out.pointsEarned = true;
        }
        sql += QStringLiteral("update d712 set vipf=%1 where noid=%2;").arg(out.slipPoints).arg(q(in.number));
        if (in.online)
            sql += QStringLiteral("update d702 set vipf=vipf+%1,vipm=vipm-%2 where vipid=%3;")
                       .arg(QString::number(out.slipPoints), amountSql(storedValue), q(in.vipId));
    }

    if (in.online)
        sql += QStringLiteral("UPDATE D712A SET DJ = B.DJ,MONEY=B.DJ*(S0+S1+S2+S3+S4+S5+S6+S7+S8+S9) "
                              "FROM (SELECT D1801.WL_ID, D1800.DJ  FROM D1800 INNER JOIN  D1801 ON D1800.K_ID = "
                              "D1801.K_ID  GROUP BY D1801.WL_ID, D1800.DJ) B WHERE D712A.WL_ID = B.WL_ID and "
                              "d712a.noid=")
            + q(in.number);
    out.sql = sql;
    return out;
}

QString buildTopUpSql(const TopUpInput &in)
{
    const auto amount = [&in](SettlementField f) { return amountSql(amountOf(in.amounts, f)); };
    const QString cash = amountOf(in.amounts, SettlementField::Cash).trimmed();
    QString sql = QStringLiteral("INSERT INTO D712 (VIPF, m,NOID, CK_ID,ZD_ID, CLASSID, VIPID, BDATE,USER_ID,S1,S2,S3,S4,"
                                 "S5,S6,S7) VALUES (0,1,")
        + QStringList{q(in.number),
                      q(in.warehouseId),
                      q(in.terminalId),
                      q(QStringLiteral("1")),
                      q(in.vipId),
                      QStringLiteral("getDATE()"),
                      q(in.userId),
                      amount(SettlementField::AmountDue),
                      amount(SettlementField::RoundOff),
                      amount(SettlementField::Voucher),
                      amount(SettlementField::StoredValue),
                      amount(SettlementField::BankCard),
                      cash.isEmpty() ? QStringLiteral("0") : cash,
                      amount(SettlementField::Change)}
              .join(QLatin1Char(','))
        + QStringLiteral(");");
    sql += QStringLiteral("update d702 set VIPM=VIPM+%1 where vipid=%2;").arg(in.total, q(in.vipId));
    sql += itemRows(SaleLine::TopUpCode, in.warehouseId, QString());
    sql += QStringLiteral("INSERT INTO D712A (VIPF,NOID, WL_ID, XH,CK_ID, SJ, SMONEY,ODJ, OMONEY, ZK,G,FLAG1,FLAG2,FLAG3, "
                          "NOTE) VALUES (0,")
        + QStringList{q(in.number), q(SaleLine::TopUpCode), q(QStringLiteral("1")), q(in.warehouseId), q(in.total),
                      q(in.total), q(QStringLiteral("0")), q(QStringLiteral("0")), q(QStringLiteral("1")),
                      q(QStringLiteral("0")), q(QStringLiteral("0")), q(QStringLiteral("0")), q(QStringLiteral("0")),
                      q(QString())}
              .join(QLatin1Char(','))
        + QStringLiteral(");");
    return sql;
}

} // namespace vorel
