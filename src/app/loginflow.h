#pragma once
// The login of the till: what the login dialog shows when it opens, and the one routine
// behind its two buttons (online against the shop server, offline against the local
// store). It checks the user, the terminal and the rights, brings the PC clock to the
// server's date, remembers the terminal in the settings file, starts the session and writes
// the login record. The dialog only draws fields and passes their texts in.

#include <QString>

#include "core/resultset.h"

namespace vorel {

class Clock;
class Connection;
class Messages;
class Session;
class ShopService;
class TerminalSettings;
class UserPreferences;

// The server text typed at login: "host", "host,port" or anything ending in ",1".
struct ServerAddress {
    QString host;
    int port = 0;
    bool standAlone = false; // ends in ",1": start the shop service inside the till
};
// A port after the comma counts only when it is a number above 100; else `dataPort`.
ServerAddress parseServerText(const QString &text, int dataPort);

// How the till reaches a shop service. The program connects over the network or starts the
// in-process service; tests hand in a demo shop or one that never answers.
class ShopLink {
public:
    virtual ~ShopLink() = default;
    // The address a server name stands for; the name itself when it cannot be resolved.
    virtual QString resolveHost(const QString &name) = 0;
    // Network edition: reaches the shop server at host:port within timeoutMs.
    virtual bool connect(const QString &host, int port, int timeoutMs) = 0;
    // Stand-alone edition: the shop service inside the till, started once and kept.
    virtual void startStandAlone() = 0;
    // The service chosen by the last connect or startStandAlone.
    virtual ShopService &service() = 0;
    // The connection layer over that service and the local store.
    virtual Connection &connection() = 0;
};

// Registers this PC as a terminal, for one of the warehouses the user may use
// (CK_ID, CK_NAME rows). True when the registration went through.
class TerminalRegistration {
public:
    virtual ~TerminalRegistration() = default;
    virtual bool registerTerminal(const QString &userId, const ResultSet &warehouses) = 0;
};

// What the dialog shows when it opens (or after the network settings changed).
struct LoginScreen {
    QString terminal;       // ZD: "(warehouse)" and the terminal id and name
    QString onDuty;         // DB
    QString lastSync;       // DBDATETIME
    bool showPending = false; // Label7 and Label8
    QString pendingSlips;   // Label8
    QString user;           // last user number
    QString server;         // server field text
    bool serverEnabled = true;
    bool networkButtons = true; // btn_set and btn_ls (hidden in the stand-alone edition)
};

class LoginFlow {
public:
    enum class Mode { Online, Offline };
    enum class Status {
        Started, // the session is running: close the dialog with OK
        Stopped, // a check failed (its message was shown); the dialog stays open
        Ignored, // a login was already running
    };
    // Where the dialog puts the cursor after a stop.
    enum class Focus { None, Server, User, PasswordSelected };

    struct Result {
        Status status = Status::Stopped;
        Focus focus = Focus::None;
    };

    // Texts the checks show.
    static const QString NoServerText;
    static const QString NoUserText;
    static const QString ServerFailedText;
    static const QString WrongPasswordText;
    static const QString NoOfflineDataText;
    static const QString TerminalDisabledText;
    static const QString DateSyncedText; // followed by the server date
    static const QString NoWarehouseText;
    static const QString NoTillRightText;
    static const QString SupplierResolvesText;
    static const QString StandAloneText;
    // The help shown when the in-process database does not start, around its message.
    static QString standAloneFailureText(const QString &error);

    LoginFlow(Session &session, TerminalSettings &settings, UserPreferences &prefs, Clock &clock,
              Messages &messages, ShopLink &link, TerminalRegistration &registration);

    // The PC name in the login record; the real one unless set.
    void setComputerName(const QString &name) { computerName_ = name; }

    // The dialog's opening steps, read from the settings files and the local store.
    LoginScreen prepare();

    Result login(Mode mode, const QString &serverText, const QString &userId, const QString &password);
    bool inProgress() const { return inProgress_; }

    // Leaving the dialog or one of its two fields: the last user and server are kept
    // (the server unless the supplier resolves it or the till runs stand-alone).
    void remember(const QString &userId, const QString &serverText);

    // The text of the offline login query.
    static QString offlineQuery(const QString &userId, const QString &passwordMd5);
    static QString warehouseQuery(const QString &userId);

private:
    Result run(Mode mode, const QString &serverText, const QString &userId, const QString &password);
    Result stop(const QString &text, Focus focus = Focus::None);

    Session &session_;
    TerminalSettings &settings_;
    UserPreferences &prefs_;
    Clock &clock_;
    Messages &messages_;
    ShopLink &link_;
    TerminalRegistration &registration_;
    QString computerName_;
    bool inProgress_ = false;
};

} // namespace vorel
