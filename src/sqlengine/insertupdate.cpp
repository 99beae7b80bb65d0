// Values stored into columns: INSERT ... VALUES and UPDATE ... SET [... FROM ...]. A quoted
// value takes the type of the column it goes into, and "SET t.col =" loses its qualifier.

#include "sqlengine/statementrewriter.h"

namespace vorel::sql::detail {

void StatementRewriter::planInsertValues()
{
    if (!tokens_[begin_].isWord("INSERT"))
        return;
    int j = begin_ + 1;
    if (j < end_ && tokens_[j].isWord("INTO"))
        ++j;
    const QString table = tableNameAt(j);
    if (table.isEmpty())
        return;
    // The columns named, or all of the table's in order.
    QStringList columns;
    if (j < end_ && tokens_[j].is(TokenKind::LParen)) {
        const int close = matchParen(j);
        for (int i = j + 1; i < close; ++i)
            if (isName(i))
                columns.append(tokens_[i].text);
        j = close + 1;
    } else if (const auto *tableColumns = catalog_.columns(table)) {
        for (const auto &column : *tableColumns)
            columns.append(column.name);
    }
    if (j >= end_ || !tokens_[j].isWord("VALUES"))
        return;
    ++j;
    // Each row "( value, value, ... )", rows separated by commas.
    while (j < end_ && tokens_[j].is(TokenKind::LParen)) {
        const int close = matchParen(j);
        int column = 0;
        int valueStart = j + 1;
        for (int i = j + 1; i <= close; ++i) {
            if (tokens_[i].is(TokenKind::LParen)) {
                i = matchParen(i);
                continue;
            }
            if (tokens_[i].is(TokenKind::Comma) || i == close) {
                if (column < columns.size())
                    planStoredLiteral({valueStart, i}, catalog_.columnType(table, columns[column]));
                ++column;
                valueStart = i + 1;
            }
        }
        j = close + 1;
        if (j < end_ && tokens_[j].is(TokenKind::Comma))
            ++j;
    }
}

QString StatementRewriter::tableNameAt(int &j) const
{
    if (!isName(j))
        return {};
    QString table = tokens_[j].text;
    ++j;
    while (j + 1 < end_ && tokens_[j].is(TokenKind::Dot) && isName(j + 1)) {
        table = tokens_[j + 1].text;
        j += 2;
    }
    return table;
}

void StatementRewriter::planUpdateSet()
{
    if (!tokens_[begin_].isWord("UPDATE"))
        return;
    int j = begin_ + 1;
    const QString table = tableNameAt(j);
    if (table.isEmpty())
        return;
    while (j < end_ && !tokens_[j].isWord("SET"))
        ++j;
    ++j;
    // The items run to FROM or WHERE at the top level, separated by commas.
    int itemStart = j;
    int depth = 0;
    for (int i = j; i <= end_; ++i) {
        const bool atEnd = i == end_ || (depth == 0 && (tokens_[i].isWord("FROM") || tokens_[i].isWord("WHERE")));
        if (i < end_ && tokens_[i].is(TokenKind::LParen))
            ++depth;
        else if (i < end_ && tokens_[i].is(TokenKind::RParen))
            --depth;
        if (atEnd || (depth == 0 && tokens_[i].is(TokenKind::Comma))) {
            // item: [qualifier .] column = value
            int eq = itemStart;
            while (eq < i && !tokens_[eq].isOp("="))
                ++eq;
            if (eq < i && eq - itemStart == 3 && tokens_[itemStart + 1].is(TokenKind::Dot)) {
                // Neither backend takes "SET t.col =": drop the qualifier.
                addEdit(Edit{EditKind::DropTokens, itemStart, itemStart + 2});
            }
            if (eq < i && eq > itemStart)
                planStoredLiteral({eq + 1, i}, catalog_.columnType(table, tokens_[eq - 1].text));
            itemStart = i + 1;
            if (atEnd)
                break;
        }
    }
}

// Whether token i stands in the SET list of an UPDATE (outside parentheses).
bool StatementRewriter::inUpdateSetList(int i) const
{
    if (!tokens_[begin_].isWord("UPDATE"))
        return false;
    int depth = 0;
    bool inSet = false;
    for (int k = begin_; k < i; ++k) {
        if (tokens_[k].is(TokenKind::LParen))
            ++depth;
        else if (tokens_[k].is(TokenKind::RParen))
            --depth;
        else if (depth == 0 && tokens_[k].isWord("SET"))
            inSet = true;
        else if (depth == 0 && (tokens_[k].isWord("FROM") || tokens_[k].isWord("WHERE")))
            inSet = false;
    }
    return inSet && depth == 0;
}

} // namespace vorel::sql::detail
