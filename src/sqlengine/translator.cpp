#include "sqlengine/translator.h"

#include <QRegularExpression>
#include <QSet>
#include <functional>
#include <map>

#include "core/clock.h"

namespace vorel::sql {

namespace {

// Words that begin a statement of their own: a plain statement ends before them.
bool isStatementStart(const Token &t)
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
    return t.kind == TokenKind::Word && starts.contains(t.text.toUpper());
}

// Reserved words that can never be a column or a function name in an operand.
bool isKeyword(const Token &t)
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
    return t.kind == TokenKind::Word && words.contains(t.text.toUpper());
}

bool isCompoundWord(const Token &t)
{
    return t.isWord("UNION") || t.isWord("EXCEPT") || t.isWord("INTERSECT");
}

bool isSimpleName(const QString &s)
{
    if (s.isEmpty() || !(s[0].isLetter() || s[0] == u'_'))
        return false;
    for (QChar c : s)
        if (!(c.isLetterOrNumber() || c == u'_'))
            return false;
    return true;
}

QString quoteString(const QString &v)
{
    QString out = v;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

bool isNumeric(SqlType t)
{
    return t == SqlType::Integer || t == SqlType::Decimal;
}

// What an operand is, as far as rewriting by type needs to know.
struct OperandType {
    SqlType type = SqlType::Unknown;
    bool stringLiteral = false;
    bool numberLiteral = false;
    bool integerLiteral = false;
    bool null = false;
    bool numericLike() const { return numberLiteral || isNumeric(type); }
    bool textColumn() const { return type == SqlType::Text && !stringLiteral; }
};

struct Span {
    int a = -1;
    int b = -1; // exclusive
    bool valid() const { return a >= 0 && b > a; }
};

// ---------------------------------------------------------------------------------------
// Rewriting one statement (or an IF condition) for a backend.

class Rewriter {
public:
    Rewriter(const QList<Token> &toks, int a, int b, BackendKind kind, const Catalog &cat)
        : t_(toks), a_(a), b_(b), kind_(kind), cat_(cat)
    {
        buildScope();
        planTop();
        planInsertValues();
        planUpdateSet();
        planOperators();
        planJoinEquivalences();
    }

    QString sql() { return render(a_, b_, nullptr); }

    // Tables and views the statement names, lower case, in order of appearance.
    const QStringList &tables() const { return tables_; }

private:
    enum class EditKind { Top, DateAdd, Concat, CastNumeric, Literal, DropTokens };
    struct Edit {
        EditKind kind;
        int a;
        int b;
        // Top
        QString limit;
        bool distinct = false;
        int bodyStart = 0;
        bool wrap = false;
        // DateAdd / Concat
        Span left, right;
        bool minus = false;
        int opIndex = -1;
        // CastNumeric
        QString castType;
        // NumberLiteral
        QString number;
    };

    const QList<Token> &t_;
    const int a_;
    const int b_;
    const BackendKind kind_;
    const Catalog &cat_;
    QHash<QString, QString> aliases_; // lower alias or table -> lower table ("" = derived)
    QStringList tables_;               // lower table names in order of appearance
    std::multimap<int, Edit> edits_;
    int topCounter_ = 0;

    void addEdit(Edit e) { edits_.emplace(e.a, std::move(e)); }

    int matchParen(int open) const
    {
        int depth = 0;
        for (int i = open; i < b_; ++i) {
            if (t_[i].is(TokenKind::LParen))
                ++depth;
            else if (t_[i].is(TokenKind::RParen) && --depth == 0)
                return i;
        }
        throw TranslationError(QStringLiteral("Incorrect syntax: missing ')'"));
    }

    int matchParenBack(int close) const
    {
        int depth = 0;
        for (int i = close; i >= a_; --i) {
            if (t_[i].is(TokenKind::RParen))
                ++depth;
            else if (t_[i].is(TokenKind::LParen) && --depth == 0)
                return i;
        }
        throw TranslationError(QStringLiteral("Incorrect syntax near ')'"));
    }

    bool isName(int i) const
    {
        return i >= a_ && i < b_ && (t_[i].is(TokenKind::QuotedName) || (t_[i].is(TokenKind::Word) && !isKeyword(t_[i])));
    }

    // --- scope: which tables the statement names, under which aliases -------------------

    void buildScope()
    {
        for (int i = a_; i < b_; ++i) {
            const Token &tk = t_[i];
            if (!(tk.isWord("FROM") || tk.isWord("JOIN") || tk.isWord("UPDATE") || tk.isWord("INTO")))
                continue;
            int j = i + 1;
            while (j < b_) {
                if (t_[j].is(TokenKind::LParen)) {
                    j = matchParen(j) + 1;
                    if (j < b_ && t_[j].isWord("AS"))
                        ++j;
                    if (isName(j)) {
                        aliases_.insert(t_[j].text.toLower(), QString());
                        ++j;
                    }
                } else if (isName(j)) {
                    QString table = t_[j].text;
                    ++j;
                    while (j + 1 < b_ && t_[j].is(TokenKind::Dot) && isName(j + 1)) {
                        table = t_[j + 1].text;
                        j += 2;
                    }
                    const QString lower = table.toLower();
                    if (!tables_.contains(lower))
                        tables_.append(lower);
                    aliases_.insert(lower, lower);
                    if (j < b_ && t_[j].isWord("AS"))
                        ++j;
                    if (isName(j) && !tk.isWord("INTO")) {
                        if (!aliases_.contains(t_[j].text.toLower()))
                            aliases_.insert(t_[j].text.toLower(), lower);
                        ++j;
                    }
                } else {
                    break;
                }
                // A FROM list may go on after a comma.
                if (tk.isWord("FROM") && j < b_ && t_[j].is(TokenKind::Comma))
                    ++j;
                else
                    break;
            }
        }
    }

    SqlType columnType(const QString &qualifier, const QString &column) const
    {
        if (!qualifier.isEmpty()) {
            const auto it = aliases_.constFind(qualifier.toLower());
            if (it == aliases_.constEnd() || it->isEmpty())
                return SqlType::Unknown;
            return cat_.columnType(*it, column);
        }
        for (const QString &table : tables_) {
            const SqlType ty = cat_.columnType(table, column);
            if (ty != SqlType::Unknown)
                return ty;
        }
        return SqlType::Unknown;
    }

    // --- operands --------------------------------------------------------------------------

    Span operandBefore(int k) const
    {
        const int j = k - 1;
        if (j < a_)
            return {};
        if (t_[j].is(TokenKind::RParen)) {
            const int open = matchParenBack(j);
            if (open - 1 >= a_ && t_[open - 1].is(TokenKind::Word) && !isKeyword(t_[open - 1]))
                return {open - 1, k};
            return {open, k};
        }
        if (t_[j].is(TokenKind::String) || t_[j].is(TokenKind::Number)) {
            // A signed number: "- 5" after an operator, comma or parenthesis.
            if (t_[j].is(TokenKind::Number) && j - 1 >= a_ && (t_[j - 1].isOp("-") || t_[j - 1].isOp("+"))) {
                const int s = j - 2;
                if (s < a_ || t_[s].is(TokenKind::Operator) || t_[s].is(TokenKind::LParen) || t_[s].is(TokenKind::Comma) || isKeyword(t_[s]))
                    return {j - 1, k};
            }
            return {j, k};
        }
        if (isName(j) || t_[j].isWord("NULL")) {
            int s = j;
            while (s - 2 >= a_ && t_[s - 1].is(TokenKind::Dot) && isName(s - 2))
                s -= 2;
            return {s, k};
        }
        return {};
    }

    Span operandAfter(int k) const
    {
        int j = k + 1;
        if (j >= b_)
            return {};
        if ((t_[j].isOp("-") || t_[j].isOp("+")) && j + 1 < b_ && t_[j + 1].is(TokenKind::Number))
            return {j, j + 2};
        if (t_[j].is(TokenKind::LParen))
            return {j, matchParen(j) + 1};
        if (t_[j].is(TokenKind::String) || t_[j].is(TokenKind::Number) || t_[j].isWord("NULL"))
            return {j, j + 1};
        if (isName(j)) {
            if (j + 1 < b_ && t_[j + 1].is(TokenKind::LParen) && t_[j].is(TokenKind::Word))
                return {j, matchParen(j + 1) + 1};
            int e = j + 1;
            while (e + 1 < b_ && t_[e].is(TokenKind::Dot) && isName(e + 1))
                e += 2;
            return {j, e};
        }
        return {};
    }

    // The first argument of a call or the content of a group, when it is one operand.
    OperandType innerOperandType(int open, int close) const
    {
        // The whole inner range as one operand?
        const Span first = operandAfter(open);
        if (first.valid() && first.b == close)
            return typeOf(first);
        if (first.valid() && first.b < close && t_[first.b].is(TokenKind::Comma))
            return typeOf(first);
        // date +/- number inside a group is still a date.
        for (int i = open + 1; i < close; ++i) {
            if (t_[i].is(TokenKind::LParen)) {
                i = matchParen(i);
                continue;
            }
            if (t_[i].isOp("+") || t_[i].isOp("-")) {
                const Span l = operandBefore(i);
                if (l.valid() && typeOf(l).type == SqlType::DateTime)
                    return OperandType{SqlType::DateTime};
            }
        }
        return {};
    }

    OperandType typeOf(Span s) const
    {
        OperandType r;
        const int n = s.b - s.a;
        const Token &f = t_[s.a];
        if (n == 1 && f.is(TokenKind::String)) {
            r.stringLiteral = true;
            r.type = SqlType::Text;
            return r;
        }
        if ((n == 1 && f.is(TokenKind::Number)) || (n == 2 && t_[s.a + 1].is(TokenKind::Number))) {
            const QString text = t_[s.b - 1].text;
            r.numberLiteral = true;
            r.integerLiteral = !text.contains(u'.') && !text.contains(u'e', Qt::CaseInsensitive);
            r.type = r.integerLiteral ? SqlType::Integer : SqlType::Decimal;
            return r;
        }
        if (n == 1 && f.isWord("NULL")) {
            r.null = true;
            return r;
        }
        if (f.is(TokenKind::LParen))
            return innerOperandType(s.a, s.b - 1);
        if (n >= 2 && t_[s.a + 1].is(TokenKind::LParen)) {
            const QString fn = f.text.toLower();
            if (fn == QLatin1String("getdate"))
                return OperandType{SqlType::DateTime};
            if (fn == QLatin1String("max") || fn == QLatin1String("min") || fn == QLatin1String("isnull") || fn == QLatin1String("coalesce")) {
                OperandType inner = innerOperandType(s.a + 1, s.b - 1);
                inner.stringLiteral = inner.numberLiteral = inner.integerLiteral = false;
                return inner;
            }
            if (fn == QLatin1String("sum") || fn == QLatin1String("avg") || fn == QLatin1String("abs") || fn == QLatin1String("round") || fn == QLatin1String("floor") || fn == QLatin1String("ceiling"))
                return OperandType{SqlType::Decimal};
            if (fn == QLatin1String("count") || fn == QLatin1String("len") || fn == QLatin1String("length"))
                return OperandType{SqlType::Integer};
            if (fn == QLatin1String("cast") || fn == QLatin1String("convert")) {
                for (int i = s.a + 2; i < s.b; ++i) {
                    const QString w = t_[i].text.toLower();
                    if (t_[i].is(TokenKind::Word)) {
                        if (w.contains(QLatin1String("int")))
                            return OperandType{SqlType::Integer};
                        if (w == QLatin1String("numeric") || w == QLatin1String("decimal") || w == QLatin1String("float") || w == QLatin1String("real") || w == QLatin1String("money"))
                            return OperandType{SqlType::Decimal};
                        if (w.contains(QLatin1String("char")) || w == QLatin1String("text"))
                            return OperandType{SqlType::Text};
                        if (w.startsWith(QLatin1String("date")))
                            return OperandType{SqlType::DateTime};
                    }
                }
            }
            return r;
        }
        // A column reference a, t.a or s.t.a.
        if (n == 1 && isName(s.a))
            return OperandType{columnType(QString(), f.text)};
        if (n >= 3 && t_[s.b - 2].is(TokenKind::Dot))
            return OperandType{columnType(t_[s.b - 3].text, t_[s.b - 1].text)};
        return r;
    }

    // A quoted value going into a numeric place: the number it stands for.
    QString numberFromString(const QString &value, SqlType target) const
    {
        const QString v = value.trimmed();
        if (v.isEmpty()) {
            if (target == SqlType::Integer)
                return QStringLiteral("0");
            throw TranslationError(QStringLiteral("Error converting data type varchar to numeric."));
        }
        bool ok = false;
        v.toDouble(&ok);
        // toDouble accepts things T-SQL does not ("1e5" into int is fine there too); reject
        // hex, inf and nan explicitly.
        if (!ok || v.contains(QLatin1String("x"), Qt::CaseInsensitive) || v.contains(QLatin1String("n"), Qt::CaseInsensitive))
            throw TranslationError(target == SqlType::Integer
                                       ? QStringLiteral("Conversion failed when converting the varchar value '%1' to data type int.").arg(value)
                                       : QStringLiteral("Error converting data type varchar to numeric."));
        QString out = v;
        if (out.startsWith(u'+'))
            out.remove(0, 1);
        if (out.startsWith(u'.'))
            out.prepend(u'0');
        if (out.startsWith(QLatin1String("-.")))
            out.insert(1, u'0');
        if (out.endsWith(u'.'))
            out.chop(1);
        return out;
    }

    // A quoted value stored into a column of type `target`: numbers lose their quotes and
    // blanks; on SQLite, where date-times are text, a date is stored in the one full form
    // "YYYY-MM-DD hh:mm:ss" so that text comparisons of dates keep working.
    void planStoredLiteral(Span value, SqlType target)
    {
        if (!value.valid() || value.b - value.a != 1 || !t_[value.a].is(TokenKind::String))
            return;
        if (target == SqlType::DateTime && kind_ == BackendKind::SQLite) {
            const QDateTime when = parseDateTime(t_[value.a].text);
            if (when.isValid()) {
                Edit e{EditKind::Literal, value.a, value.b};
                e.number = quoteString(formatDateTime(when));
                addEdit(std::move(e));
            }
            return;
        }
        planNumberLiteral(value, target);
    }

    void planNumberLiteral(Span value, SqlType target)
    {
        if (!value.valid() || value.b - value.a != 1 || !t_[value.a].is(TokenKind::String) || !isNumeric(target))
            return;
        Edit e{EditKind::Literal, value.a, value.b};
        e.number = numberFromString(t_[value.a].text, target);
        addEdit(std::move(e));
    }

    // --- plans ----------------------------------------------------------------------------

    void planTop()
    {
        for (int s = a_; s < b_; ++s) {
            if (!t_[s].isWord("SELECT"))
                continue;
            int j = s + 1;
            bool distinct = false;
            if (j < b_ && (t_[j].isWord("DISTINCT") || t_[j].isWord("ALL"))) {
                distinct = t_[j].isWord("DISTINCT");
                ++j;
            }
            if (j >= b_ || !t_[j].isWord("TOP"))
                continue;
            ++j;
            QString limit;
            if (j < b_ && t_[j].is(TokenKind::Number)) {
                limit = t_[j].text;
                ++j;
            } else if (j + 2 < b_ && t_[j].is(TokenKind::LParen) && t_[j + 1].is(TokenKind::Number) && t_[j + 2].is(TokenKind::RParen)) {
                limit = t_[j + 1].text;
                j += 3;
            } else {
                throw TranslationError(QStringLiteral("Incorrect syntax near 'TOP'"));
            }
            if (j < b_ && (t_[j].isWord("PERCENT") || t_[j].isWord("WITH")))
                throw TranslationError(QStringLiteral("TOP ... %1 is not supported").arg(t_[j].text));
            // The select runs to the end of its group or to a UNION at its own level.
            int end = j;
            int depth = 0;
            bool compoundAfter = false;
            for (; end < b_; ++end) {
                if (t_[end].is(TokenKind::LParen))
                    ++depth;
                else if (t_[end].is(TokenKind::RParen)) {
                    if (--depth < 0)
                        break;
                } else if (depth == 0 && isCompoundWord(t_[end])) {
                    compoundAfter = true;
                    break;
                }
            }
            const bool compoundBefore = s - 1 >= a_ && (isCompoundWord(t_[s - 1]) || (t_[s - 1].isWord("ALL") && s - 2 >= a_ && isCompoundWord(t_[s - 2])));
            Edit e{EditKind::Top, s, end};
            e.limit = limit;
            e.distinct = distinct;
            e.bodyStart = j;
            e.wrap = compoundAfter || compoundBefore;
            addEdit(std::move(e));
        }
    }

    void planInsertValues()
    {
        if (!t_[a_].isWord("INSERT"))
            return;
        int j = a_ + 1;
        if (j < b_ && t_[j].isWord("INTO"))
            ++j;
        if (!isName(j))
            return;
        QString table = t_[j].text;
        ++j;
        while (j + 1 < b_ && t_[j].is(TokenKind::Dot) && isName(j + 1)) {
            table = t_[j + 1].text;
            j += 2;
        }
        QStringList columns;
        if (j < b_ && t_[j].is(TokenKind::LParen)) {
            const int close = matchParen(j);
            for (int i = j + 1; i < close; ++i)
                if (isName(i))
                    columns.append(t_[i].text);
            j = close + 1;
        } else if (const auto *cols = cat_.columns(table)) {
            for (const auto &c : *cols)
                columns.append(c.name);
        }
        if (j >= b_ || !t_[j].isWord("VALUES"))
            return;
        ++j;
        while (j < b_ && t_[j].is(TokenKind::LParen)) {
            const int close = matchParen(j);
            int col = 0;
            int start = j + 1;
            for (int i = j + 1; i <= close; ++i) {
                if (t_[i].is(TokenKind::LParen)) {
                    i = matchParen(i);
                    continue;
                }
                if (t_[i].is(TokenKind::Comma) || i == close) {
                    if (col < columns.size())
                        planStoredLiteral({start, i}, cat_.columnType(table, columns[col]));
                    ++col;
                    start = i + 1;
                }
            }
            j = close + 1;
            if (j < b_ && t_[j].is(TokenKind::Comma))
                ++j;
        }
    }

    void planUpdateSet()
    {
        if (!t_[a_].isWord("UPDATE"))
            return;
        int j = a_ + 1;
        if (!isName(j))
            return;
        QString table = t_[j].text;
        ++j;
        while (j + 1 < b_ && t_[j].is(TokenKind::Dot) && isName(j + 1)) {
            table = t_[j + 1].text;
            j += 2;
        }
        while (j < b_ && !t_[j].isWord("SET"))
            ++j;
        ++j;
        int start = j;
        int depth = 0;
        for (int i = j; i <= b_; ++i) {
            const bool atEnd = i == b_ || (depth == 0 && (t_[i].isWord("FROM") || t_[i].isWord("WHERE")));
            if (i < b_ && t_[i].is(TokenKind::LParen))
                ++depth;
            else if (i < b_ && t_[i].is(TokenKind::RParen))
                --depth;
            if (atEnd || (depth == 0 && t_[i].is(TokenKind::Comma))) {
                // item: [qualifier .] column = value
                int eq = start;
                while (eq < i && !t_[eq].isOp("="))
                    ++eq;
                if (eq < i && eq - start == 3 && t_[start + 1].is(TokenKind::Dot)) {
                    // Neither backend takes "SET t.col =": drop the qualifier.
                    addEdit(Edit{EditKind::DropTokens, start, start + 2});
                }
                if (eq < i && eq > start)
                    planStoredLiteral({eq + 1, i}, cat_.columnType(table, t_[eq - 1].text));
                start = i + 1;
                if (atEnd)
                    break;
            }
        }
    }

    void planOperators()
    {
        for (int k = a_; k < b_; ++k) {
            const Token &op = t_[k];
            if (op.kind != TokenKind::Operator)
                continue;
            const QString o = op.text;
            const bool arithmetic = o == QLatin1String("+") || o == QLatin1String("-") || o == QLatin1String("*") || o == QLatin1String("/");
            const bool comparison = o == QLatin1String("=") || o == QLatin1String("<>") || o == QLatin1String("!=") || o == QLatin1String("<") || o == QLatin1String(">") || o == QLatin1String("<=") || o == QLatin1String(">=");
            if (!arithmetic && !comparison)
                continue;
            const Span l = operandBefore(k);
            const Span r = operandAfter(k);
            if (!l.valid() || !r.valid())
                continue;
            // "SET col = value" items are typed by planUpdateSet.
            if (o == QLatin1String("=") && inUpdateSetList(k))
                continue;
            const OperandType tl = typeOf(l);
            const OperandType tr = typeOf(r);
            if (o == QLatin1String("+") || o == QLatin1String("-")) {
                if (tl.type == SqlType::DateTime && !tl.stringLiteral && tr.numericLike()) {
                    Edit e{EditKind::DateAdd, l.a, r.b};
                    e.left = l;
                    e.right = r;
                    e.minus = o == QLatin1String("-");
                    addEdit(std::move(e));
                    continue;
                }
                if (o == QLatin1String("+") && tr.type == SqlType::DateTime && !tr.stringLiteral && tl.numericLike()) {
                    Edit e{EditKind::DateAdd, l.a, r.b};
                    e.left = r;
                    e.right = l;
                    addEdit(std::move(e));
                    continue;
                }
            }
            if (o == QLatin1String("+") && tl.type == SqlType::Text && tr.type == SqlType::Text) {
                Edit e{EditKind::Concat, k, k + 1};
                addEdit(std::move(e));
                continue;
            }
            if (arithmetic) {
                // Text used as a number: T-SQL converts it; PostgreSQL needs to be told.
                if (kind_ == BackendKind::PostgreSQL) {
                    if (tl.textColumn() && tr.numericLike())
                        planCast(l, tr);
                    else if (tr.textColumn() && tl.numericLike())
                        planCast(r, tl);
                }
                continue;
            }
            // Comparisons.
            if (tl.textColumn() && tr.numericLike() && !tr.stringLiteral)
                planCast(l, tr);
            else if (tr.textColumn() && tl.numericLike() && !tl.stringLiteral)
                planCast(r, tl);
            else if (isNumeric(tl.type) && !tl.stringLiteral && tr.stringLiteral)
                planNumberLiteral(r, tl.type);
            else if (isNumeric(tr.type) && !tr.stringLiteral && tl.stringLiteral)
                planNumberLiteral(l, tr.type);
        }
    }

    void planCast(Span s, const OperandType &other)
    {
        Edit e{EditKind::CastNumeric, s.a, s.b};
        e.castType = (kind_ == BackendKind::PostgreSQL && other.type == SqlType::Integer) ? QStringLiteral("BIGINT") : QStringLiteral("NUMERIC");
        addEdit(std::move(e));
    }

    // Inner joins make columns equal: "D1809 INNER JOIN D1800 ON D1809.K_ID = D1800.K_ID".
    // A WHERE comparison of such a column with a literal means the same on any member of its
    // class, and the databases can only use an index when the terms of an OR test one table:
    // "(D1800.K_ID = 'x') or (D1809.tm = 'x')" reads every barcode, while
    // "(D1809.K_ID = 'x') or (D1809.tm = 'x')" is two index look-ups. So such comparisons
    // are rewritten to the class member of the table that comes first in the FROM clause.
    // Only inner joins count (a LEFT JOIN's columns may be NULL), and only ON clauses
    // without OR.
    void planJoinEquivalences()
    {
        for (int from = a_; from < b_; ++from) {
            if (!t_[from].isWord("FROM"))
                continue;
            const int depth = depthAt(from);
            QStringList order;                 // qualifiers in FROM order, lower case
            QHash<QString, QString> parent;    // union-find over "qualifier.column"
            auto find = [&](QString x) {
                while (parent.contains(x) && parent.value(x) != x)
                    x = parent.value(x);
                return x;
            };
            int whereStart = -1;
            int end = b_;
            int d = depth;
            for (int i = from + 1; i < b_; ++i) {
                if (t_[i].is(TokenKind::LParen)) {
                    ++d;
                    continue;
                }
                if (t_[i].is(TokenKind::RParen)) {
                    if (--d < depth) {
                        end = i;
                        break;
                    }
                    continue;
                }
                if (d != depth)
                    continue;
                if (isCompoundWord(t_[i]) || t_[i].isWord("GROUP") || t_[i].isWord("ORDER") || t_[i].isWord("HAVING")
                    || t_[i].isWord("LIMIT")) {
                    end = i;
                    break;
                }
                if (t_[i].isWord("WHERE") && whereStart < 0)
                    whereStart = i + 1;
                if ((t_[i - 1].isWord("FROM") || t_[i - 1].isWord("JOIN") || t_[i - 1].is(TokenKind::Comma)) && isName(i)
                    && whereStart < 0) {
                    int q = i;
                    while (q + 2 < b_ && t_[q + 1].is(TokenKind::Dot) && isName(q + 2))
                        q += 2;
                    QString qualifier = t_[q].text.toLower();
                    int alias = q + 1;
                    if (alias < b_ && t_[alias].isWord("AS"))
                        ++alias;
                    if (isName(alias))
                        qualifier = t_[alias].text.toLower();
                    order.append(qualifier);
                }
                if (t_[i].isWord("ON") && whereStart < 0) {
                    // Which join is this? Only INNER JOIN or a bare JOIN.
                    int j = i - 1;
                    while (j > from && !t_[j].isWord("JOIN"))
                        --j;
                    const bool inner = j > from && !(t_[j - 1].isWord("LEFT") || t_[j - 1].isWord("RIGHT") || t_[j - 1].isWord("FULL")
                                                     || t_[j - 1].isWord("OUTER") || t_[j - 1].isWord("CROSS"));
                    // The ON clause runs to the next join, WHERE or the end of the scope.
                    int e = i + 1;
                    int od = 0;
                    bool hasOr = false;
                    QList<std::pair<QString, QString>> pairs;
                    for (; e < end; ++e) {
                        if (t_[e].is(TokenKind::LParen))
                            ++od;
                        else if (t_[e].is(TokenKind::RParen)) {
                            if (--od < 0)
                                break;
                        } else if (od == 0 && (t_[e].isWord("JOIN") || t_[e].isWord("INNER") || t_[e].isWord("LEFT")
                                               || t_[e].isWord("RIGHT") || t_[e].isWord("FULL") || t_[e].isWord("CROSS")
                                               || t_[e].isWord("WHERE") || t_[e].isWord("GROUP") || t_[e].isWord("ORDER")
                                               || isCompoundWord(t_[e])))
                            break;
                        if (t_[e].isWord("OR"))
                            hasOr = true;
                        if (t_[e].isOp("=")) {
                            const Span l = operandBefore(e);
                            const Span r = operandAfter(e);
                            if (l.valid() && r.valid() && l.b - l.a == 3 && r.b - r.a == 3 && t_[l.a + 1].is(TokenKind::Dot)
                                && t_[r.a + 1].is(TokenKind::Dot))
                                pairs.append({columnKey(l), columnKey(r)});
                        }
                    }
                    if (inner && !hasOr) {
                        for (const auto &[x, y] : pairs) {
                            if (!parent.contains(x))
                                parent.insert(x, x);
                            if (!parent.contains(y))
                                parent.insert(y, y);
                            parent.insert(find(x), find(y));
                        }
                    }
                    i = e - 1;
                }
            }
            if (whereStart < 0 || parent.isEmpty())
                continue;
            // The member of each class whose qualifier comes first in the FROM clause.
            QHash<QString, QString> best; // class root -> "qualifier.column"
            for (auto it = parent.constBegin(); it != parent.constEnd(); ++it) {
                const QString root = find(it.key());
                const QString cur = best.value(root);
                const auto rank = [&](const QString &key) { return order.indexOf(key.section(u'.', 0, 0)); };
                if (cur.isEmpty() || (rank(it.key()) >= 0 && (rank(cur) < 0 || rank(it.key()) < rank(cur))))
                    best.insert(root, it.key());
            }
            for (int k = whereStart; k < end; ++k) {
                if (t_[k].is(TokenKind::LParen) && k + 1 < end && t_[k + 1].isWord("SELECT")) {
                    k = matchParen(k); // a subquery has its own FROM
                    continue;
                }
                if (!t_[k].isOp("="))
                    continue;
                const Span l = operandBefore(k);
                const Span r = operandAfter(k);
                if (!l.valid() || !r.valid())
                    continue;
                const bool lCol = l.b - l.a == 3 && t_[l.a + 1].is(TokenKind::Dot);
                const bool rCol = r.b - r.a == 3 && t_[r.a + 1].is(TokenKind::Dot);
                const bool lLit = l.b - l.a == 1 && (t_[l.a].is(TokenKind::String) || t_[l.a].is(TokenKind::Number));
                const bool rLit = r.b - r.a == 1 && (t_[r.a].is(TokenKind::String) || t_[r.a].is(TokenKind::Number));
                const Span col = lCol && rLit ? l : (rCol && lLit ? r : Span{});
                if (!col.valid() || edits_.count(col.a) > 0)
                    continue;
                const QString key = columnKey(col);
                if (!parent.contains(key))
                    continue;
                const QString target = best.value(find(key));
                if (target.isEmpty() || target == key)
                    continue;
                // Keep the batch's spelling of the column name, change only the qualifier.
                Edit e{EditKind::Literal, col.a, col.b};
                const QString qualifier = target.section(u'.', 0, 0);
                QString spelled = qualifier;
                for (int q = a_; q < b_; ++q)
                    if (isName(q) && t_[q].text.toLower() == qualifier) {
                        spelled = t_[q].text;
                        break;
                    }
                e.number = spelled + u'.' + t_[col.b - 1].text;
                addEdit(std::move(e));
            }
        }
    }

    QString columnKey(Span s) const
    {
        return t_[s.a].text.toLower() + u'.' + t_[s.b - 1].text.toLower();
    }

    int depthAt(int k) const
    {
        int d = 0;
        for (int i = a_; i < k; ++i) {
            if (t_[i].is(TokenKind::LParen))
                ++d;
            else if (t_[i].is(TokenKind::RParen))
                --d;
        }
        return d;
    }

    bool inUpdateSetList(int k) const
    {
        if (!t_[a_].isWord("UPDATE"))
            return false;
        int depth = 0;
        bool inSet = false;
        for (int i = a_; i < k; ++i) {
            if (t_[i].is(TokenKind::LParen))
                ++depth;
            else if (t_[i].is(TokenKind::RParen))
                --depth;
            else if (depth == 0 && t_[i].isWord("SET"))
                inSet = true;
            else if (depth == 0 && (t_[i].isWord("FROM") || t_[i].isWord("WHERE")))
                inSet = false;
        }
        return inSet && depth == 0;
    }

    // --- emission -------------------------------------------------------------------------

    static void append(QString &out, const QString &piece, bool glueLeft = false)
    {
        if (piece.isEmpty())
            return;
        if (!out.isEmpty() && !glueLeft && !out.endsWith(u'(') && !out.endsWith(u'.') && !out.endsWith(u' '))
            out += u' ';
        out += piece;
    }

    QString renderEdit(const Edit &e)
    {
        switch (e.kind) {
        case EditKind::Top: {
            QString body = QStringLiteral("SELECT");
            if (e.distinct)
                body += QStringLiteral(" DISTINCT");
            append(body, render(e.bodyStart, e.b, &e));
            body += QStringLiteral(" LIMIT ") + e.limit;
            if (e.wrap)
                return QStringLiteral("SELECT * FROM (%1) AS vorel_top%2").arg(body).arg(++topCounter_);
            return body;
        }
        case EditKind::DateAdd: {
            const QString base = render(e.left.a, e.left.b, &e);
            const QString days = render(e.right.a, e.right.b, &e);
            if (kind_ == BackendKind::SQLite)
                return QStringLiteral("datetime(%1, (%2(%3)) || ' days')").arg(base, e.minus ? QStringLiteral("-") : QString(), days);
            return QStringLiteral("(%1 %2 (%3) * INTERVAL '1 day')").arg(base, e.minus ? QStringLiteral("-") : QStringLiteral("+"), days);
        }
        case EditKind::Concat:
            return QStringLiteral("||");
        case EditKind::CastNumeric:
            return QStringLiteral("CAST(%1 AS %2)").arg(render(e.a, e.b, &e), e.castType);
        case EditKind::Literal:
            return e.number;
        case EditKind::DropTokens:
            return QString();
        }
        return QString();
    }

    // The edit to apply at token i within [a, b): the widest that fits, never `self`.
    const Edit *editAt(int i, int b, const Edit *self) const
    {
        const Edit *best = nullptr;
        auto [lo, hi] = edits_.equal_range(i);
        for (auto it = lo; it != hi; ++it) {
            const Edit &e = it->second;
            if (&e == self || e.b > b)
                continue;
            if (!best || e.b > best->b)
                best = &e;
        }
        return best;
    }

    QString render(int a, int b, const Edit *self)
    {
        QString out;
        for (int i = a; i < b; ++i) {
            if (const Edit *e = editAt(i, b, self)) {
                const QString piece = renderEdit(*e);
                append(out, piece);
                i = e->b - 1;
                continue;
            }
            const Token &tk = t_[i];
            switch (tk.kind) {
            case TokenKind::String:
                append(out, quoteString(tk.text));
                break;
            case TokenKind::QuotedName:
                if (tk.text.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0 && i + 1 < b && t_[i + 1].is(TokenKind::Dot)) {
                    ++i; // [dbo].[D712] is D712
                    break;
                }
                append(out, isSimpleName(tk.text) ? tk.text : u'"' + QString(tk.text).replace(u'"', QStringLiteral("\"\"")) + u'"');
                break;
            case TokenKind::Number:
                append(out, tk.text);
                break;
            case TokenKind::LParen:
                // A call keeps its parenthesis: COUNT(*), not COUNT (*).
                append(out, tk.text, i > a && t_[i - 1].is(TokenKind::Word) && !isKeyword(t_[i - 1]));
                break;
            case TokenKind::RParen:
            case TokenKind::Comma:
            case TokenKind::Dot:
                append(out, tk.text, true);
                break;
            case TokenKind::Semicolon:
                break;
            case TokenKind::Variable:
                throw TranslationError(QStringLiteral("Must declare the scalar variable \"%1\".").arg(tk.text));
            case TokenKind::Operator:
                if (tk.text == QLatin1String("!<"))
                    append(out, QStringLiteral(">="));
                else if (tk.text == QLatin1String("!>"))
                    append(out, QStringLiteral("<="));
                else
                    append(out, tk.text);
                break;
            case TokenKind::Word: {
                const bool call = i + 1 < b && t_[i + 1].is(TokenKind::LParen);
                const QString upper = tk.text.toUpper();
                if (call && upper == QLatin1String("GETDATE") && i + 2 < b && t_[i + 2].is(TokenKind::RParen)) {
                    append(out, NowMarker);
                    i += 2;
                } else if (call && upper == QLatin1String("ISNULL")) {
                    append(out, QStringLiteral("COALESCE"));
                } else if (call && upper == QLatin1String("LEN")) {
                    append(out, QStringLiteral("LENGTH"));
                } else if (upper == QLatin1String("LIKE") && kind_ == BackendKind::PostgreSQL) {
                    append(out, QStringLiteral("ILIKE"));
                } else if (upper == QLatin1String("DBO") && i + 1 < b && t_[i + 1].is(TokenKind::Dot)) {
                    ++i; // dbo.D712 is D712
                } else if (upper == QLatin1String("WITH") && i + 3 < b && t_[i + 1].is(TokenKind::LParen) && t_[i + 2].isWord("NOLOCK") && t_[i + 3].is(TokenKind::RParen)) {
                    i += 3; // locking hints mean nothing here
                } else {
                    append(out, tk.text);
                }
                break;
            }
            }
        }
        return out;
    }
};

// ---------------------------------------------------------------------------------------
// Parsing the batch into nodes.

class Parser {
public:
    Parser(const QList<Token> &toks, BackendKind kind, const Catalog &cat) : t_(toks), kind_(kind), cat_(cat) {}

    Program parse()
    {
        Program p;
        while (skipSemicolons())
            p.nodes.push_back(statement());
        p.writes = anyWrites(p.nodes);
        return p;
    }

private:
    const QList<Token> &t_;
    const BackendKind kind_;
    const Catalog &cat_;
    int i_ = 0;

    int n() const { return static_cast<int>(t_.size()); }

    bool skipSemicolons()
    {
        while (i_ < n() && t_[i_].is(TokenKind::Semicolon))
            ++i_;
        return i_ < n();
    }

    static bool anyWrites(const std::vector<Node> &nodes)
    {
        for (const Node &node : nodes)
            if (node.writes || anyWrites(node.children))
                return true;
        return false;
    }

    [[noreturn]] void syntaxError(int at) const
    {
        if (at >= n())
            throw TranslationError(QStringLiteral("Incorrect syntax near the end of the batch."));
        throw TranslationError(QStringLiteral("Incorrect syntax near '%1'.").arg(t_[at].text));
    }

    Node statement()
    {
        if (!skipSemicolons())
            syntaxError(i_);
        const Token &tk = t_[i_];
        if (tk.isWord("IF"))
            return ifStatement();
        if (tk.isWord("BEGIN")) {
            if (i_ + 1 < n() && (t_[i_ + 1].isWord("TRAN") || t_[i_ + 1].isWord("TRANSACTION"))) {
                i_ += 2; // the batch is one transaction already
                return Node{Node::Kind::Noop};
            }
            ++i_;
            Node block{Node::Kind::Block};
            while (true) {
                if (!skipSemicolons())
                    throw TranslationError(QStringLiteral("Incorrect syntax: BEGIN without END."));
                if (t_[i_].isWord("END")) {
                    ++i_;
                    break;
                }
                block.children.push_back(statement());
            }
            return block;
        }
        if (tk.isWord("COMMIT")) {
            ++i_;
            if (i_ < n() && (t_[i_].isWord("TRAN") || t_[i_].isWord("TRANSACTION")))
                ++i_;
            return Node{Node::Kind::Noop};
        }
        if (tk.isWord("RAISERROR"))
            return raisError();
        if (tk.isWord("PRINT")) {
            ++i_;
            collectExpression(); // shown nowhere
            return Node{Node::Kind::Noop};
        }
        if (tk.isWord("SELECT") || tk.isWord("INSERT") || tk.isWord("UPDATE") || tk.isWord("DELETE") || tk.isWord("CREATE") || tk.isWord("DROP") || tk.isWord("ALTER") || tk.isWord("WITH"))
            return plain();
        syntaxError(i_);
    }

    Node ifStatement()
    {
        ++i_; // IF
        const int condStart = i_;
        const int condEnd = collectExpression();
        if (condEnd == condStart)
            syntaxError(condStart);
        Node node{Node::Kind::If};
        Rewriter rw(t_, condStart, condEnd, kind_, cat_);
        node.sql = QStringLiteral("SELECT CASE WHEN %1 THEN 1 ELSE 0 END").arg(rw.sql());
        if (!skipSemicolons())
            throw TranslationError(QStringLiteral("Incorrect syntax: IF without a statement."));
        node.children.push_back(statement());
        // ELSE may follow a semicolon.
        int j = i_;
        while (j < n() && t_[j].is(TokenKind::Semicolon))
            ++j;
        if (j < n() && t_[j].isWord("ELSE")) {
            i_ = j + 1;
            node.children.push_back(statement());
        }
        return node;
    }

    // Moves to the end of a statement or an IF condition: the first ";" or the first word
    // for which `stopsAt` says so, outside parentheses and CASE ... END. Returns that place.
    int scanToEnd(const std::function<bool(const Token &)> &stopsAt)
    {
        int depth = 0;
        int cases = 0;
        while (i_ < n()) {
            const Token &tk = t_[i_];
            if (tk.is(TokenKind::LParen))
                ++depth;
            else if (tk.is(TokenKind::RParen)) {
                if (--depth < 0)
                    syntaxError(i_);
            } else if (tk.isWord("CASE"))
                ++cases;
            else if (tk.isWord("END") && cases > 0)
                --cases;
            else if (depth == 0 && (tk.is(TokenKind::Semicolon) || (cases == 0 && stopsAt(tk))))
                break;
            ++i_;
        }
        if (depth != 0)
            throw TranslationError(QStringLiteral("Incorrect syntax: missing ')'."));
        return i_;
    }

    // Tokens of an IF condition or PRINT argument: up to the next statement.
    int collectExpression()
    {
        return scanToEnd([](const Token &tk) { return isStatementStart(tk); });
    }

    Node raisError()
    {
        const int at = i_;
        ++i_;
        if (i_ >= n() || !t_[i_].is(TokenKind::LParen))
            syntaxError(at);
        const int open = i_;
        int depth = 0;
        int close = -1;
        for (int j = open; j < n(); ++j) {
            if (t_[j].is(TokenKind::LParen))
                ++depth;
            else if (t_[j].is(TokenKind::RParen) && --depth == 0) {
                close = j;
                break;
            }
        }
        if (close < 0 || open + 1 >= close || !t_[open + 1].is(TokenKind::String))
            syntaxError(at);
        Node node{Node::Kind::RaisError};
        node.message = t_[open + 1].text;
        int j = open + 2;
        if (j < close && t_[j].is(TokenKind::Comma)) {
            ++j;
            bool negative = false;
            if (j < close && t_[j].isOp("-")) {
                negative = true;
                ++j;
            }
            if (j < close && t_[j].is(TokenKind::Number))
                node.severity = (negative ? -1 : 1) * t_[j].text.toInt();
        }
        // Arguments filling %s / %d in the message.
        QStringList args;
        int commas = 0;
        for (int k = open + 1; k < close; ++k) {
            if (t_[k].is(TokenKind::Comma)) {
                ++commas;
                continue;
            }
            if (commas >= 3 && (t_[k].is(TokenKind::String) || t_[k].is(TokenKind::Number)))
                args.append(t_[k].text);
        }
        for (const QString &arg : args) {
            const int p = static_cast<int>(node.message.indexOf(QRegularExpression(QStringLiteral("%[sdi]"))));
            if (p < 0)
                break;
            node.message.replace(p, 2, arg);
        }
        i_ = close + 1;
        if (i_ < n() && t_[i_].isWord("WITH")) {
            i_ += 1;
            while (i_ < n() && t_[i_].is(TokenKind::Word) && !isStatementStart(t_[i_])) {
                ++i_;
                if (i_ < n() && t_[i_].is(TokenKind::Comma))
                    ++i_;
                else
                    break;
            }
        }
        return node;
    }

    Node plain()
    {
        const int start = i_;
        const bool insert = t_[start].isWord("INSERT");
        bool insertBody = false;
        ++i_;
        // A SELECT goes on the statement after UNION / ALL, and as the body of an INSERT.
        scanToEnd([&](const Token &tk) {
            if (insert && tk.isWord("VALUES"))
                insertBody = true;
            if (!isStatementStart(tk))
                return false;
            const Token &prev = t_[i_ - 1];
            const bool continues = tk.isWord("SELECT") && (isCompoundWord(prev) || prev.isWord("ALL") || (insert && !insertBody));
            if (continues && insert)
                insertBody = true;
            return !continues;
        });
        const int end = i_;
        if (i_ < n() && t_[i_].is(TokenKind::Semicolon))
            ++i_;

        // "select @x = ..." assigns a variable nobody declared: nothing to do.
        if (t_[start].isWord("SELECT") && start + 2 < end && t_[start + 1].is(TokenKind::Variable) && t_[start + 2].isOp("="))
            return Node{Node::Kind::Noop};

        Node node{Node::Kind::Statement};
        node.returnsRows = t_[start].isWord("SELECT") || t_[start].isWord("WITH");
        node.writes = !node.returnsRows;
        Rewriter rw(t_, start, end, kind_, cat_);
        node.sql = rw.sql();
        if (node.returnsRows) {
            auto spellings = std::make_shared<QHash<QString, QString>>();
            for (int k = start; k < end; ++k)
                if (t_[k].is(TokenKind::Word) || t_[k].is(TokenKind::QuotedName))
                    if (!spellings->contains(t_[k].text.toLower()))
                        spellings->insert(t_[k].text.toLower(), t_[k].text);
            // Columns the query does not name ("SELECT *") come back as the schema spells
            // them. PostgreSQL folds unquoted names, and the shop schema's are upper case.
            for (const QString &table : rw.tables())
                if (const QList<CatalogColumn> *cols = cat_.columns(table))
                    for (const CatalogColumn &c : *cols)
                        if (!spellings->contains(c.name.toLower()))
                            spellings->insert(c.name.toLower(), c.name == c.name.toLower() ? c.name.toUpper() : c.name);
            node.spellings = std::move(spellings);
        }
        return node;
    }
};

} // namespace

