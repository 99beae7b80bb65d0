#pragma once
// The web side of the status page on the connection service:
//
//   GET  /  /status.js  /status.css         the page, built into the program
//   POST /status/login {user, password}     -> {token, user_name} | 401 {error}
//   GET  /status  (Authorization: Bearer)   -> the figures (server/shopstatus.h)
//
// Any active user of the shop may look. The page's sessions are signed with a key drawn from
// the shop's own, so a page token never passes where a till's is asked for (and no till
// token reads the page's figures): the page has no door to SQL.

#include <QByteArray>
#include <optional>
#include <string>

namespace vorel::server {

inline constexpr const char *StatusPath = "/status";
inline constexpr const char *StatusLoginPath = "/status/login";
// The page's name for itself in the request log and its tokens.
inline constexpr const char *StatusPageClient = "status page";

// The page may only load its own script and style and talk to its own origin.
inline constexpr const char *StatusPagePolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

struct PageFile {
    QByteArray body;
    const char *contentType;
};

// The file served at `path` ("/", "/status.js", "/status.css"); empty for any other path.
std::optional<PageFile> statusPageFile(const std::string &path);

// The signing key of page sessions, derived from the shop's key.
QByteArray statusPageKey(const QByteArray &shopSecret);

} // namespace vorel::server
