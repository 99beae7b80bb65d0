// SELECT TOP n: neither backend has TOP, both have LIMIT at the end of the select. A select
// that is one part of a UNION, EXCEPT or INTERSECT is limited in a subquery of its own.

#include "sqlengine/statementrewriter.h"

namespace vorel::sql::detail {

void StatementRewriter::planTopAsLimit()
{
    for (int select = begin_; select < end_; ++select) {
        if (!tokens_[select].isWord("SELECT"))
            continue;
        int j = select + 1;
        bool distinct = false;
        if (j < end_ && (tokens_[j].isWord("DISTINCT") || tokens_[j].isWord("ALL"))) {
            distinct = tokens_[j].isWord("DISTINCT");
            ++j;
        }
        if (j >= end_ || !tokens_[j].isWord("TOP"))
            continue;
        ++j;
        QString limit;
        if (j < end_ && tokens_[j].is(TokenKind::Number)) {
            limit = tokens_[j].text;
            ++j;
        } else if (j + 2 < end_ && tokens_[j].is(TokenKind::LParen) && tokens_[j + 1].is(TokenKind::Number)
                   && tokens_[j + 2].is(TokenKind::RParen)) {
            limit = tokens_[j + 1].text;
            j += 3;
        } else {
            throw TranslationError(QStringLiteral("Incorrect syntax near 'TOP'"));
        }
        if (j < end_ && (tokens_[j].isWord("PERCENT") || tokens_[j].isWord("WITH")))
            throw TranslationError(QStringLiteral("TOP ... %1 is not supported").arg(tokens_[j].text));
        // The select runs to the end of its group or to a UNION at its own level.
        int selectEnd = j;
        int depth = 0;
        bool compoundAfter = false;
        for (; selectEnd < end_; ++selectEnd) {
            if (tokens_[selectEnd].is(TokenKind::LParen))
                ++depth;
            else if (tokens_[selectEnd].is(TokenKind::RParen)) {
                if (--depth < 0)
                    break;
            } else if (depth == 0 && isCompoundWord(tokens_[selectEnd])) {
                compoundAfter = true;
                break;
            }
        }
        const bool compoundBefore =
            select - 1 >= begin_
            && (isCompoundWord(tokens_[select - 1])
                || (tokens_[select - 1].isWord("ALL") && select - 2 >= begin_ && isCompoundWord(tokens_[select - 2])));
        Edit edit{EditKind::TopLimit, select, selectEnd};
        edit.limit = limit;
        edit.distinct = distinct;
        edit.bodyStart = j;
        edit.wrapInSubquery = compoundAfter || compoundBefore;
        addEdit(std::move(edit));
    }
}

QString StatementRewriter::renderTopLimit(const Edit &edit)
{
    QString body = QStringLiteral("SELECT");
    if (edit.distinct)
        body += QStringLiteral(" DISTINCT");
    append(body, render(edit.bodyStart, edit.end, &edit));
    body += QStringLiteral(" LIMIT ") + edit.limit;
    if (edit.wrapInSubquery)
        return QStringLiteral("SELECT * FROM (%1) AS vorel_top%2").arg(body).arg(++subqueryCounter_);
    return body;
}

} // namespace vorel::sql::detail
