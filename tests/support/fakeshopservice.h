#pragma once
// A shop service that answers from a script, for the tests of every module that reaches the
// shop database. A test adds rules; for each call the first rule (in the order added) whose
// pattern matches the SQL answers. Every call is logged so the test can check what was sent.

#include <QList>
#include <QRegularExpression>
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

    // Rules. A text pattern is a substring matched without regard to case. `times` is how
    // often the rule answers before it retires (0: for ever).
    void onExec(const QString &sqlPart, const QString &reply, int times = 0);
    void onExec(const QRegularExpression &pattern, const QString &reply, int times = 0);
    void onOpen(const QString &sqlPart, const ResultSet &rows, int times = 0);
    void onOpen(const QRegularExpression &pattern, const ResultSet &rows, int times = 0);
    // The query is refused: posOpenSql returns false with an empty set.
    void onOpenFail(const QString &sqlPart, int times = 0);
    void clearRules();

    // Unreachable: every call fails without an answer until set back.
    void setReachable(bool reachable) { reachable_ = reachable; }
    bool reachable() const { return reachable_; }
    // The rows the login call answers with (no rows: wrong user or password).
    void setLoginReply(const ResultSet &rows) { loginRows_ = rows; }
    // Numbers getNoId hands out in turn; once used up it counts 1, 2, 3... zero-padded.
    void setNextMemberNumbers(const QStringList &numbers) { memberNumbers_ = numbers; }

    const QList<Call> &calls() const { return calls_; }
    QList<Call> calls(CallKind kind) const;
    QStringList executedSql() const; // the SQL of every posExecSql call, in order
    void clearCalls() { calls_.clear(); }

    QString posExecSql(const QString &code, const QString &key, const QString &operation,
                       const QString &sql, int timeoutSeconds) override;
    bool posOpenSql(ResultSet &out, const QString &sql) override;
    LoginReply thrGetLogin(const LoginRequest &request) override;
    QString getNoId(const QString &code, const QString &key, int length) override;
    bool tcpSend(const QString &kind, const QStringList &fields) override;
    bool lastCallReachedServer() const override { return lastReached_; }

private:
    struct ExecRule {
        QRegularExpression pattern;
        QString reply;
        int remaining; // answers left; -1: unlimited
    };
    struct OpenRule {
        QRegularExpression pattern;
        std::optional<ResultSet> rows; // empty: the query fails
        int remaining;
    };
    template <typename Rule>
    static Rule *match(QList<Rule> &rules, const QString &sql);
    // Logs the call; true when the server is reachable (else the byte counters are zeroed).
    bool begin(Call call);

    QList<ExecRule> execRules_;
    QList<OpenRule> openRules_;
    QList<Call> calls_;
    ResultSet loginRows_;
    QStringList memberNumbers_;
    qint64 generatedNumbers_ = 0;
    bool reachable_ = true;
    bool lastReached_ = false;
};

} // namespace vorel
