#include "app/ui/logindialog.h"

#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/localstorerepair.h"
#include "app/ui/localstorerepairdialog.h"
#include "core/ui/dialogbuttons.h"

namespace vorel {

namespace {

QLabel *namedLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QPushButton *namedButton(const char *name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

// Keeps an edit in one case as it is typed (the user number upper, the password lower, so
// that Caps Lock does not spoil it), the cursor where it was.
void keepCase(QLineEdit *edit, QString (QString::*toCase)() const &)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, toCase](const QString &text) {
        const QString cased = (text.*toCase)();
        if (cased != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(cased);
            edit->setCursorPosition(cursor);
        }
    });
}

} // namespace

LoginDialog::LoginDialog(LoginFlow &flow, QWidget *parent)
    : QDialog(parent), flow_(flow), server_(new QLineEdit(this)), user_(new QLineEdit(this)),
      password_(new QLineEdit(this)), terminal_(namedLabel("ZD", this)), onDuty_(namedLabel("DB", this)),
      lastSync_(namedLabel("DBDATETIME", this)), pendingCaption_(namedLabel("Label7", this)),
      pendingCount_(namedLabel("Label8", this)), online_(namedButton("btn_ok", QStringLiteral("连线 F2"), this)),
      offline_(namedButton("btn_ls", QStringLiteral("离线登录(F3)"), this)),
      repair_(namedButton("btn_db", QStringLiteral("数据修复"), this)),
      network_(namedButton("btn_set", QStringLiteral("网络设定"), this)),
      cancel_(namedButton("btn_Cancel", QStringLiteral("取消"), this))
{
    setObjectName(QStringLiteral("tlogin"));
    setWindowTitle(QStringLiteral("用户登录"));

    server_->setObjectName(QStringLiteral("n_server"));
    server_->setMaxLength(30);
    user_->setObjectName(QStringLiteral("usercode"));
    user_->setMaxLength(12);
    password_->setObjectName(QStringLiteral("userpassword"));
    password_->setMaxLength(12);
    password_->setEchoMode(QLineEdit::Password);
    pendingCaption_->setText(QStringLiteral("待上传离线单据共     张"));
    online_->setDefault(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("服务器"), server_);
    form->addRow(QStringLiteral("用户号"), user_);
    form->addRow(QStringLiteral("密  码"), password_);
    auto *pending = new QHBoxLayout;
    pending->addWidget(pendingCaption_);
    pending->addWidget(pendingCount_);
    pending->addStretch();
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {online_, offline_, repair_, network_, cancel_})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(terminal_);
    layout->addWidget(onDuty_);
    layout->addLayout(form);
    layout->addWidget(lastSync_);
    layout->addLayout(pending);
    layout->addLayout(buttons);

    keepCase(user_, &QString::toUpper);
    keepCase(password_, &QString::toLower);
    connect(server_, &QLineEdit::editingFinished, this, &LoginDialog::rememberFields);
    connect(user_, &QLineEdit::editingFinished, this, &LoginDialog::rememberFields);
    connect(online_, &QPushButton::clicked, this, [this] { attempt(LoginFlow::Mode::Online); });
    connect(offline_, &QPushButton::clicked, this, [this] { attempt(LoginFlow::Mode::Offline); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(network_, &QPushButton::clicked, this, &LoginDialog::editNetworkSettings);
    connect(repair_, &QPushButton::clicked, this, &LoginDialog::checkRepair);
    refresh();
}

LoginDialog::~LoginDialog()
{
    server_->disconnect(this);
    user_->disconnect(this);
}

void LoginDialog::refresh()
{
    const LoginScreen screen = flow_.prepare();
    terminal_->setText(screen.terminal);
    onDuty_->setText(screen.onDuty);
    lastSync_->setText(screen.lastSync);
    pendingCaption_->setVisible(screen.showPending);
    pendingCount_->setVisible(screen.showPending);
    pendingCount_->setText(screen.pendingSlips);
    user_->setText(screen.user);
    server_->setText(screen.server);
    server_->setEnabled(screen.serverEnabled);
    for (QPushButton *b : {network_, offline_}) {
        b->setVisible(screen.networkButtons);
        b->setEnabled(screen.networkButtons);
    }
}

void LoginDialog::rememberFields()
{
    flow_.remember(user_->text(), server_->text());
}

void LoginDialog::done(int result)
{
    if (flow_.inProgress())
        return;
    rememberFields();
    QDialog::done(result);
}

void LoginDialog::keyPressEvent(QKeyEvent *event)
{
    if (flow_.inProgress())
        return;
    if (event->key() == Qt::Key_F2) {
        attempt(LoginFlow::Mode::Online);
        return;
    }
    if (event->key() == Qt::Key_F3) {
        if (offline_->isVisible())
            attempt(LoginFlow::Mode::Offline);
        return;
    }
    QDialog::keyPressEvent(event);
}

void LoginDialog::attempt(LoginFlow::Mode mode)
{
    if (flow_.inProgress() || focusWidget() == cancel_)
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    const LoginFlow::Result result = flow_.login(mode, server_->text(), user_->text(), password_->text());
    focusAfter(result.focus);
    if (result.status == LoginFlow::Status::Started)
        accept();
}

void LoginDialog::editNetworkSettings()
{
    if (flow_.inProgress())
        return;
    // The settings start from what the server field holds now.
    rememberFields();
    NetworkSettingsDialog dialog(flow_.networkSettings(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    flow_.saveNetworkSettings(dialog.settings());
    refresh();
}

void LoginDialog::checkRepair()
{
    if (flow_.inProgress())
        return;
    LoginFlow::Result result;
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        result = flow_.checkRepair(server_->text(), user_->text(), password_->text());
    }
    focusAfter(result.focus);
    if (result.status != LoginFlow::Status::Passed)
        return;
    LocalStoreRepair repair(flow_.localStore(), flow_.clock());
    LocalStoreRepairDialog dialog(repair, flow_.messages(), this);
    // After a replacement the till ends; the next start opens the new file.
    if (dialog.exec() == QDialog::Accepted)
        reject();
}

void LoginDialog::focusAfter(LoginFlow::Focus focus)
{
    switch (focus) {
    case LoginFlow::Focus::Server:
        server_->setFocus();
        break;
    case LoginFlow::Focus::User:
        user_->setFocus();
        break;
    case LoginFlow::Focus::PasswordSelected:
        password_->setFocus();
        password_->selectAll();
        break;
    case LoginFlow::Focus::None:
        break;
    }
}

NetworkSettingsDialog::NetworkSettingsDialog(const NetworkSettings &network, QWidget *parent)
    : QDialog(parent), host_(new QLineEdit(network.host, this)), port_(new QSpinBox(this))
{
    setObjectName(QStringLiteral("TFrm_Net"));
    setWindowTitle(QStringLiteral("网络设定"));
    host_->setObjectName(QStringLiteral("edt_server"));
    host_->setMaxLength(30);
    host_->setMinimumWidth(host_->fontMetrics().horizontalAdvance(QStringLiteral("000.000.000.000,00000")));
    host_->setEnabled(network.editable);
    port_->setObjectName(QStringLiteral("edt_port"));
    // A port counts only above 100; anything else means the connection service's own.
    port_->setRange(101, 65535);
    port_->setValue(network.port);
    port_->setEnabled(network.editable);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("服务器地址"), host_);
    form->addRow(QStringLiteral("端      口"), port_);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(okCancelRow<QDialog>(this, &QDialog::accept));
    host_->setFocus();
    host_->selectAll();
}

NetworkSettings NetworkSettingsDialog::settings() const
{
    return {host_->text(), port_->value(), host_->isEnabled()};
}

} // namespace vorel
