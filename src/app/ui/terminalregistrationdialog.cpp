#include "app/ui/terminalregistrationdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "core/ui/dialogbuttons.h"

namespace vorel {

namespace {

QLineEdit *namedEdit(const char *name, const QString &text, int maxLength, QWidget *parent)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(maxLength);
    return edit;
}

} // namespace

TerminalRegistrationDialog::TerminalRegistrationDialog(TerminalRegistrar &registrar, QWidget *parent)
    : QDialog(parent), registrar_(registrar),
      number_(namedEdit("ZD_ID", QStringLiteral("888"), 3, this)),
      name_(namedEdit("ZD_NAME", QStringLiteral("8号收银机"), 30, this)), warehouse_(new QComboBox(this)),
      key_(namedEdit("Edit1", QString(), 30, this)),
      shift_(new QCheckBox(QStringLiteral("使用 当班/交班 功能(多人换班收银)"), this)),
      grid_(new ResultSetGrid(this))
{
    setObjectName(QStringLiteral("TREG_ZD"));
    setWindowTitle(QStringLiteral("注册终端信息"));

    // Digits only; backspace and the cursor keys still work.
    number_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), number_));
    number_->setText(registrar_.proposedNumber());

    warehouse_->setObjectName(QStringLiteral("DBLookupComboCK"));
    const ResultSet &warehouses = registrar_.warehouses();
    const int idColumn = warehouses.columnIndex(QStringLiteral("CK_ID"));
    const int nameColumn = warehouses.columnIndex(QStringLiteral("CK_NAME"));
    for (int r = 0; idColumn >= 0 && r < warehouses.totalRowCount(); ++r)
        warehouse_->addItem(warehouses.fieldAt(r, nameColumn).asString(), warehouses.fieldAt(r, idColumn).asString());
    warehouse_->setCurrentIndex(warehouse_->findData(registrar_.firstWarehouse()));

    shift_->setObjectName(QStringLiteral("Db"));

    grid_->setRows(registrar_.terminals(), {{QStringLiteral("终端编号"), QStringLiteral("ZD_ID")},
                                            {QStringLiteral("终端名称"), QStringLiteral("ZD_NAME")},
                                            {QStringLiteral("仓库"), QStringLiteral("CK_ID")},
                                            {QStringLiteral("注册时间"), QStringLiteral("BDATE")}});
    grid_->setFocusPolicy(Qt::NoFocus); // the keyboard stays on the fields and OK
    grid_->resizeColumnsToContents();

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("终端编号"), number_);
    form->addRow(QStringLiteral("终端名称"), name_);
    form->addRow(QStringLiteral("终端仓库"), warehouse_);
    form->addRow(QStringLiteral("验 证 码"), key_);
    form->addRow(QString(), new QLabel(QStringLiteral("（新注册留空，还原终端号请填写）"), this));
    form->addRow(QString(), shift_);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("表格中列出已注册的终端机信息，请为本机注册一个未使用的3位数字号码："), this));
    layout->addWidget(grid_);
    layout->addLayout(okCancelRow(this, &TerminalRegistrationDialog::confirm));

    number_->setFocus();
    number_->selectAll();
}

void TerminalRegistrationDialog::confirm()
{
    TerminalRegistrar::Entry entry;
    entry.number = number_->text();
    entry.name = name_->text();
    entry.warehouseId = warehouse_->currentData().toString();
    entry.key = key_->text();
    entry.shiftEnabled = shift_->isChecked();
    const TerminalRegistrar::Outcome outcome = registrar_.confirm(entry);
    if (outcome.status == TerminalRegistrar::Status::Registered) {
        name_->setText(outcome.name);
        shift_->setChecked(outcome.shiftEnabled);
        accept();
        return;
    }
    if (outcome.focus == TerminalRegistrar::Focus::Key)
        key_->setFocus();
}

DialogTerminalRegistration::DialogTerminalRegistration(ShopLink &link, TerminalSettings &settings,
                                                       Messages &messages, QWidget *parent)
    : link_(link), settings_(settings), messages_(messages), parent_(parent)
{
}

bool DialogTerminalRegistration::registerTerminal(const QString &, const ResultSet &warehouses)
{
    TerminalRegistrar registrar(link_.service(), link_.connection(), settings_, messages_, draw_);
    if (!registrar.prepare(warehouses))
        return false;
    TerminalRegistrationDialog dialog(registrar, parent_);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace vorel
