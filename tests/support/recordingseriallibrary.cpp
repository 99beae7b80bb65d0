#include "recordingseriallibrary.h"

namespace vorel {

bool RecordingSerialLibrary::comInit(int portNumber, int baud)
{
    calls.append({CallKind::Init, portNumber, baud, {}, 0});
    if (portNumber < 1 || baud <= 0 || missingPorts.contains(portNumber))
        return false;
    open_[portNumber] = baud;
    current_ = portNumber;
    return true;
}

void RecordingSerialLibrary::comSend(const QByteArray &buffer, int count)
{
    calls.append({CallKind::ComSend, current_, 0, buffer, count});
    if (current_ != 0)
        received_[current_] += buffer;
}

void RecordingSerialLibrary::comRest()
{
    calls.append({CallKind::Rest, 0, 0, {}, 0});
    open_.clear();
    current_ = 0;
}

bool RecordingSerialLibrary::send(const QString &portName, const QByteArray &buffer)
{
    const int number = serialPortNumber(portName);
    calls.append({CallKind::Send, number, 0, buffer, 0});
    if (!open_.contains(number))
        return false;
    received_[number] += buffer;
    return true;
}

QByteArray RecordingSerialLibrary::received(int portNumber) const
{
    const auto it = received_.find(portNumber);
    return it != received_.end() ? it->second : QByteArray();
}

} // namespace vorel
