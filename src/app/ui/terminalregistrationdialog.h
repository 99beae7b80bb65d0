#pragma once
// The registration dialog "TREG_ZD" (注册终端信息): the number, name, warehouse and shift
// option of this till, or the key of an existing terminal to take it over, above the list
// of terminals already registered. What OK does is the registrar's.

#include <QDialog>
#include <QPointer>

#include "app/loginflow.h"
#include "app/terminalregistrar.h"
#include "core/ui/resultsetgrid.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace vorel {

class TerminalRegistrationDialog : public QDialog {
    Q_OBJECT

public:
    // `registrar` has been prepared: the dialog shows its terminals, warehouses and proposal.
    explicit TerminalRegistrationDialog(TerminalRegistrar &registrar, QWidget *parent = nullptr);

private:
    void confirm();

    TerminalRegistrar &registrar_;
    QLineEdit *number_;
    QLineEdit *name_;
    QComboBox *warehouse_;
    QLineEdit *key_;
    QCheckBox *shift_;
    ResultSetGrid *grid_;
};

// The login's way to register the PC: the dialog, modally, over the shop the login reached.
class DialogTerminalRegistration final : public TerminalRegistration {
public:
    DialogTerminalRegistration(ShopLink &link, TerminalSettings &settings, Messages &messages,
                               QWidget *parent = nullptr);

    // Where new keys come from (the system's random generator unless set).
    void setKeyDraw(TerminalRegistrar::KeyDraw draw) { draw_ = std::move(draw); }

    bool registerTerminal(const QString &userId, const ResultSet &warehouses) override;

private:
    ShopLink &link_;
    TerminalSettings &settings_;
    Messages &messages_;
    QPointer<QWidget> parent_;
    TerminalRegistrar::KeyDraw draw_;
};

} // namespace vorel
