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

QDateTime parseDateTime(const QString &text)
{
    const QString s = text.trimmed();
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
