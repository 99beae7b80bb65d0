#include "sqlengine/statementrewriter.h"

namespace vorel::sql::detail {

StatementRewriter::StatementRewriter(const QList<Token> &tokens, int begin, int end, BackendKind backend,
                                     const Catalog &catalog)
    : tokens_(tokens), begin_(begin), end_(end), backend_(backend), catalog_(catalog)
{
    // The order counts: of two edits of the same width at one token, the first planned wins.
    buildScope();
    planTopAsLimit();
    planInsertValues();
    planUpdateSet();
    planOperators();
    planJoinEquivalences();
    planPushDown();
}

QString StatementRewriter::sql()
{
    return render(begin_, end_, nullptr);
}

int StatementRewriter::matchParen(int open) const
{
    int depth = 0;
    for (int i = open; i < end_; ++i) {
        if (tokens_[i].is(TokenKind::LParen))
            ++depth;
        else if (tokens_[i].is(TokenKind::RParen) && --depth == 0)
            return i;
    }
    throw TranslationError(QStringLiteral("Incorrect syntax: missing ')'"));
}

int StatementRewriter::matchParenBack(int close) const
{
    int depth = 0;
    for (int i = close; i >= begin_; --i) {
        if (tokens_[i].is(TokenKind::RParen))
            ++depth;
        else if (tokens_[i].is(TokenKind::LParen) && --depth == 0)
            return i;
    }
    throw TranslationError(QStringLiteral("Incorrect syntax near ')'"));
}

bool StatementRewriter::isName(int i) const
{
    return i >= begin_ && i < end_
           && (tokens_[i].is(TokenKind::QuotedName) || (tokens_[i].is(TokenKind::Word) && !isKeyword(tokens_[i])));
}

// How many parentheses are open before token i.
int StatementRewriter::depthAt(int i) const
{
    int depth = 0;
    for (int k = begin_; k < i; ++k) {
        if (tokens_[k].is(TokenKind::LParen))
            ++depth;
        else if (tokens_[k].is(TokenKind::RParen))
            --depth;
    }
    return depth;
}

// Which tables the statement names, under which aliases: after FROM (a list), JOIN, UPDATE
// and INTO. A derived table "(SELECT ...) AS x" makes an alias without a table.
void StatementRewriter::buildScope()
{
    for (int i = begin_; i < end_; ++i) {
        const Token &keyword = tokens_[i];
        if (!(keyword.isWord("FROM") || keyword.isWord("JOIN") || keyword.isWord("UPDATE") || keyword.isWord("INTO")))
            continue;
        int j = i + 1;
        while (j < end_) {
            if (tokens_[j].is(TokenKind::LParen)) {
                j = matchParen(j) + 1;
                if (j < end_ && tokens_[j].isWord("AS"))
                    ++j;
                if (isName(j)) {
                    aliases_.insert(tokens_[j].text.toLower(), QString());
                    ++j;
                }
            } else if (isName(j)) {
                QString table = tokens_[j].text;
                ++j;
                while (j + 1 < end_ && tokens_[j].is(TokenKind::Dot) && isName(j + 1)) {
                    table = tokens_[j + 1].text;
                    j += 2;
                }
                const QString lower = table.toLower();
                if (!tables_.contains(lower))
                    tables_.append(lower);
                aliases_.insert(lower, lower);
                if (j < end_ && tokens_[j].isWord("AS"))
                    ++j;
                if (isName(j) && !keyword.isWord("INTO")) {
                    if (!aliases_.contains(tokens_[j].text.toLower()))
                        aliases_.insert(tokens_[j].text.toLower(), lower);
                    ++j;
                }
            } else {
                break;
            }
            // A FROM list may go on after a comma.
            if (keyword.isWord("FROM") && j < end_ && tokens_[j].is(TokenKind::Comma))
                ++j;
            else
                break;
        }
    }
}

// The catalogue type of a column; without a qualifier, the first table in scope that has it.
SqlType StatementRewriter::columnType(const QString &qualifier, const QString &column) const
{
    if (!qualifier.isEmpty()) {
        const auto it = aliases_.constFind(qualifier.toLower());
        if (it == aliases_.constEnd() || it->isEmpty())
            return SqlType::Unknown;
        return catalog_.columnType(*it, column);
    }
    for (const QString &table : tables_) {
        const SqlType type = catalog_.columnType(table, column);
        if (type != SqlType::Unknown)
            return type;
    }
    return SqlType::Unknown;
}

} // namespace vorel::sql::detail
