#pragma once
// The cashier's row in sys_log_login: opened when a session starts (in the network edition,
// or offline in the local store) and closed at logout and at the close of the till. The row
// is found again by the session's login GUID.

#include <QString>

namespace vorel {

class Clock;
class Connection;

class LoginRecord {
public:
    LoginRecord(Connection &connection, Clock &clock);

    // Writes the row of a session that just started. `loginTime` is SQL: getdate() on the
    // server, a quoted PC time in the local store.
    void open(const QString &userId, const QString &loginTime, const QString &computer, const QString &guid);
    // Ends the open row of the session, if any, and forgets its GUID.
    void close();

private:
    Connection &connection_;
    Clock &clock_;
};

} // namespace vorel
