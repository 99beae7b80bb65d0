#pragma once
// The till's message boxes: a notice, a failure notice and a yes/no question, each with a
// text and nothing else. Logic classes report through this interface; the till shows real
// boxes, tests and the scenario runner record them and answer questions from a script.

#include <QList>
#include <QString>
#include <QStringList>

namespace vorel {

class Messages {
public:
    // The box kinds as the framework numbers them.
    enum class Kind { Question = 2, Failure = 4, Notice = 5 };

    virtual ~Messages() = default;
    // Shows a box and waits for it to be closed. For a question, true means "yes".
    virtual bool show(const QString &text, Kind kind) = 0;

    void notice(const QString &text) { show(text, Kind::Notice); }
    void failure(const QString &text) { show(text, Kind::Failure); }
    bool ask(const QString &text) { return show(text, Kind::Question); }
};

// Keeps every box shown; questions take the queued answers in order, then `defaultAnswer`.
class RecordingMessages final : public Messages {
public:
    struct Shown {
        QString text;
        Kind kind;
    };

    bool show(const QString &text, Kind kind) override
    {
        shown.append({text, kind});
        if (kind != Kind::Question)
            return true;
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    }

    QStringList texts() const
    {
        QStringList out;
        for (const Shown &s : shown)
            out << s.text;
        return out;
    }

    QList<Shown> shown;
    QList<bool> answers;
    bool defaultAnswer = false;
};

} // namespace vorel
