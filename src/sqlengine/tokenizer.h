#pragma once
// Splits a T-SQL batch into tokens. Never relies on whitespace: "wl_id<>'Z'GROUP BY" and
// "SELECT D1809. *   FROM" come out as the tokens a reader sees.

#include <QList>
#include <QString>

#include "core/error.h"

namespace vorel::sql {

enum class TokenKind {
    Word,        // keyword or plain identifier: SELECT, d712, getdate
    QuotedName,  // [bracketed] or "double quoted" identifier; text holds the bare name
    String,      // 'text' (N'text' too); text holds the value with doubled quotes undone
    Number,      // 12, 12.50, .5, 1e3
    Variable,    // @name or @@name
    Operator,    // = <> != < <= > >= + - * / % || ! ~ & | ^
    LParen,
    RParen,
    Comma,
    Dot,
    Semicolon,
};

struct Token {
    TokenKind kind;
    QString text;        // see TokenKind
    int position = 0;    // offset of the token in the batch
    bool national = false; // N'...' string
    int slot = -1;         // String/Number bound as a parameter: its place among the batch's values

    bool is(TokenKind k) const { return kind == k; }
    // Case-insensitive keyword test for Word tokens.
    bool isWord(const char *upperKeyword) const;
    bool isOp(const char *op) const { return kind == TokenKind::Operator && text == QLatin1String(op); }
};

struct TranslationError : VorelError {
    using VorelError::VorelError;
};

// Throws TranslationError for an unterminated string, bracket or comment.
QList<Token> tokenize(const QString &batch);

// Where the number that starts at `i` ends: digits, a fraction, an exponent.
qsizetype endOfNumber(const QString &s, qsizetype i);
// Where the /* comment */ that starts at `i` ends, nested ones included; -1 when it never does.
qsizetype endOfComment(const QString &s, qsizetype i);

} // namespace vorel::sql
