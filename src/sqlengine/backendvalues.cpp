#include "sqlengine/backendvalues.h"

#include <QTimeZone>

namespace vorel::sql::detail {

namespace {

bool allDigits(QStringView s)
{
    for (const QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !s.isEmpty();
}

int number(QStringView s)
{
    return s.toInt();
}

// "+hh", "+hhmm", "+hh:mm", "+hh:mm:ss" or "Z" -> seconds east of UTC; false when malformed.
bool parseOffset(QStringView s, int &seconds)
{
    if (s == QLatin1String("Z")) {
        seconds = 0;
        return true;
    }
    if (s.size() < 3 || (s[0] != QLatin1Char('+') && s[0] != QLatin1Char('-')))
        return false;
    const int sign = s[0] == QLatin1Char('-') ? -1 : 1;
    QString digits;
    for (const QChar c : s.mid(1)) {
        if (c != QLatin1Char(':'))
            digits.append(c);
    }
    if (!allDigits(digits) || digits.size() % 2 != 0 || digits.size() > 6)
        return false;
    const int h = number(QStringView(digits).mid(0, 2));
    const int m = digits.size() >= 4 ? number(QStringView(digits).mid(2, 2)) : 0;
    const int sec = digits.size() == 6 ? number(QStringView(digits).mid(4, 2)) : 0;
    seconds = sign * (h * 3600 + m * 60 + sec);
    return true;
}

} // namespace

QDateTime parseTimestamp(QStringView text)
{
    const QStringView s = text.trimmed();
    // Date: exactly YYYY-MM-DD.
    if (s.size() < 10 || s[4] != QLatin1Char('-') || s[7] != QLatin1Char('-'))
        return {};
    if (!allDigits(s.mid(0, 4)) || !allDigits(s.mid(5, 2)) || !allDigits(s.mid(8, 2)))
        return {};
    const QDate date(number(s.mid(0, 4)), number(s.mid(5, 2)), number(s.mid(8, 2)));
    if (!date.isValid())
        return {};
    if (s.size() == 10)
        return QDateTime(date, QTime(0, 0, 0));

    // Time: hh:mm[:ss]
    if (s[10] != QLatin1Char(' ') && s[10] != QLatin1Char('T'))
        return {};
    QStringView rest = s.mid(11);
    if (rest.size() < 5 || rest[2] != QLatin1Char(':') || !allDigits(rest.mid(0, 2))
        || !allDigits(rest.mid(3, 2)))
        return {};
    const int hour = number(rest.mid(0, 2));
    const int minute = number(rest.mid(3, 2));
    int second = 0;
    rest = rest.mid(5);
    if (rest.size() >= 3 && rest[0] == QLatin1Char(':')) {
        if (!allDigits(rest.mid(1, 2)))
            return {};
        second = number(rest.mid(1, 2));
        rest = rest.mid(3);
    }
    int msec = 0;
    if (!rest.isEmpty() && rest[0] == QLatin1Char('.')) {
        qsizetype n = 1;
        while (n < rest.size() && rest[n].isDigit())
            ++n;
        const QStringView fraction = rest.mid(1, n - 1);
        if (fraction.isEmpty())
            return {};
        msec = number(fraction.left(3).toString().leftJustified(3, QLatin1Char('0')));
        rest = rest.mid(n);
    }
    const QTime time(hour, minute, second, msec);
    if (!time.isValid())
        return {};
    rest = rest.trimmed();
    if (rest.isEmpty())
        return QDateTime(date, time);
    int offset = 0;
    if (!parseOffset(rest, offset))
        return {};
    return QDateTime(date, time, QTimeZone(offset)).toLocalTime();
}

FieldType fieldTypeOf(SqlType type)
{
    switch (type) {
    case SqlType::Integer:
        return FieldType::Integer;
    case SqlType::Decimal:
        return FieldType::Decimal;
    case SqlType::DateTime:
        return FieldType::DateTime;
    case SqlType::Text:
    case SqlType::Unknown:
        break;
    }
    return FieldType::Text;
}

// SQLite's declared column types as the shop schema writes them (T-SQL names included:
// smallint, bit, money, smalldatetime, nvarchar). Unknown when the declaration says nothing
// we recognise.
SqlType typeOfDeclaration(const QString &declared)
{
    const QString d = declared.trimmed().toUpper();
    if (d.isEmpty())
        return SqlType::Unknown;
    if (d.contains(QLatin1String("INT")) || d == QLatin1String("BIT") || d.startsWith(QLatin1String("BOOL")))
        return SqlType::Integer;
    if (d.contains(QLatin1String("DATE")) || d.contains(QLatin1String("TIME")))
        return SqlType::DateTime;
    if (d.startsWith(QLatin1String("DEC")) || d.startsWith(QLatin1String("NUM")) || d.startsWith(QLatin1String("REAL"))
        || d.startsWith(QLatin1String("FLOAT")) || d.startsWith(QLatin1String("DOUBLE")) || d.contains(QLatin1String("MONEY")))
        return SqlType::Decimal;
    if (d.contains(QLatin1String("CHAR")) || d.contains(QLatin1String("TEXT")) || d.contains(QLatin1String("CLOB")))
        return SqlType::Text;
    return SqlType::Unknown;
}

} // namespace vorel::sql::detail
