// T-SQL converts between text and numbers where they meet; the backends need it spelt out.
// Also here: '+' between two texts, which both backends write '||'.

#include "sqlengine/dialect.h"
#include "sqlengine/parameters.h"
#include "sqlengine/statementrewriter.h"

namespace vorel::sql::detail {

void StatementRewriter::planOperators()
{
    for (int k = begin_; k < end_; ++k) {
        const Token &opToken = tokens_[k];
        if (opToken.kind != TokenKind::Operator)
            continue;
        const QString op = opToken.text;
        const bool arithmetic = op == QLatin1String("+") || op == QLatin1String("-") || op == QLatin1String("*") || op == QLatin1String("/");
        const bool comparison = op == QLatin1String("=") || op == QLatin1String("<>") || op == QLatin1String("!=") || op == QLatin1String("<")
                                || op == QLatin1String(">") || op == QLatin1String("<=") || op == QLatin1String(">=");
        if (!arithmetic && !comparison)
            continue;
        const TokenSpan left = operandBefore(k);
        const TokenSpan right = operandAfter(k);
        if (!left.valid() || !right.valid())
            continue;
        // "SET col = value" items are typed by planUpdateSet.
        if (op == QLatin1String("=") && inUpdateSetList(k))
            continue;
        const OperandType leftType = typeOf(left);
        const OperandType rightType = typeOf(right);
        if (planDateArithmetic(left, op, right, leftType, rightType))
            continue;
        if (op == QLatin1String("+") && leftType.type == SqlType::Text && rightType.type == SqlType::Text) {
            addEdit(Edit{EditKind::Concat, k, k + 1});
            continue;
        }
        if (arithmetic) {
            // Text used as a number.
            if (castsTextInArithmetic(backend_)) {
                if (leftType.textColumn() && rightType.numericLike())
                    planCast(left, rightType);
                else if (rightType.textColumn() && leftType.numericLike())
                    planCast(right, leftType);
            }
            continue;
        }
        // Comparisons: a text column against a number is compared as a number, a quoted
        // value against a number column is that number.
        if (leftType.textColumn() && rightType.numericLike() && !rightType.stringLiteral)
            planCast(left, rightType);
        else if (rightType.textColumn() && leftType.numericLike() && !leftType.stringLiteral)
            planCast(right, leftType);
        else if (isNumeric(leftType.type) && !leftType.stringLiteral && rightType.stringLiteral)
            planNumberLiteral(right, leftType.type);
        else if (isNumeric(rightType.type) && !rightType.stringLiteral && leftType.stringLiteral)
            planNumberLiteral(left, rightType.type);
    }
}

void StatementRewriter::planCast(TokenSpan operand, const OperandType &other)
{
    Edit edit{EditKind::CastNumeric, operand.begin, operand.end};
    edit.castType = numericCastType(backend_, other.type);
    addEdit(std::move(edit));
}

// A quoted value in a numeric place: the number it stands for.
void StatementRewriter::planNumberLiteral(TokenSpan value, SqlType target)
{
    if (!value.valid() || value.size() != 1 || !tokens_[value.begin].is(TokenKind::String) || !isNumeric(target))
        return;
    Edit edit{EditKind::Replace, value.begin, value.end};
    const Token &literal = tokens_[value.begin];
    edit.replacement = literal.slot >= 0 ? literalMarker(literal.slot, Param::Source::NumberOf, target)
                                         : numberFromString(literal.text, target);
    addEdit(std::move(edit));
}

// A quoted value stored into a column of type `target`: numbers lose their quotes and
// blanks, dates take the backend's stored form.
void StatementRewriter::planStoredLiteral(TokenSpan value, SqlType target)
{
    if (!value.valid() || value.size() != 1 || !tokens_[value.begin].is(TokenKind::String))
        return;
    if (target == SqlType::DateTime && storesDateTimeAsText(backend_)) {
        planStoredDate(value);
        return;
    }
    planNumberLiteral(value, target);
}

} // namespace vorel::sql::detail
