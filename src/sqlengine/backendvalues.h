#pragma once
// Helpers the two backends share for turning database text into typed result values.

#include <QDateTime>
#include <QStringView>

#include "core/resultset.h"
#include "sqlengine/backend.h"

namespace vorel::sql::detail {

// Reads a time stamp as databases print it: "YYYY-MM-DD hh:mm:ss" (or with a 'T'), optional
// fractional seconds of any length (cut to milliseconds), optional zone offset ("+08",
// "+05:30", "Z"; the result is then moved to local time), or a bare date. Invalid when the
// text is anything else.
QDateTime parseTimestamp(QStringView text);

// SQLite's declared column types as the shop schema and the local store write them (T-SQL
// names included: smallint, bit, money, smalldatetime, nvarchar). Unknown when the
// declaration says nothing we recognise.
SqlType typeOfDeclaration(const QString &declared);

// The result-set type for a column of catalogue type `type`.
FieldType fieldTypeOf(SqlType type);

} // namespace vorel::sql::detail
