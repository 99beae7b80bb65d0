#include "printing/seriallibrary.h"

#include <QSerialPort>
#include <utility>

namespace vorel {

int serialPortNumber(const QString &portName)
{
    if (portName.size() < 4 || !portName.at(3).isDigit())
        return 0;
    return portName.at(3).digitValue();
}

SerialPortLibrary::SerialPortLibrary(PortMap ports, std::chrono::milliseconds stallTimeout)
    : ports_(std::move(ports)), stallTimeout_(stallTimeout)
{
}

SerialPortLibrary::~SerialPortLibrary() = default;

bool SerialPortLibrary::comInit(int portNumber, int baud)
{
    const QString device = ports_.serialDevice(portNumber);
    if (device.isEmpty() || baud <= 0) {
        lastError_ = QStringLiteral("no serial port COM%1 at %2 baud").arg(portNumber).arg(baud);
        return false;
    }
    if (const auto it = open_.find(device); it != open_.end()) {
        QSerialPort &port = *it->second;
        if (port.baudRate() != baud && !port.setBaudRate(baud)) {
            lastError_ = port.errorString();
            return false;
        }
        current_ = device;
        return true;
    }
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(device);
    port->setBaudRate(baud);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::WriteOnly)) {
        lastError_ = QStringLiteral("%1: %2").arg(device, port->errorString());
        return false;
    }
    open_.emplace(device, std::move(port));
    current_ = device;
    return true;
}

void SerialPortLibrary::comSend(const QByteArray &buffer, int /*count*/)
{
    if (!current_.isEmpty())
        write(current_, buffer);
}

void SerialPortLibrary::comRest()
{
    open_.clear(); // QSerialPort closes in its destructor
    current_.clear();
}

void SerialPortLibrary::setPorts(PortMap ports)
{
    comRest();
    ports_ = std::move(ports);
}

bool SerialPortLibrary::send(const QString &portName, const QByteArray &buffer)
{
    const QString device = ports_.serialDevice(serialPortNumber(portName));
    if (device.isEmpty() || !open_.contains(device)) {
        lastError_ = QStringLiteral("%1 is not open").arg(portName);
        return false;
    }
    return write(device, buffer);
}

bool SerialPortLibrary::isOpen(int portNumber) const
{
    return open_.contains(ports_.serialDevice(portNumber));
}

bool SerialPortLibrary::write(const QString &device, const QByteArray &buffer)
{
    const auto it = open_.find(device);
    if (it == open_.end())
        return false;
    QSerialPort &port = *it->second;
    bool ok = port.write(buffer) == buffer.size();
    while (ok && port.bytesToWrite() > 0)
        ok = port.waitForBytesWritten(static_cast<int>(stallTimeout_.count()));
    if (ok)
        return true;
    lastError_ = QStringLiteral("%1: %2").arg(device, port.errorString());
    // Whatever is still queued would reach the device in front of the next message.
    port.clear(QSerialPort::Output);
    if (port.error() == QSerialPort::ResourceError) {
        // The device went away (an unplugged adapter); a later comInit opens it afresh.
        if (current_ == device)
            current_.clear();
        open_.erase(it);
    } else {
        port.clearError();
    }
    return false;
}

} // namespace vorel
