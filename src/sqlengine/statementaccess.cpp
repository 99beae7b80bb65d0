#include "sqlengine/statementaccess.h"

#include <QHash>
#include <QSet>
#include <algorithm>

#include "sqlengine/batchparser.h"
#include "sqlengine/sqlwords.h"

namespace vorel::sql {

namespace {

bool isName(const Token &t)
{
    return t.is(TokenKind::Word) || t.is(TokenKind::QuotedName);
}

// Words after a table that begin the next clause instead of naming an alias.
bool endsTableReference(const Token &t)
{
    if (!t.is(TokenKind::Word))
        return true;
    if (detail::isKeyword(t))
        return true;
    static const QSet<QString> words = {
        QStringLiteral("NATURAL"), QStringLiteral("USING"), QStringLiteral("OFFSET"), QStringLiteral("FOR"),
        QStringLiteral("RETURNING"), QStringLiteral("WINDOW"), QStringLiteral("FETCH"), QStringLiteral("LATERAL"),
        QStringLiteral("TABLESAMPLE"), QStringLiteral("INDEXED"), QStringLiteral("OUTPUT"), QStringLiteral("OPTION"),
    };
    return words.contains(t.text.toUpper());
}

// What an alias of a derived table "( SELECT ... ) B" stands for: its own columns are read
// where its select names them.
const QString DerivedTable = QStringLiteral("(derived)");

void addOnce(QStringList &list, const QString &value)
{
    if (!list.contains(value))
        list.append(value);
}

class StatementReader {
public:
    StatementReader(const QList<Token> &tokens, StatementAccess &out) : t_(tokens), out_(out) {}

    void read()
    {
        const int b = out_.begin;
        const int e = out_.end;
        QSet<QString> names;
        depth_.resize(e - b);
        int depth = 0;
        for (int i = b; i < e; ++i) {
            const Token &token = t_[i];
            if (token.is(TokenKind::RParen))
                --depth;
            depth_[i - b] = depth;
            if (token.is(TokenKind::LParen))
                ++depth;
            else if (isName(token) && !detail::isKeyword(token)) {
                const QString name = token.text.toLower();
                if (!names.contains(name)) {
                    names.insert(name);
                    out_.names.append(name);
                }
            }
        }
        findClauses(b, e);
        findTables(b, e);
        if (out_.kind == StatementAccess::Kind::Update || out_.kind == StatementAccess::Kind::Delete) {
            const QString resolved = aliases_.value(out_.target, out_.target);
            if (!resolved.isEmpty())
                out_.target = resolved;
        }
        classify(b, e);
    }

private:
    const QList<Token> &t_;
    StatementAccess &out_;
    QSet<int> tablePlaces_;         // tokens that name a table or define an alias
    QHash<QString, QString> aliases_; // lower alias or table -> lower table (or DerivedTable)

    std::vector<int> depth_;       // per token of the statement: the parentheses around it
    std::vector<int> fromAfter_;   // per token: the next FROM of its own select, or -1
    QHash<int, QStringList> fromTables_; // FROM token -> the tables of that select
    int setBegin_ = -1, setEnd_ = -1;       // UPDATE: the SET list at the statement's level
    int columnsOpen_ = -1, columnsClose_ = -1; // INSERT: the parentheses of the column list

    int depthAt(int i) const { return depth_[i - out_.begin]; }

