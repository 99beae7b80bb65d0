#include "app/screenlock.h"

#include "core/clock.h"
#include "core/resultset.h"
#include "core/session.h"
#include "core/text.h"
#include "offline/connection.h"

namespace vorel {

const QString ScreenLock::Caption = QStringLiteral("系统已锁屏，请输入解锁密码");
const QString ScreenLock::WrongPasswordText = QStringLiteral("输入的密码不正确!");

ScreenLock::ScreenLock(Connection &connection, const Clock &clock, QObject *parent)
    : QObject(parent), connection_(connection), clock_(clock)
{
    timer_.setObjectName(QStringLiteral("Timer_LockScreen"));
    timer_.setInterval(TickMs);
    connect(&timer_, &QTimer::timeout, this, &ScreenLock::tick);
    counted_ = clock_.now();
}

void ScreenLock::setLockMinutes(int minutes)
{
    limitSeconds_ = minutes * 60;
}

void ScreenLock::startIdleTimer()
{
    counted_ = clock_.now();
    timer_.start();
}

void ScreenLock::stopIdleTimer()
{
    timer_.stop();
}

void ScreenLock::resetIdle()
{
    idleSeconds_ = 0;
    counted_ = clock_.now();
}

void ScreenLock::tick()
{
    const QDateTime now = clock_.now();
    const qint64 elapsedMs = counted_.msecsTo(now);
    if (elapsedMs < 0) {
        // The PC clock was set back (login follows the server): count on from here.
        counted_ = now;
    } else {
        const qint64 seconds = elapsedMs / 1000;
        idleSeconds_ += static_cast<int>(seconds);
        counted_ = counted_.addSecs(seconds);
    }

    if (limitSeconds_ <= 0) {
        stopIdleTimer();
        return;
    }
    if (idleSeconds_ > limitSeconds_) {
        idleSeconds_ = 0;
        stopIdleTimer();
        emit lockDue();
    }
}

void ScreenLock::lock(const std::function<void()> &showDialog)
{
    if (locked_)
        return;
    stopIdleTimer();
    showDialog();
    locked_ = false;
    resetIdle();
    startIdleTimer();
}

bool ScreenLock::unlock(const QString &password)
{
    ResultSet rows;
    const QString sql = unlockSql(connection_.session().identity.userId, password);
    if (!connection_.openServerSql(rows, sql) || rows.totalRowCount() == 0)
        return false;
    locked_ = false;
    return true;
}

QString ScreenLock::unlockSql(const QString &userId, const QString &password)
{
    return QStringLiteral("SELECT USER_ID FROM SYS_USER WHERE USER_ID='") + userId +
           QStringLiteral("' AND PASSWORD='") + getMD5(password) + QStringLiteral("'");
}

bool ScreenLock::refusesTyped(const QString &text)
{
    return hasSingleQuote(text);
}

QString ScreenLock::withoutQuotes(QString text)
{
    return text.remove(QLatin1Char('\''));
}

} // namespace vorel
