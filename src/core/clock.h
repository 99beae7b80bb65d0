#pragma once
// The one clock of the program. Every module asks it for "now"; tests move it by hand.

#include <QDateTime>
#include <QString>

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

// A clock that only moves when told to; setSystemTime moves it too, so a login test
// sees the till's clock follow the server.
class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(9, 0, 0)));
    QDateTime now() const override { return current_; }
    bool setSystemTime(const QDateTime &localTime) override;
    void set(const QDateTime &t) { current_ = t; }
    void advanceMs(qint64 ms) { current_ = current_.addMSecs(ms); }
    void advanceSeconds(qint64 s) { current_ = current_.addSecs(s); }
    int setCalls() const { return setCalls_; }
    // When false, setSystemTime refuses like a PC without the right to change its clock.
    void setAllowSystemTimeChange(bool allow) { allowSet_ = allow; }

private:
    QDateTime current_;
    int setCalls_ = 0;
    bool allowSet_ = true;
};

// "YYYY-MM-DD hh:nn:ss": how time stamps stand on screen, in SQL and in settings files.
QString formatDateTime(const QDateTime &t);
// "YYYY-MM-DD".
QString formatDate(const QDate &d);
// Reads "YYYY-MM-DD hh:nn:ss" (also "YYYY-MM-DDThh:nn:ss" and a bare date). Invalid on failure.
QDateTime parseDateTime(const QString &text);

} // namespace vorel
