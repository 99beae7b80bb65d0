#include "fakeshopservice.h"

namespace vorel {

const QString FakeShopService::UnreachableReply = QStringLiteral("无法连接到服务器");

namespace {

template <typename Rule>
const Rule *match(const QList<Rule> &rules, const QString &sql)
{
    for (const Rule &rule : rules)
        if (sql.contains(rule.part, Qt::CaseInsensitive))
            return &rule;
    return nullptr;
}

} // namespace

void FakeShopService::onExec(const QString &sqlPart, const QString &reply)
{
    execRules_.append(ExecRule{sqlPart, reply});
}

void FakeShopService::onOpen(const QString &sqlPart, const ResultSet &rows)
{
    openRules_.append(OpenRule{sqlPart, rows});
}

void FakeShopService::onOpenFail(const QString &sqlPart)
{
    openRules_.append(OpenRule{sqlPart, std::nullopt});
}

QList<FakeShopService::Call> FakeShopService::calls(CallKind kind) const
{
    QList<Call> out;
    for (const Call &c : calls_)
        if (c.kind == kind)
            out.append(c);
    return out;
}

QStringList FakeShopService::executedSql() const
{
    QStringList out;
    for (const Call &c : calls(CallKind::Exec))
        out.append(c.sql);
    return out;
}

bool FakeShopService::begin(Call call)
{
    calls_.append(std::move(call));
    lastReached_ = reachable_;
    return reachable_;
}

QString FakeShopService::posExecSql(const QString &code, const QString &key,
                                    const QString &operation, const QString &sql,
                                    int timeoutSeconds)
{
    if (!begin(Call{CallKind::Exec, code, key, operation, sql, {}, timeoutSeconds}))
        return UnreachableReply;
    const ExecRule *rule = match(execRules_, sql);
    return rule ? rule->reply : ReplyOk;
}

bool FakeShopService::posOpenSql(ResultSet &out, const QString &sql)
{
    out = ResultSet();
    if (!begin(Call{CallKind::Open, opcode::Read, {}, {}, sql, {}, 0}))
        return false;
    const OpenRule *rule = match(openRules_, sql);
    if (rule && !rule->rows)
        return false;
    if (rule)
        out.appendRowsFrom(*rule->rows); // fresh copy: no filter, cursor on the first row
    return true;
}

LoginReply FakeShopService::thrGetLogin(const LoginRequest &request)
{
    LoginReply reply;
    reply.reachable = begin(Call{CallKind::Login, {}, request.userId, {}, {},
                                 {request.userId, request.passwordMd5, request.terminalKey, request.databaseName}, 0});
    return reply;
}

QString FakeShopService::getNoId(const QString &code, const QString &key, int length)
{
    if (!begin(Call{CallKind::NoId, code, key, {}, {}, {QString::number(length)}, 0}))
        return {};
    return QString::number(++generatedNumbers_).rightJustified(length, u'0');
}

bool FakeShopService::tcpSend(const QString &kind, const QStringList &fields)
{
    return begin(Call{CallKind::TcpSend, kind, {}, {}, {}, fields, 0});
}

} // namespace vorel
