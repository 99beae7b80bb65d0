#pragma once
// Where a committed slip goes to be printed. The commit hands over everything the receipt
// shows; which templates, printer port and paper width are used is the renderer's business
// (it reads them from the session).

#include <QList>
#include <QString>

#include "core/money.h"
#include "sales/saleline.h"
#include "sales/settlementfields.h"

namespace vorel {

struct CommittedSlip {
    QString number;      // slip number
    QString date;        // the date label it was booked under
    QString terminal;    // terminal label
    QString userId;      // cashier
    QString salesperson; // empty without one
    QString vipId;       // empty without a member
    QList<SaleLine> lines; // the sale's lines as on the screen
    SettlementTexts amounts; // S1 .. S7 as the settlement dialog showed them
    qint64 accumulatedPoints = 0; // the member's points with this slip's
    qint64 slipPoints = 0;
    Money tagTotal;      // footer sum of the lines' tag totals (OTOTAL)
    QString saving;      // the discount-total label
};

class ReceiptPrinter {
public:
    virtual ~ReceiptPrinter() = default;
    virtual void print(const CommittedSlip &slip) = 0;
};

} // namespace vorel