    void findClauses(int b, int e)
    {
        if (out_.kind == StatementAccess::Kind::Update) {
            for (int k = b; k < e; ++k) {
                if (depthAt(k) != 0)
                    continue;
                if (setBegin_ < 0 && t_[k].isWord("SET"))
                    setBegin_ = k;
                else if (setBegin_ >= 0 && (t_[k].isWord("FROM") || t_[k].isWord("WHERE"))) {
                    setEnd_ = k;
                    break;
                }
            }
            if (setBegin_ >= 0 && setEnd_ < 0)
                setEnd_ = e;
        }
        if (out_.kind == StatementAccess::Kind::Insert) {
            int open = b + 1;
            while (open < e && !t_[open].is(TokenKind::LParen) && !t_[open].isWord("VALUES") && !t_[open].isWord("SELECT"))
                ++open;
            if (open < e && t_[open].is(TokenKind::LParen)) {
                columnsOpen_ = open;
                columnsClose_ = matchParen(open);
            }
        }
        // Backwards: the nearest FROM at each depth, forgotten on leaving its parentheses.
        fromAfter_.assign(e - b, -1);
        std::vector<int> nearest;
        for (int k = e - 1; k >= b; --k) {
            const int d = depthAt(k);
            if (static_cast<int>(nearest.size()) <= d + 1)
                nearest.resize(d + 2, -1);
            if (t_[k].is(TokenKind::RParen) || t_[k].is(TokenKind::LParen))
                nearest[d + 1] = -1; // parentheses stand at the depth outside them
            else if (t_[k].isWord("FROM"))
                nearest[d] = k;
            fromAfter_[k - b] = nearest[d];
        }
    }

    int matchParen(int open) const
    {
        int depth = 0;
        for (int k = open; k < out_.end; ++k) {
            if (t_[k].is(TokenKind::LParen))
                ++depth;
            else if (t_[k].is(TokenKind::RParen) && --depth == 0)
                return k;
        }
        return out_.end;
    }

    // A table reference at j: name [. name ...] [[AS] alias], or a derived table
    // "( ... ) [AS] alias". Without `allowAlias` (INSERT INTO t (columns)) only the name.
    // Returns the token after it.
    int tableReference(int j, bool allowAlias = true)
    {
        const int e = out_.end;
        if (j >= e)
            return j;
        QString table = DerivedTable;
        if (t_[j].is(TokenKind::LParen)) {
            j = matchParen(j) + 1; // its own FROM is read on its own
        } else if (isName(t_[j]) && !detail::isKeyword(t_[j])) {
            int last = j;
            int parts = 1;
            while (last + 2 < e && t_[last + 1].is(TokenKind::Dot) && isName(t_[last + 2])) {
                last += 2;
                ++parts;
            }
            if (allowAlias && last + 1 < e && t_[last + 1].is(TokenKind::LParen))
                return last + 1; // a function in the place of a table: read as a call
            table = t_[last].text.toLower();
            for (int k = j; k <= last; k += 2)
                tablePlaces_.insert(k);
            if (parts > 1)
                out_.schemaQualified = true;
            addOnce(out_.tables, table);
            nameAlias(table, table);
            j = last + 1;
        } else {
            return j;
        }
        if (!allowAlias || j >= e)
            return j;
        int alias = -1;
        if (t_[j].isWord("AS") && j + 1 < e && isName(t_[j + 1]))
            alias = j + 1;
        else if (t_[j].is(TokenKind::QuotedName) || !endsTableReference(t_[j]))
            alias = j;
        if (alias >= 0 && !(t_[alias].is(TokenKind::Word) && t_[alias].isWord("SET"))) {
            tablePlaces_.insert(alias);
            nameAlias(t_[alias].text.toLower(), table);
            j = alias + 1;
            if (j < e && t_[j].is(TokenKind::LParen))
                out_.renamesColumns = true; // "AS u (a, b)": the table's columns under other names
        }
        return j;
    }

    void findTables(int b, int e)
    {
        const StatementAccess::Kind kind = out_.kind;
        if (kind == StatementAccess::Kind::Insert) {
            int j = b + 1;
            if (j < e && t_[j].isWord("INTO"))
                ++j;
            if (j < e && isName(t_[j]))
                out_.target = t_[j].text.toLower();
            tableReference(j, false);
        } else if (kind == StatementAccess::Kind::Update) {
            if (b + 1 < e && isName(t_[b + 1]))
                out_.target = t_[b + 1].text.toLower();
            tableReference(b + 1);
        } else if (kind == StatementAccess::Kind::Delete) {
            int j = b + 1;
            if (j < e && t_[j].isWord("FROM"))
                ++j;
            if (j < e && isName(t_[j]))
                out_.target = t_[j].text.toLower();
            tableReference(j);
        }
        for (int i = b; i < e; ++i) {
            const Token &token = t_[i];
            if (token.isWord("FROM") || token.isWord("JOIN")) {
                if (token.isWord("FROM"))
                    out_.hasFrom = true;
                int j = tableReference(i + 1);
                while (token.isWord("FROM") && j < e && t_[j].is(TokenKind::Comma))
                    j = tableReference(j + 1);
            }
        }
    }

