#pragma once
// What the slip flow needs from the sales screen and from the settlement dialog, as two small
// interfaces: the sales screen implements SlipScreen over its labels and command line, the
// settlement dialog sits behind SettlementPrompt (ui/dialogsettlementprompt.h), and tests put
// plain objects in their place.

#include <QList>
#include <QString>

#include "settlement/settlement.h"

namespace vorel {

// The summary panel drawn over the grid after a settlement: one row per amount the dialog
// showed, the figures right-aligned to a common width.
struct SettlementSummary {
    struct Row {
        QString caption;
        QString amount;
        bool operator==(const Row &) const = default;
    };
    static const QString SaleTitle;  // "应  收"
    static const QString TopUpTitle; // "充  值"

    QList<Row> rows;

    // The panel's height shared among the rows.
    int rowHeight(int panelHeight) const { return rows.isEmpty() ? 0 : panelHeight / int(rows.size()); }
};

class SlipScreen {
public:
    virtual ~SlipScreen() = default;

    virtual bool practiceMode() const = 0;   // the "练习收银" banner is showing
    virtual bool printToggle() const = 0;    // receipts are printed at settlement
    virtual bool darkPanel() const = 0;      // the dark top panel is showing

    // InputLocked: keys are ignored while a slip is being sent.
    virtual void setInputLocked(bool locked) = 0;
    // The status line beside the command line.
    virtual void showStatus(const QString &text) = 0;
    // Shows the panel; the next key press hides it and calls SlipCommitter::summaryDismissed.
    virtual void showSummary(const SettlementSummary &summary) = 0;
    // The screen's own per-slip fields go back to their start: the command line and the
    // status line are emptied. (The slip's own fields belong to the sale.)
    virtual void resetForNewSlip() = 0;
};

// The settlement dialog TS001 seen from the commit.
class SettlementPrompt {
public:
    virtual ~SettlementPrompt() = default;
    // Fills the dialog and shows it modally. True when the payment is complete (OK).
    virtual bool settle(const SettlementRequest &request) = 0;
    // LABZ01 .. LABZ07 of the last settlement, as shown.
    virtual QString fieldText(SettlementField field) const = 0;
    // The bank-card row reads " EPS    " (a system language other than Simplified Chinese).
    virtual bool bankCardReadsEps() const = 0;
};

// The panel's rows for a settlement made with `request` whose fields read `texts`, amounts
// at `decimals` places.
SettlementSummary makeSettlementSummary(const QString &title, const SettlementRequest &request,
                                        const std::array<QString, SettlementFieldCount> &texts, int decimals,
                                        bool eps);

} // namespace vorel
