#pragma once
// A pseudo-terminal standing in for a serial device: the code under test opens the slave
// path as its port, the test reads what arrived on the master side. Both ends are raw, so
// every byte arrives as it was written.

#include <QByteArray>
#include <QString>
#include <chrono>
#include <limits>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace vorel::testing {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return fd_; }
    int *out() { return &fd_; }

private:
    int fd_ = -1;
};

class PseudoTerminal {
public:
    PseudoTerminal()
    {
        char name[256] = {};
        if (::openpty(master_.out(), slave_.out(), name, nullptr, nullptr) != 0)
            return;
        termios raw{};
        ::tcgetattr(slave_.get(), &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave_.get(), TCSANOW, &raw);
        // The slave stays open here for the test's lifetime, so the master never sees a
        // hang-up while the code under test closes and reopens its port.
        slavePath_ = QString::fromLocal8Bit(name);
    }

    bool ok() const { return !slavePath_.isEmpty(); }
    const QString &slavePath() const { return slavePath_; }
    int slaveFd() const { return slave_.get(); }
    int masterFd() const { return master_.get(); }

    // Reads until `count` bytes arrived or nothing came for `timeout`.
    QByteArray read(qsizetype count, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) const
    {
        QByteArray data;
        char buffer[4096];
        while (data.size() < count) {
            pollfd p{master_.get(), POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0 || !(p.revents & POLLIN))
                break;
            const ssize_t n = ::read(master_.get(), buffer, sizeof buffer);
            if (n <= 0)
                break;
            data.append(buffer, n);
        }
        return data;
    }

    // Everything that arrives until the line has been quiet for `quiet`.
    QByteArray drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(50)) const
    {
        return read(std::numeric_limits<qsizetype>::max(), quiet);
    }

private:
    FileDescriptor master_;
    FileDescriptor slave_;
    QString slavePath_;
};

} // namespace vorel::testing
