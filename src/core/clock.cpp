#include "core/clock.h"

#include <cerrno>
#include <ctime>
#include <sys/time.h>

namespace vorel {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

bool SystemClock::setSystemTime(const QDateTime &localTime)
{
    if (!localTime.isValid())
        return false;
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(localTime.toSecsSinceEpoch());
    tv.tv_usec = 0;
    return ::settimeofday(&tv, nullptr) == 0;
}

bool ManualClock::setSystemTime(const QDateTime &localTime)
{
    if (!localTime.isValid())
        return false;
    current_ = localTime;
    return true;
}

QString formatDateTime(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString formatDate(const QDate &d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

namespace {

// The digits of s[from, from + n) as a number; -1 when one is not a digit.
int digits(const QString &s, int from, int n)
{
    int v = 0;
    for (int i = from; i < from + n; ++i) {
        const QChar c = s.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

} // namespace

QDateTime parseDateTime(const QString &text)
{
    const QString s = text.trimmed();
    // "YYYY-MM-DD hh:mm:ss", the form every stored time has, read without the format
    // machinery: member and slip downloads parse hundreds of thousands of them.
    if (s.size() == 19 && s.at(4) == QLatin1Char('-') && s.at(7) == QLatin1Char('-') &&
        (s.at(10) == QLatin1Char(' ') || s.at(10) == QLatin1Char('T')) && s.at(13) == QLatin1Char(':') &&
        s.at(16) == QLatin1Char(':')) {
        const QDate d(digits(s, 0, 4), digits(s, 5, 2), digits(s, 8, 2));
        const QTime t(digits(s, 11, 2), digits(s, 14, 2), digits(s, 17, 2));
        if (d.isValid() && t.isValid())
            return QDateTime(d, t);
    }
    for (const auto *fmt : {"yyyy-MM-dd hh:mm:ss", "yyyy-MM-ddThh:mm:ss", "yyyy-MM-dd hh:mm:ss.zzz",
                            "yyyy-MM-dd hh:mm"}) {
        QDateTime t = QDateTime::fromString(s, QString::fromLatin1(fmt));
        if (t.isValid())
            return t;
    }
    QDate d = QDate::fromString(s, QStringLiteral("yyyy-MM-dd"));
    if (d.isValid())
        return QDateTime(d, QTime(0, 0, 0));
    return {};
}

} // namespace vorel
