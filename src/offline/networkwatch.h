#pragma once
// The network watch: brings a session that was opened by an online login back online once
// the server answers again, and notices a server that went away while the till was idle.
//
// Every interval (5000 ms) the watch looks at the session on the user-interface thread: in
// a running session opened online, when the message link is down or more than 30 seconds
// have passed since the last exchange with the message service, it asks its worker thread
// to send the keep-alive, with the number of slips waiting in the local store. The worker
// owns a shop-service client of its own, made by the factory on the worker thread and used
// by nobody else (a ShopService is not thread-safe, and the keep-alive may wait for the
// server's time-out). The outcome comes back as a queued call, and the session is switched
// on the user-interface thread; the worker never reads or writes the Session.

#include <QObject>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>

namespace vorel {

class Clock;
class Connection;
class LocalStore;
class ShopService;

// The slips in the local store that wait for upload, as the text the till reports to the
// message service with "Connect" and every keep-alive; empty when the store cannot say.
QString unsentSlipsField(LocalStore &store);

class NetworkWatch : public QObject {
    Q_OBJECT

public:
    // Makes the worker's client: called on the worker thread, once per start(), so it must
    // hold copies of what it needs (server address, time-out, the login's session token),
    // not the UI thread's client. Without the token the keep-alive tells the till that the
    // server is there but does not keep the till on the server's list of tills online.
    using ClientFactory = std::function<std::unique_ptr<ShopService>()>;

    static constexpr int DefaultIntervalMs = 5000;
    // The keep-alive is skipped while the link is up and the last exchange is this recent.
    static constexpr int QuietSeconds = 30;

    NetworkWatch(Connection &connection, ClientFactory factory, const Clock &clock,
                 int intervalMs = DefaultIntervalMs, QObject *parent = nullptr);
    ~NetworkWatch() override; // stops the worker

    // Starts the worker and the pacing; the watch then runs until stop() or the end.
    void start();
    // Waits for a keep-alive in flight to end (at most the client's time-out).
    void stop();
    bool isRunning() const { return running_; }

    int intervalMs() const { return intervalMs_; }
    // The message link is up (the login announced the session to the message service).
    void setLinkUp(bool up) { linkUp_ = up; }
    bool linkUp() const { return linkUp_; }
    bool probeInFlight() const { return inFlight_; }

signals:
    // A keep-alive went out and this is what came back (after the state was switched).
    void probed(bool reached);

private:
    class Worker;

    void tick();
    bool probeDue() const;
    void probeDone(quint64 generation, bool reached);

    Connection &connection_;
    ClientFactory factory_;
    const Clock &clock_;
    int intervalMs_;
    QThread thread_;
    std::unique_ptr<Worker> worker_;
    QTimer pacer_;
    bool running_ = false;
    bool linkUp_ = false;
    bool inFlight_ = false;
    quint64 generation_ = 0; // advanced by stop(), so a late answer from before it is dropped
};

} // namespace vorel
