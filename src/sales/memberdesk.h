#pragma once
// The member commands of the sales screen: choosing or clearing the card of the sale ("*"),
// registering a new card ("*+"), spending points on a redemption offer ("--") and topping up
// a card's stored value ("**"). Holds the selected card (the member labels) and the points of
// the chosen redemption. The dialogs it opens sit behind MemberDialogs, so the rules run
// without a screen.

#include <QObject>
#include <QString>
#include <optional>

#include "core/resultset.h"
#include "core/session.h"
#include "sales/membercommands.h"
#include "sales/redemption.h"

namespace vorel {

class Connection;
class Pricing;
class Sale;
class Session;
class SettlementLauncher;

class MemberDialogs {
public:
    virtual ~MemberDialogs() = default;
    // The member picker over the cards a search found (at least two); the row chosen, or
    // nullopt when the cashier cancelled.
    virtual std::optional<int> pickMember(const ResultSet &cards) = 0;
    // The member editor for a new card; the text it leaves for the command line ("*" and the
    // new card number after a save, empty otherwise).
    virtual QString addMember() = 0;
    // The redemption dialog; the offer accepted, or nullopt.
    virtual std::optional<RedemptionOffer> chooseRedemption(const RedemptionRequest &request) = 0;
};

class MemberDesk : public QObject, public MemberCommands {
    Q_OBJECT
public:
    // Help-label texts.
    static const QString NoRightText;      // right 14 missing, or offline
    static const QString LockedText;       // company parameter 8: no member change once items are in
    static const QString UnknownCardText;
    static const QString OfflineRedeemText;
    static const QString NoCardText;
    static const QString SaleOpenText;

    // The session is the connection's. Nothing is owned; all must outlive the desk.
    MemberDesk(Connection &connection, Sale &sale, Pricing &pricing, MemberDialogs &dialogs,
               SettlementLauncher &settlement, QObject *parent = nullptr);

    // The search over card number, phone, name and birthday for the "*" command.
    static QString searchSql(const QString &text);

    CommandResult choose(const QString &search) override;
    CommandResult newCard() override;
    CommandResult redeem() override;
    // The top-up line goes in and the settlement takes over; what happens after payment
    // (or cancel) is the settlement's.
    CommandResult topUp(const QString &amount) override;
    const MemberCard &card() const override { return card_; }
    qint64 redeemPoints() const override { return redeemPoints_; }
    // A new sale starts with no card and no redemption (the sale itself resets its factor).
    void clearForNewSale() override;
    // A held or recalled sale brings its card back as it is (no repricing of the lines).
    void restoreCard(const MemberCard &card) { setCard(card); }
    void restoreRedemption(qint64 points) { redeemPoints_ = points; }

signals:
    void cardChanged(const vorel::MemberCard &card);

private:
    Session &session() const;
    bool right(CashierRight r) const;
    void setCard(const MemberCard &card);

    Connection &connection_;
    Sale &sale_;
    Pricing &pricing_;
    MemberDialogs &dialogs_;
    SettlementLauncher &settlement_;
    MemberCard card_;
    qint64 redeemPoints_ = 0;
};

} // namespace vorel
