// The price refresh of a slip joins its lines to a grouped select over the whole catalogue:
//   UPDATE D712A SET DJ = B.DJ ... FROM (SELECT D1801.WL_ID, D1800.DJ FROM D1800 INNER JOIN
//   D1801 ON ... GROUP BY D1801.WL_ID, D1800.DJ) B WHERE D712A.WL_ID = B.WL_ID and d712a.noid='x'
// Neither database carries the filter on the slip into the grouping, so every slip groups
// the catalogue. When the derived table is joined by equality on one of its GROUP BY
// columns, the groups that can meet a target row are those whose key is among the target
// rows that pass the filters on the target alone, so the derived table is limited to them:
//   ... FROM D1800 INNER JOIN D1801 ON ... WHERE D1801.WL_ID IN (SELECT D712A.WL_ID FROM D712A
//   WHERE d712a.noid='x') GROUP BY ...
// Groups are dropped whole (the key is a grouping column), so every row that remains is the
// row it was, and a target row meets the same rows as before.

#include "sqlengine/statementrewriter.h"

namespace vorel::sql::detail {

std::vector<TokenSpan> StatementRewriter::splitAtDepth(int begin, int end,
                                                       const std::function<bool(const Token &)> &separator) const
{
    std::vector<TokenSpan> parts;
    int depth = 0;
    int start = begin;
    for (int i = begin; i < end; ++i) {
        if (tokens_[i].is(TokenKind::LParen))
            ++depth;
        else if (tokens_[i].is(TokenKind::RParen))
            --depth;
        else if (depth == 0 && separator(tokens_[i])) {
            parts.push_back({start, i});
            start = i + 1;
        }
    }
    parts.push_back({start, end});
    return parts;
}

bool StatementRewriter::sameTokens(TokenSpan a, TokenSpan b) const
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        const Token &x = tokens_[a.begin + i];
        const Token &y = tokens_[b.begin + i];
        if (x.kind != y.kind || x.text.compare(y.text, Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

void StatementRewriter::planPushDown()
{
    if (!tokens_[begin_].isWord("UPDATE"))
        return;
    int j = begin_ + 1;
    const TokenSpan table{j, j};
    const QString target = tableNameAt(j).toLower();
    if (target.isEmpty())
        return;
    const TokenSpan targetSpan{table.begin, j};

    // The statement's own FROM and WHERE.
    int from = -1;
    int where = -1;
    int depth = 0;
    for (int i = j; i < end_; ++i) {
        if (tokens_[i].is(TokenKind::LParen))
            ++depth;
        else if (tokens_[i].is(TokenKind::RParen))
            --depth;
        else if (depth == 0 && tokens_[i].isWord("FROM") && from < 0)
            from = i;
        else if (depth == 0 && tokens_[i].isWord("WHERE") && where < 0)
            where = i;
    }
    // FROM holds one derived table and nothing else.
    if (from < 0 || where < from || !tokens_[from + 1].is(TokenKind::LParen))
        return;
    const int open = from + 1;
    const int close = matchParen(open);
    int k = close + 1;
    if (k < end_ && tokens_[k].isWord("AS"))
        ++k;
    if (!isName(k) || k + 1 != where || !tokens_[open + 1].isWord("SELECT"))
        return;
    const QString derived = tokens_[k].text.toLower();

    // The derived table: SELECT list FROM ... [WHERE ...] GROUP BY keys [HAVING ...].
    int innerFrom = -1;
    int innerWhere = -1;
    int group = -1;
    int groupEnd = close;
    depth = 0;
    for (int i = open + 1; i < close; ++i) {
        const Token &token = tokens_[i];
        if (token.is(TokenKind::LParen)) {
            ++depth;
            continue;
        }
        if (token.is(TokenKind::RParen)) {
            --depth;
            continue;
        }
        if (depth != 0)
            continue;
        if (isCompoundWord(token) || token.isWord("TOP") || token.isWord("ORDER") || token.isWord("LIMIT"))
            return;
        if (token.isWord("FROM") && innerFrom < 0)
            innerFrom = i;
        else if (token.isWord("WHERE") && innerWhere < 0)
            innerWhere = i;
        else if (token.isWord("GROUP") && i + 1 < close && tokens_[i + 1].isWord("BY"))
            group = i;
        else if (token.isWord("HAVING") && group >= 0)
            groupEnd = i;
    }
    if (innerFrom < 0 || group < 0 || (innerWhere >= 0 && innerWhere > group))
        return;
    const std::vector<TokenSpan> keys =
        splitAtDepth(group + 2, groupEnd, [](const Token &t) { return t.is(TokenKind::Comma); });
    const std::vector<TokenSpan> items =
        splitAtDepth(open + 2, innerFrom, [](const Token &t) { return t.is(TokenKind::Comma); });

    // The statement's filters: plain conjuncts (no OR, no BETWEEN ... AND at the top).
    for (int i = where + 1; i < end_; ++i)
        if (depthAt(i) == 0 && (tokens_[i].isWord("OR") || tokens_[i].isWord("BETWEEN")))
            return;
    const std::vector<TokenSpan> conjuncts = splitAtDepth(where + 1, end_, [](const Token &t) { return t.isWord("AND"); });

    const auto qualifiedColumn = [&](TokenSpan span) {
        return span.size() == 3 && isName(span.begin) && tokens_[span.begin + 1].is(TokenKind::Dot) && isName(span.begin + 2);
    };
    // Whether a conjunct reads the target table only, every column qualified by its name.
    const auto onTargetOnly = [&](TokenSpan c) {
        bool column = false;
        for (int i = c.begin; i < c.end; ++i) {
            const Token &t = tokens_[i];
            if (t.isWord("SELECT") || t.is(TokenKind::Variable))
                return false;
            if (!isName(i))
                continue;
            if (i + 1 < c.end && tokens_[i + 1].is(TokenKind::Dot)) {
                if (t.text.toLower() != target)
                    return false;
                column = true;
                ++i; // the dot; the column follows
                ++i;
                continue;
            }
            if (i + 1 < c.end && tokens_[i + 1].is(TokenKind::LParen))
                continue; // a function
            return false; // an unqualified column could be the derived table's
        }
        return column;
    };

    Edit edit{EditKind::PushDown, group, group + 1};
    edit.table = targetSpan;
    for (const TokenSpan &c : conjuncts) {
        if (!c.valid())
            return;
        if (!edit.key.valid() && c.size() == 7 && tokens_[c.begin + 3].isOp("=")) {
            TokenSpan a{c.begin, c.begin + 3};
            TokenSpan b{c.begin + 4, c.end};
            if (qualifiedColumn(a) && qualifiedColumn(b)) {
                if (tokens_[a.begin].text.toLower() == derived)
                    std::swap(a, b);
                if (tokens_[a.begin].text.toLower() == target && tokens_[b.begin].text.toLower() == derived) {
                    // The select item the derived column names, which must be a grouping key.
                    const QString name = tokens_[b.begin + 2].text.toLower();
                    for (const TokenSpan &item : items) {
                        TokenSpan expression = item;
                        QString output;
                        if (item.size() >= 2 && isName(item.end - 1) && !tokens_[item.end - 2].is(TokenKind::Dot)) {
                            output = tokens_[item.end - 1].text.toLower();
                            expression.end = tokens_[item.end - 2].isWord("AS") ? item.end - 2 : item.end - 1;
                        } else if (isName(item.end - 1)) {
                            output = tokens_[item.end - 1].text.toLower();
                        }
                        if (output != name)
                            continue;
                        for (const TokenSpan &key : keys) {
                            if (!sameTokens(key, expression))
                                continue;
                            // The same comparison as the join makes: columns of one type.
                            const SqlType keyType = typeOf(key).type;
                            if (keyType != SqlType::Unknown && keyType == typeOf(a).type) {
                                edit.key = key;
                                edit.joined = a;
                            }
                        }
                        break;
                    }
                    if (edit.key.valid())
                        continue;
                }
            }
        }
        if (onTargetOnly(c))
            edit.filters.push_back(c);
    }
    if (!edit.key.valid() || edit.filters.empty())
        return;
    if (innerWhere >= 0) {
        // The derived table's own condition goes in parentheses before the new one.
        Edit opening{EditKind::Replace, innerWhere, innerWhere + 1};
        opening.replacement = tokens_[innerWhere].text + QStringLiteral(" (");
        addEdit(std::move(opening));
        edit.afterWhere = true;
    }
    addEdit(std::move(edit));
}

QString StatementRewriter::renderPushDown(const Edit &edit)
{
    QString filters;
    for (const TokenSpan &f : edit.filters)
        filters += (filters.isEmpty() ? QString() : QStringLiteral(" AND ")) + render(f.begin, f.end, &edit);
    return (edit.afterWhere ? QStringLiteral(") AND ") : QStringLiteral("WHERE "))
           + QStringLiteral("%1 IN (SELECT %2 FROM %3 WHERE %4) ")
                 .arg(render(edit.key.begin, edit.key.end, &edit), render(edit.joined.begin, edit.joined.end, &edit),
                      render(edit.table.begin, edit.table.end, &edit), filters)
           + tokens_[edit.begin].text;
}

} // namespace vorel::sql::detail
