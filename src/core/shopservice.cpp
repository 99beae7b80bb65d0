#include "core/shopservice.h"

namespace vorel {

QString ShopService::execSql(const QString &code, const QString &key, const QString &operation,
                             const QString &sql, int timeoutSeconds)
{
    QString reply = posExecSql(code, key, operation, sql, timeoutSeconds);
    if (reply != ReplyOk)
        throw ShopServiceError(reply);
    return reply;
}

bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text) {
        const QChar::Category cat = c.category();
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || cat == QChar::Other_Control || cat == QChar::Other_Format
            || cat == QChar::Separator_Line || cat == QChar::Separator_Paragraph)
            return true;
    }
    return false;
}

QString loginFieldsRefusal(const LoginRequest &request)
{
    if (request.userId.isEmpty() || request.userId.size() > MaxUserIdLength || hasControlCharacter(request.userId))
        return QStringLiteral("用户号不正确(不可为空,最多%1个字符,不可含控制字符)!").arg(MaxUserIdLength);
    bool hex = request.passwordMd5.size() == 32;
    for (const QChar c : request.passwordMd5)
        hex = hex && ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'));
    if (!hex)
        return QStringLiteral("密码格式不正确!");
    if (request.terminalKey.size() > MaxTerminalKeyLength || hasControlCharacter(request.terminalKey))
        return QStringLiteral("终端验证码不正确(最多%1个字符,不可含控制字符)!").arg(MaxTerminalKeyLength);
    if (request.databaseName.size() > MaxDatabaseNameLength || hasControlCharacter(request.databaseName))
        return QStringLiteral("数据库名称不正确(最多%1个字符,不可含控制字符)!").arg(MaxDatabaseNameLength);
    return {};
}

} // namespace vorel
