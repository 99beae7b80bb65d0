// Writing the statement's tokens out with the planned edits applied, plus the spellings
// that need no planning: ISNULL, LEN, LIKE, dbo., WITH (NOLOCK), !< and !>.

#include "sqlengine/dialect.h"
#include "sqlengine/parameters.h"
#include "sqlengine/statementrewriter.h"
#include "sqlengine/translator.h"

namespace vorel::sql::detail {

void StatementRewriter::append(QString &out, const QString &piece, bool glueLeft)
{
    if (piece.isEmpty())
        return;
    if (!out.isEmpty() && !glueLeft && !out.endsWith(u'(') && !out.endsWith(u'.') && !out.endsWith(u' '))
        out += u' ';
    out += piece;
}

QString StatementRewriter::renderEdit(const Edit &edit)
{
    switch (edit.kind) {
    case EditKind::TopLimit:
        return renderTopLimit(edit);
    case EditKind::DateAdd:
        return renderDateAdd(edit);
    case EditKind::Concat:
        return QStringLiteral("||");
    case EditKind::CastNumeric:
        return QStringLiteral("CAST(%1 AS %2)").arg(render(edit.begin, edit.end, &edit), edit.castType);
    case EditKind::Replace:
        return edit.replacement;
    case EditKind::DropTokens:
        return QString();
    case EditKind::PushDown:
        return renderPushDown(edit);
    }
    return QString();
}

// The edit to apply at token i within [.., end): the widest that fits, never `self`.
const StatementRewriter::Edit *StatementRewriter::editAt(int i, int end, const Edit *self) const
{
    const Edit *widest = nullptr;
    auto [lo, hi] = edits_.equal_range(i);
    for (auto it = lo; it != hi; ++it) {
        const Edit &edit = it->second;
        if (&edit == self || edit.end > end)
            continue;
        if (!widest || edit.end > widest->end)
            widest = &edit;
    }
    return widest;
}

// Tokens [begin, end) in the backend's dialect; `self` is the edit being rendered, which
// does not apply to its own tokens again.
QString StatementRewriter::render(int begin, int end, const Edit *self)
{
    QString out;
    for (int i = begin; i < end; ++i) {
        if (const Edit *edit = editAt(i, end, self)) {
            append(out, renderEdit(*edit));
            i = edit->end - 1;
            continue;
        }
        const Token &token = tokens_[i];
        switch (token.kind) {
        case TokenKind::String:
            append(out, token.slot >= 0 ? literalMarker(token.slot) : quoteString(token.text));
            break;
        case TokenKind::QuotedName:
            if (token.text.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0 && i + 1 < end && tokens_[i + 1].is(TokenKind::Dot)) {
                ++i; // [dbo].[D712] is D712
                break;
            }
            append(out, isSimpleName(token.text) ? token.text : u'"' + QString(token.text).replace(u'"', QStringLiteral("\"\"")) + u'"');
            break;
        case TokenKind::Number:
            append(out, token.slot >= 0 ? literalMarker(token.slot) : token.text);
            break;
        case TokenKind::LParen:
            // A call keeps its parenthesis: COUNT(*), not COUNT (*).
            append(out, token.text, i > begin && tokens_[i - 1].is(TokenKind::Word) && !isKeyword(tokens_[i - 1]));
            break;
        case TokenKind::RParen:
        case TokenKind::Comma:
        case TokenKind::Dot:
            append(out, token.text, true);
            break;
        case TokenKind::Semicolon:
            break;
        case TokenKind::Variable:
            throw TranslationError(QStringLiteral("Must declare the scalar variable \"%1\".").arg(token.text));
        case TokenKind::Operator:
            if (token.text == QLatin1String("!<"))
                append(out, QStringLiteral(">="));
            else if (token.text == QLatin1String("!>"))
                append(out, QStringLiteral("<="));
            else
                append(out, token.text);
            break;
        case TokenKind::Word: {
            const bool call = i + 1 < end && tokens_[i + 1].is(TokenKind::LParen);
            const QString upper = token.text.toUpper();
            if (isNowCall(i, end)) {
                append(out, NowMarker);
                i += 2;
            } else if (call && upper == QLatin1String("ISNULL")) {
                append(out, QStringLiteral("COALESCE"));
            } else if (call && upper == QLatin1String("LEN")) {
                append(out, QStringLiteral("LENGTH"));
            } else if (upper == QLatin1String("LIKE")) {
                append(out, likeOperator(backend_, token.text));
            } else if (upper == QLatin1String("DBO") && i + 1 < end && tokens_[i + 1].is(TokenKind::Dot)) {
                ++i; // dbo.D712 is D712
            } else if (upper == QLatin1String("WITH") && i + 3 < end && tokens_[i + 1].is(TokenKind::LParen)
                       && tokens_[i + 2].isWord("NOLOCK") && tokens_[i + 3].is(TokenKind::RParen)) {
                i += 3; // locking hints mean nothing here
            } else {
                append(out, token.text);
            }
            break;
        }
        }
    }
    return out;
}

} // namespace vorel::sql::detail
