#pragma once
// The bytes the till sends to its receipt printer, customer display and cash drawer.
//
// A port name decides how bytes travel, by its first characters in any case: a name
// starting with "L" (LPT1 .. LPT3) or with "C:" (a file such as C:\receipt.txt) is written
// as a file; any other name starting with "C" (COM1 .. COM6) is a serial port; anything
// else goes nowhere. Every serial message starts with the 8-byte initialisation
// 1B 40 1C 26 1B 5C CF 00; files get the bytes alone. Text is sent in GBK, a character
// GBK lacks as "?".
//
// Device switches and fall-back ports and commands are read from the session each time,
// so the settings dialog's OK takes effect at once; its own tests pass the dialog's
// unsaved fields explicitly instead.

#include <QByteArray>
#include <QChar>
#include <QString>

#include "printing/portmap.h"

namespace vorel {

class Messages;
class SerialLibrary;
class Session;

class Devices {
public:
    enum class Route { File, Serial, None };

    // Sent in front of every serial message.
    static const QByteArray SerialPrefix;
    // The cashier's notice when a file port cannot be written.
    static const QString PrintErrorText;

    Devices(Session &session, SerialLibrary &serial, PortMap ports, Messages &messages);

    static Route route(const QString &portName);
    // The display's message: ESC s, the indicator code, ESC Q A, the value, CR.
    static QByteArray displayMessage(QChar code, const QString &value);
    // The drawer's bytes for a command text. The commands the settings offer become their
    // bytes; any other text is sent as its own characters.
    static QByteArray drawerBytes(const QString &command);

    // Sends the text (as GBK) or the bytes to the port. True when everything was written;
    // false also for a name that leads nowhere. A file port that cannot be written tells
    // the cashier; serial failures stay silent.
    bool rawPrint(const QString &text, const QString &port);
    bool rawPrintBytes(const QByteArray &bytes, const QString &port);

    // Shows a value on the customer display with indicator "1" to "4". Without a port it
    // goes to the display of the settings, and only when the display is switched on.
    void showOnDisplay(QChar code, const QString &value, const QString &port = {});

    // Opens the drawer through the printer port (connection 1) or the display port (any
    // other connection). An empty command means the one of the settings. Nothing happens
    // while the drawer is switched off, unless forced (the drawer key, the drawer test).
    void openDrawer(const QString &printerPort, const QString &displayPort, const QString &command, bool force,
                    int connection);
    // The same with the ports, command and connection of the settings.
    void openDrawer(bool force);

    // Start-up: when the printer, display or drawer is switched on, opens the printer port
    // and then the display port, each only when its name starts with "C", at the baud
    // rate of the settings; records which opened in the session.
    void openPorts();
    // Closing: closes the serial ports when start-up opened either of them.
    void closePorts();
    // The settings dialog's port check: closes every serial port and opens COMn of the
    // given name (n the digit after "COM") at the baud rate. True when it opened.
    bool reopenPort(const QString &port, const QString &baud);

    SerialLibrary &serial() { return serial_; }
    const PortMap &ports() const { return ports_; }
    // Where the port names lead from now on; the open ports are closed first.
    void setPorts(PortMap ports);

private:
    bool writeFile(const QByteArray &bytes, const QString &port);

    Session &session_;
    SerialLibrary &serial_;
    PortMap ports_;
    Messages &messages_;
};

} // namespace vorel
