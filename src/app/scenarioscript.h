#pragma once
// A scenario script for the till: one step per line, read once into steps that remember
// their line, so the runner can say where a script went wrong ("sale.txt:12: ...").
//
//   # comment            blank lines and comments are skipped
//   focus NAME           focus a control of the open dialog (or of the sales screen)
//   type TEXT            type the rest of the line into the focused control
//   key NAME             press a key, modifiers joined by '+' (Ctrl+Q, Shift+F5)
//   answer yes|no|ok     answer the next message box
//   wait SECONDS         move the till's clock and its timers (whole seconds)
//   sleep SECONDS        wait in real time (fractions allowed)
//   dump                 write the state of the screen
//   shot FILE            a PNG of the whole screen
//   throw TEXT           an error with TEXT that no part of the till handles

#include <QList>
#include <QString>
#include <Qt>
#include <optional>

namespace vorel {

struct KeyChord {
    Qt::Key key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers;

    friend bool operator==(const KeyChord &a, const KeyChord &b)
    {
        return a.key == b.key && a.modifiers == b.modifiers;
    }
};

struct ScenarioStep {
    enum class Kind { Focus, Type, Key, Answer, Wait, Sleep, Dump, Shot, Throw };
    enum class Answer { Yes, No, Ok };

    Kind kind = Kind::Dump;
    int line = 0;        // from 1
    QString text;        // focus: the control's objectName; type: the characters
    KeyChord chord;      // key
    Answer answer = Answer::Ok;
    double seconds = 0;  // wait (whole seconds) and sleep
};

class ScenarioScript {
public:
    // `name` is how messages call the script, normally the path it was read from.
    static ScenarioScript fromText(const QString &text, const QString &name);
    // Reads a UTF-8 file; a file that cannot be read gives an invalid script.
    static ScenarioScript fromFile(const QString &path);

    // Key names: Enter, Escape, Space, Backspace, Tab, Up, Down, Left, Right, PgUp, PgDown,
    // Home, End, Insert, Delete, F1..F12, ScrollLock, Pause, KeypadAsterisk, KeypadPlus,
    // KeypadMinus, a letter or a digit; led by any of Ctrl+, Shift+, Alt+. Case is ignored.
    static std::optional<KeyChord> parseKey(const QString &name);

    bool isValid() const { return error_.isEmpty(); }
    // "name:line: what is wrong" for the first bad line; empty for a good script.
    const QString &error() const { return error_; }
    const QString &name() const { return name_; }
    const QList<ScenarioStep> &steps() const { return steps_; }
    // "name:line: message"
    QString at(int line, const QString &message) const;

private:
    QString name_;
    QString error_;
    QList<ScenarioStep> steps_;
};

} // namespace vorel
