#pragma once
// New member card numbers for automatic numbering. A counter row per operation code and
// length lives in the shop database (SYS_NOID, made by the schema) and is moved on inside
// one transaction, so a number is handed out once only, whichever till or server asks and
// however many ask at the same moment. A number already taken by a card (typed by hand
// before automatic numbering was switched on) is skipped.

#include <QString>
#include <stdexcept>

#include "sqlengine/backend.h"

namespace vorel::server {

class MemberNumbers {
public:
    static constexpr int MaxLength = 18; // the counter is a 64-bit integer

    // Draws the next number for `code`, zero-padded to `length` digits. Runs its own
    // transaction on `db`. Throws std::invalid_argument for a length outside 1..MaxLength,
    // std::range_error when every number of that length is used, sql::DbError when the
    // database fails.
    static QString draw(sql::Backend &db, const QString &code, int length);
};

} // namespace vorel::server
