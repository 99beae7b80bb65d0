#pragma once
// The SQL text of a committed slip: one batch for the shop database (or, offline, for the
// local store), built from the sale's lines, the member card and the seven settlement
// amounts as the settlement dialog shows them. Also the batch of a stored-value top-up and
// the statement that adds a slip to the open shift's totals.

#include <QList>
#include <QString>

#include "settlement/settlement.h"

namespace vorel {

class Sale;
class SaleLine;

struct SlipBatchInput {
    QString number;      // the slip number label
    QString warehouseId; // CK_ID
    QString terminalId;  // ZD_ID
    QString userId;      // G_UserId
    QString date;        // the date label: the slip's BDATE
    QString vipId;       // empty without a member
    QString vipZk;       // the member discount label's text ("0.9")
    QString salesperson; // empty: NULL
    SettlementTexts amounts;
    bool online = true;       // not ftj: item rows, member and list-price updates go in
    bool periodCheck = true;  // the slip date must lie in the open accounting period
    qint64 redeemPoints = 0;  // RedeemPoints
    int pointsPerUnit = 1;    // G_VIPF: amount that earns one point
};

struct SlipBatch {
    QString sql;
    // The lines as written: a redemption line that would make the slip negative is raised.
    QList<SaleLine> lines;
    qint64 slipPoints = 0;     // SlipPoints
    bool pointsEarned = false; // false: MemberPoints counts as 0 on the receipt
    bool raised = false;       // the redemption line was raised and the total is 0
};

// Messages the server's guards answer with.
inline const QString PeriodRefusalText = QStringLiteral("开单日期不在进销存期间内!");
inline const QString BalanceRefusalText = QStringLiteral("储值卡余额不足以支付本单!");

// The batch of one sale. `sale` gives the lines, the total and the promotion groups.
SlipBatch buildSlipBatch(const SlipBatchInput &in, const Sale &sale);

// The note a line is written with.
QString lineNote(const SaleLine &line, const Sale &sale);

// Amount texts go into the statements as the dialog shows them; a tender field the cashier
// emptied counts as 0.
QString amountSql(const QString &shown);
// The cash column: "0" before the trimmed cash text, so that an empty field gives 0.
QString cashSql(const QString &shown);

struct TopUpInput {
    QString number;
    QString warehouseId;
    QString terminalId;
    QString userId;
    QString vipId;
    QString total; // the total label: the amount topped up
    SettlementTexts amounts;
};

// Header dated by the server, the balance raised, the top-up item's rows, one line.
QString buildTopUpSql(const TopUpInput &in);

// The local shift totals: one more slip, its quantity, its seven amounts and its total.

} // namespace vorel
