#pragma once
// Prices of the sale's lines: a new line from an item lookup row (tag price, member factor,
// single-item special prices), the cashier's repricing commands, repricing for a new
// member card, and the threshold promotions whose total discount the system keeps in one
// cash-off line.
//
// Amounts are rounded to the shop's places by the shop's rounding mode (convertmon);
// discount factors to two places half up. Where a step writes a value "through a format"
// ("%5.2F", "%10.2F", "%18.2F") the value is rounded half away from zero to two places.

#include <optional>

#include "core/money.h"
#include "core/resultset.h"
#include "core/session.h"
#include "sales/sale.h"

namespace vorel {

enum class QuantityChange {
    Changed,
    NotEligible,   // no current line, or the line is left out of repricing (G >= 20)
    OutOfRange,    // strictly between -1 and 1
    ReturnRefused, // a negative quantity without the right to take returns
};

class Pricing {
public:
    Pricing(Sale &sale, const Session::Formats &formats);

    // Appends a line for the current row of an item lookup (columns WL_ID, TM, WL_NAME,
    // WL_GG, DW_ID, DW_NAME, M_INDEX, VIPF, SJ = tag price, FA = promotion name and the
    // promotion columns I, G, flag1..flag3, cla, clazk, F1..F3, TJ, DJ_VIP, G_ZK, G_VIP).
    // The new line becomes current; returns its row. The caller finishes the command.
    int appendItem(const ResultSet &lookup);

    // "." : the current line at `percent` (80 = 20 % off). False when the line is not
    // repriceable (or there is none).
    bool discountLine(Money percent);
    // ".." : every repriceable line at `percent`, then the group promotions; the cursor
    // stays where it was.
    void discountSale(Money percent);
    // "++" : the current line's amount; a quantity of the wrong sign is turned round.
    bool changeAmount(Money amount);
    // "+" : the current line's quantity, rounded to a whole number (halves to even).
    QuantityChange changeQuantity(Money quantity, bool returnsAllowed);
    // A member card chosen (its discount factor) or cleared (nullopt): every repriceable
    // line follows the new factor, then the group promotions; the cursor stays.
    void changeMember(std::optional<Money> rate);

    // The total discount of the threshold promotion groups 1 to 19 for the sale as it is.
    Money groupOfferTotal() const;
    // Brings the cash-off line in line with groupOfferTotal() (adds, updates or removes
    // it), refreshes the totals and returns the cursor to its line.
    void recalcGroupOffer();

    // The end of every command: a line that was added or changed brings the group
    // promotions up to date; the totals are refreshed in any case.
    void finishCommand(bool lineChanged);

private:
    Money round(Money value) const; // the shop's places and rounding mode
    void standardPrice(SaleLine &line) const;

    Sale &sale_;
    const Session::Formats &formats_;
};

} // namespace vorel
