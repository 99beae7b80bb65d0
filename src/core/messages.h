#pragma once
// The till's message boxes: a notice, a failure notice and a yes/no question, each with a
// text and nothing else. Logic classes (the device layer and the receipt printing among
// them) report through this interface; the till shows real boxes.

#include <QString>

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

} // namespace vorel