    void nameAlias(const QString &alias, const QString &table)
    {
        const auto known = aliases_.constFind(alias);
        if (known != aliases_.constEnd() && *known != table)
            out_.reusesAliases = true; // which table a qualifier means depends on where it stands
        aliases_.insert(alias, table);
    }

    QString resolve(const QString &qualifier) const
    {
        return aliases_.value(qualifier.toLower(), qualifier.toLower());
    }

    // The tables a "*" at token i stands for: those of the FROM of its own select.
    QStringList wildcardTables(int i)
    {
        const int from = fromAfter_[i - out_.begin];
        if (from < 0)
            return {};
        const auto known = fromTables_.constFind(from);
        if (known != fromTables_.constEnd())
            return *known;
        const int depth = depthAt(from);
        QStringList tables;
        for (int k = from; k < out_.end && depthAt(k) >= depth; ++k) {
            if (depthAt(k) == depth && tablePlaces_.contains(k)) {
                const QString name = t_[k].text.toLower();
                if (out_.tables.contains(name))
                    addOnce(tables, name);
            }
        }
        fromTables_.insert(from, tables); // none: a derived table, whose own select names what it reads
        return tables;
    }

    bool inInsertColumnList(int i) const { return i > columnsOpen_ && i < columnsClose_; }

    // Inside the SET list of an UPDATE, at its own level.
    bool inSetList(int i) const { return i > setBegin_ && i < setEnd_ && depthAt(i) == 0; }

    void column(int first, int nameAt, const QString &table)
    {
        ColumnUse use;
        use.table = table;
        use.column = t_[nameAt].text.toLower();
        use.at = nameAt;
        const int e = out_.end;
        const bool before = first > out_.begin
            && (t_[first - 1].isWord("SET") || t_[first - 1].is(TokenKind::Comma) || t_[first - 1].is(TokenKind::LParen)
                || t_[first - 1].isWord("WHERE") || t_[first - 1].isWord("AND") || t_[first - 1].isWord("OR")
                || t_[first - 1].isWord("ON"));
        const bool equals = nameAt + 1 < e && t_[nameAt + 1].isOp("=");
        const bool literalNext = equals && nameAt + 2 < e
            && (t_[nameAt + 2].is(TokenKind::String) || t_[nameAt + 2].is(TokenKind::Number));
        const bool literalEnds = nameAt + 3 >= e || t_[nameAt + 3].is(TokenKind::RParen)
            || t_[nameAt + 3].is(TokenKind::Comma) || t_[nameAt + 3].isWord("AND") || t_[nameAt + 3].isWord("OR")
            || t_[nameAt + 3].isWord("WHERE") || t_[nameAt + 3].isWord("ORDER") || t_[nameAt + 3].isWord("GROUP");
        if (inInsertColumnList(first)) {
            use.kind = ColumnUse::Kind::Inserted;
        } else if (equals && before && inSetList(first)) {
            use.kind = ColumnUse::Kind::Assigned;
            use.literal = literalNext && literalEnds;
        } else if (before && literalNext && literalEnds && !t_[first - 1].is(TokenKind::Comma)) {
            use.kind = ColumnUse::Kind::Compared;
            use.literal = true;
        }
        if (use.literal)
            use.value = t_[nameAt + 2].text;
        out_.columns.push_back(use);
    }

