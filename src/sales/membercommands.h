#pragma once
// The member side of the command line: "*" choose or clear a card, "*+" a new card,
// "--" points redemption, "**" stored-value top-up. The command line checks the typed
// text and hands over; the implementation owns the selected card and its labels.

#include <QObject>
#include <QString>

#include "core/money.h"
#include "sales/commandresult.h"

namespace vorel {

// The selected member card as the sales screen shows it. No card: empty vipId, rate 1.
struct MemberCard {
    QString vipId;     // bsLabZ04
    QString name;      // lab_vipname
    Money rate = Money::fromUnits(1); // MemberRate, lab_vipzk
    qint64 points = 0; // MemberPoints, label vipf
    int grade = 0;     // VIPGRARD + 1, VIP_G
    Money balance;     // VIPM, vipm ("0" when cleared)
    bool selected() const { return !vipId.isEmpty(); }
};

class MemberCommands {
public:
    virtual ~MemberCommands() = default;
    virtual CommandResult choose(const QString &search) = 0; // "*" + rest1
    virtual CommandResult newCard() = 0;                     // "*+"
    virtual CommandResult redeem() = 0;                      // "--"
    virtual CommandResult topUp(const QString &amount) = 0;  // "**" + rest2
    virtual const MemberCard &card() const = 0;
    // Points of the chosen redemption row (RedeemPoints), 0 without one.
    virtual qint64 redeemPoints() const = 0;
    // A new sale forgets the redemption (and, by the sales screen's rules, nothing else).
    virtual void clearForNewSale() = 0;
};

} // namespace vorel
