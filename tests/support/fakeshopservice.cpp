#include "fakeshopservice.h"

namespace vorel {

const QString FakeShopService::UnreachableReply = QStringLiteral("无法连接到服务器");

namespace {

QRegularExpression substringPattern(const QString &part)
{
    return QRegularExpression(QRegularExpression::escape(part),
                              QRegularExpression::CaseInsensitiveOption);
}

int remainingFor(int times)
{
    return times > 0 ? times : -1;
}

qint64 utf8Size(const QString &text)
{
    return text.toUtf8().size();
}

qint64 utf8Size(const QStringList &texts)
{
    qint64 n = 0;
    for (const QString &t : texts)
        n += utf8Size(t);
    return n;
}

// What a result set weighs on the wire: its column names and the text of every value.
qint64 utf8Size(const ResultSet &rows)
{
    qint64 n = 0;
    for (const Column &c : rows.columns())
        n += utf8Size(c.name);
    for (int r = 0; r < rows.totalRowCount(); ++r)
        for (int c = 0; c < rows.columnCount(); ++c)
            n += utf8Size(rows.fieldAt(r, c).asString());
    return n;
}

} // namespace

void FakeShopService::onExec(const QString &sqlPart, const QString &reply, int times)
{
    onExec(substringPattern(sqlPart), reply, times);
}

void FakeShopService::onExec(const QRegularExpression &pattern, const QString &reply, int times)
{
    execRules_.append(ExecRule{pattern, reply, remainingFor(times)});
}

void FakeShopService::onOpen(const QString &sqlPart, const ResultSet &rows, int times)
{
    onOpen(substringPattern(sqlPart), rows, times);
}

void FakeShopService::onOpen(const QRegularExpression &pattern, const ResultSet &rows, int times)
{
    openRules_.append(OpenRule{pattern, rows, remainingFor(times)});
}

void FakeShopService::onOpenFail(const QString &sqlPart, int times)
{
    openRules_.append(OpenRule{substringPattern(sqlPart), std::nullopt, remainingFor(times)});
}

void FakeShopService::clearRules()
{
    execRules_.clear();
    openRules_.clear();
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

template <typename Rule>
Rule *FakeShopService::match(QList<Rule> &rules, const QString &sql)
{
    for (Rule &rule : rules) {
        if (rule.remaining == 0 || !rule.pattern.match(sql).hasMatch())
            continue;
        if (rule.remaining > 0)
            --rule.remaining;
        return &rule;
    }
    return nullptr;
}

bool FakeShopService::begin(Call call)
{
    calls_.append(std::move(call));
    lastReached_ = reachable_;
    if (!reachable_)
        setLastBytes(0, 0);
    return reachable_;
}

QString FakeShopService::posExecSql(const QString &code, const QString &key,
                                    const QString &operation, const QString &sql,
                                    int timeoutSeconds)
{
    if (!begin(Call{CallKind::Exec, code, key, operation, sql, {}, timeoutSeconds}))
        return UnreachableReply;
    const ExecRule *rule = match(execRules_, sql);
    const QString reply = rule ? rule->reply : ReplyOk;
    setLastBytes(utf8Size(QStringList{code, key, operation, sql}), utf8Size(reply));
    return reply;
}

bool FakeShopService::posOpenSql(ResultSet &out, const QString &sql)
{
    out = ResultSet();
    if (!begin(Call{CallKind::Open, opcode::Read, {}, {}, sql, {}, 0}))
        return false;
    const OpenRule *rule = match(openRules_, sql);
    if (rule && !rule->rows) {
        setLastBytes(utf8Size(sql), 0);
        return false;
    }
    if (rule)
        out.appendRowsFrom(*rule->rows); // fresh copy: no filter, cursor on the first row
    setLastBytes(utf8Size(sql), utf8Size(out));
    return true;
}

LoginReply FakeShopService::thrGetLogin(const LoginRequest &request)
{
    const QStringList sent{request.userId, request.passwordMd5, request.terminalKey,
                           request.databaseName};
    LoginReply reply;
    if (!begin(Call{CallKind::Login, {}, request.userId, {}, {}, sent, 0}))
        return reply;
    reply.reachable = true;
    reply.rows.appendRowsFrom(loginRows_);
    setLastBytes(utf8Size(sent), utf8Size(reply.rows));
    return reply;
}

QString FakeShopService::getNoId(const QString &code, const QString &key, int length)
{
    if (!begin(Call{CallKind::NoId, code, key, {}, {}, {QString::number(length)}, 0}))
        return {};
    const QString number = !memberNumbers_.isEmpty()
                               ? memberNumbers_.takeFirst()
                               : QString::number(++generatedNumbers_).rightJustified(length, u'0');
    setLastBytes(utf8Size(QStringList{code, key}), utf8Size(number));
    return number;
}

bool FakeShopService::tcpSend(const QString &kind, const QStringList &fields)
{
    if (!begin(Call{CallKind::TcpSend, kind, {}, {}, {}, fields, 0}))
        return false;
    setLastBytes(utf8Size(kind) + utf8Size(fields), 0);
    return true;
}

} // namespace vorel
