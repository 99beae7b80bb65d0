#include "sqlengine/parameters.h"

#include <QSet>

#include "core/clock.h"
#include "sqlengine/sqlwords.h"

namespace vorel::sql::detail {

namespace {

constexpr char16_t MarkerStart = u'\x02';
constexpr char16_t MarkerEnd = u'\x03';

bool isDigits(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// Integers up to 18 digits and plain decimals up to 15 digits come back the same from
// binding as from the text; longer ones and exponents stay in the text.
bool isBindableNumber(const QString &text)
{
    if (isDigits(text))
        return text.size() <= 18;
    const qsizetype dot = text.indexOf(u'.');
    if (dot < 0 || text.size() > 16)
        return false;
    const QStringView whole = QStringView(text).left(dot);
    const QStringView fraction = QStringView(text).mid(dot + 1);
    return (whole.isEmpty() || isDigits(whole)) && (fraction.isEmpty() || isDigits(fraction)) && text.size() > 1;
}

bool isTypeWord(const Token &token)
{
    static const QSet<QString> types = {
        QStringLiteral("CHAR"),    QStringLiteral("VARCHAR"),   QStringLiteral("NCHAR"),     QStringLiteral("NVARCHAR"),
        QStringLiteral("NUMERIC"), QStringLiteral("DECIMAL"),   QStringLiteral("DEC"),       QStringLiteral("FLOAT"),
        QStringLiteral("BINARY"),  QStringLiteral("VARBINARY"), QStringLiteral("DATETIME2"), QStringLiteral("TIME"),
        QStringLiteral("DATETIMEOFFSET"), QStringLiteral("CONVERT"),
    };
    return token.is(TokenKind::Word) && types.contains(token.text.toUpper());
}

// Whether the literal at `i` stands where a placeholder means the same: found by walking
// back over complete groups and out of the groups it stands in, to the clause that owns it.
bool isBindablePlace(const QList<Token> &tokens, const std::vector<int> &openOf, int i)
{
    static const QSet<QString> valueClauses = {QStringLiteral("WHERE"), QStringLiteral("ON"), QStringLiteral("SET"),
                                               QStringLiteral("VALUES"), QStringLiteral("IF")};
    static const QSet<QString> shapeClauses = {
        QStringLiteral("SELECT"), QStringLiteral("BY"),     QStringLiteral("HAVING"), QStringLiteral("TOP"),
        QStringLiteral("FROM"),   QStringLiteral("JOIN"),   QStringLiteral("RAISERROR"), QStringLiteral("PRINT"),
        QStringLiteral("ESCAPE"), QStringLiteral("INTO"),   QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
        QStringLiteral("DELETE"), QStringLiteral("WITH"),   QStringLiteral("DEFAULT"), QStringLiteral("LIMIT"),
        QStringLiteral("OFFSET"), QStringLiteral("EXEC"),   QStringLiteral("EXECUTE"), QStringLiteral("DECLARE"),
        QStringLiteral("UNION"),  QStringLiteral("EXCEPT"), QStringLiteral("INTERSECT"), QStringLiteral("OVER"),
    };
    for (int k = i - 1; k >= 0; --k) {
        const Token &token = tokens[k];
        if (token.is(TokenKind::RParen)) {
            if (openOf[k] < 0)
                return false;
            k = openOf[k]; // the loop steps before the group
            continue;
        }
        if (token.is(TokenKind::LParen)) {
            if (k > 0 && isTypeWord(tokens[k - 1]))
                return false;
            continue;
        }
        if (token.is(TokenKind::Semicolon))
            return false;
        if (token.is(TokenKind::Word)) {
            const QString word = token.text.toUpper();
            if (valueClauses.contains(word))
                return true;
            if (shapeClauses.contains(word))
                return false;
        }
    }
    return false;
}

QChar sourceCode(Param::Source source)
{
    switch (source) {
    case Param::Source::NumberOf:
        return u'n';
    case Param::Source::DateOf:
        return u'd';
    default:
        return u'l';
    }
}

void placeIn(Node &node, BackendKind backend)
{
    if ((node.kind == Node::Kind::Statement || node.kind == Node::Kind::If)
        && (node.sql.contains(MarkerStart) || node.sql.contains(NowMarker))) {
        const QString &sql = node.sql;
        QString out;
        out.reserve(sql.size());
        std::vector<Param> params;
        qsizetype i = 0;
        while (i < sql.size()) {
            const QChar c = sql[i];
            Param param;
            if (c == MarkerStart) {
                const qsizetype end = sql.indexOf(MarkerEnd, i);
                const QStringView body = QStringView(sql).mid(i + 1, end - i - 1); // "slot,st"
                const qsizetype comma = body.indexOf(u',');
                param.slot = body.left(comma).toInt();
                const QChar source = body[comma + 1];
                param.source = source == u'n' ? Param::Source::NumberOf
                               : source == u'd' ? Param::Source::DateOf
                                                : Param::Source::Literal;
                param.target = body[comma + 2] == u'i' ? SqlType::Integer : SqlType::Decimal;
                i = end + 1;
            } else if (c == NowMarker[0] && QStringView(sql).mid(i).startsWith(NowMarker)) {
                param.source = Param::Source::Now;
                i += NowMarker.size();
            } else {
                out += c;
                ++i;
                continue;
            }
            const QString placeholder = QString(QChar(backend == BackendKind::SQLite ? u'?' : u'$'))
                                        + QString::number(params.size() + 1);
            param.at = static_cast<int>(out.size());
            param.length = static_cast<int>(placeholder.size());
            out += placeholder;
            params.push_back(param);
        }
        node.sql = out;
        node.params = std::move(params);
    }
    for (Node &child : node.children)
        placeIn(child, backend);
}

} // namespace

QString parameterise(QList<Token> &tokens, QList<Literal> &literals)
{
    const int n = static_cast<int>(tokens.size());
    bool bindable = true;
    std::vector<int> openOf(n, -1);
    std::vector<int> open;
    for (int i = 0; i < n; ++i) {
        const Token &t = tokens[i];
        if (t.isWord("CREATE") || t.isWord("ALTER") || t.isWord("DROP") || t.text.contains(MarkerStart)
            || t.text.contains(MarkerEnd) || t.text.contains(NowMarker[0]))
            bindable = false;
        if (t.is(TokenKind::LParen))
            open.push_back(i);
        else if (t.is(TokenKind::RParen) && !open.empty()) {
            openOf[i] = open.back();
            open.pop_back();
        }
    }
    QString key;
    for (int i = 0; i < n; ++i) {
        Token &t = tokens[i];
        key += QChar(u'A' + static_cast<int>(t.kind));
        const bool literal = t.is(TokenKind::String) || (t.is(TokenKind::Number) && isBindableNumber(t.text));
        if (bindable && literal && isBindablePlace(tokens, openOf, i)) {
            t.slot = static_cast<int>(literals.size());
            literals.append(Literal{t.is(TokenKind::String), t.text});
            key += t.is(TokenKind::String) ? (t.national ? u'N' : u'S') : (isDigits(t.text) ? u'i' : u'd');
        } else {
            key += t.text;
        }
        key += u'\x1f';
    }
    return key;
}

QString literalMarker(int slot, Param::Source source, SqlType target)
{
    QString marker{QChar(MarkerStart)};
    marker += QString::number(slot);
    marker += QChar(u',');
    marker += sourceCode(source);
    marker += QChar(target == SqlType::Integer ? u'i' : u'd');
    marker += QChar(MarkerEnd);
    return marker;
}

void placePlaceholders(Program &program, BackendKind backend)
{
    for (Node &node : program.nodes)
        placeIn(node, backend);
}

QString numberFromString(const QString &value, SqlType target)
{
    const QString trimmed = value.trimmed();
    if (trimmed.isEmpty()) {
        if (target == SqlType::Integer)
            return QStringLiteral("0");
        throw TranslationError(QStringLiteral("Error converting data type varchar to numeric."));
    }
    bool ok = false;
    trimmed.toDouble(&ok);
    // toDouble accepts things T-SQL does not ("1e5" into int is fine there too); reject
    // hex, inf and nan explicitly.
    if (!ok || trimmed.contains(QLatin1String("x"), Qt::CaseInsensitive) || trimmed.contains(QLatin1String("n"), Qt::CaseInsensitive))
        throw TranslationError(target == SqlType::Integer
                                   ? QStringLiteral("Conversion failed when converting the varchar value '%1' to data type int.").arg(value)
                                   : QStringLiteral("Error converting data type varchar to numeric."));
    QString number = trimmed;
    if (number.startsWith(u'+'))
        number.remove(0, 1);
    if (number.startsWith(u'.'))
        number.prepend(u'0');
    if (number.startsWith(QLatin1String("-.")))
        number.insert(1, u'0');
    if (number.endsWith(u'.'))
        number.chop(1);
    return number;
}

} // namespace vorel::sql::detail

namespace vorel::sql {

namespace {

// A number as written: an integer of up to 18 digits binds as one, anything else as a decimal.
void setNumber(BoundValue &v, const QString &text)
{
    v.text = text;
    v.literal = text;
    const QStringView digits = text.startsWith(u'-') ? QStringView(text).mid(1) : QStringView(text);
    v.type = detail::isDigits(digits) && digits.size() <= 18 ? BoundValue::Type::Integer : BoundValue::Type::Decimal;
}

} // namespace

std::vector<BoundValue> boundValues(const Node &node, const QList<Literal> &literals, BackendKind backend,
                                    const QDateTime &now)
{
    std::vector<BoundValue> values;
    values.reserve(node.params.size());
    for (const Param &p : node.params) {
        BoundValue v;
        v.at = p.at;
        v.length = p.length;
        switch (p.source) {
        case Param::Source::Now:
            v.type = BoundValue::Type::Timestamp;
            v.text = formatDateTime(now);
            v.literal = backend == BackendKind::PostgreSQL ? QStringLiteral("TIMESTAMP '%1'").arg(v.text)
                                                           : QStringLiteral("'%1'").arg(v.text);
            break;
        case Param::Source::Literal: {
            const Literal &literal = literals.at(p.slot);
            if (literal.string) {
                v.text = literal.text;
                v.literal = detail::quoteString(literal.text);
            } else {
                setNumber(v, literal.text);
            }
            break;
        }
        case Param::Source::NumberOf:
            setNumber(v, detail::numberFromString(literals.at(p.slot).text, p.target));
            break;
        case Param::Source::DateOf: {
            const QString &text = literals.at(p.slot).text;
            const QDateTime when = parseDateTime(text);
            v.text = when.isValid() ? formatDateTime(when) : text;
            v.literal = detail::quoteString(v.text);
            break;
        }
        }
        values.push_back(std::move(v));
    }
    return values;
}

} // namespace vorel::sql
