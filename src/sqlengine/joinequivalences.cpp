// Inner joins make columns equal: "D1809 INNER JOIN D1800 ON D1809.K_ID = D1800.K_ID".
// A WHERE comparison of such a column with a literal means the same on any member of its
// class, and the databases can only use an index when the terms of an OR test one table:
// "(D1800.K_ID = 'x') or (D1809.tm = 'x')" reads every barcode, while
// "(D1809.K_ID = 'x') or (D1809.tm = 'x')" is two index look-ups. So such comparisons are
// rewritten to the class member of the table that comes first in the FROM clause. Only
// inner joins count (a LEFT JOIN's columns may be NULL), and only ON clauses without OR.

#include "sqlengine/statementrewriter.h"

namespace vorel::sql::detail {

namespace {

// Columns made equal, as classes of "qualifier.column" keys (lower case).
class EqualColumns {
public:
    void makeEqual(const QString &a, const QString &b)
    {
        if (!parent_.contains(a))
            parent_.insert(a, a);
        if (!parent_.contains(b))
            parent_.insert(b, b);
        parent_.insert(classOf(a), classOf(b));
    }
    bool contains(const QString &key) const { return parent_.contains(key); }
    bool isEmpty() const { return parent_.isEmpty(); }
    QString classOf(QString key) const
    {
        while (parent_.contains(key) && parent_.value(key) != key)
            key = parent_.value(key);
        return key;
    }
    // Class -> the member whose qualifier comes first in `order`.
    QHash<QString, QString> firstMembers(const QStringList &order) const
    {
        const auto rank = [&](const QString &key) { return order.indexOf(key.section(u'.', 0, 0)); };
        QHash<QString, QString> first;
        for (auto it = parent_.constBegin(); it != parent_.constEnd(); ++it) {
            const QString root = classOf(it.key());
            const QString current = first.value(root);
            if (current.isEmpty() || (rank(it.key()) >= 0 && (rank(current) < 0 || rank(it.key()) < rank(current))))
                first.insert(root, it.key());
        }
        return first;
    }

private:
    QHash<QString, QString> parent_;
};

bool isJoinKind(const Token &token)
{
    return token.isWord("LEFT") || token.isWord("RIGHT") || token.isWord("FULL") || token.isWord("OUTER") || token.isWord("CROSS");
}

} // namespace

void StatementRewriter::planJoinEquivalences()
{
    for (int from = begin_; from < end_; ++from)
        if (tokens_[from].isWord("FROM"))
            planJoinEquivalencesOf(from);
}

void StatementRewriter::planJoinEquivalencesOf(int from)
{
    const int fromDepth = depthAt(from);
    QStringList order; // qualifiers in FROM order, lower case
    EqualColumns equal;
    int whereStart = -1;
    int scopeEnd = end_;
    int depth = fromDepth;
    for (int i = from + 1; i < end_; ++i) {
        if (tokens_[i].is(TokenKind::LParen)) {
            ++depth;
            continue;
        }
        if (tokens_[i].is(TokenKind::RParen)) {
            if (--depth < fromDepth) {
                scopeEnd = i;
                break;
            }
            continue;
        }
        if (depth != fromDepth)
            continue;
        if (isCompoundWord(tokens_[i]) || tokens_[i].isWord("GROUP") || tokens_[i].isWord("ORDER") || tokens_[i].isWord("HAVING")
            || tokens_[i].isWord("LIMIT")) {
            scopeEnd = i;
            break;
        }
        if (tokens_[i].isWord("WHERE") && whereStart < 0)
            whereStart = i + 1;
        // A table in the FROM list: its alias, or its own name, qualifies its columns.
        if ((tokens_[i - 1].isWord("FROM") || tokens_[i - 1].isWord("JOIN") || tokens_[i - 1].is(TokenKind::Comma)) && isName(i)
            && whereStart < 0) {
            int last = i;
            while (last + 2 < end_ && tokens_[last + 1].is(TokenKind::Dot) && isName(last + 2))
                last += 2;
            QString qualifier = tokens_[last].text.toLower();
            int alias = last + 1;
            if (alias < end_ && tokens_[alias].isWord("AS"))
                ++alias;
            if (isName(alias))
                qualifier = tokens_[alias].text.toLower();
            order.append(qualifier);
        }
        if (tokens_[i].isWord("ON") && whereStart < 0) {
            // Which join is this? Only INNER JOIN or a bare JOIN.
            int join = i - 1;
            while (join > from && !tokens_[join].isWord("JOIN"))
                --join;
            const bool inner = join > from && !isJoinKind(tokens_[join - 1]);
            // The ON clause runs to the next join, WHERE or the end of the scope.
            int onEnd = i + 1;
            int onDepth = 0;
            bool hasOr = false;
            QList<std::pair<QString, QString>> pairs;
            for (; onEnd < scopeEnd; ++onEnd) {
                const Token &token = tokens_[onEnd];
                if (token.is(TokenKind::LParen))
                    ++onDepth;
                else if (token.is(TokenKind::RParen)) {
                    if (--onDepth < 0)
                        break;
                } else if (onDepth == 0
                           && (token.isWord("JOIN") || token.isWord("INNER") || token.isWord("LEFT") || token.isWord("RIGHT")
                               || token.isWord("FULL") || token.isWord("CROSS") || token.isWord("WHERE") || token.isWord("GROUP")
                               || token.isWord("ORDER") || isCompoundWord(token)))
                    break;
                if (token.isWord("OR"))
                    hasOr = true;
                if (token.isOp("=")) {
                    const TokenSpan left = operandBefore(onEnd);
                    const TokenSpan right = operandAfter(onEnd);
                    if (left.valid() && right.valid() && left.size() == 3 && right.size() == 3
                        && tokens_[left.begin + 1].is(TokenKind::Dot) && tokens_[right.begin + 1].is(TokenKind::Dot))
                        pairs.append({columnKey(left), columnKey(right)});
                }
            }
            if (inner && !hasOr)
                for (const auto &[a, b] : pairs)
                    equal.makeEqual(a, b);
            i = onEnd - 1;
        }
    }
    if (whereStart < 0 || equal.isEmpty())
        return;

    const QHash<QString, QString> first = equal.firstMembers(order);
    for (int k = whereStart; k < scopeEnd; ++k) {
        if (tokens_[k].is(TokenKind::LParen) && k + 1 < scopeEnd && tokens_[k + 1].isWord("SELECT")) {
            k = matchParen(k); // a subquery has its own FROM
            continue;
        }
        if (!tokens_[k].isOp("="))
            continue;
        const TokenSpan left = operandBefore(k);
        const TokenSpan right = operandAfter(k);
        if (!left.valid() || !right.valid())
            continue;
        const bool leftColumn = left.size() == 3 && tokens_[left.begin + 1].is(TokenKind::Dot);
        const bool rightColumn = right.size() == 3 && tokens_[right.begin + 1].is(TokenKind::Dot);
        const bool leftLiteral = left.size() == 1 && (tokens_[left.begin].is(TokenKind::String) || tokens_[left.begin].is(TokenKind::Number));
        const bool rightLiteral = right.size() == 1 && (tokens_[right.begin].is(TokenKind::String) || tokens_[right.begin].is(TokenKind::Number));
        const TokenSpan column = leftColumn && rightLiteral ? left : (rightColumn && leftLiteral ? right : TokenSpan{});
        if (!column.valid() || edits_.count(column.begin) > 0)
            continue;
        const QString key = columnKey(column);
        if (!equal.contains(key))
            continue;
        const QString target = first.value(equal.classOf(key));
        if (target.isEmpty() || target == key)
            continue;
        // Keep the batch's spelling of the column name, change only the qualifier.
        const QString qualifier = target.section(u'.', 0, 0);
        QString spelled = qualifier;
        for (int q = begin_; q < end_; ++q)
            if (isName(q) && tokens_[q].text.toLower() == qualifier) {
                spelled = tokens_[q].text;
                break;
            }
        Edit edit{EditKind::Replace, column.begin, column.end};
        edit.replacement = spelled + u'.' + tokens_[column.end - 1].text;
        addEdit(std::move(edit));
    }
}

// "qualifier.column" of a two-part column reference, lower case.
QString StatementRewriter::columnKey(TokenSpan column) const
{
    return tokens_[column.begin].text.toLower() + u'.' + tokens_[column.end - 1].text.toLower();
}

} // namespace vorel::sql::detail
