#pragma once
// The SQL of the item lookup: what the till sends to the shop server for a typed code, and
// what it asks the local store when it works offline. Both give the same columns: VIPF,
// K_ID, WL_ID (the style), TM, WL_NAME, PP (brand), M_INDEX, DW_ID and DW_NAME (colour),
// ABASE (stock of that size), WL_GG (size name), SJ (tag price) and the promotion columns
// I, cla, clazk, F1..F3, TJ, DJ_VIP, G_VIP, G_ZK, G, flag1..flag3, FA.

#include <QString>

namespace vorel::itemlookup {

// The picker's "in stock only" filter on the lookup rows.
inline const QString InStockFilter = QStringLiteral("abase>0");

// A typed code "style.size" in its pieces: the code before the first dot and the size name
// after it. Without a dot the code is the whole text.
struct TypedCode {
    QString code;
    QString size;
    bool hasDot = false;
};
TypedCode splitCode(const QString &raw);

// One server batch: the exact match on style or barcode when there is one, else the search
// on style, barcode, pinyin initials and name (restricted to one size name for "style.size").
// Stock and promotions are the warehouse's.
QString serverBatch(const QString &raw, const QString &warehouseId);

// The local store: the exact match on style or barcode, and the search that follows when it
// finds nothing (30 rows at most; the size piece is not used offline).
QString localExactSql(const QString &raw);
QString localSearchSql(const QString &code);

} // namespace vorel::itemlookup
