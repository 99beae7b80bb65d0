#pragma once
// The one clock of the program. Every module asks it for "now"; tests move it by hand.

#include <QDateTime>
#include <QString>
#include <utility>

namespace vorel {

class Clock {
public:
    virtual ~Clock() = default;
    // Local wall-clock time of the till.
    virtual QDateTime now() const = 0;
    // Brings the PC clock to the given local time (login follows the server's date).
    // Returns false when the platform refused (no rights, no such call).
    virtual bool setSystemTime(const QDateTime &localTime) = 0;
};

// The PC's own clock. Setting the time goes through the platform hook below.
class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    bool setSystemTime(const QDateTime &localTime) override;
};

// A clock that stands where it was set and moves only when told to: the scripted time of a
// rehearsed till, the fixed day of a demo shop. Setting the system time moves this clock
// instead of the PC's, so the till still follows the server's date.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start) : current_(std::move(start)) {}
    QDateTime now() const override { return current_; }
    bool setSystemTime(const QDateTime &localTime) override;
    void set(const QDateTime &t) { current_ = t; }
    void advanceSeconds(qint64 s) { current_ = current_.addSecs(s); }

private:
    QDateTime current_;
};

// "YYYY-MM-DD hh:nn:ss": how time stamps stand on screen, in SQL and in settings files.
QString formatDateTime(const QDateTime &t);
// "YYYY-MM-DD".
QString formatDate(const QDate &d);
// Reads "YYYY-MM-DD hh:nn:ss" (also "YYYY-MM-DDThh:nn:ss" and a bare date). Invalid on failure.
QDateTime parseDateTime(const QString &text);

} // namespace vorel
