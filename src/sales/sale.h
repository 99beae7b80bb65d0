#pragma once
// The sale being rung up: its lines in order, the current line, the per-group promotion
// values, the footer sums and the three total labels of the sales screen, and the sale's
// member factor and redemption value. Lives only in memory; the sales screen owns one.
//
// A line's number (AUTOID) is its position, counted from 1, so it follows deletions. The
// signals let a table model follow every change.

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include "core/money.h"
#include "core/session.h"
#include "sales/saleline.h"

namespace vorel {

class CustomerDisplay;

// The two promotion values of a group, over the lines that share one G.
struct GroupSums {
    // suma: pieces of FLAG1 lines + tag amount of FLAG2 lines + charged amount of FLAG3
    // lines, i.e. sum(SL*FLAG1 + SL*ODJ*FLAG2 + SMONEY*FLAG3).
    Money suma;
    // sumb: charged amount of the piece-counted lines, sum(FLAG1*SMONEY).
    Money sumb;
};

// The grid's footer sums.
struct SaleTotals {
    int lineCount = 0;
    qint64 quantity = 0;  // SL
    Money amount;         // SMONEY
    Money tagTotal;       // OTOTAL
    Money beforeRounding; // OMONEY
};

// The three totals beside the grid, as amounts: what the labels show, rounded as shown.
struct TotalAmounts {
    Money total;      // 合计
    qint64 quantity = 0;
    Money saving;     // 共优惠
};

// Texts of the total labels beside the grid.
struct TotalLabels {
    QString total;    // 合计
    QString quantity; // 数量
    QString saving;   // 共优惠
    bool operator==(const TotalLabels &) const = default;
};

class Sale : public QObject {
    Q_OBJECT
public:
    // The session outlives every sale; its formats are read live.
    explicit Sale(const Session::Formats &formats, QObject *parent = nullptr);

    // ---- lines (rows count from 0; AUTOID = row + 1)
    int lineCount() const { return static_cast<int>(lines_.size()); }
    bool isEmpty() const { return lines_.isEmpty(); }
    const QList<SaleLine> &lines() const { return lines_; }
    const SaleLine &line(int row) const { return lines_.at(row); }
    static int autoId(int row) { return row + 1; }

    // Appends and makes the new line current; returns its row.
    int appendLine(const SaleLine &line);
    void replaceLine(int row, const SaleLine &line);
    // The line that takes the removed one's place becomes current (the previous one when
    // the last line went).
    void removeLine(int row);
    // Row of the first line of that kind, -1 when there is none.
    int findLine(LineKind kind) const;

    // ---- current line, -1 when the sale is empty
    int current() const { return current_; }
    bool setCurrent(int row);
    const SaleLine *currentLine() const { return current_ >= 0 ? &lines_.at(current_) : nullptr; }

    // ---- promotion groups and footers
    GroupSums groupSums(qint16 g) const;
    // The group values of the row's own group ("累计" in the grid).
    Money suma(int row) const { return groupSums(lines_.at(row).g()).suma; }
    Money sumb(int row) const { return groupSums(lines_.at(row).g()).sumb; }
    SaleTotals totals() const;

    // ---- the slip's header: number (bsLabZ03), business date (bdate), salesperson (bsLabZ07).
    // The sale is their one owner; screens show them from headerChanged.
    const QString &slipNumber() const { return slipNumber_; }
    void setSlipNumber(const QString &number);
    const QString &slipDate() const { return slipDate_; }
    void setSlipDate(const QString &date);
    const QString &salesperson() const { return salesperson_; }
    void setSalesperson(const QString &id);

    // ---- member and points redemption
    Money memberRate() const { return memberRate_; }
    bool memberSelected() const { return memberSelected_; }
    // Only the state; repricing the lines for a new factor is Pricing::changeMember.
    void setMember(bool selected, Money rate);
    double redeemAmount() const { return redeemAmount_; }
    // Puts the voucher value into the sale's one redemption line (appended when missing,
    // made current) and remembers it so the saving label leaves it out.
    void setRedemption(double voucherValue);
    // The redemption line was deleted: its voucher value no longer counts.
    void forgetRedemption() { redeemAmount_ = 0.0; }
    // A held or recalled sale came back with its redemption line of that value.
    void restoreRedemption(double voucherValue) { redeemAmount_ = voucherValue; }

    // ---- amounts on screen
    // Display format of the price and amount columns and of the amount footer: "0.0" until
    // the session start sets it from the shop's number of amount decimals.
    const QString &amountDisplayFormat() const { return amountFormat_; }
    void applyAmountDecimals(int decimals);
    QString amountText(Money value) const;

    // The display the running total goes to; not owned, may be null.
    void setCustomerDisplay(CustomerDisplay *display) { display_ = display; }

    const TotalLabels &labels() const { return labels_; }
    const TotalAmounts &amounts() const { return amounts_; }
    // Recomputes the three labels from the footer sums and shows the total on the
    // customer display.
    void refreshTotals();

    // The total shows "0" until the next refresh: a redemption gave up what would have made
    // the slip negative.
    void showZeroTotal();

    // A new sale: no lines, no member, no redemption, no salesperson, the labels at "0".
    void clear();

signals:
    void lineAboutToBeInserted(int row);
    void lineInserted(int row);
    void lineAboutToBeRemoved(int row);
    void lineRemoved(int row);
    void lineChanged(int row);
    void aboutToBeCleared();
    void cleared();
    void currentChanged(int row);
    void labelsChanged();
    void headerChanged();
    void amountDisplayFormatChanged();

private:
    void changed() { groupsValid_ = false; }
    void moveCurrent(int row);

    const Session::Formats &formats_;
    QList<SaleLine> lines_;
    int current_ = -1;
    Money memberRate_ = Money::fromUnits(1);
    bool memberSelected_ = false;
    double redeemAmount_ = 0.0;
    QString amountFormat_ = QStringLiteral("0.0");
    TotalLabels labels_;
    TotalAmounts amounts_;
    QString slipNumber_;
    QString slipDate_;
    QString salesperson_;
    CustomerDisplay *display_ = nullptr;
    mutable QHash<qint16, GroupSums> groups_;
    mutable bool groupsValid_ = false;
};

} // namespace vorel
