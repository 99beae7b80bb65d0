#pragma once
// The business-date dialog "开单日期设定" (TS012), opened with Ctrl+D on the sales screen:
// book the following slips under a chosen date (rb1 and the picker bdate) or at the PC's
// time (rb2). The sales screen creates it once and asks it again for every change; the
// rules are BusinessDate's.

#include <QDialog>

class QDateEdit;
class QRadioButton;

namespace vorel {

class BusinessDate;

class BusinessDateDialog : public QDialog {
    Q_OBJECT
public:
    explicit BusinessDateDialog(QWidget *parent = nullptr);

    // Sets the radios and the picker from the business date.
    void prepare(const BusinessDate &date);
    // Hands the shown choice to the business date.
    void apply(BusinessDate &date) const;
    // prepare, show modally, apply on OK. True when OK was chosen.
    bool ask(BusinessDate &date);

    QRadioButton *chosenDateButton() const { return rb1_; }
    QRadioButton *automaticButton() const { return rb2_; }
    QDateEdit *picker() const { return picker_; }

private:
    QRadioButton *rb1_ = nullptr;
    QRadioButton *rb2_ = nullptr;
    QDateEdit *picker_ = nullptr;
};

} // namespace vorel
