#pragma once
// The command line of the sales screen, without the widgets: the help label beside the edit,
// the character filter, the interpreter that runs on Enter, and the item lookup that turns a
// typed code into a sale line. The sales screen forwards its edit's events here and shows
// what the signals say.
//
// A typed text is either a code to sell or a prefix and a value:
//   "//" remark   "--" points redemption   ".." whole-sale discount   "++" amount
//   "."  line discount   "**" stored-value top-up   "*+" new member card   "*" member
//   "/"  salesperson   "+" quantity ("+-" a return)   anything else: a barcode or style.

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "core/money.h"
#include "core/resultset.h"
#include "core/session.h"
#include "sales/commandresult.h"

namespace vorel {

class Connection;
class ItemPicker;
class MemberCommands;
class Pricing;
class Sale;
class Session;
class SettlementLauncher;

// What the command line works with; nothing is owned, everything outlives it.
struct CommandLineParts {
    Session &session;
    Sale &sale;
    Pricing &pricing;
    Connection &connection;
    MemberCommands &members;
    SettlementLauncher &settlement;
    ItemPicker &picker;
};

class CommandLine : public QObject {
    Q_OBJECT

public:
    // The edits take no more characters.
    static constexpr int MaxLength = 30;

    // Help-label texts of refusals and of lookups that found nothing.
    static const QString QuoteText;        // "不能带有单引号!"
    static const QString NoRightText;      // "您无权使用该功能!"
    static const QString NoDiscountText;   // discount column switched off
    static const QString OfflineRedeemText;
    static const QString OfflineNewCardText;
    static const QString QuantityRangeText;
    static const QString NoReturnRightText;
    static const QString UnknownSalespersonText;
    static const QString ItemNotFoundText;

    explicit CommandLine(const CommandLineParts &parts, QObject *parent = nullptr);

    // ---- state of the screen
    const QString &helpText() const { return help_; } // HelpLabel
    bool inputLocked() const { return inputLocked_; } // InputLocked: set while a slip is sent
    void setInputLocked(bool locked) { inputLocked_ = locked; }
    // The text the edit holds, as the change handler last saw it.
    const QString &commandText() const { return text_; }

    // The rows of the last lookup (CDS_K). The picker's filter stays on them from one lookup
    // to the next.
    const ResultSet &lookupRows() const { return lookup_; }

    // Asked on every change of the text: true when the screen was showing a stored slip and
    // has now left that state (a new sale, same slip number). Unset: never in that state.
    void setQueryStateHandler(std::function<bool()> leaveQueryState) { leaveQueryState_ = std::move(leaveQueryState); }

    // ---- the edit's events

    // The text changed: the idle counter restarts and the help label explains the prefix typed.
    void TMCOLORChange(const QString &text);
    // A character typed: false when the edit must drop it.
    bool TMCOLORKeyPress(QChar ch) const;
    // Enter. Returns the text the edit takes afterwards (the change handler has seen it
    // already); nullopt leaves the text as it is.
    std::optional<QString> ExecuteCommand(const QString &text);

    // Looks `raw` up (server or local store), lets the cashier pick when several items match,
    // appends the line and brings promotions and totals up to date. False when no line was
    // added; the help label then says why (or the cashier cancelled the picker).
    bool AddItemByCode(const QString &raw);

signals:
    void helpTextChanged(const QString &text);
    // The screen-lock idle counter goes back to 0.
    void idleCounterReset();

private:
    bool right(CashierRight r) const;
    void setHelp(const QString &text);
    // A refusal: the message shows, the text stays.
    std::optional<QString> refuse(const QString &message);
    // The end of every command that did its work: the text goes, a changed line brings the
    // group promotions up to date, the totals are refreshed; then the command's message.
    std::optional<QString> finish(bool lineChanged, const QString &message = {}, const QString &nextText = {});
    std::optional<QString> memberCommand(const CommandResult &result);
    std::optional<QString> changeQuantity(Money value);
    std::optional<QString> chooseSalesperson(const QString &id);
    // Lookup and new line, without the finish step.
    bool appendItem(const QString &raw);
    void lookUp(const QString &raw);

    Session &session_;
    Sale &sale_;
    Pricing &pricing_;
    Connection &connection_;
    MemberCommands &members_;
    SettlementLauncher &settlement_;
    ItemPicker &picker_;

    QString help_;
    QString text_;
    bool inputLocked_ = false;
    std::function<bool()> leaveQueryState_;
    ResultSet lookup_;
    QString lookupFilter_;
};

} // namespace vorel
