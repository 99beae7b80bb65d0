#pragma once
// The screen lock of the sales screen. Two halves share one object:
//
// - the idle lock: a counter of seconds without a key, counted once a second by the timer
//   "Timer_LockScreen" against the clock; when it passes the limit (NUM2 minutes, 0 never)
//   the timer stops and lockDue() asks the sales screen to lock;
// - the unlock: while the lock dialog is up nothing may close it until the logged-in
//   cashier's own password (its MD5) is found in SYS_USER.
//
// Plain logic on Qt Core; the dialog TS002 draws it.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace vorel {

class Clock;
class Connection;

class ScreenLock : public QObject {
    Q_OBJECT

public:
    static const QString Caption;           // "系统已锁屏，请输入解锁密码"
    static const QString WrongPasswordText; // "输入的密码不正确!"
    static constexpr int TickMs = 1000;

    // The cashier is the session's user (G_UserId) at the time of each unlock.
    ScreenLock(Connection &connection, const Clock &clock, QObject *parent = nullptr);

    // ---- idle lock
    // NUM2: minutes without a key before the screen locks; 0 or less never locks.
    void setLockMinutes(int minutes);
    int limitSeconds() const { return limitSeconds_; }
    int idleSeconds() const { return idleSeconds_; }
    bool isIdleTimerActive() const { return timer_.isActive(); }
    const QTimer &idleTimer() const { return timer_; }
    // Starts counting from now; the counter keeps its value.
    void startIdleTimer();
    void stopIdleTimer();
    // Every key on the sales screen and every change of its command line.
    void resetIdle();
    // One tick of the idle timer: counts the whole seconds the clock moved since the last
    // counted one. A limit of 0 stops the timer; a counter above the limit resets, stops
    // the timer and emits lockDue().
    void tick();

    // ---- locking
    // Stops the idle timer, runs `showDialog` (the modal lock dialog), then resets the
    // counter and starts the timer again. Does nothing while already locked.
    void lock(const std::function<void()> &showDialog);

    // ---- unlocking
    // The dialog came up: closing it is refused until unlock() succeeds.
    void prepareUnlock() { locked_ = true; }
    bool isLocked() const { return locked_; }
    bool mayClose() const { return !locked_; }
    // Looks the cashier up with the password's MD5 through the server wrapper. True (and
    // the lock is lifted) when a row comes back; a wrong password or an unreachable server
    // keeps it.
    bool unlock(const QString &password);

    // The statement that checks a password.
    static QString unlockSql(const QString &userId, const QString &password);
    // A typed text the password field ignores (it holds a single quote).
    static bool refusesTyped(const QString &text);
    static QString withoutQuotes(QString text);

signals:
    // The idle limit passed: the sales screen locks and puts the focus back on its
    // command line.
    void lockDue();

private:
    Connection &connection_;
    const Clock &clock_;
    QTimer timer_;
    QDateTime counted_; // the clock time up to which idle seconds were counted
    int idleSeconds_ = 0;
    int limitSeconds_ = 0;
    bool locked_ = false;
};

} // namespace vorel
