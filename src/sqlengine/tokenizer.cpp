#include "sqlengine/tokenizer.h"

namespace vorel::sql {

bool Token::isWord(const char *upperKeyword) const
{
    return kind == TokenKind::Word && text.compare(QLatin1String(upperKeyword), Qt::CaseInsensitive) == 0;
}

namespace {

bool isIdentStart(QChar c)
{
    return c.isLetter() || c == u'_' || c == u'#' || c.unicode() > 127;
}

bool isIdentPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#' || c.unicode() > 127;
}

} // namespace

qsizetype endOfComment(const QString &s, qsizetype i)
{
    const qsizetype n = s.size();
    int depth = 0;
    do {
        if (i + 1 < n && s[i] == u'/' && s[i + 1] == u'*') {
            ++depth;
            i += 2;
        } else if (i + 1 < n && s[i] == u'*' && s[i + 1] == u'/') {
            --depth;
            i += 2;
        } else {
            ++i;
        }
    } while (depth > 0 && i < n);
    return depth > 0 ? -1 : i;
}

qsizetype endOfNumber(const QString &s, qsizetype i)
{
    const qsizetype n = s.size();
    while (i < n && s[i].isDigit())
        ++i;
    if (i < n && s[i] == u'.') {
        ++i;
        while (i < n && s[i].isDigit())
            ++i;
    }
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (s[j] == u'+' || s[j] == u'-'))
            ++j;
        if (j < n && s[j].isDigit()) {
            i = j;
            while (i < n && s[i].isDigit())
                ++i;
        }
    }
    return i;
}

QList<Token> tokenize(const QString &s)
{
    QList<Token> out;
    const int n = static_cast<int>(s.size());
    int i = 0;
    auto push = [&](TokenKind k, QString text, int pos, bool national = false) {
        out.append(Token{k, std::move(text), pos, national});
    };
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        // Comments: -- to end of line, /* ... */ (nesting as T-SQL allows).
        if (c == u'-' && i + 1 < n && s[i + 1] == u'-') {
            while (i < n && s[i] != u'\n')
                ++i;
            continue;
        }
        if (c == u'/' && i + 1 < n && s[i + 1] == u'*') {
            const int start = i;
            const qsizetype end = endOfComment(s, i);
            if (end < 0)
                throw TranslationError(QStringLiteral("Unterminated comment at position %1").arg(start));
            i = static_cast<int>(end);
            continue;
        }
        const int start = i;
        // Strings, with the N prefix.
        bool national = false;
        if ((c == u'N' || c == u'n') && i + 1 < n && s[i + 1] == u'\'') {
            national = true;
            ++i;
        }
        if (s[i] == u'\'') {
            QString value;
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == u'\'') {
                    if (i + 1 < n && s[i + 1] == u'\'') {
                        value += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += s[i++];
            }
            if (!closed)
                throw TranslationError(QStringLiteral("Unterminated string at position %1").arg(start));
            push(TokenKind::String, value, start, national);
            continue;
        }
        if (c == u'[') {
            const int close = static_cast<int>(s.indexOf(u']', i + 1));
            if (close < 0)
                throw TranslationError(QStringLiteral("Unterminated [name] at position %1").arg(start));
            push(TokenKind::QuotedName, s.mid(i + 1, close - i - 1), start);
            i = close + 1;
            continue;
        }
        if (c == u'"') {
            QString value;
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == u'"') {
                    if (i + 1 < n && s[i + 1] == u'"') {
                        value += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += s[i++];
            }
            if (!closed)
                throw TranslationError(QStringLiteral("Unterminated \"name\" at position %1").arg(start));
            push(TokenKind::QuotedName, value, start);
            continue;
        }
        if (c.isDigit() || (c == u'.' && i + 1 < n && s[i + 1].isDigit())) {
            i = static_cast<int>(endOfNumber(s, i));
            push(TokenKind::Number, s.mid(start, i - start), start);
            continue;
        }
        if (c == u'@') {
            ++i;
            if (i < n && s[i] == u'@')
                ++i;
            while (i < n && isIdentPart(s[i]))
                ++i;
            push(TokenKind::Variable, s.mid(start, i - start), start);
            continue;
        }
        if (isIdentStart(c)) {
            while (i < n && isIdentPart(s[i]))
                ++i;
            push(TokenKind::Word, s.mid(start, i - start), start);
            continue;
        }
        switch (c.unicode()) {
        case '(': push(TokenKind::LParen, QStringLiteral("("), start); ++i; continue;
        case ')': push(TokenKind::RParen, QStringLiteral(")"), start); ++i; continue;
        case ',': push(TokenKind::Comma, QStringLiteral(","), start); ++i; continue;
        case '.': push(TokenKind::Dot, QStringLiteral("."), start); ++i; continue;
        case ';': push(TokenKind::Semicolon, QStringLiteral(";"), start); ++i; continue;
        default: break;
        }
        // Operators, longest first.
        static const char *const twoChar[] = {"<>", "!=", "<=", ">=", "!<", "!>", "||"};
        bool matched = false;
        if (i + 1 < n) {
            const QString two = s.mid(i, 2);
            for (const char *op : twoChar) {
                if (two == QLatin1String(op)) {
                    push(TokenKind::Operator, two, start);
                    i += 2;
                    matched = true;
                    break;
                }
            }
        }
        if (matched)
            continue;
        if (QStringLiteral("=<>+-*/%!~&|^").contains(c)) {
            push(TokenKind::Operator, QString(c), start);
            ++i;
            continue;
        }
        throw TranslationError(QStringLiteral("Unexpected character '%1' at position %2").arg(c).arg(start));
    }
    return out;
}

} // namespace vorel::sql
