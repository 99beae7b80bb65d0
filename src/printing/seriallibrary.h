#pragma once
// The serial ports of the receipt printer and the customer display (the cash drawer hangs
// on one of the two). The till speaks to them through three calls that older tills made to
// a separate serial library, and through one of its own:
//
//   comInit(n, baud)      open COMn (1 = COM1) at the baud rate; true when it is open.
//                         Opening a port that is already open keeps the one connection
//                         and only sets the new baud rate, so the display and a drawer on
//                         the display, or a printer and display set to the same port,
//                         share the port instead of locking each other out.
//   comSend(bytes, count) writes to the port opened last by comInit. The whole buffer goes
//                         out whatever count says: callers count only their text, not the
//                         8-byte initialisation in front of it, and the devices need both.
//   comRest()             closes every port.
//   send(port, bytes)     writes the whole buffer to the open port named "COMn". The
//                         till's own output uses this one, so that with printer and
//                         display both on serial ports each message reaches its device.
//
// Writes are complete and blocking: they return once every byte has left the program, or
// when the port has taken nothing for the stall time-out. A port that was not opened by
// comInit receives nothing.

#include <QByteArray>
#include <QString>
#include <chrono>
#include <map>
#include <memory>

#include "printing/portmap.h"

class QSerialPort;

namespace vorel {

class SerialLibrary {
public:
    virtual ~SerialLibrary() = default;

    virtual bool comInit(int portNumber, int baud) = 0;
    virtual void comSend(const QByteArray &buffer, int count) = 0;
    virtual void comRest() = 0;
    // True when every byte was written.
    virtual bool send(const QString &portName, const QByteArray &buffer) = 0;
};

// Port number of a serial port name: the digit after "COM" (the fourth character), 0 when
// there is none.
int serialPortNumber(const QString &portName);

// The real ports, through QSerialPort: 8 data bits, no parity, one stop bit, no flow
// control. Ports are opened by the device path the port map gives for COMn; two numbers
// mapped to one device share its connection.
class SerialPortLibrary final : public SerialLibrary {
public:
    static constexpr std::chrono::milliseconds DefaultStallTimeout{3000};

    explicit SerialPortLibrary(PortMap ports, std::chrono::milliseconds stallTimeout = DefaultStallTimeout);
    ~SerialPortLibrary() override;
    SerialPortLibrary(const SerialPortLibrary &) = delete;
    SerialPortLibrary &operator=(const SerialPortLibrary &) = delete;

    bool comInit(int portNumber, int baud) override;
    void comSend(const QByteArray &buffer, int count) override;
    void comRest() override;
    // Where the port names lead from now on; every open port is closed.
    void setPorts(PortMap ports);
    bool send(const QString &portName, const QByteArray &buffer) override;

    bool isOpen(int portNumber) const;
    // Why the last comInit or write failed, for the log.
    const QString &lastError() const { return lastError_; }

private:
    bool write(const QString &device, const QByteArray &buffer);

    PortMap ports_;
    std::chrono::milliseconds stallTimeout_;
    std::map<QString, std::unique_ptr<QSerialPort>> open_; // by device path
    QString current_; // device of the last comInit: where comSend writes
    QString lastError_;
};

} // namespace vorel
