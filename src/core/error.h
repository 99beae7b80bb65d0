#pragma once
// The base of the errors our code throws: a message for a person, which what() also holds
// (in UTF-8) unless the error gives a text of its own for logs.

#include <QString>
#include <stdexcept>
#include <string>

namespace vorel {

class VorelError : public std::runtime_error {
public:
    explicit VorelError(const QString &message) : VorelError(message, message.toStdString()) {}
    const QString &message() const { return message_; }

protected:
    VorelError(const QString &message, const std::string &what) : std::runtime_error(what), message_(message) {}

private:
    QString message_;
};

} // namespace vorel
