#pragma once
// New member card numbers for automatic numbering. A counter row per operation code and
// length lives in the shop database (SYS_NOID) and is moved on inside one transaction, so
// a number is handed out once only, whichever till or server asks and however many ask at
// the same moment. A number already taken by a card (typed by hand before automatic
// numbering was switched on) is skipped.

#include <QString>
#include <stdexcept>

#include "sqlengine/backend.h"

namespace vorel::server {

class MemberNumbers {
public:
    static inline const QString TableName = QStringLiteral("SYS_NOID");
    static constexpr int MaxLength = 18; // the counter is a 64-bit integer

    // Creates the counter table when it is missing (same text on both backends).
    static void createTable(sql::Backend &db);

    // Draws the next number for `code`, zero-padded to `length` digits. Runs its own
    // transaction on `db`. Throws std::invalid_argument for a length outside 1..MaxLength,
    // std::range_error when every number of that length is used, sql::DbError when the
    // database fails.
    static QString draw(sql::Backend &db, const QString &code, int length);
};

} // namespace vorel::server
