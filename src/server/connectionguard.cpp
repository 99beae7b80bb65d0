#include "server/connectionguard.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <optional>

#include "core/heapslack.h"
#include "server/wire.h"

namespace vorel::server {

namespace {

using Clock = std::chrono::steady_clock;

// How long one wait lasts at most before the server's running state is looked at again.
constexpr auto StopCheck = std::chrono::milliseconds(100);
// A request that moved more bytes than this leaves its memory to the system afterwards.
constexpr size_t LargeRequest = 256 * 1024;
// Headers and request line beyond the longest body.
constexpr size_t HeaderAllowance = 64 * 1024;

std::string addressOf(const sockaddr_storage &a, int &port)
{
    char text[INET6_ADDRSTRLEN] = {};
    port = -1;
    if (a.ss_family == AF_INET) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(&a);
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        port = ntohs(v4->sin_port);
    } else if (a.ss_family == AF_INET6) {
        const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(&a);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        port = ntohs(v6->sin6_port);
    }
    return text;
}

std::string peerAddress(int sock, int &port)
{
    sockaddr_storage a{};
    socklen_t size = sizeof a;
    if (::getpeername(sock, reinterpret_cast<sockaddr *>(&a), &size) != 0)
        return {};
    return addressOf(a, port);
}

// Waits until `sock` can be read (or written) or `until` passes, waking every StopCheck to
// ask `running`. False on time-out, stop or error.
bool waitFor(int sock, short events, Clock::time_point until, const std::function<bool()> &running)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0 || !running())
            return false;
        pollfd p{sock, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(std::min(left, StopCheck).count()));
        if (n > 0)
            return (p.revents & (events | POLLHUP | POLLERR)) != 0;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

// One connection as cpp-httplib reads and writes it, with the guard's deadlines and byte
// budget applied to every read.
class GuardedStream final : public httplib::Stream {
public:
    GuardedStream(int sock, SSL *ssl, const ConnectionLimits &limits, const std::function<bool()> &running)
        : sock_(sock), ssl_(ssl), limits_(limits), running_(running)
    {
    }

    static GuardedStream *&current()
    {
        thread_local GuardedStream *stream = nullptr;
        return stream;
    }

    void beginRequest(size_t budget)
    {
        deadline_ = Clock::now() + limits_.request;
        writeDeadline_.reset();
        budget_ = budget;
        moved_ = 0;
    }
    size_t moved() const { return moved_; }
    void refuse() { refused_ = true; }
    // Refused, or a read ran past the deadline or the budget or failed: the connection is
    // not read any further.
    bool finished() const { return refused_ || broken_; }

    // True when a request starts within the idle time.
    bool awaitRequest() const
    {
        return buffered() > 0 || waitFor(sock_, POLLIN, Clock::now() + limits_.idle, running_);
    }

    bool is_readable() const override { return buffered() > 0 || waitFor(sock_, POLLIN, deadline_, running_); }
    // The whole answer must be taken within the write time, however slowly the client reads.
    // A server that is stopping still answers the call in hand: the deadline bounds it.
    bool is_writable() const override
    {
        if (!writeDeadline_)
            writeDeadline_ = Clock::now() + limits_.write;
        static const std::function<bool()> answering = [] { return true; };
        return waitFor(sock_, POLLOUT, *writeDeadline_, answering);
    }

    ssize_t read(char *ptr, size_t size) override
    {
        if (finished() || size == 0)
            return -1;
        if (begin_ == end_) {
            if (moved_ >= budget_ || !is_readable()) {
                broken_ = true;
                return -1;
            }
            const ssize_t n = receive(buffer_, std::min(sizeof buffer_, budget_ - moved_));
            if (n <= 0) {
                broken_ = true;
                return n;
            }
            begin_ = 0;
            end_ = static_cast<size_t>(n);
            moved_ += static_cast<size_t>(n);
        }
        const size_t n = std::min(size, end_ - begin_);
        std::memcpy(ptr, buffer_ + begin_, n);
        begin_ += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char *ptr, size_t size) override
    {
        if (!is_writable())
            return -1;
        moved_ += size;
        if (ssl_)
            return SSL_write(ssl_, ptr, static_cast<int>(std::min<size_t>(size, INT32_MAX)));
        return ::send(sock_, ptr, size, MSG_NOSIGNAL);
    }

