#pragma once
// The settings file of vorel-server (/etc/vorel/server.conf when installed). Each line is
// `option = value`, the option being a long option of the command line without its dashes
// ("db", "port", "tls-cert"), so every option the command line knows can be set here and a
// new option needs no change to this reader. Blank lines and lines starting with # or ; are
// skipped; the value is the rest of the line, trimmed (a # inside it is part of it, as a
// password may hold one). An empty value leaves the option unset. A switch (an option that
// takes no value) is set by yes/true/on/1 and left unset by no/false/off/0.

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

namespace vorel::server {

struct ConfigArguments {
    QStringList arguments; // as on a command line: "--port=8601", "--demo"
    QString error;         // what is wrong and on which line; empty when all is well
};

// The options of `text`, checked against `known`. The options "config" and "help" cannot be
// set from a file; an option given twice is refused rather than one of them silently lost.
ConfigArguments configArguments(const QString &text, const QList<QCommandLineOption> &known);

// The same for the file at `path`; an unreadable file is an error naming it.
ConfigArguments readConfigFile(const QString &path, const QList<QCommandLineOption> &known);

} // namespace vorel::server
