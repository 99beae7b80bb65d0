#pragma once
// Where the device layer puts a message for the cashier. The till shows it in a message
// box; the layer itself draws nothing.

#include <QList>
#include <QString>

namespace vorel {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const QString &caption, const QString &text) = 0;
};

class RecordingMessageSink final : public MessageSink {
public:
    struct Message {
        QString caption;
        QString text;
        bool operator==(const Message &) const = default;
    };

    void showMessage(const QString &caption, const QString &text) override { messages.append({caption, text}); }

    QList<Message> messages;
};

} // namespace vorel
