#include "sqlengine/sqlwords.h"

#include <QSet>

namespace vorel::sql::detail {

bool isStatementStart(const Token &token)
{
    static const QSet<QString> starts = {
        QStringLiteral("SELECT"), QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
        QStringLiteral("DELETE"), QStringLiteral("IF"), QStringLiteral("BEGIN"),
        QStringLiteral("END"), QStringLiteral("ELSE"), QStringLiteral("RAISERROR"),
        QStringLiteral("DECLARE"), QStringLiteral("PRINT"), QStringLiteral("WHILE"),
        QStringLiteral("RETURN"), QStringLiteral("CREATE"), QStringLiteral("DROP"),
        QStringLiteral("ALTER"), QStringLiteral("TRUNCATE"), QStringLiteral("EXEC"),
        QStringLiteral("EXECUTE"), QStringLiteral("COMMIT"), QStringLiteral("ROLLBACK"),
    };
    return token.kind == TokenKind::Word && starts.contains(token.text.toUpper());
}

bool isKeyword(const Token &token)
{
    static const QSet<QString> words = {
        QStringLiteral("SELECT"), QStringLiteral("FROM"), QStringLiteral("WHERE"), QStringLiteral("AND"),
        QStringLiteral("OR"), QStringLiteral("NOT"), QStringLiteral("IN"), QStringLiteral("EXISTS"),
        QStringLiteral("ON"), QStringLiteral("JOIN"), QStringLiteral("INNER"), QStringLiteral("LEFT"),
        QStringLiteral("RIGHT"), QStringLiteral("FULL"), QStringLiteral("OUTER"), QStringLiteral("CROSS"),
        QStringLiteral("GROUP"), QStringLiteral("ORDER"), QStringLiteral("BY"), QStringLiteral("HAVING"),
        QStringLiteral("UNION"), QStringLiteral("ALL"), QStringLiteral("DISTINCT"), QStringLiteral("AS"),
        QStringLiteral("CASE"), QStringLiteral("WHEN"), QStringLiteral("THEN"), QStringLiteral("ELSE"),
        QStringLiteral("END"), QStringLiteral("IS"), QStringLiteral("LIKE"), QStringLiteral("BETWEEN"),
        QStringLiteral("SET"), QStringLiteral("VALUES"), QStringLiteral("INTO"), QStringLiteral("INSERT"),
        QStringLiteral("UPDATE"), QStringLiteral("DELETE"), QStringLiteral("TOP"), QStringLiteral("WITH"),
        QStringLiteral("IF"), QStringLiteral("BEGIN"), QStringLiteral("ASC"), QStringLiteral("DESC"),
        QStringLiteral("EXCEPT"), QStringLiteral("INTERSECT"), QStringLiteral("LIMIT"), QStringLiteral("NULL"),
        QStringLiteral("RETURN"), QStringLiteral("ESCAPE"),
    };
    return token.kind == TokenKind::Word && words.contains(token.text.toUpper());
}

bool isCompoundWord(const Token &token)
{
    return token.isWord("UNION") || token.isWord("EXCEPT") || token.isWord("INTERSECT");
}

bool isSimpleName(const QString &name)
{
    if (name.isEmpty() || !(name[0].isLetter() || name[0] == u'_'))
        return false;
    for (QChar c : name)
        if (!(c.isLetterOrNumber() || c == u'_'))
            return false;
    return true;
}

QString quoteString(const QString &value)
{
    QString out = value;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

bool isNumeric(SqlType type)
{
    return type == SqlType::Integer || type == SqlType::Decimal;
}

} // namespace vorel::sql::detail
