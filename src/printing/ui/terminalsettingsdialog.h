#pragma once
// The terminal settings dialog TS004: tenders, slogan and logo, printer, display and drawer, the
// three receipt templates, amount precision and rounding, lock and offline timings. Every
// button works on what the controls show, saved or not; OK saves and applies through the
// settings form, which refuses a raw printer and the display on one port.

#include <QDialog>

#include "printing/receipt.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace vorel {

class TerminalSettingsForm;

class TerminalSettingsDialog : public QDialog {
    Q_OBJECT
public:
    static const QString Caption;

    // Fills the controls from the settings file and the template files, and gives the
    // receipt printer the dialog's page printing and preview for as long as it lives.
    explicit TerminalSettingsDialog(TerminalSettingsForm &form, QWidget *parent = nullptr);
    ~TerminalSettingsDialog() override;

    // Before each showing: the sale's lines become what the print test prints.
    void prepareSettings(const QList<ReceiptLine> &saleLines);

    // The controls' values into the form, and back.
    void storeToForm();
    void loadFromForm();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void okClicked();
    void pickLogo();
    void showLogo();
    void takeBuiltInTemplate();
    void takeOtherTillsTemplate();
    void saveTemplatesToServer();
    void swapLineTemplate();
    void runTest();

    TerminalSettingsForm &form_;

    QCheckBox *ff1_ = nullptr, *ff2_ = nullptr, *ff3_ = nullptr, *ff4_ = nullptr;
    QLineEdit *slogan_ = nullptr, *logo_ = nullptr;
    QLabel *logoImage_ = nullptr;
    QCheckBox *ot1_ = nullptr, *ot2_ = nullptr, *ot3_ = nullptr;
    QCheckBox *chk1_ = nullptr, *chk33_ = nullptr, *chk34_ = nullptr, *chk35_ = nullptr, *chk36_ = nullptr;
    QRadioButton *chk31_ = nullptr, *chk32_ = nullptr;
    QComboBox *cmb1_ = nullptr, *cmb2_ = nullptr, *cmb5_ = nullptr;
    QDoubleSpinBox *num1_ = nullptr;
    QSpinBox *cmb6_ = nullptr, *fontTitle_ = nullptr, *fontD_ = nullptr;
    QCheckBox *chk2_ = nullptr, *chk3_ = nullptr;
    QComboBox *cmb3_ = nullptr, *cmb4_ = nullptr, *cmb7_ = nullptr, *cmb8_ = nullptr;
    QSpinBox *param19_ = nullptr;
    QRadioButton *param20_[3] = {};
    QSpinBox *num2_ = nullptr, *num3_ = nullptr, *fhcdb_ = nullptr, *fhcxs_ = nullptr;
    QComboBox *minKey_ = nullptr;
    QPlainTextEdit *memo1_ = nullptr, *memo3_ = nullptr, *memo2_ = nullptr;
    QLabel *swapLabel_ = nullptr;
};

} // namespace vorel
