#pragma once
// The command line of vorel-server:
//
//   vorel-server serve --db LOCATION [--host ADDR] [--port 8601] [--msg-port 8602]
//                      [--threads N] [--tls-cert FILE --tls-key FILE] [--log-level LEVEL]
//                      [--statement-timeout SECONDS] [--per-address N]
//   vorel-server init  --db LOCATION [--demo] [--styles N] [--force]
//   vorel-server exec  --db LOCATION (--file FILE | 'SQL')
//   vorel-server backup  --db LOCATION --to FILE
//   vorel-server restore --from FILE --db LOCATION
//
// LOCATION is a SQLite file or a postgresql:// URI. Every command also takes --config FILE,
// a file of long options (server/serverconfig.h) that the command line overrides.

#include <QStringList>

namespace vorel::server {

// Runs one command; returns the process exit code (0 success, 1 failure, 2 wrong usage).
int runCommandLine(const QStringList &arguments);

} // namespace vorel::server
