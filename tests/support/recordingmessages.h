#pragma once
// Keeps every message box shown; questions take the queued answers in order, then
// `defaultAnswer`.

#include <QList>
#include <QString>
#include <QStringList>

#include "core/messages.h"

namespace vorel {

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
