// What stands on either side of an operator, and what type it has: literals, columns
// (typed by the catalogue through the statement's aliases), calls and groups.

#include "sqlengine/statementrewriter.h"

namespace vorel::sql::detail {

// The operand that ends just before token `op`: a literal (a signed number too), a column
// reference, a call or a group. Invalid when there is none.
TokenSpan StatementRewriter::operandBefore(int op) const
{
    const int last = op - 1;
    if (last < begin_)
        return {};
    if (tokens_[last].is(TokenKind::RParen)) {
        const int open = matchParenBack(last);
        if (open - 1 >= begin_ && tokens_[open - 1].is(TokenKind::Word) && !isKeyword(tokens_[open - 1]))
            return {open - 1, op};
        return {open, op};
    }
    if (tokens_[last].is(TokenKind::String) || tokens_[last].is(TokenKind::Number)) {
        // A signed number: "- 5" after an operator, comma or parenthesis.
        if (tokens_[last].is(TokenKind::Number) && last - 1 >= begin_
            && (tokens_[last - 1].isOp("-") || tokens_[last - 1].isOp("+"))) {
            const int beforeSign = last - 2;
            if (beforeSign < begin_ || tokens_[beforeSign].is(TokenKind::Operator) || tokens_[beforeSign].is(TokenKind::LParen)
                || tokens_[beforeSign].is(TokenKind::Comma) || isKeyword(tokens_[beforeSign]))
                return {last - 1, op};
        }
        return {last, op};
    }
    if (isName(last) || tokens_[last].isWord("NULL")) {
        int first = last;
        while (first - 2 >= begin_ && tokens_[first - 1].is(TokenKind::Dot) && isName(first - 2))
            first -= 2;
        return {first, op};
    }
    return {};
}

// The operand that starts just after token `op`.
TokenSpan StatementRewriter::operandAfter(int op) const
{
    const int first = op + 1;
    if (first >= end_)
        return {};
    if ((tokens_[first].isOp("-") || tokens_[first].isOp("+")) && first + 1 < end_ && tokens_[first + 1].is(TokenKind::Number))
        return {first, first + 2};
    if (tokens_[first].is(TokenKind::LParen))
        return {first, matchParen(first) + 1};
    if (tokens_[first].is(TokenKind::String) || tokens_[first].is(TokenKind::Number) || tokens_[first].isWord("NULL"))
        return {first, first + 1};
    if (isName(first)) {
        if (first + 1 < end_ && tokens_[first + 1].is(TokenKind::LParen) && tokens_[first].is(TokenKind::Word))
            return {first, matchParen(first + 1) + 1};
        int after = first + 1;
        while (after + 1 < end_ && tokens_[after].is(TokenKind::Dot) && isName(after + 1))
            after += 2;
        return {first, after};
    }
    return {};
}

// The type of the first argument of a call or of the content of a group, when it is one
// operand; a date moved by days inside the group is still a date.
OperandType StatementRewriter::innerOperandType(int open, int close) const
{
    const TokenSpan first = operandAfter(open);
    if (first.valid() && first.end == close)
        return typeOf(first);
    if (first.valid() && first.end < close && tokens_[first.end].is(TokenKind::Comma))
        return typeOf(first);
    for (int i = open + 1; i < close; ++i) {
        if (tokens_[i].is(TokenKind::LParen)) {
            i = matchParen(i);
            continue;
        }
        if (tokens_[i].isOp("+") || tokens_[i].isOp("-")) {
            const TokenSpan left = operandBefore(i);
            if (left.valid() && typeOf(left).type == SqlType::DateTime)
                return OperandType{SqlType::DateTime};
        }
    }
    return {};
}

OperandType StatementRewriter::typeOf(TokenSpan operand) const
{
    OperandType result;
    const int n = operand.size();
    const Token &first = tokens_[operand.begin];
    if (n == 1 && first.is(TokenKind::String)) {
        result.stringLiteral = true;
        result.type = SqlType::Text;
        return result;
    }
    if ((n == 1 && first.is(TokenKind::Number)) || (n == 2 && tokens_[operand.begin + 1].is(TokenKind::Number))) {
        const QString text = tokens_[operand.end - 1].text;
        result.numberLiteral = true;
        result.integerLiteral = !text.contains(u'.') && !text.contains(u'e', Qt::CaseInsensitive);
        result.type = result.integerLiteral ? SqlType::Integer : SqlType::Decimal;
        return result;
    }
    if (n == 1 && first.isWord("NULL")) {
        result.null = true;
        return result;
    }
    if (first.is(TokenKind::LParen))
        return innerOperandType(operand.begin, operand.end - 1);
    if (n >= 2 && tokens_[operand.begin + 1].is(TokenKind::LParen)) {
        const QString function = first.text.toLower();
        if (function == QLatin1String("getdate"))
            return OperandType{SqlType::DateTime};
        if (function == QLatin1String("max") || function == QLatin1String("min") || function == QLatin1String("isnull")
            || function == QLatin1String("coalesce")) {
            OperandType inner = innerOperandType(operand.begin + 1, operand.end - 1);
            inner.stringLiteral = inner.numberLiteral = inner.integerLiteral = false;
            return inner;
        }
        if (function == QLatin1String("sum") || function == QLatin1String("avg") || function == QLatin1String("abs")
            || function == QLatin1String("round") || function == QLatin1String("floor") || function == QLatin1String("ceiling"))
            return OperandType{SqlType::Decimal};
        if (function == QLatin1String("count") || function == QLatin1String("len") || function == QLatin1String("length"))
            return OperandType{SqlType::Integer};
        if (function == QLatin1String("cast") || function == QLatin1String("convert")) {
            for (int i = operand.begin + 2; i < operand.end; ++i) {
                const QString word = tokens_[i].text.toLower();
                if (tokens_[i].is(TokenKind::Word)) {
                    if (word.contains(QLatin1String("int")))
                        return OperandType{SqlType::Integer};
                    if (word == QLatin1String("numeric") || word == QLatin1String("decimal") || word == QLatin1String("float")
                        || word == QLatin1String("real") || word == QLatin1String("money"))
                        return OperandType{SqlType::Decimal};
                    if (word.contains(QLatin1String("char")) || word == QLatin1String("text"))
                        return OperandType{SqlType::Text};
                    if (word.startsWith(QLatin1String("date")))
                        return OperandType{SqlType::DateTime};
                }
            }
        }
        return result;
    }
    // A column reference a, t.a or s.t.a.
    if (n == 1 && isName(operand.begin))
        return OperandType{columnType(QString(), first.text)};
    if (n >= 3 && tokens_[operand.end - 2].is(TokenKind::Dot))
        return OperandType{columnType(tokens_[operand.end - 3].text, tokens_[operand.end - 1].text)};
    return result;
}

} // namespace vorel::sql::detail
