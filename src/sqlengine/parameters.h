#pragma once
// Taking a batch's values out of its text: batches that differ only in a barcode, a slip
// number or a member card share one translation, and each connection prepares the
// statement once and binds the values.
//
// A literal is bound where a value can stand whatever it is: in WHERE, ON, SET, VALUES and
// IF conditions. It stays in the text where it shapes the statement: TOP n, the size of a
// type, ORDER BY and GROUP BY, select lists (PostgreSQL matches grouped expressions by
// their text), RAISERROR and PRINT, and anywhere in a batch that changes the schema.

#include <QList>
#include <QString>

#include "sqlengine/backend.h"
#include "sqlengine/tokenizer.h"
#include "sqlengine/translator.h"

namespace vorel::sql::detail {

// Marks the literals of `tokens` that are bound (Token::slot) and appends their values to
// `literals`. Returns the key of the batch's shape: the tokens with the bound literals
// reduced to their kind.
QString parameterise(QList<Token> &tokens, QList<Literal> &literals);

// What a statement's text holds for the bound literal `slot` until placePlaceholders().
QString literalMarker(int slot, Param::Source source = Param::Source::Literal, SqlType target = SqlType::Unknown);

// Turns the literal markers and the getdate() marker of every statement of `program` into
// the backend's placeholders and fills the nodes' params. `literalMarkers`: parameterise()
// bound literals. When it bound none, the text holds no literal markers, and a literal that
// happens to contain the marker's character is left as it stands.
void placePlaceholders(Program &program, BackendKind backend, bool literalMarkers);

// The number text a quoted `value` converts to in a column of type `target`; throws the
// TranslationError T-SQL gives for a value that is no number.
QString numberFromString(const QString &value, SqlType target);

} // namespace vorel::sql::detail
