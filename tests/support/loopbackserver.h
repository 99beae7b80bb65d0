#pragma once
// The real shop server for a test or a benchmark: both services on loopback ports the system
// picks, a few workers, no log. Only targets that link vorel_server include this.

#include <memory>

#include "server/shopserver.h"

namespace vorel::test {

struct LoopbackServerSettings {
    int workers = 2;
    int keepAliveSeconds = 1;
    int lockWaitMs = 0; // 0: the database's own lock wait
};

inline std::unique_ptr<server::ShopServer> startLoopbackServer(const QString &location, const Clock &clock,
                                                                LoopbackServerSettings settings = {})
{
    server::ServerOptions options;
    options.location = location;
    options.host = QStringLiteral("127.0.0.1");
    options.port = 0;
    options.messagePort = 0;
    options.workers = settings.workers;
    options.keepAliveSeconds = settings.keepAliveSeconds;
    options.lockWaitMs = settings.lockWaitMs;
    options.log = [](const QString &) {};
    auto server = std::make_unique<server::ShopServer>(options, clock);
    server->start();
    return server;
}

} // namespace vorel::test
