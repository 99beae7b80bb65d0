#pragma once
// The login dialog "tlogin": server, user number and password, the terminal and on-duty
// lines, the online / offline buttons, the network settings and the database repair. The
// checks and the session start are the login flow's; this dialog draws its fields and
// passes their texts in.

#include <QDialog>

#include "app/loginflow.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace vorel {

class LoginDialog : public QDialog {
    Q_OBJECT

public:
    explicit LoginDialog(LoginFlow &flow, QWidget *parent = nullptr);
    // A dialog destroyed while showing hides itself first; its fields must not be remembered
    // from a half-destroyed dialog then.
    ~LoginDialog() override;

    // Shows the settings again (after the network settings were changed).
    void refresh();

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void attempt(LoginFlow::Mode mode);
    // btn_set: the network settings; after OK the dialog shows what they changed.
    void editNetworkSettings();
    // btn_db: the repair checks against the shop server.
    void checkRepair();
    void focusAfter(LoginFlow::Focus focus);
    void rememberFields();

    LoginFlow &flow_;
    QLineEdit *server_;
    QLineEdit *user_;
    QLineEdit *password_;
    QLabel *terminal_;
    QLabel *onDuty_;
    QLabel *lastSync_;
    QLabel *pendingCaption_;
    QLabel *pendingCount_;
    QPushButton *online_;
    QPushButton *offline_;
    QPushButton *repair_;
    QPushButton *network_;
    QPushButton *cancel_;
};

// The network settings "TFrm_Net" (网络设定): the address and port of the shop server the
// network edition connects to.
class NetworkSettingsDialog : public QDialog {
    Q_OBJECT

public:
    explicit NetworkSettingsDialog(const NetworkSettings &network, QWidget *parent = nullptr);

    NetworkSettings settings() const;

private:
    QLineEdit *host_;
    QSpinBox *port_;
};

} // namespace vorel
