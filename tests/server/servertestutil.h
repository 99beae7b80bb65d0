#pragma once
// Helpers of the server tests: password digests and logins, sockets that refuse or never
// answer, raw HTTP, tills as text and servers in this process.

#include <QCryptographicHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <ostream>

#include "core/clock.h"
#include "loopback.h"
#include "server/remoteshopservice.h"
#include "server/shopserver.h"
#include "server/wire.h"

// Readable QStrings in test failures.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace vorel::test {

inline QString md5(const QString &password)
{
    return QString::fromLatin1(QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex());
}

// The login of a demo user whose password is its number.
inline LoginRequest loginOf(const QString &user, const QString &terminalKey = QStringLiteral("vorel"))
{
    return LoginRequest{user, md5(user), terminalKey, QStringLiteral("CL")};
}

// A till of the online list as "key|terminal|user|name|version".
inline QString tillText(const wire::OnlineTill &t)
{
    return QStringList{t.terminalKey, t.terminalId, t.userId, t.userName, t.version}.join(u'|');
}

inline QStringList tillTexts(const QList<wire::OnlineTill> &tills)
{
    QStringList out;
    for (const wire::OnlineTill &t : tills)
        out << tillText(t);
    return out;
}

// The lines a server in this process logs, collected across its worker threads.
class ServerLog {
public:
    void add(const QString &line)
    {
        const std::lock_guard lock(mutex_);
        lines_ << line;
    }
    QStringList lines() const
    {
        const std::lock_guard lock(mutex_);
        return lines_;
    }
    bool has(const QString &part, const QString &ending) const
    {
        const QStringList all = lines();
        return std::any_of(all.begin(), all.end(),
                           [&](const QString &l) { return l.contains(part) && l.endsWith(ending); });
    }

private:
    mutable std::mutex mutex_;
    QStringList lines_;
};

// A started server on loopback for the shop at `location`; ports 0 draw free ones.
inline std::unique_ptr<server::ShopServer> startServer(const QString &location, Clock &clock, ServerLog *log,
                                                       int workers, int keepAliveSeconds = 2, int port = 0,
                                                       int messagePort = 0)
{
    server::ServerOptions options;
    options.location = location;
    options.host = QStringLiteral("127.0.0.1");
    options.port = port;
    options.messagePort = messagePort;
    options.workers = workers;
    options.keepAliveSeconds = keepAliveSeconds;
    options.log = [log](const QString &line) {
        if (log)
            log->add(line);
    };
    auto server = std::make_unique<server::ShopServer>(options, clock);
    server->start();
    return server;
}

// How a till reaches a server in this process (the message service may be another's).
inline RemoteServer addressOf(const server::ShopServer &data, const server::ShopServer &messages)
{
    return RemoteServer{QStringLiteral("127.0.0.1"), data.port(), messages.messagePort(), false, {}};
}
inline RemoteServer addressOf(const server::ShopServer &server)
{
    return addressOf(server, server);
}

} // namespace vorel::test

#include <QByteArray>
#include <poll.h>

namespace vorel::test {

// Sends raw bytes to a loopback port and returns everything the peer answers until it
// closes (or `waitMs` passes without a byte).
inline QByteArray rawExchange(int port, const QByteArray &request, int waitMs = 3000)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    QByteArray answer;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0
        && ::write(fd, request.constData(), static_cast<size_t>(request.size())) == request.size()) {
        char buf[4096];
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, waitMs) > 0) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            answer.append(buf, n);
        }
    }
    ::close(fd);
    return answer;
}

// A JSON POST as a till would send it, with the connection closed after the answer.
inline QByteArray rawPost(int port, const char *path, const QByteArray &body, const QByteArray &token = {})
{
    QByteArray request = QByteArray("POST ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                         + "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size())
                         + "\r\n";
    if (!token.isEmpty())
        request += "Authorization: Bearer " + token + "\r\n";
    return rawExchange(port, request + "\r\n" + body);
}

// The status code of a raw answer ("HTTP/1.1 401 Unauthorized" gives 401), 0 for none.
inline int httpStatus(const QByteArray &answer)
{
    return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : 0;
}

// The body of a raw answer (the server sends a length, never chunks).
inline QByteArray httpBody(const QByteArray &answer)
{
    const qsizetype end = answer.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : answer.mid(end + 4);
}

} // namespace vorel::test
