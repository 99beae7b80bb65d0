#pragma once
// The member editor dialog TIV7001_1 "会员信息管理": one new card, checked field by field as the
// cashier leaves the card number and the birthday, and again as a whole on OK. The rules are
// MemberEditor's; this dialog only moves texts between the fields and the form.

#include <QDialog>
#include <QMap>
#include <QString>

#include "members/membereditor.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vorel {

class Messages;

class MemberEditorDialog : public QDialog {
    Q_OBJECT
public:
    // The editor and the message boxes must outlive the dialog.
    MemberEditorDialog(MemberEditor &editor, Messages &messages, QWidget *parent = nullptr);

    // A blank card, the focus on the first field the cashier types into.
    void openForAdd();
    // "*" and the card number after a save, else empty.
    const QString &resultText() const { return editor_.resultText(); }

    // The whole round from the sales screen: open for a new card, run, return the text the
    // command line receives.
    static QString addMember(MemberEditor &editor, Messages &messages, QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void save();
    void toForm();
    void fromForm();
    // Shows the problem and puts the focus back on its field.
    void report(const MemberEditor::Problem &problem, bool deferFocus);

    MemberEditor &editor_;
    Messages &messages_;
    QMap<MemberEditor::Field, QWidget *> fields_;
    QLineEdit *cardNo_ = nullptr;
    QLineEdit *name_ = nullptr;
    QLineEdit *age_ = nullptr;
    QLineEdit *phone_ = nullptr;
    QLineEdit *job_ = nullptr;
    QLineEdit *email_ = nullptr;
    QLineEdit *address_ = nullptr;
    QDateEdit *opened_ = nullptr;
    QDateEdit *expires_ = nullptr;
    QLineEdit *discount_ = nullptr;
    QLineEdit *birthday_ = nullptr;
    QComboBox *grade_ = nullptr;
    QComboBox *status_ = nullptr;
    QLineEdit *points_ = nullptr;
    QLabel *pointsLabel_ = nullptr;
    QLineEdit *balance_ = nullptr;
    QLabel *balanceLabel_ = nullptr;
    QLineEdit *note_ = nullptr;
    QPushButton *ok_ = nullptr;
    QPushButton *cancel_ = nullptr;
    bool refocusing_ = false;
};

} // namespace vorel
