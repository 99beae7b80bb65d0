#pragma once
// A serial library that only remembers: which ports were opened at which baud rate and
// what was written to them, in order. It keeps the rules of the real one (only open ports
// receive, comInit of an open port shares it, comRest closes all), so code that forgets
// to open a port fails here as it would at the till.

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <map>

#include "printing/seriallibrary.h"

namespace vorel {

class RecordingSerialLibrary final : public SerialLibrary {
public:
    enum class CallKind { Init, ComSend, Rest, Send };
    struct Call {
        CallKind kind = CallKind::Init;
        int portNumber = 0; // Init; the receiving port for ComSend and Send
        int baud = 0;       // Init
        QByteArray bytes;   // ComSend, Send
        int count = 0;      // ComSend
        bool operator==(const Call &) const = default;
    };

    bool comInit(int portNumber, int baud) override;
    void comSend(const QByteArray &buffer, int count) override;
    void comRest() override;
    bool send(const QString &portName, const QByteArray &buffer) override;

    // Ports that do not exist on this till: comInit of them fails.
    QSet<int> missingPorts;
    // Every call, also those that opened or reached nothing.
    QList<Call> calls;

    bool isOpen(int portNumber) const { return open_.contains(portNumber); }
    // The bytes that reached port n, concatenated.
    QByteArray received(int portNumber) const;

private:
    std::map<int, int> open_; // port number -> baud rate
    int current_ = 0;
    std::map<int, QByteArray> received_;
};

} // namespace vorel
