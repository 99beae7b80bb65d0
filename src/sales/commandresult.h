#pragma once
// What a command of the command line leaves behind: a message for the help label, and
// what happens to the typed text.

#include <QString>

namespace vorel {

struct CommandResult {
    QString help;              // shown in the help label; empty clears it
    bool reachedAction = false; // the command did its work: the finish step runs, the text is cleared
    QString nextCommandText;   // text left in the command line afterwards (the new-card editor leaves "*" + card)

    static CommandResult refused(const QString &message) { return {message, false, {}}; }
    static CommandResult done(const QString &message = {}) { return {message, true, {}}; }
    static CommandResult nothing() { return {}; }
};

} // namespace vorel
