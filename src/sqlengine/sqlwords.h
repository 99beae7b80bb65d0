#pragma once
// Word classes and quoting shared by the batch parser and the statement rewrites.

#include <QString>

#include "sqlengine/backend.h"
#include "sqlengine/tokenizer.h"

namespace vorel::sql::detail {

// Words that begin a statement of their own: a plain statement ends before them.
bool isStatementStart(const Token &token);

// Reserved words that can never be a column or a function name in an operand.
bool isKeyword(const Token &token);

// UNION, EXCEPT or INTERSECT: a select goes on after them.
bool isCompoundWord(const Token &token);

// A name either backend takes without quotes: a letter or '_', then letters, digits, '_'.
bool isSimpleName(const QString &name);

// `value` as an SQL string literal.
QString quoteString(const QString &value);

bool isNumeric(SqlType type);

} // namespace vorel::sql::detail
