#pragma once
// The login dialog "tlogin": server, user number and password, the terminal and on-duty
// lines, and the online / offline buttons. The checks and the session start are the login
// flow's; this dialog draws its fields and passes their texts in.

#include <QDialog>

#include "app/loginflow.h"

class QLabel;
class QLineEdit;
class QPushButton;

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

signals:
    // btn_set: the network settings dialog; the owner calls refresh() when it returns OK.
    void networkSettingsRequested();
    // btn_db: the local database repair, with the user number and password typed.
    void repairRequested(const QString &userId, const QString &password);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void attempt(LoginFlow::Mode mode);
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

} // namespace vorel
