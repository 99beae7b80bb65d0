#pragma once
// The shift rule of a terminal: where shifts are switched on, only the cashier on duty may
// ring up, settle or top up, and only the slips of that cashier (outside practice mode) count
// towards the shift's totals. Every place that sells asks here.

#include <QString>
#include <array>

namespace vorel {

class Session;

namespace shift {

// The refusal shown to a cashier who is not on duty.
inline const QString NotOnDutyText = QStringLiteral("不是当班用户不可进行收银功能");

// True when the session may sell: no shifts on this terminal, or the cashier is on duty.
bool maySell(const Session &session);

// True when a slip just committed is added to the shift's totals.
bool countsTowardsShift(const Session &session, bool practice);

// The seven settlement amounts S1 .. S7 as the settlement dialog showed them (S6 is cash).
using ShiftAmounts = std::array<QString, 7>;

// The local store's statement that adds one slip to the shift totals of DB_INFO: one more
// slip, its pieces, the seven amounts and the slip's total.
QString shiftTotalsSql(const QString &quantity, const ShiftAmounts &amounts, const QString &total);

} // namespace shift
} // namespace vorel
