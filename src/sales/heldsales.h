#pragma once
// Held sales (PgDn): the sale being rung up is parked in a file so the till is free for the
// next customer, and comes back later through the held-sales list TS003.
//
// The list keeps one row per held sale; hold numbers count up from the highest file found
// in folder "R" when the till starts, so held sales survive a restart of the till and a
// new hold never overwrites one that has not been taken back. The folder is never created:
// without it nothing is held. A sale taken back with Enter loses its file and its row; a
// double click brings the lines back and leaves both.

#include <QList>
#include <QString>
#include <optional>

#include "core/programfolder.h"
#include "sales/heldsalefile.h"

namespace vorel {

class Connection;
class MemberDesk;
class Sale;

// One row of the list: A hold number, B description, K member card, ZK member discount text.
struct HeldSaleRow {
    QString number;
    QString description;
    QString memberCard;
    QString memberRateText;
    bool operator==(const HeldSaleRow &) const = default;
};

// The list dialog TS003.
class HeldSalePicker {
public:
    struct Pick {
        int row = 0;
        bool take = true; // Enter takes the row off the list; a double click leaves it
    };
    virtual ~HeldSalePicker() = default;
    virtual std::optional<Pick> pick(const QList<HeldSaleRow> &rows) = 0;
};

class HeldSales {
public:
    static const QString HeldText;     // "已挂起一张销售单!"
    static const QString RestoredText; // "还原挂起单据,您可继续进行销售!"
    static const QString DamagedText;  // the file of the chosen row does not read
    static const QString Folder;       // "R"

    // Reads the rows of the held sales whose files are in the folder.
    HeldSales(const ProgramFolder &folder, Connection &connection, Sale &sale, MemberDesk &members,
              HeldSalePicker &picker);

    // PgDn: holds a sale with lines, otherwise brings one back. The help text to show;
    // empty when nothing happened.
    QString holdOrRetrieve();
    QString hold();
    QString retrieve();

    const QList<HeldSaleRow> &rows() const { return rows_; }
    int nextNumber() const { return next_; }
    // The file of a hold number; empty when the folder "R" does not exist.
    QString filePath(const QString &number) const;

private:
    void scan();
    void restoreMember(const HeldSaleRow &row);

    ProgramFolder folder_;
    Connection &connection_;
    Sale &sale_;
    MemberDesk &members_;
    HeldSalePicker &picker_;
    QList<HeldSaleRow> rows_;
    int next_ = 0;
};

// Writes all bytes or leaves the file as it was. False when it could not be written.
bool writeFileAtomically(const QString &path, const QByteArray &bytes);

} // namespace vorel
