#pragma once
// The file a held sale is parked in (folder "R" of the program folder, named by its hold
// number). Only this till writes and reads it. It is GBK text, one record a line:
//
//   VORELHOLD 1
//   K <member card>        ZK <member discount text>     YW <salesperson>
//   RP <points of the chosen redemption>                 B <description>
//   L <30 fields of one sale line, tab-separated>        (one per line, in order)
//   END <number of L records>
//
// Tabs, line breaks and backslashes inside a text are written as \t, \r, \n and \\.
// Amounts are written with 17 significant digits, so a double comes back bit for bit.
// A file that lacks its END record, or whose END count or any field does not read, is
// damaged: decoding refuses it as a whole rather than bring back part of a sale.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

#include "sales/saleline.h"

namespace vorel {

struct HeldSale {
    QString memberCard;     // K: the card on the sale when it was held, may be empty
    QString memberRateText; // ZK: the member discount label at that time
    QString salesperson;
    qint64 redeemPoints = 0;
    QString description;    // the item names, last line first, each followed by " / "
    QList<SaleLine> lines;
    bool operator==(const HeldSale &) const = default;
};

QByteArray encodeHeldSale(const HeldSale &sale);
// nullopt: the bytes are not a whole held sale.
std::optional<HeldSale> decodeHeldSale(const QByteArray &bytes);

} // namespace vorel
