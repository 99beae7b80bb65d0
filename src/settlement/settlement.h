#pragma once
// How a sale (or a member's top-up) is paid: the amount due, up to five tenders and the
// change, and every rule of the settlement dialog that is not drawing. The dialog keeps
// one of these and asks it what each key, edit and focus move does.
//
// The seven amounts are held as the texts the cashier sees, because the slip, the shift
// totals and the receipt copy those texts as they are (with the leading blanks of the
// width-10 format). Values are read back from the texts; anything unreadable counts as 0.

#include <QChar>
#include <QList>
#include <QSize>
#include <QString>
#include <array>
#include <optional>

#include "core/money.h"
#include "sales/settlementfields.h"

namespace vorel {

// One settlement as the sales screen asks for it.
struct SettlementRequest {
    QString amountDue;        // the total label's text
    QString balance;          // the member's stored-value balance text
    bool editable = true;     // false for a points exchange: nothing to pay, nothing to change
    bool dark = false;        // the sales screen shows its dark top panel
    bool bankCard = true;     // FF4
    bool storedValue = true;  // FF3, online and a member card present
    bool voucher = true;      // FF2
    bool roundOff = true;     // FF1
    bool online = true;       // not ftj: a stored-value payment is proposed only online
    int decimals = 0;         // places of amounts (chkparam19)
};

class Settlement {
public:
    // Characters the cashier may type into one tender.
    static constexpr int MaxTypedLength = 10;
    static constexpr int DefaultFontSize = 26;
    // The dialog does not shrink below this width.
    static constexpr int MinShrinkWidth = 400;

    enum class KeyVerdict {
        Accept,  // the memo takes the character
        Swallow, // the character is dropped
        Empty,   // the memo is emptied and the character dropped
    };

    // What prepare() found changed since the last layout.
    struct Relayout {
        bool colours = false;
        bool rows = false;
        bool operator==(const Relayout &) const = default;
    };

    explicit Settlement(bool changeUnder100 = true, int fontSize = DefaultFontSize);

    // Fills the seven fields for one settlement: the amount due, zero in every tender but
    // the stored-value proposal, the change. Tells which parts of the layout are stale.
    Relayout prepare(const SettlementRequest &request);

    bool editable() const { return editable_; }
    bool dark() const { return layout_ ? layout_->dark : false; }
    int decimals() const { return decimals_; }
    // Amount due, cash and change always; the other four when offered.
    bool isShown(SettlementField field) const;
    // The shown tenders in cycle order.
    QList<SettlementField> shownTenders() const;

    const QString &text(SettlementField field) const { return texts_[index(field)]; }
    Money value(SettlementField field) const { return moneyOfText(text(field)); }
    Money amountDue() const { return value(SettlementField::AmountDue); }
    // Exactly, before the display rounds it to `decimals` places; negative while short.
    Money change() const { return change_; }

    // The cashier changed a tender's text. The change follows at once.
    void edit(SettlementField tender, const QString &text);

    // A character typed into a tender whose text is `text` with `selectedLength`
    // characters selected (they are replaced by what is typed). QChar(8) is backspace.
    KeyVerdict keyVerdict(QChar ch, const QString &text, qsizetype selectedLength) const;

    // Whether the focus may leave the tender: not while it holds a negative amount, and
    // not from a rounding-off larger than the amount due.
    bool mayLeave(SettlementField tender) const;
    // The focus left: the text is rewritten in the shop's format.
    void leave(SettlementField tender);

    // Up (step -1) and Down (+1): the shown tender before or after the focused one, round
    // the cycle. Nothing with fewer than two tenders or when the focus may not leave.
    std::optional<SettlementField> nextTender(SettlementField focused, int step) const;

    // Enter: true when the payment is complete and the dialog closes with OK.
    bool accept(SettlementField focused) const;

    // Keypad "*": the focused tender pays whatever is still open. True when that closes
    // the dialog with OK; false when the other tenders already pay more than is due (the
    // focused tender is left negative).
    bool payRest(SettlementField focused);

    bool changeUnder100() const { return changeUnder100_; }
    void setChangeUnder100(bool on) { changeUnder100_ = on; }

    // Point size of the dialog's font; a stored size outside 8..200 gives the default.
    int fontSize() const { return fontSize_; }
    void setFontSize(int size);
    // Ctrl + keypad "+": one point larger while the dialog still fits the screen.
    bool enlargeFont(QSize dialog, QSize screen);
    // Ctrl + keypad "-": one point smaller while the dialog is wider than MinShrinkWidth.
    bool shrinkFont(QSize dialog);

    // The value of a field's text: blanks trimmed; empty or unreadable text is 0.
    static Money moneyOfText(const QString &text);
    // Width 18 at the shop's places, trimmed.
    QString formatAmount(Money value) const;

    // Row captions. The bank-card row reads " EPS    " where the system language is not
    // Simplified Chinese (China).
    static QString caption(SettlementField field, bool simplifiedChinese = true);
    static bool systemUsesSimplifiedChinese();

private:
    struct LayoutInputs {
        bool dark = false;
        bool bankCard = false;
        bool storedValue = false;
        bool voucher = false;
        bool roundOff = false;
        bool operator==(const LayoutInputs &) const = default;
    };

    static constexpr int index(SettlementField f) { return static_cast<int>(f); }
    // Width 10 at the shop's places, not trimmed.
    QString fillText(Money value) const;
    void setText(SettlementField field, const QString &text);
    void recomputeChange();

    std::array<QString, SettlementFieldCount> texts_;
    Money change_;
    bool editable_ = true;
    bool changeUnder100_ = true;
    int decimals_ = 0;
    int fontSize_ = DefaultFontSize;
    std::optional<LayoutInputs> layout_; // empty until the first settlement
};

} // namespace vorel
