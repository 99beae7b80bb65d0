#include "app/scenarioscript.h"

#include <QFile>
#include <QStringList>
#include <array>
#include <utility>

namespace vorel {

namespace {

struct NamedKey {
    const char *name;
    Qt::Key key;
    Qt::KeyboardModifier extra;
};

constexpr std::array NamedKeys{
    NamedKey{"Enter", Qt::Key_Return, Qt::NoModifier},
    NamedKey{"Escape", Qt::Key_Escape, Qt::NoModifier},
    NamedKey{"Space", Qt::Key_Space, Qt::NoModifier},
    NamedKey{"Backspace", Qt::Key_Backspace, Qt::NoModifier},
    NamedKey{"Tab", Qt::Key_Tab, Qt::NoModifier},
    NamedKey{"Up", Qt::Key_Up, Qt::NoModifier},
    NamedKey{"Down", Qt::Key_Down, Qt::NoModifier},
    NamedKey{"Left", Qt::Key_Left, Qt::NoModifier},
    NamedKey{"Right", Qt::Key_Right, Qt::NoModifier},
    NamedKey{"PgUp", Qt::Key_PageUp, Qt::NoModifier},
    NamedKey{"PgDown", Qt::Key_PageDown, Qt::NoModifier},
    NamedKey{"Home", Qt::Key_Home, Qt::NoModifier},
    NamedKey{"End", Qt::Key_End, Qt::NoModifier},
    NamedKey{"Insert", Qt::Key_Insert, Qt::NoModifier},
    NamedKey{"Delete", Qt::Key_Delete, Qt::NoModifier},
    NamedKey{"ScrollLock", Qt::Key_ScrollLock, Qt::NoModifier},
    NamedKey{"Pause", Qt::Key_Pause, Qt::NoModifier},
    NamedKey{"KeypadAsterisk", Qt::Key_Asterisk, Qt::KeypadModifier},
    NamedKey{"KeypadPlus", Qt::Key_Plus, Qt::KeypadModifier},
    NamedKey{"KeypadMinus", Qt::Key_Minus, Qt::KeypadModifier},
};

std::optional<Qt::KeyboardModifier> modifierNamed(const QString &name)
{
    if (name.compare(QLatin1String("Ctrl"), Qt::CaseInsensitive) == 0)
        return Qt::ControlModifier;
    if (name.compare(QLatin1String("Shift"), Qt::CaseInsensitive) == 0)
        return Qt::ShiftModifier;
    if (name.compare(QLatin1String("Alt"), Qt::CaseInsensitive) == 0)
        return Qt::AltModifier;
    return std::nullopt;
}

std::optional<KeyChord> keyNamed(const QString &name)
{
    for (const NamedKey &k : NamedKeys) {
        if (name.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0)
            return KeyChord{k.key, k.extra};
    }
    if (name.size() >= 2 && name.front().toUpper() == QLatin1Char('F')) {
        bool ok = false;
        const int n = name.mid(1).toInt(&ok);
        if (ok && n >= 1 && n <= 12 && name.at(1) != QLatin1Char('0'))
            return KeyChord{Qt::Key(Qt::Key_F1 + n - 1), Qt::NoModifier};
    }
    if (name.size() == 1) {
        const QChar c = name.front().toUpper();
        // Qt numbers letter and digit keys by their upper-case character.
        if ((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            return KeyChord{Qt::Key(c.unicode()), Qt::NoModifier};
    }
    return std::nullopt;
}

// An hour: longer is a typing mistake, not a rehearsal.
constexpr int MaxSleepSeconds = 3600;

using StepParser = QString (*)(const QString &argument, ScenarioStep &step);

QString parseDump(const QString &argument, ScenarioStep &)
{
    return argument.trimmed().isEmpty() ? QString() : QStringLiteral("dump takes nothing after it");
}

// "shot FILE": a PNG of the whole screen, as the cashier sees it.
QString parseShot(const QString &argument, ScenarioStep &step)
{
    step.text = argument.trimmed();
    return step.text.isEmpty() ? QStringLiteral("shot needs the name of a PNG file") : QString();
}

QString parseThrow(const QString &argument, ScenarioStep &step)
{
    step.text = argument.trimmed();
    return step.text.isEmpty() ? QStringLiteral("throw needs the text of the error") : QString();
}

QString parseFocus(const QString &argument, ScenarioStep &step)
{
    const QString name = argument.trimmed();
    if (name.isEmpty())
        return QStringLiteral("focus needs the name of a control");
    if (name.contains(QLatin1Char(' ')))
        return QStringLiteral("a control name has no spaces: \"%1\"").arg(name);
    step.text = name;
    return {};
}

QString parseType(const QString &argument, ScenarioStep &step)
{
    if (argument.isEmpty())
        return QStringLiteral("type needs the text to type");
    step.text = argument;
    return {};
}

QString parseKeyStep(const QString &argument, ScenarioStep &step)
{
    const QString name = argument.trimmed();
    if (name.isEmpty())
        return QStringLiteral("key needs a key name");
    const std::optional<KeyChord> chord = ScenarioScript::parseKey(name);
    if (!chord)
        return QStringLiteral("unknown key \"%1\"").arg(name);
    step.chord = *chord;
    return {};
}

QString parseAnswer(const QString &argument, ScenarioStep &step)
{
    static const std::array<std::pair<const char *, ScenarioStep::Answer>, 3> answers{{
        {"yes", ScenarioStep::Answer::Yes},
        {"no", ScenarioStep::Answer::No},
        {"ok", ScenarioStep::Answer::Ok},
    }};
    const QString word = argument.trimmed();
    for (const auto &[name, answer] : answers) {
        if (word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            step.answer = answer;
            return {};
        }
    }
    return QStringLiteral("answer takes yes, no or ok, not \"%1\"").arg(word);
}

QString parseWait(const QString &argument, ScenarioStep &step)
{
    bool ok = false;
    const int seconds = argument.trimmed().toInt(&ok);
    if (!ok || seconds < 0)
        return QStringLiteral("wait takes whole seconds, not \"%1\"").arg(argument.trimmed());
    step.seconds = seconds;
    return {};
}

QString parseSleep(const QString &argument, ScenarioStep &step)
{
    bool ok = false;
    const double seconds = argument.trimmed().toDouble(&ok);
    if (!ok || !(seconds >= 0 && seconds <= MaxSleepSeconds))
        return QStringLiteral("sleep takes seconds up to %1, not \"%2\"").arg(MaxSleepSeconds).arg(argument.trimmed());
    step.seconds = seconds;
    return {};
}

struct StepWord {
    const char *word;
    ScenarioStep::Kind kind;
    StepParser parse;
};

constexpr std::array StepWords{
    StepWord{"focus", ScenarioStep::Kind::Focus, parseFocus},
    StepWord{"type", ScenarioStep::Kind::Type, parseType},
    StepWord{"key", ScenarioStep::Kind::Key, parseKeyStep},
    StepWord{"answer", ScenarioStep::Kind::Answer, parseAnswer},
    StepWord{"wait", ScenarioStep::Kind::Wait, parseWait},
    StepWord{"sleep", ScenarioStep::Kind::Sleep, parseSleep},
    StepWord{"dump", ScenarioStep::Kind::Dump, parseDump},
    StepWord{"shot", ScenarioStep::Kind::Shot, parseShot},
    StepWord{"throw", ScenarioStep::Kind::Throw, parseThrow},
};

} // namespace

std::optional<KeyChord> ScenarioScript::parseKey(const QString &name)
{
    const QStringList parts = name.split(QLatin1Char('+'));
    std::optional<KeyChord> chord = keyNamed(parts.back());
    if (!chord)
        return std::nullopt;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const std::optional<Qt::KeyboardModifier> modifier = modifierNamed(parts.at(i));
        if (!modifier)
            return std::nullopt;
        chord->modifiers |= *modifier;
    }
    return chord;
}

QString ScenarioScript::at(int line, const QString &message) const
{
    return QStringLiteral("%1:%2: %3").arg(name_).arg(line).arg(message);
}

ScenarioScript ScenarioScript::fromText(const QString &text, const QString &name)
{
    ScenarioScript script;
    script.name_ = name;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNumber = int(i) + 1;
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        // Leading blanks are indentation; the typed text keeps everything after "type ".
        qsizetype start = 0;
        while (start < line.size() && line.at(start).isSpace())
            ++start;
        line = line.mid(start);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        const QString word = space < 0 ? line : line.left(space);
        const QString argument = space < 0 ? QString() : line.mid(space + 1);

        const StepWord *found = nullptr;
        for (const StepWord &w : StepWords) {
            if (word == QLatin1String(w.word))
                found = &w;
        }
        if (found == nullptr) {
            script.error_ = script.at(lineNumber, QStringLiteral("unknown step \"%1\"").arg(word));
            return script;
        }
        ScenarioStep step;
        step.kind = found->kind;
        step.line = lineNumber;
        const QString problem = found->parse(argument, step);
        if (!problem.isEmpty()) {
            script.error_ = script.at(lineNumber, problem);
            return script;
        }
        script.steps_.append(step);
    }
    return script;
}

ScenarioScript ScenarioScript::fromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ScenarioScript script;
        script.name_ = path;
        script.error_ = QStringLiteral("%1: cannot read the script: %2").arg(path, file.errorString());
        return script;
    }
    return fromText(QString::fromUtf8(file.readAll()), path);
}

} // namespace vorel
