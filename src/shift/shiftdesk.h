#pragma once
// The cashier's shift on a terminal that works in shifts: going on duty with a float, and
// the handover that closes the shift. The open shift is the one row of the local table
// DB_INFO; a handover turns it into a shift record in D703 (on the server, or kept in the
// local store for upload when the till is offline), prints a voucher, keeps the voucher's
// text in DB_PAO for reprinting, empties DB_INFO and logs the cashier out.
//
// Plain logic: the two-way dialog (TS010), the sales screen and the printer are reached
// through the small interfaces below, which the screen layer implements.

#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

#include "core/money.h"
#include "core/resultset.h"

namespace vorel {

class Clock;
class Connection;
class Messages;
class Session;

namespace shift {

inline const QString NoShiftFunctionText = QStringLiteral("本机未启用当班功能!");
inline const QString SaleOpenText = QStringLiteral("当前还有未处理的销售业务!请处理后再进行交班!");
inline const QString NotOnDutyForHandoverText =
    QStringLiteral("当前登录用户不是当班状态，请用当班登录再进行交班");
inline const QString NoPreviousVoucherText = QStringLiteral("无上一班交班信息!");
inline const QString BadFloatText = QStringLiteral("当班金额必须是不小于0的数字!");

// The shifts a cashier may go on duty for; CLASSID is the position plus 1.
inline const std::array<QString, 3> ShiftNames = {QStringLiteral("早班"), QStringLiteral("中班"),
                                                  QStringLiteral("晚班")};
// The shift's name for a CLASSID; empty for one outside the list.
QString shiftName(const QString &classId);

// The status line for a cashier who logs in while another one holds the shift.
QString otherCashierOnDutyText(const QString &userId);

// The open shift: the DB_INFO row.
struct OpenShift {
    QString terminalId; // ZD_ID
    QString firstSlip;  // BNOID
    QString classId;    // CLASSID
    QString userId;     // USER_ID
    QDateTime start;    // BDATE
    Money floatMoney;   // BMONEY
    Money salesTotal;   // EMONEY: the slips' totals
    qint64 quantity = 0; // SL
    qint64 slips = 0;    // NUM
    std::array<Money, 7> amounts; // s1 .. s7

    static OpenShift fromCurrentRow(const ResultSet &rows);
};

// What the dialog TS010 shows, in either direction. Amounts are plain decimal texts.
struct ShiftForm {
    bool handover = false;
    QString caption;  // "【当班】" / "【交班】"
    QString message;  // the line under the caption
    quint32 headerColour = 0; // $00BBGGRR as the form designer writes it
    int shiftIndex = 0; // CB
    QString floatText;  // A4
    QString cashier;    // A1
    QString terminal;   // A7
    QString start;      // A2
    QString end;        // A3
    QString duration;   // tolhh, "hh:nn"; empty going on duty
    QString slips;      // NUM
    QString quantity;   // SL
    QString handoverCash; // EMONEY: the float plus cash taken minus change given
    std::array<QString, 7> amounts; // S1 .. S7
};

ShiftForm prepareOnDuty(const QString &userId, const QString &terminalId, const QDateTime &now);
ShiftForm prepareHandover(const OpenShift &shift, const QDateTime &now);

// The handover voucher, lines ended by CR: the form's figures, the cashier as the sales
// screen names them and the signature lines.
QString voucherText(const ShiftForm &form, const QString &cashierShown);

// The shift record of a handover (D703); the handover's time and the slip number then shown.
QString shiftRecordSql(const OpenShift &shift, const QString &terminalId, const QString &lastSlip,
                       const QDateTime &end);
// The statement that opens a shift in DB_INFO.
QString openShiftSql(const QString &terminalId, const QString &firstSlip, int shiftIndex, const QString &userId,
                     const QString &start, const QString &floatText);

// What going on duty answers: the shift chosen and the float typed.
struct OnDutyAnswer {
    int shiftIndex = 0;
    QString floatText;
};

// The dialog TS010, shown modally by the screen layer.
class ShiftPrompts {
public:
    virtual ~ShiftPrompts() = default;
    // Empty when the cashier cancelled.
    virtual std::optional<OnDutyAnswer> askOnDuty(const ShiftForm &form) = 0;
    // True when the cashier confirmed the handover.
    virtual bool confirmHandover(const ShiftForm &form) = 0;
};

// What the shift needs of the sales screen.
class ShiftScreen {
public:
    virtual ~ShiftScreen() = default;
    virtual QString slipNumberShown() const = 0;
    virtual QString cashierShown() const = 0;
    virtual bool saleOpen() const = 0;
    virtual bool printSwitch() const = 0;
    virtual void showStatus(const QString &text) = 0;
    virtual void showShiftName(const QString &name) = 0;
    // The voucher as a plain-text receipt; false when it could not be printed (the cashier was told).
    virtual bool printVoucher(const QString &text) = 0;
    // The cashier leaves; the login dialog comes for the next one.
    virtual void logout() = 0;
};

struct ShiftDeskParts {
    Session &session;
    Connection &connection;
    const Clock &clock;
    Messages &messages;
    ShiftScreen &screen;
};

class ShiftDesk {
public:
    enum class Outcome {
        Refused,     // a refusal is on the status line
        Cancelled,   // the dialog was cancelled
        OnDuty,      // the cashier went on duty
        NotOnDuty,   // another cashier holds the shift
        HandedOver,  // the shift is closed and the cashier logged out
        Failed,      // a write failed; its reply is on the status line, the shift stays open
    };

    explicit ShiftDesk(const ShiftDeskParts &parts);
    void setPrompts(ShiftPrompts *prompts) { prompts_ = prompts; }

    // After a login (and at the first activation): offers going on duty when no shift is
    // open, tells the cashier who holds an open one.
    Outcome checkShiftState();
    // F4: hands the shift over, or offers going on duty when none is open.
    Outcome handover();

    // The open shift, read from the local store.
    std::optional<OpenShift> openShift();
    // The last handover voucher kept for reprinting.
    std::optional<QString> lastVoucher();
    // Prints the last voucher like a handover does; tells the cashier when there is none.
    bool reprintLastVoucher();
    // Shows the last voucher in a box; tells the cashier when there is none.
    bool showLastVoucher();
    // This terminal's recorded shifts, latest first (TS010_1).
    ResultSet shiftRecords();

private:
    bool mayPrint() const;

    Session &session_;
    Connection &connection_;
    const Clock &clock_;
    Messages &messages_;
    ShiftScreen &screen_;
    ShiftPrompts *prompts_ = nullptr;
};

} // namespace shift
} // namespace vorel
