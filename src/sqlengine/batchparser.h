#pragma once
// Reads a tokenized T-SQL batch into the nodes of a Program: control flow (IF ... ELSE,
// BEGIN ... END, RAISERROR, statements that do nothing here) around plain statements, each
// rewritten for the backend by a StatementRewriter.

#include <QList>
#include <vector>

#include "sqlengine/backend.h"
#include "sqlengine/tokenizer.h"
#include "sqlengine/translator.h"

namespace vorel::sql::detail {

// The parts of a batch that reach the database: its plain statements and its IF conditions,
// as tokens [begin, end). RAISERROR, PRINT, "select @x = ...", BEGIN/COMMIT TRAN never do.
struct StatementSpan {
    enum class Kind { Statement, Condition };
    Kind kind;
    int begin;
    int end; // exclusive
};

// The batch split exactly as parseBatch splits it. Throws TranslationError.
std::vector<StatementSpan> splitBatch(const QList<Token> &tokens);

// Throws TranslationError with a message for the user.
Program parseBatch(const QList<Token> &tokens, BackendKind backend, const Catalog &catalog);

} // namespace vorel::sql::detail
