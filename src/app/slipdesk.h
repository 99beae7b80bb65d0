#pragma once
// The keys that put a sale aside or look back at one: PgDn holds or brings back a sale,
// PgUp and F3 show a stored slip read-only (the query state), F9 reprints and F10 shows
// its receipt. While a slip is shown every other key leaves it and starts a new sale
// under the same slip number. A reprint never opens the drawer.

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "core/programfolder.h"
#include "sales/sliprecall.h"

namespace vorel {

class ActionRegistry;
class Connection;
class HeldSalePicker;
class HeldSales;
class MemberDesk;
class Sale;
class SalesScreenView;
class Session;
class SessionReceiptPrinter;
class SlipCommitter;
class SyncDesk;
struct CommittedSlip;

struct SlipDeskParts {
    Session &session;
    Connection &connection;
    ProgramFolder folder;
    Sale &sale;
    MemberDesk &members;
    SlipCommitter &committer;
    SessionReceiptPrinter &printer;
    SyncDesk &syncDesk;
    HeldSalePicker &picker;
    ActionRegistry &registry;
    SalesScreenView &view;
    std::function<void(const QString &)> showCashier; // the cashier label of a shown slip
};

class SlipDesk {
public:
    explicit SlipDesk(const SlipDeskParts &parts);
    ~SlipDesk();

    bool queryState() const { return shown_.has_value(); }
    // A key while a slip is shown; true when the key is used up (always, in the query state).
    bool queryKey(int key);
    // Shows the slip read-only; false (and the refusal shown) when there is no such slip.
    bool recall(const QString &number);
    HeldSales &held() { return *held_; }

    // The receipt of a stored slip as it was printed at settlement.
    static CommittedSlip receiptOf(const RecalledSlip &slip);

private:
    void registerKeys();
    void reprint(const RecalledSlip &slip, bool showOnly);
    void reprintLast();
    void leaveQuery();

    Session &session_;
    Sale &sale_;
    MemberDesk &members_;
    SlipCommitter &committer_;
    SessionReceiptPrinter &printer_;
    SyncDesk &syncDesk_;
    ActionRegistry &registry_;
    SalesScreenView &view_;
    std::function<void(const QString &)> showCashier_;
    SlipRecall recall_;
    std::unique_ptr<HeldSales> held_;
    std::optional<RecalledSlip> shown_;
};

} // namespace vorel
