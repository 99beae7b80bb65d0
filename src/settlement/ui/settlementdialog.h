#pragma once
// The settlement dialog "客付：" (TS001): amount due, up to five tenders, change. The sales
// screen creates it once and reuses it; for each settlement it calls prepareSettlement(),
// shows it modally and, when exec() returns Accepted, reads the seven amounts with
// fieldText(). Everything the dialog decides is Settlement's; this class draws it and
// routes keys, edits and focus moves to it.
//
// Object names of the controls: rows Pnl01 .. Pnl07, captions LAB01 .. LAB07, amounts
// LABZ01 .. LABZ07 (labels for the amount due and the change, single-line edits for the
// five tenders), Pnl_top, Pnl_bom with the points-exchange notice Label1, and mb, the
// hidden label that measures a row at the current font.

#include <QDialog>
#include <QString>
#include <array>
#include <optional>

#include "settlement/settlement.h"

class QLabel;
class QLineEdit;
class QKeyEvent;

namespace vorel {

class SettlementDialog : public QDialog {
    Q_OBJECT
public:
    // The font size and the change limit are read once from the terminal settings file at
    // `settingsPath`; a font size changed with Ctrl + keypad +/- is written back to it.
    // Outside Simplified Chinese systems the bank-card row reads "EPS".
    explicit SettlementDialog(QString settingsPath, QWidget *parent = nullptr,
                              bool simplifiedChinese = Settlement::systemUsesSimplifiedChinese());

    void prepareSettlement(const SettlementRequest &request);

    // The text of LABZ01 .. LABZ07 as shown (the amount fields keep their leading blanks).
    QString fieldText(SettlementField field) const;
    const Settlement &settlement() const { return logic_; }

    static QString pointsExchangeNotice();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Row {
        QWidget *panel = nullptr;
        QLabel *caption = nullptr;
        QLabel *amount = nullptr;   // amount due and change
        QLineEdit *memo = nullptr;  // the tenders
    };

    static int index(SettlementField f) { return static_cast<int>(f); }
    QLineEdit *memo(SettlementField f) const { return rows_[index(f)].memo; }
    std::optional<SettlementField> tenderOf(const QObject *object) const;
    // The tender holding the focus; the cash row when none does.
    SettlementField focusedTender() const;

    // Keys the dialog takes before any memo. True when consumed.
    bool handleDialogKey(QKeyEvent *event);
    // A key typed into a memo. True when swallowed.
    bool filterTyping(SettlementField tender, QKeyEvent *event);
    void focusTender(SettlementField tender);
    void payRest(SettlementField tender);
    void resizeFont(bool larger);

    void enterMemo(SettlementField tender, Qt::FocusReason reason);
    void leaveMemo(SettlementField tender);
    void paintMemo(QLineEdit *memo, bool active);
    void showTexts();
    void applyColours();
    void applyFont();
    void fitRows();

    QString settingsPath_;
    Settlement logic_;
    std::array<Row, SettlementFieldCount> rows_{};
    QWidget *top_ = nullptr;     // Pnl_top
    QWidget *bottom_ = nullptr;  // Pnl_bom
    QLabel *notice_ = nullptr;   // Label1
    QLabel *measure_ = nullptr;  // mb
    // The memo that last received the focus and has not yet given it up.
    std::optional<SettlementField> entered_;
};

} // namespace vorel
