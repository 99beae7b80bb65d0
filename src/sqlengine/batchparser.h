#pragma once
// Reads a tokenized T-SQL batch into the nodes of a Program: control flow (IF ... ELSE,
// BEGIN ... END, RAISERROR, statements that do nothing here) around plain statements, each
// rewritten for the backend by a StatementRewriter.

#include <QList>

#include "sqlengine/backend.h"
#include "sqlengine/tokenizer.h"
#include "sqlengine/translator.h"

namespace vorel::sql::detail {

// Throws TranslationError with a message for the user.
Program parseBatch(const QList<Token> &tokens, BackendKind backend, const Catalog &catalog);

} // namespace vorel::sql::detail