    void get_remote_ip_and_port(std::string &ip, int &port) const override { ip = peerAddress(sock_, port); }

    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        sockaddr_storage a{};
        socklen_t size = sizeof a;
        ip.clear();
        port = -1;
        if (::getsockname(sock_, reinterpret_cast<sockaddr *>(&a), &size) == 0)
            ip = addressOf(a, port);
    }

    socket_t socket() const override { return sock_; }

private:
    size_t buffered() const { return end_ - begin_ + (ssl_ ? static_cast<size_t>(SSL_pending(ssl_)) : 0); }

    ssize_t receive(char *to, size_t size)
    {
        if (ssl_)
            return SSL_read(ssl_, to, static_cast<int>(size));
        ssize_t n;
        do
            n = ::recv(sock_, to, size, 0);
        while (n < 0 && errno == EINTR);
        return n;
    }

    const int sock_;
    SSL *const ssl_;
    const ConnectionLimits &limits_;
    const std::function<bool()> &running_;
    Clock::time_point deadline_ = Clock::now();
    mutable std::optional<Clock::time_point> writeDeadline_;
    size_t budget_ = 0;
    size_t moved_ = 0;
    bool refused_ = false;
    bool broken_ = false;
    char buffer_[4096];
    size_t begin_ = 0;
    size_t end_ = 0;
};

// Sets `res` to a refusal that also closes the connection.
httplib::Server::HandlerResponse refuse(httplib::Response &res, int status, const QString &message)
{
    res.status = status;
    res.set_content(wire::serialize(wire::Json{{"error", wire::toJson(message)}}), wire::JsonContentType);
    if (GuardedStream *stream = GuardedStream::current())
        stream->refuse();
    return httplib::Server::HandlerResponse::Handled;
}

template <class Base>
class GuardedServer final : public Base {
public:
    template <class... Args>
    explicit GuardedServer(std::shared_ptr<ConnectionGuard> guard, Args &&...args)
        : Base(std::forward<Args>(args)...), guard_(std::move(guard))
    {
        this->set_pre_routing_handler(
            [g = guard_.get()](const httplib::Request &req, httplib::Response &res) { return g->checkBody(req, res); });
        // "Expect: 100-continue" is answered by the same check, before the body is sent.
        this->set_expect_100_continue_handler([g = guard_.get()](const httplib::Request &req, httplib::Response &res) {
            return g->checkBody(req, res) == httplib::Server::HandlerResponse::Handled ? res.status : 100;
        });
    }

private:
    bool process_and_close_socket(socket_t sock) override
    {
        SSL_CTX *tls = nullptr;
        if constexpr (std::is_same_v<Base, httplib::SSLServer>)
            tls = this->ssl_context();
        guard_->serve(
            sock, tls, [this] { return this->svr_sock_ != INVALID_SOCKET; },
            [this](httplib::Stream &stream, bool closeAfter, bool &closed) {
                return this->process_request(stream, closeAfter, closed, [](httplib::Request &) {});
            });
        return true;
    }

    std::shared_ptr<ConnectionGuard> guard_;
};

} // namespace

ConnectionGuard::ConnectionGuard(ConnectionLimits limits) : limits_(std::move(limits)) {}

bool ConnectionGuard::admit(const std::string &address)
{
    const std::lock_guard lock(mutex_);
    int &n = open_[address];
    if (n >= limits_.perAddress)
        return false;
    ++n;
    return true;
}

void ConnectionGuard::release(const std::string &address)
{
    const std::lock_guard lock(mutex_);
    const auto it = open_.find(address);
    if (it != open_.end() && --it->second <= 0)
        open_.erase(it);
}

int ConnectionGuard::openFrom(const std::string &address) const
{
    const std::lock_guard lock(mutex_);
    const auto it = open_.find(address);
    return it == open_.end() ? 0 : it->second;
}

