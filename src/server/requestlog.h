#pragma once
// The service's request log: one line for every request, written when its answer is sent.
//
//   <time> <address> till=<till> user=<user> op=<operation> path=<path> <ms>ms -> <outcome>
//
// Every field is a client's text or comes from one, so none may start a line of its own or
// pass for another field: control and format characters (line and paragraph separators
// included) and the backslash are written as \xHH (\uHHHH above U+00FF), and a blank inside
// a field as \x20 (the outcome, the last field, keeps its blanks). A run of 32 hex digits
// (a password digest, wherever a reply quotes one) is written as <md5>. Nothing else of a
// login is written: never the password digest it carried.

#include <QDateTime>
#include <QString>

namespace vorel::server {

struct RequestLine {
    QDateTime time;
    QString address = QStringLiteral("-");
    QString till = QStringLiteral("-");
    QString user = QStringLiteral("-");
    QString op;
    QString path;
    qint64 ms = 0;
    QString outcome;
};

// `text` as a log field: escaped as above and cut to `max` characters (then ending "...").
QString logField(const QString &text, int max = 80, bool keepBlanks = false);

QString formatRequestLine(const RequestLine &line);

} // namespace vorel::server
