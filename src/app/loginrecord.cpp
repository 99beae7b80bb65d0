#include "app/loginrecord.h"

#include "core/clock.h"
#include "core/session.h"
#include "core/text.h"
#include "offline/connection.h"

namespace vorel {

LoginRecord::LoginRecord(Connection &connection, Clock &clock) : connection_(connection), clock_(clock) {}

void LoginRecord::open(const QString &userId, const QString &loginTime, const QString &computer, const QString &guid)
{
    const QString sql = QStringLiteral("insert into sys_log_login (user_id, begindate, computer, guid) values (")
                        + sqlQuote(userId) + QLatin1Char(',') + loginTime + QLatin1Char(',') + sqlQuote(computer)
                        + QLatin1Char(',') + sqlQuote(guid) + QLatin1Char(')');
    connection_.execServerSql({opcode::Plain}, sql, connection_.currentRoute());
}

void LoginRecord::close()
{
    Session &s = connection_.session();
    const bool offline = s.connection.offline;
    // Only where the login wrote a row: the stand-alone edition, or offline.
    if ((s.connection.net != 1 && !offline) || s.terminal.loginGuid.isEmpty())
        return;
    const QString end = offline ? sqlQuote(formatDateTime(clock_.now())) : QStringLiteral("getdate()");
    connection_.execServerSql({opcode::LoginLog, QStringLiteral("E")},
                              QStringLiteral("update sys_log_login set guid=null,enddate=") + end
                                  + QStringLiteral(" where guid=") + sqlQuote(s.terminal.loginGuid),
                              connection_.currentRoute());
    s.terminal.loginGuid.clear();
}

} // namespace vorel
