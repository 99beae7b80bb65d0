#pragma once
// Online or offline, and the two doors every business module uses to reach a database:
// execServerSql for statements, openServerSql for queries. Online they go to the shop
// server; when the server cannot be reached the terminal switches to offline and the work
// falls back to the local store. execLocalSql is the synchronisation's bulk door.
//
// The state lives in the Session (ftj and friends); this object is its only writer after
// login, and tells the screens through signals, so it never touches a widget. Everything
// here runs on the user-interface thread.

#include <QObject>
#include <QString>

#include "core/resultset.h"
#include "core/shopservice.h"

namespace vorel {

class LocalStore;
class Session;
class ShopService;

// Where a statement goes.
enum class Route {
    Server,     // the server, falling back to the local store
    Offline,    // the local store (the caller is offline)
    Local,      // the local store always
    ServerOnly, // the server only (stored-value payments)
};

// The reply of a failed local execution.
inline const QString ReplyError = QStringLiteral("ERROR");

class Connection : public QObject {
    Q_OBJECT

public:
    // What a caller gets when the server is gone and the work may not be kept offline.
    static const QString NetworkDownText;
    // Captions of the two status labels of the main window.
    static const QString OnlineCaption;  // "连线"
    static const QString OfflineCaption; // "离线"

    Connection(Session &session, ShopService &shop, LocalStore &store, QObject *parent = nullptr);

    Session &session() { return session_; }
    const Session &session() const { return session_; }
    LocalStore &store() { return store_; }
    ShopService &shop() { return shop_; }

    // Runs one SQL text (several statements separated by ";" allowed). Returns "Y", the
    // server's reply (a business refusal, or any reply in the stand-alone edition), "ERROR"
    // when the local store failed, or NetworkDownText.
    QString execServerSql(const ServerCall &call, const QString &sql, Route route);
    // The server when online, the local store when offline.
    Route currentRoute() const { return isOffline() ? Route::Offline : Route::Server; }

    // Fills `out` from the server, or from the local store when `local` is set or the
    // terminal is offline. A server read that fails switches the terminal to offline, runs
    // `switchSql` locally when given, and reads `localSql` (or `sql`) from the local store.
    // Returns false when no rows could be read (`out` is then empty, or in the stand-alone
    // edition as the server left it).
    bool openServerSql(ResultSet &out, const QString &sql, bool local = false, const QString &switchSql = {},
                       const QString &localSql = {});

    // The synchronisation's bulk load. commitOnly false: runs `sql` inside the long
    // transaction (opened when none is) and keeps it open; true: commits it. Returns "Y",
    // or "ERROR" after rolling the whole transaction back.
    QString execLocalSql(const QString &sql, bool commitOnly);
    // Drops an open bulk transaction (a synchronisation that failed half-way).
    void rollbackLocal();

    // The local store's reason for the last "ERROR" (for the error log).
    const QString &lastLocalError() const { return lastLocalError_; }

    // Replies the server gives for business reasons; they never change the state.
    static bool isBusinessRefusal(const QString &reply);

    // ftj.
    bool isOffline() const;
    // Switches ftj and shows the matching label.
    void setOffline(bool offline);
    // The message link dropped: the offline label shows, ftj stays as it is.
    void showLinkLost();
    // Which label is showing: true the offline one.
    bool showsOffline() const { return showsOffline_; }
    static QString caption(bool offline) { return offline ? OfflineCaption : OnlineCaption; }

signals:
    // ftj changed.
    void offlineChanged(bool offline);
    // The status label to show changed ("连线" false, "离线" true).
    void statusChanged(bool showOffline);

private:
    QString runLocal(const QString &sql);
    bool readLocal(ResultSet &out, const QString &sql);
    void showStatus(bool offline);

    Session &session_;
    ShopService &shop_;
    LocalStore &store_;
    bool showsOffline_ = false;
    QString lastLocalError_;
};

} // namespace vorel
