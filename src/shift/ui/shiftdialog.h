#pragma once
// TS010 (当班/交班): going on duty (the shift and the float are typed here) and the handover
// (the shift's figures to check before the voucher prints), one dialog for both, kept by the
// sales screen for the session. Its buttons reprint or show the last voucher and open this
// terminal's shift list TS010_1. The rules live in shift::ShiftDesk.

#include <QDialog>
#include <array>

#include "core/ui/resultsetpicker.h"
#include "shift/shiftdesk.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vorel {

class Messages;

// TS010_1: this terminal's shift records, latest first.
class ShiftRecordsDialog final : public ResultSetPicker {
    Q_OBJECT
public:
    explicit ShiftRecordsDialog(ResultSet rows, QWidget *parent = nullptr);

protected:
    bool take(int row) override;

private:
    ResultSet rows_;
};

class ShiftDialog final : public QDialog, public shift::ShiftPrompts {
    Q_OBJECT
public:
    ShiftDialog(shift::ShiftDesk &desk, Messages &messages, QWidget *parent = nullptr);

    // PrepareOnDuty / PrepareHandover: the dialog shows the form.
    void prepare(const shift::ShiftForm &form);
    shift::OnDutyAnswer answer() const;

    // ---- ShiftPrompts
    std::optional<shift::OnDutyAnswer> askOnDuty(const shift::ShiftForm &form) override;
    bool confirmHandover(const shift::ShiftForm &form) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void btn_okClick();
    void showShiftRecords();

    shift::ShiftDesk &desk_;
    Messages &messages_;
    bool handover_ = false;
    QLabel *caption_;
    QLabel *message_;
    QComboBox *shiftList_; // CB
    QLineEdit *float_;     // A4
    QLabel *cashier_;      // A1
    QLabel *terminal_;     // A7
    QLabel *start_;        // A2
    QLabel *end_;          // A3
    QLabel *duration_;     // tolhh
    QLabel *durationCaption_;
    QLabel *slips_;        // NUM
    QLabel *quantity_;     // SL
    QLabel *handoverCash_; // EMONEY
    std::array<QLabel *, 7> amounts_{}; // S1 .. S7
    QPushButton *ok_ = nullptr;
};

} // namespace vorel
