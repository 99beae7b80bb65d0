#include "server/remoteshopservice.h"

#include <httplib.h>

#include <mutex>

namespace vorel {

const QString RemoteShopService::UnreachableReply = QStringLiteral("连接服务器失败!");

namespace {

using wire::Json;

// One exchange with a service.
struct Answer {
    bool reached = false; // an HTTP answer came back
    int status = 0;
    Json body;            // the parsed body; null when it was not JSON
    qint64 sent = 0;
    qint64 received = 0;
    QString failure;      // why nothing came back, or the server's error text

    bool ok() const { return reached && status == 200 && body.is_object(); }
};

QString errorText(const Answer &a)
{
    if (!a.reached)
        return a.failure;
    if (a.body.is_object()) {
        const QString e = wire::optionalText(a.body, "error");
        if (!e.isEmpty())
            return e;
    }
    return QStringLiteral("服务器错误(HTTP %1)").arg(a.status);
}

} // namespace

// The token of a session, shared by the clients that speak for it.
class RemoteShopService::SharedSession {
public:
    QString get() const
    {
        const std::lock_guard lock(mutex_);
        return token_;
    }
    void set(const QString &token)
    {
        const std::lock_guard lock(mutex_);
        token_ = token;
    }

private:
    mutable std::mutex mutex_;
    QString token_;
};

struct RemoteShopService::Impl {
    RemoteServer server;
    std::atomic<int> timeout;

    std::mutex dataMutex; // the connection service's client
    std::unique_ptr<httplib::Client> data;
    std::mutex messageMutex; // the message service's client
    std::unique_ptr<httplib::Client> messages;

    mutable std::mutex stateMutex;
    std::shared_ptr<SharedSession> token = std::make_shared<SharedSession>();
    std::optional<LoginRequest> login; // kept to log in again when the token is refused
    QString lastMessage;
    bool lastReached = false;

    Impl(RemoteServer s, int t) : server(std::move(s)), timeout(t)
    {
        data = makeClient(server.port);
        messages = makeClient(server.messagePort);
    }

    std::unique_ptr<httplib::Client> makeClient(int port) const
    {
        QString host = server.host.trimmed();
        if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
            host = QLatin1Char('[') + host + QLatin1Char(']');
        const QString url = QStringLiteral("%1://%2:%3")
                                .arg(server.tls ? QStringLiteral("https") : QStringLiteral("http"), host)
                                .arg(port);
        auto client = std::make_unique<httplib::Client>(url.toStdString());
        // Without TCP_NODELAY every small request waits for the server's delayed ACK.
        client->set_tcp_nodelay(true);
        client->set_keep_alive(true);
        if (server.tls) {
            client->enable_server_certificate_verification(true);
            if (!server.caCertificate.isEmpty())
                client->set_ca_cert_path(server.caCertificate.toLocal8Bit().constData());
        }
        return client;
    }

    QString currentToken() const
    {
        const std::lock_guard lock(stateMutex);
        return token->get();
    }

    void note(const Answer &a)
    {
        const std::lock_guard lock(stateMutex);
        lastReached = a.reached;
        lastMessage = a.ok() ? QString() : errorText(a);
    }

    static Answer exchange(httplib::Client &client, const char *path, const Json *body, int seconds,
                           const QString &bearer)
    {
        const time_t wait = std::max(1, seconds);
        client.set_connection_timeout(wait, 0);
        client.set_read_timeout(wait, 0);
        client.set_write_timeout(wait, 0);
        httplib::Headers headers{{wire::TillWaitHeader, std::to_string(wait * 1000)}};
        if (!bearer.isEmpty())
            headers.emplace("Authorization", "Bearer " + bearer.toStdString());

        Answer a;
        const std::string text = body ? wire::serialize(*body) : std::string();
        a.sent = static_cast<qint64>(text.size());
        const httplib::Result r = body ? client.Post(path, headers, text, wire::JsonContentType)
                                       : client.Get(path, headers);
        if (!r) {
            a.failure = QStringLiteral("%1 (%2)").arg(UnreachableReply,
                                                      QString::fromStdString(httplib::to_string(r.error())));
            a.sent = 0;
            return a;
        }
        a.reached = true;
        a.status = r->status;
        a.received = static_cast<qint64>(r->body.size());
        a.body = Json::parse(r->body, nullptr, false);
        if (a.body.is_discarded())
            a.body = nullptr;
        return a;
    }

