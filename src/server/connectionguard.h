#pragma once
// The HTTP services' defence against clients that hold them up: every connection is served
// here rather than in cpp-httplib's own loop, so that
//   - one address keeps at most `perAddress` connections open (more are closed at once);
//   - a connection that sends nothing for `idle` is closed, before its first request too;
//   - a request must arrive whole (request line, headers, body) within `request`, however
//     slowly its bytes trickle in;
//   - a body is refused before it is read when it is longer than its path allows, comes
//     without a length (chunked or read to the end) or compressed, and the connection is
//     then closed;
//   - memory a large request took is handed back to the system afterwards.
// A refusal is a JSON {"error": text} like every other answer of the services.

#include <httplib.h>

#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace vorel::server {

struct ConnectionLimits {
    int perAddress = 32;
    std::chrono::milliseconds idle{2000};
    std::chrono::milliseconds request{10000};
    std::chrono::milliseconds write{10000};
    // Longest body per path; paths not listed take `otherBody`.
    std::map<std::string, size_t> body;
    size_t otherBody = 16 * 1024;
};

// What a client is told when its request is too large or shaped to be unbounded.
inline const QString TooLargeMessage = QStringLiteral("请求过大,服务器拒绝处理!");
inline const QString NoLengthMessage = QStringLiteral("请求未注明长度,服务器拒绝处理!");

class ConnectionGuard {
public:
    // Serves the requests of one connection: process(stream, closeAfter, closed) is
    // cpp-httplib's own handling of one request on that stream.
    using Process = std::function<bool(httplib::Stream &, bool closeAfter, bool &closed)>;

    explicit ConnectionGuard(ConnectionLimits limits);

    // Serves `sock` (over TLS when `tls` is given) until it closes, times out or the server
    // stops (`running` false), then closes it.
    void serve(int sock, SSL_CTX *tls, const std::function<bool()> &running, const Process &process);

    // The pre-routing check: refuses a body that may not be read (and closes the
    // connection after the answer).
    httplib::Server::HandlerResponse checkBody(const httplib::Request &req, httplib::Response &res) const;

    // Connections open now from `address`.
    int openFrom(const std::string &address) const;

private:
    bool admit(const std::string &address);
    void release(const std::string &address);

    const ConnectionLimits limits_;
    mutable std::mutex mutex_;
    std::map<std::string, int> open_;
};

// An HTTP or HTTPS server whose connections `guard` serves. Both certificate and key given:
// HTTPS (check is_valid()).
std::unique_ptr<httplib::Server> makeGuardedServer(std::shared_ptr<ConnectionGuard> guard, const QString &certificate,
                                                   const QString &key);

} // namespace vorel::server
