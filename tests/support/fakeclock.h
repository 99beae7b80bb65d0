#pragma once
// A clock that only moves when told to; setSystemTime moves it too, so a login test sees
// the till's clock follow the server. It counts the requests to set the PC's clock and can
// refuse them like a PC without the right to.

#include <QDateTime>
#include <utility>

#include "core/clock.h"

namespace vorel {

class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(9, 0, 0))) : current_(std::move(start)) {}

    QDateTime now() const override { return current_; }
    bool setSystemTime(const QDateTime &localTime) override
    {
        ++setCalls_;
        if (!allowSet_ || !localTime.isValid())
            return false;
        current_ = localTime;
        return true;
    }

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

} // namespace vorel