    // The login call; keeps the token when a row came back. With dataMutex held.
    Answer postLogin(const LoginRequest &request)
    {
        const Json body{{"user", wire::toJson(request.userId)},
                        {"password_md5", wire::toJson(request.passwordMd5)},
                        {"terminal_key", wire::toJson(request.terminalKey)},
                        {"database", wire::toJson(request.databaseName)}};
        Answer a = exchange(*data, wire::LoginPath, &body, std::max(timeout.load(), 5), {});
        if (a.ok()) {
            const std::lock_guard lock(stateMutex);
            const auto t = a.body.find("token");
            if (t != a.body.end() && t->is_string()) {
                token->set(wire::toQString(*t));
                login = request;
            }
        }
        return a;
    }

    // Logs in again with the last good login. With dataMutex held.
    bool relogin()
    {
        std::optional<LoginRequest> again;
        {
            const std::lock_guard lock(stateMutex);
            again = login;
            // A client that only shares another's session leaves it to that one.
            if (again)
                token->set({});
        }
        if (!again)
            return false;
        postLogin(*again);
        return !currentToken().isEmpty();
    }

    // A call that needs the session; with dataMutex held.
    Answer withSession(const char *path, const Json *body, int seconds)
    {
        Answer a = exchange(*data, path, body, seconds, currentToken());
        if (a.reached && a.status == 401 && relogin())
            a = exchange(*data, path, body, seconds, currentToken());
        note(a);
        return a;
    }
};

RemoteShopService::RemoteShopService(RemoteServer server, int timeoutSeconds)
    : d(std::make_unique<Impl>(std::move(server), timeoutSeconds))
{
}

RemoteShopService::~RemoteShopService() = default;

void RemoteShopService::setTimeoutSeconds(int seconds)
{
    d->timeout = seconds;
}

int RemoteShopService::timeoutSeconds() const
{
    return d->timeout;
}

const RemoteServer &RemoteShopService::server() const
{
    return d->server;
}

bool RemoteShopService::hasSession() const
{
    return !d->currentToken().isEmpty();
}

QString RemoteShopService::sessionToken() const
{
    return d->currentToken();
}

void RemoteShopService::useSessionToken(const QString &token)
{
    const std::lock_guard lock(d->stateMutex);
    d->token->set(token);
}

std::shared_ptr<RemoteShopService::SharedSession> RemoteShopService::sharedSession() const
{
    const std::lock_guard lock(d->stateMutex);
    return d->token;
}

void RemoteShopService::useSession(std::shared_ptr<SharedSession> session)
{
    const std::lock_guard lock(d->stateMutex);
    d->token = std::move(session);
}

QString RemoteShopService::lastMessage() const
{
    const std::lock_guard lock(d->stateMutex);
    return d->lastMessage;
}

bool RemoteShopService::lastCallReachedServer() const
{
    const std::lock_guard lock(d->stateMutex);
    return d->lastReached;
}

QString RemoteShopService::posExecSql(const QString &code, const QString &key, const QString &operation,
                                      const QString &sql, int timeoutSeconds)
{
    const Json body{{"code", wire::toJson(code)},
                    {"key", wire::toJson(key)},
                    {"operation", wire::toJson(operation)},
                    {"sql", wire::toJson(sql)}};
    const std::lock_guard lock(d->dataMutex);
    const Answer a = d->withSession(wire::ExecPath, &body, timeoutSeconds);
    setLastBytes(a.sent, a.received);
    if (!a.reached)
        return UnreachableReply;
    if (a.ok()) {
        const auto reply = a.body.find("reply");
        if (reply != a.body.end() && reply->is_string())
            return wire::toQString(*reply);
    }
    return errorText(a);
}

bool RemoteShopService::posOpenSql(ResultSet &out, const QString &sql)
{
    out = ResultSet();
    const Json body{{"sql", wire::toJson(sql)}};
    const std::lock_guard lock(d->dataMutex);
    Answer a = d->withSession(wire::OpenPath, &body, d->timeout);
    setLastBytes(a.sent, a.received);
    if (!a.ok())
        return false;
    if (!a.body.value("ok", false)) {
        const std::lock_guard state(d->stateMutex);
        d->lastMessage = wire::optionalText(a.body, "error");
        return false;
    }
    try {
        out = wire::resultSetFromJson(std::move(a.body.at("result")));
    } catch (const std::exception &e) {
        const std::lock_guard state(d->stateMutex);
        d->lastMessage = QString::fromUtf8(e.what());
        out = ResultSet();
        return false;
    }
    return true;
}

LoginReply RemoteShopService::thrGetLogin(const LoginRequest &request)
{
    LoginReply reply;
    const std::lock_guard lock(d->dataMutex);
    {
        const std::lock_guard state(d->stateMutex);
        d->token->set({});
        d->login.reset();
    }
    const Answer a = d->postLogin(request);
    d->note(a);
    setLastBytes(a.sent, a.received);
    const QString refusal = a.reached && a.body.is_object() ? wire::optionalText(a.body, "refusal") : QString();
    if (!a.ok() && (refusal.isEmpty() || (a.status != 400 && a.status != 429)))
        return reply; // unreachable, or the server's database failed
    reply.refusal = refusal;
    if (!a.ok()) {
        // Refused before the user was looked at (too many attempts, fields it cannot take).
        reply.reachable = true;
        return reply;
    }
    try {
        reply.rows = wire::resultSetFromJson(a.body.at("result"));
    } catch (const std::exception &e) {
        const std::lock_guard state(d->stateMutex);
        d->lastMessage = QString::fromUtf8(e.what());
        return reply;
    }
    reply.reachable = true;
    return reply;
}

QString RemoteShopService::getNoId(const QString &code, const QString &key, int length)
{
    const Json body{{"code", wire::toJson(code)}, {"key", wire::toJson(key)}, {"length", length}};
    const std::lock_guard lock(d->dataMutex);
    const Answer a = d->withSession(wire::NoIdPath, &body, d->timeout);
    setLastBytes(a.sent, a.received);
    if (!a.ok())
        return {};
    return wire::optionalText(a.body, "number");
}

std::optional<QList<wire::OnlineTill>> RemoteShopService::tillsOnline()
{
    const std::lock_guard lock(d->dataMutex);
    const Answer a = d->withSession(wire::TillsPath, nullptr, d->timeout);
    if (!a.ok())
        return std::nullopt;
    try {
        return wire::onlineTillsFromJson(a.body);
    } catch (const wire::WireError &) {
        return std::nullopt;
    }
}

void RemoteShopService::logout()
{
    const std::lock_guard lock(d->dataMutex);
    QString token;
    {
        const std::lock_guard state(d->stateMutex);
        token = d->token->get();
        d->token->set({});
        d->login.reset();
    }
    if (token.isEmpty())
        return;
    // A server that is gone cannot be told; the token then ends with its working day.
    const Json body = Json::object();
    Impl::exchange(*d->data, wire::LogoutPath, &body, std::min(d->timeout.load(), 3), token);
}

void RemoteShopService::passwordChanged(const QString &passwordMd5)
{
    const std::lock_guard lock(d->dataMutex);
    {
        const std::lock_guard state(d->stateMutex);
        if (!d->login)
            return;
        d->login->passwordMd5 = passwordMd5;
    }
    d->relogin();
}

bool RemoteShopService::tcpSend(const QString &kind, const QStringList &fields)
{
    Json list = Json::array();
    for (const QString &f : fields)
        list.push_back(wire::toJson(f));
    const Json body{{"kind", wire::toJson(kind)}, {"fields", std::move(list)}};
    const std::lock_guard lock(d->messageMutex);
    Answer a = Impl::exchange(*d->messages, wire::MessagePath, &body, d->timeout, d->currentToken());
    if (a.reached && a.status == 401) {
        bool again = false;
        {
            const std::lock_guard data(d->dataMutex);
            again = d->relogin();
        }
        if (again)
            a = Impl::exchange(*d->messages, wire::MessagePath, &body, d->timeout, d->currentToken());
    }
    return a.ok();
}

} // namespace vorel
