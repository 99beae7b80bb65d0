#pragma once
// The cashier's own password change (tset_password, F11). The old password is checked on the
// shop server and the new one replaces it there in the same statement that checks the old one
// again, so a password changed meanwhile on another till is not overwritten. Only digests
// travel and only digests are kept: the MD5 of the trimmed text, which the dialog forces to
// lower case as the login does.

#include <QString>

namespace vorel {

class Connection;
class Messages;

class PasswordChange {
public:
    static const QString OfflineText;   // the sales screen's status line when offline
    static const QString MismatchText;  // the two new entries differ
    static const QString DoneText;
    static const QString FailedText;    // wrong old password, or the server refused

    // Where the dialog goes after a confirm.
    enum class Outcome {
        Changed,     // close the dialog
        Mismatch,    // focus the first new entry
        WrongOld,    // the dialog stays as it is
        Failed,      // focus the old password
    };

    PasswordChange(Connection &connection, Messages &messages);

    // The change is only possible against the shop server.
    bool available() const;

    // Confirm: compares the new entries, checks the old password and stores the new one,
    // telling the cashier the outcome. `userId` is the logged-in cashier.
    Outcome confirm(const QString &userId, const QString &oldPassword, const QString &newPassword,
                    const QString &repeated);

    // The digest the shop keeps for a typed password.
    static QString digest(const QString &password);

private:
    Connection &connection_;
    Messages &messages_;
};

} // namespace vorel
