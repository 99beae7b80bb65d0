#include "app/passwordchange.h"

#include "core/messages.h"
#include "core/session.h"
#include "core/resultset.h"
#include "core/shopservice.h"
#include "core/text.h"
#include "offline/connection.h"

namespace vorel {

const QString PasswordChange::OfflineText = QStringLiteral("离线状态下不可以进行密码更改!");
const QString PasswordChange::MismatchText = QStringLiteral("输入的新密码不相同，请重新输入!");
const QString PasswordChange::DoneText = QStringLiteral("密码更改成功，请记住新密码!");
const QString PasswordChange::FailedText = QStringLiteral("密码更改错误!");

PasswordChange::PasswordChange(Connection &connection, Messages &messages)
    : connection_(connection), messages_(messages)
{
}

bool PasswordChange::available() const
{
    return !connection_.isOffline();
}

QString PasswordChange::digest(const QString &password)
{
    return getMD5(password.trimmed());
}

PasswordChange::Outcome PasswordChange::confirm(const QString &userId, const QString &oldPassword,
                                                const QString &newPassword, const QString &repeated)
{
    if (newPassword.trimmed().toUpper() != repeated.trimmed().toUpper()) {
        messages_.notice(MismatchText);
        return Outcome::Mismatch;
    }
    const QString user = sqlQuote(userId);
    const QString oldDigest = sqlQuote(digest(oldPassword));
    ResultSet row;
    const bool read = connection_.openServerSql(
        row, QStringLiteral("select user_id from sys_user where (user_id=") + user + QStringLiteral(") and (password =")
                 + oldDigest + QLatin1Char(')'));
    // A read that fell back to the local store proves nothing about the shop's password.
    if (!read || connection_.isOffline() || !row.first()) {
        messages_.failure(FailedText);
        return Outcome::WrongOld;
    }
    const QString reply = connection_.execServerSql(
        {opcode::Plain},
        QStringLiteral("UPDATE SYS_USER SET SYS_USER.PASSWORD=") + sqlQuote(digest(newPassword))
            + QStringLiteral(" WHERE (SYS_USER.USER_ID=") + user + QStringLiteral(") and (SYS_USER.PASSWORD=")
            + oldDigest + QLatin1Char(')'),
        Route::ServerOnly);
    if (reply != ReplyOk) {
        messages_.failure(FailedText);
        return Outcome::Failed;
    }
    // The session was opened with the old password and ends with it: the till logs in again
    // with the new one before the cashier's next step needs the server.
    const QString newDigest = digest(newPassword);
    connection_.session().identity.pwdMd5 = newDigest;
    connection_.shop().passwordChanged(newDigest);
    messages_.notice(DoneText);
    return Outcome::Changed;
}

} // namespace vorel
