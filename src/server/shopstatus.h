#pragma once
// The shop at a glance, as the status page of vorel-server shows it: the tills seen today
// with who is at them, when they last called and how many slips wait in their local store
// for upload, and today's slips and takings per till and per tender.
//
// Takings per tender are what the slip headers (D712) hold: voucher S3, stored-value card
// S4, bank card S5, and cash S6 less the change S7. Their sum is what the till took, the
// amount due S1 less the rounding-off S2. Units are the size quantities of the lines (D712A).
// "Today" is the calendar day of the server's clock, by the slips' BDATE.

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

#include "core/money.h"
#include "server/wire.h"
#include "sqlengine/backend.h"

namespace vorel::server {

// A till that called the message service today.
struct TillContact {
    QString terminalKey;
    QString terminalId;   // empty for a till not registered yet
    QString terminalName; // D701.ZD_NAME
    QString userId;
    QString userName;
    QDateTime lastSeen;
    bool online = false;       // called within the online window
    std::optional<int> unsent; // slips waiting in its local store, as it last said
};

// Slips and takings of one till, or of the whole shop.
struct Takings {
    QString terminalId;
    QString terminalName;
    qint64 slips = 0;
    qint64 units = 0;
    Money voucher;     // S3
    Money storedValue; // S4
    Money bankCard;    // S5
    Money cash;        // S6 - S7
    Money rounding;    // S2
    Money total() const { return voucher + storedValue + bankCard + cash; }
};

struct ShopStatus {
    QDateTime at;
    QList<TillContact> tills; // ordered by terminal number, then key
    QList<Takings> takings;   // ordered by terminal number
    bool moreTills = false;   // more than MaxTills in either list: the rest are left out
    Takings shop;             // all tills together
};

class StatusBoard {
public:
    // The most tills each list holds (a shop has a few dozen at most).
    static constexpr int MaxTills = 200;

    // Reads the status at `now` in a few statements on `db`; a till is online while its last
    // call is at most `onlineWindowSeconds` old (TillList::OnlineWindowSeconds). Throws
    // sql::DbError.
    static ShopStatus read(sql::Backend &db, const QDateTime &now, int onlineWindowSeconds);
    // The JSON the page polls; amounts as text with `decimals` places, the way the till
    // shows them.
    static wire::Json toJson(const ShopStatus &status, int decimals);
};

} // namespace vorel::server
