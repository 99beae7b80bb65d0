#pragma once
// Points redemption: the offers of table d705 and what the cashier may choose among them.
// The offers are kept as the back office stores them (points and voucher both negative);
// the points an offer costs are minus its VIPF.

#include <QString>
#include <optional>

#include "core/resultset.h"

namespace vorel {

struct RedemptionOffer {
    qint64 points = 0;   // VIPF, "积分"
    double voucher = 0;  // VIPFM, "代金", copied into the redemption line as stored
    QString note;        // NOTE, "描述"

    qint64 cost() const { return -points; }
    // The current row of a d705 read.
    static RedemptionOffer fromRow(const ResultSet &rows);
};

// What the redemption dialog is opened with.
struct RedemptionRequest {
    QString vipId;
    QString name;
    bool right = false;        // the cashier's right 11
    bool cardSelected = false;
    QString points;            // MemberPoints as text

    // The offers of d705 in the order the dialog lists them.
    static const QString OffersSql;
    static const QString NoticeText;
    static const QString NotAllowedText; // choosing without right or card
    static const QString PointsShortText;

    bool mayChoose() const { return right && cardSelected; }
    // The header line: the card and its points, or why nothing can be chosen.
    QString header() const;
    // Why `offer` cannot be taken (a text for the message box), nullopt when it can.
    std::optional<QString> refusal(const RedemptionOffer &offer) const;
};

} // namespace vorel
