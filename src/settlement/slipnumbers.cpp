#include "settlement/slipnumbers.h"

#include "core/clock.h"
#include "core/messages.h"
#include "core/resultset.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "offline/connection.h"

namespace vorel {

const QString SlipNumbers::SaveFailedText = QStringLiteral(
    "系统无法将单号写入ini文件，请检查软件的目录是否可写!\r\n"
    "如果你使用了离线功能，没有保存单号有可能会造成离线单据无法上传!");

SlipNumbers::SlipNumbers(const Session &session, TerminalSettings &settings, Messages &messages)
    : session_(session), settings_(settings), messages_(messages)
{
}

void SlipNumbers::start(bool advance)
{
    if (counter_ == 0)
        counter_ = settings_.slipCounter();
    if (advance)
        ++counter_;
    if (!settings_.setSlipCounter(static_cast<int>(counter_)))
        messages_.show(SaveFailedText, Messages::Kind::Notice);
}

QString SlipNumbers::number() const
{
    return format(session_.terminal.terminalId, counter_);
}

QString SlipNumbers::format(const QString &terminalId, qint64 counter)
{
    return terminalId + QString::number(counter);
}

QString SlipNumbers::maxNumberSql(const QString &terminalId)
{
    return QStringLiteral("select max(noid) as noid from d712 where noid like '") + terminalId
        + QStringLiteral("%'");
}

std::optional<qint64> SlipNumbers::storedMaximum(Connection &connection) const
{
    const QString terminal = session_.terminal.terminalId;
    ResultSet rows;
    connection.openServerSql(rows, maxNumberSql(terminal), connection.isOffline());
    if (!rows.first())
        return std::nullopt;
    // The counter is everything after the terminal prefix: eight digits while it stays
    // below 100000000, more after that.
    const QString noid = rows.field(QStringLiteral("noid")).asString().trimmed();
    bool ok = false;
    const qint64 counter = noid.mid(terminal.size()).toLongLong(&ok);
    if (!ok || !noid.startsWith(terminal))
        return std::nullopt;
    return counter;
}

void SlipNumbers::repair(Connection &connection)
{
    const std::optional<qint64> highest = storedMaximum(connection);
    counter_ = highest ? *highest + 1 : FirstCounter + 1;
}

bool SlipNumbers::moveForward(Connection &connection)
{
    const std::optional<qint64> highest = storedMaximum(connection);
    if (!highest || *highest < counter_)
        return false;
    counter_ = *highest + 1;
    return true;
}

BusinessDate::BusinessDate(const Clock &clock) : clock_(clock), text_(formatDateTime(clock.now()))
{
}

QString BusinessDate::forSlip()
{
    if (automatic_)
        text_ = formatDateTime(clock_.now());
    return text_;
}

DateChoice BusinessDate::dialogChoice() const
{
    const QDateTime shown = parseDateTime(text_);
    return {automatic_, shown.isValid() ? shown : clock_.now()};
}

void BusinessDate::choose(bool automatic, const QDate &date)
{
    automatic_ = automatic;
    text_ = formatDate(date);
}

} // namespace vorel
