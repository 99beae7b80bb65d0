#pragma once
// Committing a sale: the settle action of the sales screen (Enter on an empty command line),
// the stored-value top-up's settlement, and the start of every slip.
//
// Settling asks the settlement dialog how the sale is paid, builds the slip's batch (header,
// lines, member points and balance, the list-price refresh) and sends it through the
// connection's execute wrapper, which keeps it in the local store when the server is gone.
// A duplicate number is repaired and the batch sent again, three attempts in all. After a
// slip is written the summary panel shows the tenders, the drawer opens, the change goes to
// the customer display, the receipt prints and the open shift's totals grow. In practice
// mode nothing is written and the number stays.

#include <QString>
#include <functional>

#include "offline/connection.h"
#include "sales/settlementlauncher.h"
#include "printing/receiptprinter.h"
#include "settlement/slipbatch.h"
#include "settlement/slipnumbers.h"
#include "settlement/slipscreen.h"

namespace vorel {

class Clock;
class Connection;
class Devices;
class MemberCommands;
class Messages;
class Sale;
class Session;
class TerminalSettings;

// What the commit works with; nothing is owned, everything outlives the committer. The
// session is the connection's.
struct SlipCommitParts {
    Connection &connection;
    TerminalSettings &settings; // tender switches FF1 .. FF4, POSNOID
    Sale &sale;
    MemberCommands &members;
    SlipScreen &screen;
    SettlementPrompt &prompt;
    Devices &devices;
    ReceiptPrinter &printer;
    Messages &messages;
    const Clock &clock;
    // Waits before the receipt and after the display; empty: the thread sleeps.
    std::function<void(int ms)> pause = {};
};

class SlipCommitter final : public SettlementLauncher {
public:
    enum class Outcome {
        NothingToSettle, // no lines
        NotOnDuty,       // shifts in use and the cashier is not on duty
        NoRight,         // nothing to pay and no right to settle that
        Cancelled,       // the settlement dialog was left without OK
        Refused,         // not written: the reason was shown
        Committed,       // written
        Practised,       // practice mode: settled, nothing written
    };

    static const QString TopUpFailedText; // "充值不成功，请重新保存!"
    // A reply holding this says the slip may not fall back to the local store.
    static const QString NoOfflineMarker; // "关闭离线功能"
    static const QString DuplicateMarker; // "PK_D712"
    static constexpr int Attempts = 3;
    static constexpr int DisplayPauseMs = 300;

    explicit SlipCommitter(const SlipCommitParts &parts);

    // SettlementLauncher
    void settleSale() override { bsBtn01Click(); }
    void settleTopUp() override { settleTopUpNow(); }

    // The settle action.
    Outcome bsBtn01Click();
    // The top-up line is the sale's only line; pays it and writes it to the server.
    Outcome settleTopUpNow();

    // The batch of the sale on the screen under the current number, built anew (an
    // automatic booking date first follows the clock).
    QString BuildSlipSql();

    // Makes the screen ready for the next slip: the counter (loaded, advanced, saved), the
    // per-slip fields, no member; the lines go unless kept. The session start calls it
    // (no advance) before the first settlement, which takes the number it shows.
    void StartNewSlip(bool keepLines, bool advance);
    // The key press that hides the summary: after a committed slip the next one starts,
    // with the next number unless the slip was practice.
    void summaryDismissed();
    bool awaitingNextSlip() const { return awaitingNextSlip_; }

    SlipNumbers &numbers() { return numbers_; }
    BusinessDate &businessDate() { return date_; }
    // SlipPoints and MemberPoints as the last slip left them.
    qint64 slipPoints() const { return slipPoints_; }
    qint64 memberPoints() const { return memberPoints_; }
    const SettlementSummary &lastSummary() const { return summary_; }
    // The last batch sent (or built in practice mode).
    const QString &lastBatch() const { return batch_.sql; }

private:
    Session &session() const;
    SettlementRequest request(bool editable, bool storedValue, bool voucher) const;
    void readAmounts();
    SlipBatch buildBatch();
    Route routeForSlip() const;
    // Sends the slip; false when it was refused (and the reason shown).
    bool send();
    void finishSale(const SettlementRequest &request, bool practice);
    CommittedSlip committedSlip() const;
    void pause(int ms) const;

    Connection &connection_;
    TerminalSettings &settings_;
    Sale &sale_;
    MemberCommands &members_;
    SlipScreen &screen_;
    SettlementPrompt &prompt_;
    Devices &devices_;
    ReceiptPrinter &printer_;
    Messages &messages_;
    std::function<void(int)> pause_;

    SlipNumbers numbers_;
    BusinessDate date_;
    SettlementTexts amounts_;
    SlipBatch batch_;
    SettlementSummary summary_;
    qint64 slipPoints_ = 0;
    qint64 memberPoints_ = 0;
    bool awaitingNextSlip_ = false;
    bool advanceOnDismiss_ = false; // the next key after the summary moves to a new number
};

} // namespace vorel
