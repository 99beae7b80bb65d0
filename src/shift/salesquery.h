#pragma once
// The sales query of a terminal (TS007): the lines of this terminal's slips over a period,
// narrowed by a search text that matches slip numbers, member cards and style numbers, with
// the number of slips and the pieces sold for the grid's footer. Online it reads the shop
// database, offline the local store; the period is reckoned from the till's clock.

#include <QDate>
#include <QString>

#include "core/resultset.h"

namespace vorel {

class Clock;
class Connection;
class Session;

namespace shift {

inline const QString SalesQuerySearchHint = QStringLiteral("输入 单号/款号/VIP 进行检索");

enum class Period {
    Today = 1,
    Yesterday = 2,
    ThisMonth = 3,
    LastMonth = 4,
    MyShift = 5, // the logged-in cashier's slips of today
    Range = 6,   // from one day to another, both included
    All = 0,     // no condition
};

// The condition of a period, with `today` as the till's date. `from` and `to` are read for a range.
QString periodCondition(Period period, const QDate &today, const QString &userId, const QDate &from = {},
                        const QDate &to = {});
// The condition of a search text (quotes dropped); empty for an empty text.
QString searchCondition(const QString &text);
// The whole query for a terminal with one condition applied to both of its halves.
QString salesQuerySql(const QString &terminalId, const QString &condition);

struct SalesQueryFooter {
    int slips = 0;       // a change of NUMBER from one row to the next starts a slip
    qint64 quantity = 0; // the sum of SL
};
SalesQueryFooter salesQueryFooter(const ResultSet &rows);

class SalesQuery {
public:
    SalesQuery(Session &session, Connection &connection, const Clock &clock);

    // Runs a period with a search text; false when no rows could be read.
    bool run(Period period, const QString &search, const QDate &from = {}, const QDate &to = {});

    const ResultSet &rows() const { return rows_; }
    const SalesQueryFooter &footer() const { return footer_; }
    // The footer text under the item names.
    QString slipCountText() const { return QStringLiteral("单数: ") + QString::number(footer_.slips); }
    // The uploaded flag is a column only while the till is offline.
    bool showsUploadFlag() const;
    // The till's date, which the periods count from.
    QDate today() const;

private:
    Session &session_;
    Connection &connection_;
    const Clock &clock_;
    ResultSet rows_;
    SalesQueryFooter footer_;
};

} // namespace shift
} // namespace vorel