    void allColumns(int at, const QStringList &tables)
    {
        for (const QString &table : tables)
            out_.columns.push_back(ColumnUse{ColumnUse::Kind::AllColumns, table, QString(), at});
    }

    void classify(int b, int e)
    {
        const QString onlyTable = out_.tables.size() == 1 ? out_.tables.first() : QString();
        for (int i = b; i < e; ++i) {
            const Token &token = t_[i];
            if (token.isWord("OR"))
                out_.hasOr = true;
            if (token.isWord("INTO") && !(out_.kind == StatementAccess::Kind::Insert && i == b + 1))
                out_.selectInto = true;
            if (token.isOp("*")) {
                const Token *previous = i > b ? &t_[i - 1] : nullptr;
                const bool wildcard = previous
                    && (previous->isWord("SELECT") || previous->isWord("DISTINCT") || previous->isWord("ALL")
                        || previous->is(TokenKind::Comma)
                        || (previous->is(TokenKind::Number) && i - 2 >= b && t_[i - 2].isWord("TOP")));
                if (wildcard)
                    allColumns(i, wildcardTables(i));
                continue;
            }
            if (!isName(token) || tablePlaces_.contains(i))
                continue;
            if (token.is(TokenKind::Word) && detail::isKeyword(token))
                continue;
            if (i + 1 < e && t_[i + 1].is(TokenKind::LParen)) {
                addOnce(out_.functions, token.text.toLower());
                continue;
            }
            if (i + 2 < e && t_[i + 1].is(TokenKind::Dot)) {
                // qualifier.column, qualifier.*, schema.qualifier.column
                int q = i;
                while (q + 2 < e && t_[q + 1].is(TokenKind::Dot) && isName(t_[q + 2]) && q + 3 < e
                       && t_[q + 3].is(TokenKind::Dot))
                    q += 2;
                if (q != i)
                    out_.schemaQualified = true;
                const QString table = resolve(t_[q].text);
                const Token &after = t_[q + 2];
                if (after.isOp("*"))
                    allColumns(q + 2, {table});
                else if (isName(after)) {
                    if (q + 3 < e && t_[q + 3].is(TokenKind::LParen))
                        addOnce(out_.functions, after.text.toLower()); // schema.function(...)
                    else
                        column(i, q + 2, table);
                }
                i = q + 2;
                continue;
            }
            const QString lower = token.text.toLower();
            if (aliases_.contains(lower) && aliases_.value(lower) != DerivedTable) {
                // The table's row as one value (PostgreSQL): every column of it.
                allColumns(i, {aliases_.value(lower)});
                continue;
            }
            column(i, i, onlyTable);
        }
    }
};

} // namespace

BatchAccess::BatchAccess(const QString &batch) : tokens_(tokenize(batch))
{
    for (const detail::StatementSpan &span : detail::splitBatch(tokens_)) {
        StatementAccess s;
        s.begin = span.begin;
        s.end = span.end;
        if (span.kind == detail::StatementSpan::Kind::Condition) {
            s.kind = StatementAccess::Kind::Condition;
            s.verb = QStringLiteral("IF");
        } else {
            s.verb = tokens_[span.begin].text.toUpper();
            if (s.verb == QLatin1String("SELECT"))
                s.kind = StatementAccess::Kind::Select;
            else if (s.verb == QLatin1String("INSERT"))
                s.kind = StatementAccess::Kind::Insert;
            else if (s.verb == QLatin1String("UPDATE"))
                s.kind = StatementAccess::Kind::Update;
            else if (s.verb == QLatin1String("DELETE"))
                s.kind = StatementAccess::Kind::Delete;
        }
        StatementReader(tokens_, s).read();
        statements_.push_back(std::move(s));
    }
}

QString BatchAccess::normalized(const StatementAccess &statement) const
{
    QStringList parts;
    for (int i = statement.begin; i < statement.end; ++i) {
        const Token &t = tokens_[i];
        if (t.is(TokenKind::String))
            parts << detail::quoteString(t.text);
        else
            parts << t.text.toUpper();
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace vorel::sql
