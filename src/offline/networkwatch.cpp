#include "offline/networkwatch.h"

#include <QStringList>

#include "core/clock.h"
#include "core/session.h"
#include "core/shopservice.h"
#include "offline/connection.h"
#include "offline/localstore.h"

namespace vorel {

// Lives on the watch's thread. Its client is made there on first use and dropped there
// when the thread ends.
class NetworkWatch::Worker : public QObject {
public:
    explicit Worker(ClientFactory factory) : factory_(std::move(factory)) {}

    bool keepAlive(const QStringList &fields)
    {
        try {
            if (!client_ && factory_)
                client_ = factory_();
            return client_ && client_->tcpSend(QStringLiteral("0"), fields);
        } catch (const std::exception &) {
            // A client that throws instead of answering counts as a server that is gone.
            return false;
        }
    }

    void dropClient() { client_.reset(); }

private:
    ClientFactory factory_;
    std::unique_ptr<ShopService> client_;
};

QString unsentSlipsField(LocalStore &store)
{
    if (!store.isOpen())
        return {};
    try {
        const ResultSet rows = store.query(QStringLiteral("SELECT COUNT(*) FROM D712 WHERE T=0"));
        return rows.totalRowCount() == 1 ? QString::number(rows.fieldAt(0, 0).asInt()) : QString();
    } catch (const LocalStoreError &) {
        return {};
    }
}

NetworkWatch::NetworkWatch(Connection &connection, ClientFactory factory, const Clock &clock, int intervalMs,
                           QObject *parent)
    : QObject(parent), connection_(connection), factory_(std::move(factory)), clock_(clock),
      intervalMs_(intervalMs)
{
    thread_.setObjectName(QStringLiteral("NetworkWatch"));
    pacer_.setInterval(intervalMs_);
    connect(&pacer_, &QTimer::timeout, this, &NetworkWatch::tick);
}

NetworkWatch::~NetworkWatch()
{
    stop();
}

void NetworkWatch::start()
{
    if (running_)
        return;
    worker_ = std::make_unique<Worker>(factory_);
    worker_->moveToThread(&thread_);
    Worker *worker = worker_.get();
    // finished comes from the worker thread itself, so the client ends where it lived.
    connect(&thread_, &QThread::finished, worker, [worker] { worker->dropClient(); }, Qt::DirectConnection);
    thread_.start();
    running_ = true;
    inFlight_ = false;
    pacer_.start();
}

void NetworkWatch::stop()
{
    if (!running_)
        return;
    running_ = false;
    pacer_.stop();
    thread_.quit();
    thread_.wait();
    worker_.reset();
    inFlight_ = false;
    ++generation_; // an answer still on its way belongs to the stopped run
}

bool NetworkWatch::probeDue() const
{
    const Session::Connection &state = connection_.session().connection;
    if (!state.loginFlag || !state.loginOnline)
        return false;
    if (!linkUp_ || !state.lastMessageExchange.isValid())
        return true;
    const qint64 seconds = qRound64(state.lastMessageExchange.msecsTo(clock_.now()) / 1000.0);
    return seconds > QuietSeconds;
}

void NetworkWatch::tick()
{
    if (!running_ || inFlight_ || !probeDue())
        return;
    inFlight_ = true;
    const Session &session = connection_.session();
    const QStringList fields{session.connection.guid, session.terminal.terminalId, session.identity.userId,
                             unsentSlipsField(connection_.store())};
    Worker *worker = worker_.get();
    const quint64 generation = generation_;
    QMetaObject::invokeMethod(
        worker,
        [this, worker, fields, generation] {
            const bool reached = worker->keepAlive(fields);
            // stop() waits for this thread before the watch goes away, and the watch's
            // posted calls die with it.
            QMetaObject::invokeMethod(
                this, [this, reached, generation] { probeDone(generation, reached); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void NetworkWatch::probeDone(quint64 generation, bool reached)
{
    if (generation != generation_)
        return; // sent before a stop
    inFlight_ = false;
    Session::Connection &state = connection_.session().connection;
    // A logout or a manual switch to offline while the keep-alive was out wins over it.
    if (running_ && state.loginFlag && state.loginOnline) {
        if (reached) {
            linkUp_ = true;
            state.lastMessageExchange = clock_.now();
            connection_.setOffline(false);
        } else {
            linkUp_ = false;
            // The stand-alone edition never goes offline.
            if (state.net != 1)
                connection_.setOffline(true);
        }
    }
    emit probed(reached);
}

} // namespace vorel