Program translate(const QString &batch, BackendKind backend, const Catalog &catalog)
{
    const QList<Token> tokens = tokenize(batch);
    if (tokens.isEmpty())
        throw TranslationError(QStringLiteral("The batch is empty."));
    Parser parser(tokens, backend, catalog);
    return parser.parse();
}

namespace {

void describeNodes(const std::vector<Node> &nodes, int depth, QStringList &lines)
{
    const QString indent(depth * 2, u' ');
    auto text = [](const QString &sql) { return QString(sql).replace(NowMarker, QStringLiteral("<now>")); };
    for (const Node &node : nodes) {
        switch (node.kind) {
        case Node::Kind::Statement:
            lines << indent + text(node.sql);
            break;
        case Node::Kind::If:
            lines << indent + QStringLiteral("if ") + text(node.sql);
            describeNodes({node.children.at(0)}, depth + 1, lines);
            if (node.children.size() > 1) {
                lines << indent + QStringLiteral("else");
                describeNodes({node.children.at(1)}, depth + 1, lines);
            }
            break;
        case Node::Kind::Block:
            lines << indent + QStringLiteral("begin");
            describeNodes(node.children, depth + 1, lines);
            lines << indent + QStringLiteral("end");
            break;
        case Node::Kind::RaisError:
            lines << indent + QStringLiteral("raiserror %1 %2").arg(node.severity).arg(node.message);
            break;
        case Node::Kind::Noop:
            lines << indent + QStringLiteral("nothing");
            break;
        }
    }
}

} // namespace

QString describe(const Program &program)
{
    QStringList lines;
    describeNodes(program.nodes, 0, lines);
    return lines.join(u'\n');
}

std::shared_ptr<const Program> TranslationCache::get(const QString &batch, BackendKind backend, const Catalog &catalog)
{
    const QString key = (backend == BackendKind::SQLite ? QStringLiteral("S:") : QStringLiteral("P:")) + batch;
    {
        std::lock_guard lock(mutex_);
        const auto it = entries_.constFind(key);
        if (it != entries_.constEnd())
            return *it;
    }
    auto program = std::make_shared<const Program>(translate(batch, backend, catalog));
    std::lock_guard lock(mutex_);
    if (entries_.size() >= capacity_)
        entries_.clear();
    entries_.insert(key, program);
    return program;
}

void TranslationCache::clear()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
}

int TranslationCache::size() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(entries_.size());
}

} // namespace vorel::sql
