#include "sqlengine/parameters.h"

#include <initializer_list>
#include <vector>

#include "core/clock.h"
#include "sqlengine/sqlwords.h"
#include "sqlengine/tokenizer.h"

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

// Case-insensitive test of a word against an upper-case list, without copying it.
bool isOneOf(const Token &token, std::initializer_list<const char *> words)
{
    if (!token.is(TokenKind::Word))
        return false;
    for (const char *word : words)
        if (token.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool isTypeWord(const Token &token)
{
    return isOneOf(token, {"CHAR", "VARCHAR", "NCHAR", "NVARCHAR", "NUMERIC", "DECIMAL", "DEC", "FLOAT", "BINARY",
                           "VARBINARY", "DATETIME2", "TIME", "DATETIMEOFFSET", "CONVERT"});
}

// Which literals stand where a placeholder means the same: owned by a WHERE, ON, SET, VALUES
// or IF clause. A literal belongs to the last clause word before it at its own level of
// parentheses, else to the level around it; inside the parentheses of a type (VARCHAR(10))
// or after a semicolon with no clause word since, it stays in the text.
std::vector<bool> bindablePlaces(const QList<Token> &tokens)
{
    enum class Owner : char { None, Value, Shape };
    struct Level {
        Owner owner = Owner::None;
        bool typeSize = false;
    };
    std::vector<Level> levels(1);
    std::vector<bool> bindable(tokens.size(), false);
    for (int i = 0; i < static_cast<int>(tokens.size()); ++i) {
        const Token &token = tokens[i];
        switch (token.kind) {
        case TokenKind::LParen:
            levels.push_back(Level{Owner::None, i > 0 && isTypeWord(tokens[i - 1])});
            break;
        case TokenKind::RParen:
            if (levels.size() > 1)
                levels.pop_back();
            break;
        case TokenKind::Semicolon:
            levels.back().owner = Owner::Shape;
            break;
        case TokenKind::Word:
            if (isOneOf(token, {"WHERE", "ON", "SET", "VALUES", "IF"}))
                levels.back().owner = Owner::Value;
            else if (isOneOf(token, {"SELECT", "BY", "HAVING", "TOP", "FROM", "JOIN", "RAISERROR", "PRINT", "ESCAPE",
                                     "INTO", "INSERT", "UPDATE", "DELETE", "WITH", "DEFAULT", "LIMIT", "OFFSET", "EXEC",
                                     "EXECUTE", "DECLARE", "UNION", "EXCEPT", "INTERSECT", "OVER"}))
                levels.back().owner = Owner::Shape;
            break;
        case TokenKind::String:
        case TokenKind::Number:
            for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
                if (level->owner != Owner::None) {
                    bindable[i] = level->owner == Owner::Value;
                    break;
                }
                if (level->typeSize)
                    break;
            }
            break;
        default:
            break;
        }
    }
    return bindable;
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

void placeIn(Node &node, BackendKind backend, bool literalMarkers)
{
    if ((node.kind == Node::Kind::Statement || node.kind == Node::Kind::If)
        && ((literalMarkers && node.sql.contains(MarkerStart)) || node.sql.contains(NowMarker))) {
        const QString &sql = node.sql;
        QString out;
        out.reserve(sql.size());
        std::vector<Param> params;
        qsizetype i = 0;
        while (i < sql.size()) {
            const QChar c = sql[i];
            Param param;
            const qsizetype end = literalMarkers && c == MarkerStart ? sql.indexOf(MarkerEnd, i) : -1;
            if (end > i) {
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
        placeIn(child, backend, literalMarkers);
}

} // namespace

QString parameterise(QList<Token> &tokens, QList<Literal> &literals)
{
    bool bindable = true;
    qsizetype length = 0;
    for (const Token &t : tokens) {
        length += t.text.size() + 2;
        if (isOneOf(t, {"CREATE", "ALTER", "DROP"}))
            bindable = false;
        if ((t.is(TokenKind::String) || t.is(TokenKind::QuotedName))
            && (t.text.contains(MarkerStart) || t.text.contains(MarkerEnd) || t.text.contains(NowMarker[0])))
            bindable = false;
    }
    const std::vector<bool> places = bindable ? bindablePlaces(tokens) : std::vector<bool>(tokens.size(), false);
    QString key;
    key.reserve(length);
    for (int i = 0; i < static_cast<int>(tokens.size()); ++i) {
        Token &t = tokens[i];
        key += QChar(u'A' + static_cast<int>(t.kind));
        const bool literal = t.is(TokenKind::String) || (t.is(TokenKind::Number) && isBindableNumber(t.text));
        if (literal && places[i]) {
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

namespace {

bool isIdentStart(QChar c)
{
    return c.isLetter() || c == u'_' || c == u'#' || c.unicode() > 127;
}

bool isIdentPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#' || c.unicode() > 127;
}

// The closing quote of a quoted text opening at `open`, with doubled quotes inside; -1 when
// it is not closed. `value` gets the text with the doubled quotes undone.
qsizetype closeQuote(const QString &s, qsizetype open, QChar quote, QString *value)
{
    bool doubled = false;
    for (qsizetype i = open + 1; i < s.size(); ++i) {
        if (s[i] != quote)
            continue;
        if (i + 1 < s.size() && s[i + 1] == quote) {
            doubled = true;
            ++i;
            continue;
        }
        if (value) {
            *value = s.mid(open + 1, i - open - 1);
            if (doubled)
                value->replace(QString(2, quote), QString(quote));
        }
        return i;
    }
    return -1;
}

// Reads the text the way tokenize() does where it matters: comments, quoted names and
// identifiers (whose digits are no numbers) are kept as they stand.
bool roughShape(const QString &s, BatchShape &out)
{
    const qsizetype n = s.size();
    out.key.reserve(n);
    // The text between literals goes into the key in runs, not token by token.
    qsizetype run = 0;
    const auto mark = [&](qsizetype upTo, QChar kind) {
        out.key += QStringView(s).mid(run, upTo - run);
        out.key += MarkerStart;
        out.key += kind;
        out.key += MarkerEnd;
    };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s[i];
        const qsizetype start = i;
        if (c == u'-' && i + 1 < n && s[i + 1] == u'-') {
            while (i < n && s[i] != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && s[i + 1] == u'*') {
            i = endOfComment(s, i);
            if (i < 0)
                return false;
        } else if (c == u'\'' || ((c == u'N' || c == u'n') && i + 1 < n && s[i + 1] == u'\'')) {
            const qsizetype open = c == u'\'' ? i : i + 1;
            Literal literal{true, QString()};
            const qsizetype close = closeQuote(s, open, u'\'', &literal.text);
            if (close < 0)
                return false;
            mark(open, u'S');
            out.literals.append(std::move(literal));
            i = run = close + 1;
        } else if (c == u'[') {
            const qsizetype close = s.indexOf(u']', i + 1);
            if (close < 0)
                return false;
            i = close + 1;
        } else if (c == u'"') {
            const qsizetype close = closeQuote(s, i, u'"', nullptr);
            if (close < 0)
                return false;
            i = close + 1;
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && s[i + 1].isDigit())) {
            i = endOfNumber(s, i);
            const QString number = s.mid(start, i - start);
            mark(start, isBindableNumber(number) ? (isDigits(number) ? u'i' : u'd') : u'x');
            out.literals.append(Literal{false, number});
            run = i;
        } else if (c == u'@' || isIdentStart(c)) {
            ++i;
            while (i < n && isIdentPart(s[i]))
                ++i;
        } else {
            ++i;
        }
    }
    out.key += QStringView(s).mid(run);
    return true;
}

} // namespace

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

void placePlaceholders(Program &program, BackendKind backend, bool literalMarkers)
{
    for (Node &node : program.nodes)
        placeIn(node, backend, literalMarkers);
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

BatchShape readShape(const QString &batch)
{
    BatchShape shape;
    shape.readable = detail::roughShape(batch, shape);
    if (!shape.readable)
        shape = BatchShape();
    return shape;
}

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
