#pragma once
// The login of the till: what the login dialog shows when it opens, and the one routine
// behind its two buttons (online against the shop server, offline against the local
// store). It checks the user, the terminal and the rights, brings the PC clock to the
// server's date, remembers the terminal in the settings file, starts the session and writes
// the login record. Beside it: the rights check of the database repair and the network
// settings. The dialog only draws fields and passes their texts in.

#include <QString>
#include <optional>

#include "core/resultset.h"

namespace vorel {

class Clock;
class Connection;
class LocalStore;
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

// The shop server of the network edition as the user preferences keep it in the server
// text: the address, and the port after the comma (DATAPORT when there is none).
struct NetworkSettings {
    QString host;
    int port = 0;
    bool editable = true; // false when the supplier's name service gives the address
};

class LoginFlow {
public:
    enum class Mode { Online, Offline };
    enum class Status {
        Started, // the session is running: close the dialog with OK
        Stopped, // a check failed (its message was shown); the dialog stays open
        Ignored, // a login was already running
        Passed,  // the repair checks passed: the user may replace the local store
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
    static const QString RepairNeedsPasswordText;
    static const QString NoRepairRightText;
    // The help shown when the in-process database does not start, around its message.
    static QString standAloneFailureText(const QString &error);

    LoginFlow(Session &session, TerminalSettings &settings, UserPreferences &prefs, Clock &clock,
              Messages &messages, ShopLink &link, TerminalRegistration &registration);

    // The PC name in the login record; the real one unless set.
    void setComputerName(const QString &name) { computerName_ = name; }
    // The terminal key of the repair check: the PC's first network adapter address ("VOREL"
    // when there is none), without single quotes, at most 29 characters.
    static QString repairTerminalKey();

    // The dialog's opening steps, read from the settings files and the local store.
    LoginScreen prepare();

    Result login(Mode mode, const QString &serverText, const QString &userId, const QString &password);
    bool inProgress() const { return inProgress_; }

    // The repair button: the online login's checks against the shop server, with this PC's
    // adapter address as the terminal key, then the repair right (pos_qs character 17).
    // Passed when the user may replace the local store; otherwise the message was shown.
    Result checkRepair(const QString &serverText, const QString &userId, const QString &password);
    // A notice in the login's message box.
    void notice(const QString &text);
    // What the repair works with once its checks passed.
    Messages &messages() { return messages_; }
    const Clock &clock() const { return clock_; }
    LocalStore &localStore();

    // The network settings the settings button edits. Saving keeps the address alone when
    // the port is DATAPORT, else "address,port"; nothing when the address is not editable.
    NetworkSettings networkSettings() const;
    void saveNetworkSettings(const NetworkSettings &network);

    // Leaving the dialog or one of its two fields: the last user and server are kept
    // (the server unless the supplier resolves it or the till runs stand-alone).
    void remember(const QString &userId, const QString &serverText);

    // The text of the offline login query.
    static QString offlineQuery(const QString &userId, const QString &passwordMd5);
    static QString warehouseQuery(const QString &userId);

private:
    // Runs `body` as the one login in progress.
    template <typename Body>
    Result exclusively(Body body);
    Result run(Mode mode, const QString &serverText, const QString &userId, const QString &password);
    Result stop(const QString &text, Focus focus = Focus::None);
    // The steps the login and the repair check share; each gives a result only when it stops.
    std::optional<Result> checkFields(bool online, const QString &serverText, const QString &userId);
    std::optional<Result> connectServer(const QString &serverText, const QString &userId,
                                        const QString &passwordMd5, const QString &terminalKey);
    std::optional<Result> askServer(const QString &userId, const QString &passwordMd5, const QString &terminalKey,
                                    ResultSet &row);

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
