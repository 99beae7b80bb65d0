#pragma once
// The seven amounts of a paid sale, S1 .. S7: the settlement fills them, the slip books them
// and the receipt prints them. They travel as the texts the cashier saw (the width-10 texts
// keep their leading blanks).

#include <QString>
#include <array>

namespace vorel {

// In the order the amounts travel to the slip: S1 .. S7. The five tenders in between are
// also the tender cycle of Up and Down, in this order.
enum class SettlementField : int {
    AmountDue = 0, // 应收
    RoundOff,      // 抹零: an amount the shop waives
    Voucher,       // 现金券
    StoredValue,   // 储值卡
    BankCard,      // 银联
    Cash,          // 现金
    Change,        // 找零
};
inline constexpr int SettlementFieldCount = 7;

inline constexpr bool isTender(SettlementField f)
{
    return f >= SettlementField::RoundOff && f <= SettlementField::Cash;
}

// The seven amounts S1 .. S7 as shown.
using SettlementTexts = std::array<QString, SettlementFieldCount>;

} // namespace vorel
