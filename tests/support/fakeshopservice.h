#pragma once
// A shop service that answers from a script, for the tests of every module that reaches the
// shop database. A test adds rules; for each call the first rule (in the order added) whose
// text is part of the SQL, without regard to case, answers. Every call is logged so the test
// can check what was sent.

#include <QList>
#include <QStringList>
#include <optional>

#include "core/shopservice.h"

namespace vorel {

class FakeShopService final : public ShopService {
public:
    // posExecSql's reply while the server cannot be reached.
    static const QString UnreachableReply;

    enum class CallKind { Exec, Open, Login, NoId, TcpSend };
    struct Call {
        CallKind kind = CallKind::Exec;
        QString code;       // operation code (Exec, NoId); message kind (TcpSend)
        QString key;        // Exec, NoId; the user number (Login)
        QString operation;  // Exec
        QString sql;        // Exec, Open
        QStringList fields; // Login: user, password MD5, terminal key, database;
                            // NoId: the length; TcpSend: the message texts
        int timeoutSeconds = 0; // Exec
    };

    void onExec(const QString &sqlPart, const QString &reply);
    void onOpen(const QString &sqlPart, const ResultSet &rows);
    // The query is refused: posOpenSql returns false with an empty set.
    void onOpenFail(const QString &sqlPart);

    // Unreachable: every call fails without an answer until set back.
    void setReachable(bool reachable) { reachable_ = reachable; }

    const QList<Call> &calls() const { return calls_; }
    QList<Call> calls(CallKind kind) const;
    QStringList executedSql() const; // the SQL of every posExecSql call, in order
    void clearCalls() { calls_.clear(); }

    QString posExecSql(const QString &code, const QString &key, const QString &operation,
                       const QString &sql, int timeoutSeconds) override;
    bool posOpenSql(ResultSet &out, const QString &sql) override;
    // Reached, but no user row: a login always fails.
    LoginReply thrGetLogin(const LoginRequest &request) override;
    // Counts 1, 2, 3... zero-padded to the length.
    QString getNoId(const QString &code, const QString &key, int length) override;
    bool tcpSend(const QString &kind, const QStringList &fields) override;
    bool lastCallReachedServer() const override { return lastReached_; }

private:
    struct ExecRule {
        QString part;
        QString reply;
    };
    struct OpenRule {
        QString part;
        std::optional<ResultSet> rows; // empty: the query fails
    };
    // Logs the call; true when the server is reachable.
    bool begin(Call call);

    QList<ExecRule> execRules_;
    QList<OpenRule> openRules_;
    QList<Call> calls_;
    qint64 generatedNumbers_ = 0;
    bool reachable_ = true;
    bool lastReached_ = false;
};

} // namespace vorel
