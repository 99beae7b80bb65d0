#include "shift/shiftrule.h"

#include "core/session.h"

namespace vorel::shift {

namespace {

constexpr std::size_t CashIndex = 5; // S6

// An amount the dialog left empty counts as 0.
QString amountSql(const QString &shown)
{
    return shown.trimmed().isEmpty() ? QStringLiteral("0") : shown;
}

} // namespace

bool maySell(const Session &session)
{
    return !session.terminal.shiftEnabled || session.terminal.onDuty;
}

bool countsTowardsShift(const Session &session, bool practice)
{
    return session.terminal.shiftEnabled && session.terminal.onDuty && !practice;
}

QString shiftTotalsSql(const QString &quantity, const ShiftAmounts &amounts, const QString &total)
{
    QString sql = QStringLiteral("update db_info set NUM=NUM+1,SL=SL+") + amountSql(quantity);
    for (std::size_t i = 0; i < amounts.size(); ++i) {
        // Cash is written with a leading 0 so that an empty field still reads as a number.
        const QString value = i == CashIndex ? QLatin1Char('0') + amounts[i].trimmed() : amountSql(amounts[i]);
        sql += QStringLiteral(",s%1=s%1+").arg(i + 1) + value;
    }
    return sql + QStringLiteral(",emoney=emoney+") + amountSql(total);
}

} // namespace vorel::shift
