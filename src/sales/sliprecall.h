#pragma once
// Looking back at a stored slip (PgUp, F3) and reading it again for a reprint (F9): the
// slip's header and lines come from the shop database, or from the local store while the
// till is offline, in the shape of the sale being rung up.

#include <QList>
#include <QString>
#include <optional>

#include "sales/saleline.h"
#include "sales/settlementfields.h"

namespace vorel {

class Connection;

struct RecalledSlip {
    QString number;
    QString date;        // BDATE as "yyyy-MM-dd hh:mm:ss"
    QString terminal;    // ZD_ID
    QString userId;      // cashier
    QString salesperson; // YW_ID
    QString vipId;
    QString vipZk;       // the member factor the slip was sold with
    SettlementTexts amounts; // S1 .. S7
    QString memberPoints;    // V2: the member's points now
    QString slipPoints;      // V3: what the slip earned
    QString tagTotal;        // V4: tag amount of the item lines
    QString saving;          // V5: tag amount less the amount charged
    QList<SaleLine> lines;
};

class SlipRecall {
public:
    static const QString NoSlipText;    // "不存在或无效单据!"
    static const QString NoLastSlipText; // "无上一单数据!"
    static const QString QueryHelpText; // the help line of the query state

    explicit SlipRecall(Connection &connection) : connection_(connection) {}

    static QString lastNumberSql(const QString &terminal);
    static QString headerSql(const QString &number);
    static QString linesSql(const QString &number);

    // The terminal's latest slip number; empty when it has none.
    QString lastNumber(const QString &terminal);
    // nullopt when there is no such slip.
    std::optional<RecalledSlip> read(const QString &number);

private:
    Connection &connection_;
};

} // namespace vorel
