#pragma once
// What travels between the till and vorel-server: JSON bodies over HTTP. Both sides read
// and write them through this file only.
//
// A result set is {"columns": [{"name": "VIPID", "type": "text"}, ...], "rows": [[...], ...]}.
// Column types are "text", "integer", "decimal" and "datetime". In a row, text is a JSON
// string, an integer a JSON number, a decimal a string holding the exact decimal ("12.5",
// "-0.25"), a date-time the string "YYYY-MM-DD hh:mm:ss", and null is null.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <nlohmann/json.hpp>

#include "core/error.h"
#include "core/resultset.h"

namespace vorel::wire {

using Json = nlohmann::json;

// Paths of the connection service.
inline constexpr const char *LoginPath = "/login";
inline constexpr const char *LogoutPath = "/logout";
inline constexpr const char *ExecPath = "/exec";
inline constexpr const char *OpenPath = "/open";
inline constexpr const char *NoIdPath = "/noid";
inline constexpr const char *TillsPath = "/tills";
// Path of the message service.
inline constexpr const char *MessagePath = "/message";

inline constexpr const char *JsonContentType = "application/json; charset=utf-8";
// How long (ms) the till waits for this answer; the service refuses a call it cannot start
// in time with 503 rather than leave the till to give up on it.
inline constexpr const char *TillWaitHeader = "X-Till-Wait-Ms";

// A body that does not have the expected shape.
struct WireError : VorelError {
    explicit WireError(const std::string &what) : VorelError(QString::fromStdString(what)) {}
};

Json toJson(const QString &text);
QString toQString(const Json &value); // a string, or empty for anything else

QString fieldTypeName(FieldType type);
FieldType fieldTypeFromName(const QString &name); // throws WireError for an unknown name

Json resultSetToJson(const ResultSet &rows);
ResultSet resultSetFromJson(const Json &value); // throws WireError
// The same, emptying `value` row by row as it goes.
ResultSet resultSetFromJson(Json &&value);

// The body text of a message (text that is not valid UTF-8 is replaced, never refused).
std::string serialize(const Json &value);
// How deep arrays and objects may nest in a body.
inline constexpr int MaxDepth = 16;
// Parses a request or response body; throws WireError when it is not a JSON object or is
// nested deeper than MaxDepth.
Json parseObject(const std::string &body);
// The member `key` of `object` as text; throws WireError when it is missing or not a string.
QString requiredText(const Json &object, const char *key);
QString optionalText(const Json &object, const char *key);
// The member `key` of `object` as a whole number within [min, max]; throws WireError when
// it is missing, no whole number or out of range (never cut down to fit).
qint64 requiredInteger(const Json &object, const char *key, qint64 min, qint64 max);

// A till the message service has seen.
struct OnlineTill {
    QString terminalKey;
    QString terminalId;
    QString userId;
    QString userName;
    QString version;  // the database name and program version the till announced
    QDateTime lastSeen;
};

Json onlineTillsToJson(const QList<OnlineTill> &tills);
QList<OnlineTill> onlineTillsFromJson(const Json &value); // throws WireError

} // namespace vorel::wire
