#pragma once
// Helpers of the server tests: password digests, sockets that refuse or never answer, and
// the application object QProcess wants.

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QString>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ostream>

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

// A socket bound to a free loopback port; listening when asked. Closed on destruction.
class LoopbackSocket {
public:
    explicit LoopbackSocket(bool listening)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        ::bind(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        if (listening)
            ::listen(fd_, 16);
    }
    ~LoopbackSocket() { close(); }
    LoopbackSocket(const LoopbackSocket &) = delete;
    LoopbackSocket &operator=(const LoopbackSocket &) = delete;

    int port() const { return port_; }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A port nobody listens on: connecting is refused at once.
inline int refusingPort()
{
    LoopbackSocket s(false);
    return s.port();
}

// QProcess wants an application object; gtest's main does not make one.
inline void ensureCoreApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "test_server";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
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

inline QByteArray rawGet(int port, const char *path, const QByteArray &token = {})
{
    QByteArray request = QByteArray("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (!token.isEmpty())
        request += "Authorization: Bearer " + token + "\r\n";
    return rawExchange(port, request + "\r\n");
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
