// Dates: getdate() is the time of the run (the engine fills it in), a date plus or minus a
// number moves it by days, and on SQLite a date literal stored into a date column is
// written in the one full form.

#include "sqlengine/dialect.h"
#include "sqlengine/parameters.h"
#include "sqlengine/statementrewriter.h"

#include "core/clock.h"

namespace vorel::sql::detail {

// "date + days", "date - days" and "days + date". True when planned.
bool StatementRewriter::planDateArithmetic(TokenSpan left, const QString &op, TokenSpan right,
                                           const OperandType &leftType, const OperandType &rightType)
{
    if (op != QLatin1String("+") && op != QLatin1String("-"))
        return false;
    if (leftType.type == SqlType::DateTime && !leftType.stringLiteral && rightType.numericLike()) {
        Edit edit{EditKind::DateAdd, left.begin, right.end};
        edit.date = left;
        edit.days = right;
        edit.minus = op == QLatin1String("-");
        addEdit(std::move(edit));
        return true;
    }
    if (op == QLatin1String("+") && rightType.type == SqlType::DateTime && !rightType.stringLiteral && leftType.numericLike()) {
        Edit edit{EditKind::DateAdd, left.begin, right.end};
        edit.date = right;
        edit.days = left;
        addEdit(std::move(edit));
        return true;
    }
    return false;
}

// A quoted date going into a date column, on a backend that keeps dates as text:
// "YYYY-MM-DD hh:mm:ss", so that text comparisons of dates keep working.
void StatementRewriter::planStoredDate(TokenSpan value)
{
    if (tokens_[value.begin].slot >= 0) {
        Edit edit{EditKind::Replace, value.begin, value.end};
        edit.replacement = literalMarker(tokens_[value.begin].slot, Param::Source::DateOf);
        addEdit(std::move(edit));
        return;
    }
    const QDateTime when = parseDateTime(tokens_[value.begin].text);
    if (!when.isValid())
        return;
    Edit edit{EditKind::Replace, value.begin, value.end};
    edit.replacement = quoteString(formatDateTime(when));
    addEdit(std::move(edit));
}

QString StatementRewriter::renderDateAdd(const Edit &edit)
{
    const QString date = render(edit.date.begin, edit.date.end, &edit);
    const QString days = render(edit.days.begin, edit.days.end, &edit);
    return dateAddSql(backend_, date, days, edit.minus);
}

// getdate() at token i, within tokens before `end`.
bool StatementRewriter::isNowCall(int i, int end) const
{
    return tokens_[i].is(TokenKind::Word) && i + 2 < end && tokens_[i + 1].is(TokenKind::LParen)
           && tokens_[i].text.toUpper() == QLatin1String("GETDATE") && tokens_[i + 2].is(TokenKind::RParen);
}

} // namespace vorel::sql::detail