void ConnectionGuard::serve(int sock, SSL_CTX *tls, const std::function<bool()> &running, const Process &process)
{
    int port = 0;
    const std::string address = peerAddress(sock, port);
    if (address.empty() || !admit(address)) {
        ::close(sock);
        return;
    }
    size_t budget = limits_.otherBody;
    for (const auto &[path, size] : limits_.body)
        budget = std::max(budget, size);
    budget += HeaderAllowance;

    // Without TCP_NODELAY every small answer waits for the peer's delayed ACK.
    const int on = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // A TLS write to a peer that left raises SIGPIPE, which would end the service.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    // Reads and writes inside OpenSSL (the handshake too) wait no longer than a request may.
    const timeval wait{static_cast<time_t>(limits_.request.count() / 1000),
                       static_cast<suseconds_t>(limits_.request.count() % 1000 * 1000)};
    ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);

    // Closed in this order on every way out: the TLS session, the count, the socket.
    struct Connection {
        ConnectionGuard &guard;
        const std::string &address;
        int sock;
        SSL *ssl = nullptr;
        ~Connection()
        {
            if (ssl) {
                SSL_shutdown(ssl);
                SSL_free(ssl);
            }
            guard.release(address);
            ::close(sock);
        }
    };
    {
        Connection connection{*this, address, sock};
        if (tls) {
            connection.ssl = SSL_new(tls);
            if (!connection.ssl || SSL_set_fd(connection.ssl, sock) != 1
                || !waitFor(sock, POLLIN, Clock::now() + limits_.idle, running) || SSL_accept(connection.ssl) != 1)
                return;
        }
        GuardedStream stream(sock, connection.ssl, limits_, running);
        GuardedStream::current() = &stream;
        while (running() && stream.awaitRequest()) {
            stream.beginRequest(budget);
            bool closed = false;
            const bool ok = process(stream, false, closed);
            // glibc keeps what a thread freed in its arena; a large body or answer would
            // otherwise stay with the process for good.
            if (stream.moved() > LargeRequest)
                handBackFreeHeap();
            if (!ok || closed || stream.finished())
                break;
        }
        GuardedStream::current() = nullptr;
        if (stream.finished() && !connection.ssl) {
            // The answer is on its way; read what the client still sends for a moment, so
            // that closing does not reset the connection before the answer is read.
            ::shutdown(sock, SHUT_WR);
            char sink[4096];
            const auto until = Clock::now() + std::chrono::milliseconds(500);
            size_t drained = 0;
            while (drained < 1024 * 1024 && waitFor(sock, POLLIN, until, running)) {
                const ssize_t n = ::recv(sock, sink, sizeof sink, 0);
                if (n <= 0)
                    break;
                drained += static_cast<size_t>(n);
            }
        }
    }
}

httplib::Server::HandlerResponse ConnectionGuard::checkBody(const httplib::Request &req, httplib::Response &res) const
{
    if (req.has_header("Transfer-Encoding"))
        return refuse(res, 411, NoLengthMessage);
    const std::string encoding = req.get_header_value("Content-Encoding");
    if (!encoding.empty() && encoding != "identity")
        return refuse(res, 415, TooLargeMessage);
    const auto limit = limits_.body.find(req.path);
    const size_t allowed = limit == limits_.body.end() ? limits_.otherBody : limit->second;
    if (!req.has_header("Content-Length")) {
        if (req.method == "POST" || req.method == "PUT" || req.method == "PATCH")
            return refuse(res, 411, NoLengthMessage);
        return httplib::Server::HandlerResponse::Unhandled;
    }
    const std::string length = req.get_header_value("Content-Length");
    const bool digits = !length.empty() && length.size() <= 18
                        && std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || req.get_header_value_count("Content-Length") != 1)
        return refuse(res, 400, NoLengthMessage);
    if (std::stoull(length) > allowed)
        return refuse(res, 413, TooLargeMessage);
    return httplib::Server::HandlerResponse::Unhandled;
}

std::unique_ptr<httplib::Server> makeGuardedServer(std::shared_ptr<ConnectionGuard> guard, const QString &certificate,
                                                   const QString &key)
{
    if (certificate.isEmpty() && key.isEmpty())
        return std::make_unique<GuardedServer<httplib::Server>>(std::move(guard));
    return std::make_unique<GuardedServer<httplib::SSLServer>>(std::move(guard), certificate.toLocal8Bit().constData(),
                                                               key.toLocal8Bit().constData());
}

} // namespace vorel::server
