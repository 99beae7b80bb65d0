#include "shift/shiftdesk.h"

#include <QStringList>

#include "core/clock.h"
#include "core/messages.h"
#include "core/session.h"
#include "core/shopservice.h"
#include "core/text.h"
#include "offline/connection.h"

namespace vorel::shift {

namespace {

constexpr quint32 OnDutyColour = 0x00F2F5FD;
constexpr quint32 HandoverColour = 0x00E1FFFF;
constexpr std::size_t CashIndex = 5;   // s6
constexpr std::size_t ChangeIndex = 6; // s7
constexpr int SecondsPerDay = 24 * 60 * 60;

// Figures of the handover: rounded half up to cents and written without trailing zeros.
QString figure(Money value)
{
    return convertmon(value, static_cast<int>(RoundingMode::HalfUp), 2).toPlainString();
}

// A stored amount as plain decimal text, for the shift record.
QString plain(Money value) { return value.toPlainString(); }

QString upperTrimmed(const QString &text) { return text.trimmed().toUpper(); }

} // namespace

QString shiftName(const QString &classId)
{
    bool ok = false;
    const int n = classId.trimmed().toInt(&ok);
    return ok && n >= 1 && n <= int(ShiftNames.size()) ? ShiftNames[std::size_t(n - 1)] : QString();
}

QString otherCashierOnDutyText(const QString &userId)
{
    return QStringLiteral("现在当班为收银员:") + userId + QStringLiteral(",且还未交班,您将不可以进行收银!");
}

OpenShift OpenShift::fromCurrentRow(const ResultSet &rows)
{
    OpenShift s;
    s.terminalId = rows.field(QStringLiteral("ZD_ID")).asString();
    s.firstSlip = rows.field(QStringLiteral("BNOID")).asString();
    s.classId = rows.field(QStringLiteral("CLASSID")).asString();
    s.userId = rows.field(QStringLiteral("USER_ID")).asString();
    s.start = rows.field(QStringLiteral("BDATE")).asDateTime();
    s.floatMoney = rows.field(QStringLiteral("BMONEY")).asMoney();
    s.salesTotal = rows.field(QStringLiteral("EMONEY")).asMoney();
    s.quantity = rows.field(QStringLiteral("SL")).asInt();
    s.slips = rows.field(QStringLiteral("NUM")).asInt();
    for (std::size_t i = 0; i < s.amounts.size(); ++i)
        s.amounts[i] = rows.field(QStringLiteral("S%1").arg(i + 1)).asMoney();
    return s;
}

ShiftForm prepareOnDuty(const QString &userId, const QString &terminalId, const QDateTime &now)
{
    ShiftForm f;
    f.caption = QStringLiteral("【当班】");
    f.message = QStringLiteral("您从现在开始【当班】,请输入当班金额,祝您工作愉快!");
    f.headerColour = OnDutyColour;
    f.floatText = QStringLiteral("0");
    f.cashier = userId;
    f.terminal = terminalId;
    f.start = formatDateTime(now);
    return f;
}

ShiftForm prepareHandover(const OpenShift &shift, const QDateTime &now)
{
    ShiftForm f;
    f.handover = true;
    f.caption = QStringLiteral("【交班】");
    f.message = QStringLiteral("请仔细核对交班数据,做好交接工作!");
    f.headerColour = HandoverColour;
    f.shiftIndex = std::max(0, shift.classId.trimmed().toInt() - 1);
    f.terminal = shift.terminalId;
    f.cashier = shift.userId;
    f.start = formatDateTime(shift.start);
    f.end = formatDateTime(now);
    f.floatText = figure(shift.floatMoney);
    f.slips = QString::number(shift.slips);
    f.quantity = figure(Money::fromUnits(shift.quantity));
    f.handoverCash = figure(shift.floatMoney + shift.amounts[CashIndex] - shift.amounts[ChangeIndex]);
    for (std::size_t i = 0; i < f.amounts.size(); ++i)
        f.amounts[i] = figure(shift.amounts[i]);
    // Hours and minutes of the time of day only: a shift of more than a day starts again at 00:00.
    const qint64 seconds = ((shift.start.secsTo(now) % SecondsPerDay) + SecondsPerDay) % SecondsPerDay;
    f.duration = QStringLiteral("%1:%2").arg(seconds / 3600, 2, 10, QLatin1Char('0')).arg(seconds / 60 % 60, 2, 10,
                                                                                          QLatin1Char('0'));
    return f;
}

QString voucherText(const ShiftForm &form, const QString &cashierShown)
{
    static const char *const AmountCaptions[] = {"应 收 款:", "抹    零:", "现 金 券:", "储 值 卡:",
                                                 "银    联:", "现    金:", "找    零:"};
    QString t = QStringLiteral("\r        前台收银交班凭证         \r\r");
    const auto line = [&t](const QString &caption, const QString &value) { t += caption + value + QLatin1Char('\r'); };
    line(QStringLiteral("机  号:"), form.terminal);
    line(QStringLiteral("收银员:"), cashierShown);
    line(QStringLiteral("班  次:"), ShiftNames[std::size_t(std::clamp(form.shiftIndex, 0, 2))]);
    line(QStringLiteral("当班时间:"), form.start);
    line(QStringLiteral("交班时间:"), form.end + QLatin1Char('\r'));
    line(QStringLiteral("当班金额:"), form.floatText);
    line(QStringLiteral("开票张数:"), form.slips);
    line(QStringLiteral("销售数量:"), form.quantity);
    for (std::size_t i = 0; i < form.amounts.size(); ++i)
        line(QString::fromUtf8(AmountCaptions[i]), form.amounts[i]);
    line(QStringLiteral("-------------------------"), QString());
    line(QStringLiteral("交班现金:"), form.handoverCash + QLatin1Char('\r'));
    return t + QStringLiteral("收银员签名:         财务签名:\r\r\r\r");
}

QString shiftRecordSql(const OpenShift &shift, const QString &terminalId, const QString &lastSlip,
                       const QDateTime &end)
{
    const QStringList quoted{terminalId,
                             shift.firstSlip,
                             lastSlip,
                             shift.classId,
                             shift.userId,
                             formatDateTime(shift.start),
                             formatDateTime(end),
                             plain(shift.floatMoney),
                             plain(shift.salesTotal + shift.floatMoney)};
    QStringList bare{QString::number(shift.quantity), QString::number(shift.slips)};
    for (const Money &m : shift.amounts)
        bare << plain(m);
    QStringList escaped;
    for (const QString &v : quoted)
        escaped << QString(v).replace(QLatin1Char('\''), QLatin1String("''"));
    return QStringLiteral("INSERT INTO D703(ZD_ID,BNOID,ENOID,CLASSID, USER_ID, BDATE, EDATE, BMONEY, EMONEY,"
                          "sl,num,s1,s2,s3,s4,s5,s6,s7) VALUES ('")
           + escaped.join(QStringLiteral("','")) + QStringLiteral("',") + bare.join(QLatin1Char(','))
           + QLatin1Char(')');
}

QString openShiftSql(const QString &terminalId, const QString &firstSlip, int shiftIndex, const QString &userId,
                     const QString &start, const QString &floatText)
{
    return QStringLiteral("INSERT INTO DB_INFO(ZD_ID,BNOID,CLASSID, USER_ID, BDATE, BMONEY, EMONEY, SL) VALUES (")
           + QStringList{sqlQuote(terminalId), sqlQuote(firstSlip), sqlQuote(QString::number(shiftIndex + 1)),
                         sqlQuote(userId), sqlQuote(start), sqlQuote(floatText)}
                 .join(QLatin1Char(','))
           + QStringLiteral(",0,0);");
}

// ---- ShiftDesk

ShiftDesk::ShiftDesk(const ShiftDeskParts &parts)
    : session_(parts.session), connection_(parts.connection), clock_(parts.clock), messages_(parts.messages),
      screen_(parts.screen)
{
}

std::optional<OpenShift> ShiftDesk::openShift()
{
    ResultSet rows;
    connection_.openServerSql(rows, QStringLiteral("SELECT * FROM DB_INFO"), true);
    if (!rows.first())
        return std::nullopt;
    return OpenShift::fromCurrentRow(rows);
}

ShiftDesk::Outcome ShiftDesk::checkShiftState()
{
    Session::Terminal &t = session_.terminal;
    if (!t.shiftEnabled)
        return Outcome::Refused;
    const QString userId = session_.identity.userId;
    if (const std::optional<OpenShift> open = openShift()) {
        t.onDuty = upperTrimmed(open->userId) == upperTrimmed(userId);
        if (!t.onDuty) {
            screen_.showStatus(otherCashierOnDutyText(open->userId));
            return Outcome::NotOnDuty;
        }
        screen_.showShiftName(shiftName(open->classId));
        return Outcome::OnDuty;
    }
    t.onDuty = false;
    if (!prompts_)
        return Outcome::Cancelled;
    const ShiftForm form = prepareOnDuty(userId, t.terminalId, clock_.now());
    const std::optional<OnDutyAnswer> answer = prompts_->askOnDuty(form);
    if (!answer)
        return Outcome::Cancelled;
    const std::optional<Money> floatMoney = Money::parse(answer->floatText);
    if (!floatMoney || floatMoney->isNegative()) {
        screen_.showStatus(BadFloatText);
        return Outcome::Cancelled;
    }
    const int index = std::clamp(answer->shiftIndex, 0, int(ShiftNames.size()) - 1);
    const QString reply = connection_.execServerSql(
        {opcode::Plain, QString(), QString()},
        openShiftSql(t.terminalId, screen_.slipNumberShown(), index, userId, form.start, floatMoney->toPlainString()),
        Route::Local);
    if (reply != ReplyOk) {
        screen_.showStatus(reply);
        return Outcome::Failed;
    }
    screen_.showShiftName(ShiftNames[std::size_t(index)]);
    t.onDuty = true;
    return Outcome::OnDuty;
}

ShiftDesk::Outcome ShiftDesk::handover()
{
    Session::Terminal &t = session_.terminal;
    if (!t.shiftEnabled) {
        screen_.showStatus(NoShiftFunctionText);
        return Outcome::Refused;
    }
    const std::optional<OpenShift> open = openShift();
    if (screen_.saleOpen()) {
        screen_.showStatus(SaleOpenText);
        return Outcome::Refused;
    }
    if (!open)
        return checkShiftState();
    if (!t.onDuty) {
        screen_.showStatus(NotOnDutyForHandoverText);
        return Outcome::Refused;
    }
    const ShiftForm form = prepareHandover(*open, clock_.now());
    if (!prompts_ || !prompts_->confirmHandover(form))
        return Outcome::Cancelled;

    // The record goes where the slips go: offline it waits in the local store for upload.
    const QDateTime end = parseDateTime(form.end);
    const QString recorded = connection_.execServerSql(
        {opcode::Plain, QString(), QString()},
        shiftRecordSql(*open, t.terminalId, screen_.slipNumberShown(), end), connection_.currentRoute());
    if (recorded != ReplyOk) {
        screen_.showStatus(recorded);
        return Outcome::Failed;
    }
    t.onDuty = false;
    const QString voucher = voucherText(form, screen_.cashierShown());
    const QString kept = connection_.execServerSql(
        {opcode::Plain, QString(), QString()},
        QStringLiteral("delete from db_info;delete from db_pao;insert into db_pao(t) VALUES (") + sqlQuote(voucher)
            + QLatin1Char(')'),
        Route::Local);
    // The shift record is written: a store that refuses the voucher is told, and the
    // handover goes on.
    if (kept != ReplyOk)
        messages_.failure(kept == ReplyError ? connection_.lastLocalError() : kept);
    if (mayPrint())
        screen_.printVoucher(voucher);
    // A printer that failed has told the cashier; the shift is closed all the same.
    screen_.showShiftName(QString());
    screen_.logout();
    return Outcome::HandedOver;
}

bool ShiftDesk::mayPrint() const
{
    return screen_.printSwitch() && session_.devices.printerEnabled;
}

std::optional<QString> ShiftDesk::lastVoucher()
{
    ResultSet rows;
    connection_.openServerSql(rows, QStringLiteral("SELECT * FROM DB_PAO"), true);
    if (!rows.first())
        return std::nullopt;
    return rows.field(QStringLiteral("t")).asString();
}

bool ShiftDesk::reprintLastVoucher()
{
    const std::optional<QString> text = lastVoucher();
    if (!text) {
        messages_.notice(NoPreviousVoucherText);
        return false;
    }
    return mayPrint() && screen_.printVoucher(*text);
}

bool ShiftDesk::showLastVoucher()
{
    const std::optional<QString> text = lastVoucher();
    messages_.notice(text ? *text : NoPreviousVoucherText);
    return text.has_value();
}

ResultSet ShiftDesk::shiftRecords()
{
    ResultSet rows;
    connection_.openServerSql(rows,
                              QStringLiteral("SELECT D703.BDATE, D703.EDATE, SYS_USER.USER_ID, SYS_USER.USER_NAME, "
                                             "D703.T, D703.BNOID, D703.ENOID FROM D703 INNER JOIN SYS_USER on "
                                             "D703.USER_ID = SYS_USER.USER_ID ORDER BY BDATE DESC"),
                              true);
    return rows;
}

} // namespace vorel::shift
