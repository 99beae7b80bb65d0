#pragma once
// What the SQLite and the PostgreSQL text of a rewritten statement differ in. The rewrites
// decide what a T-SQL construct means; the spellings per backend are chosen here.

#include <QString>

#include "sqlengine/backend.h"

namespace vorel::sql::detail {

// `date` moved by `days` (a number, may be fractional) days on, or back when `minus`.
QString dateAddSql(BackendKind backend, const QString &date, const QString &days, bool minus);

// T-SQL's LIKE ignores case, PostgreSQL's does not. `written` is the batch's spelling.
QString likeOperator(BackendKind backend, const QString &written);

// The type a text operand is cast to when it meets a number of type `other`.
QString numericCastType(BackendKind backend, SqlType other);

// SQLite keeps date-times as text, so a date literal stored into a date column is written
// in the one full form that text comparisons of dates rely on.
bool storesDateTimeAsText(BackendKind backend);

// Text in arithmetic with a number: T-SQL and SQLite convert it, PostgreSQL needs a cast.
bool castsTextInArithmetic(BackendKind backend);

} // namespace vorel::sql::detail
