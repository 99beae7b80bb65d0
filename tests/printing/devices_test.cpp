// Which serial ports the till opens and closes, and the routing of port names, against
// the recording serial library. The settings dialog's port check runs on real
// pseudo-terminals in serialports_test.cpp.

#include <gtest/gtest.h>

#include "core/session.h"
#include "printing/devices.h"
#include "printing/portmap.h"

#include "recordingmessages.h"
#include "recordingseriallibrary.h"

namespace vorel {
namespace {

using Call = RecordingSerialLibrary::Call;
using Kind = RecordingSerialLibrary::CallKind;

Call init(int port, int baud)
{
    return {Kind::Init, port, baud, {}, 0};
}

TEST(DevicesRouteTest, ByTheFirstCharactersInAnyCase)
{
    const struct {
        const char *name;
        Devices::Route route;
    } cases[] = {
        {"com6", Devices::Route::Serial},   {"CUSTOM", Devices::Route::Serial},
        {"lpt3", Devices::Route::File},     {"L", Devices::Route::File},
        {"C:\\receipt.txt", Devices::Route::File}, {"c:", Devices::Route::File},
        {"D:\\receipt.txt", Devices::Route::None}, {"", Devices::Route::None},
        {" COM1", Devices::Route::None},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Devices::route(QString::fromLatin1(c.name)), c.route) << c.name;
}

struct OpenPortsCase {
    const char *name;
    bool printer, display, drawer;
    const char *printerPort, *printerBaud, *displayPort, *displayBaud;
    QList<int> missing;
    QList<Call> calls;
    bool printerOpen, displayOpen;
};

TEST(DevicesOpenPortsTest, StartUpOpensTheSerialPortsOfEnabledDevices)
{
    const OpenPortsCase cases[] = {
        {"nothing enabled", false, false, false, "COM1", "9600", "COM2", "2400", {}, {}, false, false},
        {"printer enabled opens both", true, false, false, "COM1", "9600", "COM2", "2400", {},
         {init(1, 9600), init(2, 2400)}, true, true},
        {"drawer alone is enough", false, false, true, "COM3", "19200", "COM4", "3600", {},
         {init(3, 19200), init(4, 3600)}, true, true},
        {"printer on LPT1", true, true, false, "LPT1", "9600", "com5", "2400", {}, {init(5, 2400)}, false, true},
        {"printer on a drive file", true, false, false, "C:\\r.txt", "9600", "", "", {}, {init(0, 9600)}, false, false},
        {"two-digit name takes its first digit", true, false, false, "COM12", "9600", "", "", {}, {init(1, 9600)},
         true, false},
        {"same port twice", true, true, false, "COM2", "9600", "COM2", "2400", {}, {init(2, 9600), init(2, 2400)},
         true, true},
        {"display port missing", false, true, false, "COM1", "9600", "COM2", "2400", {2},
         {init(1, 9600), init(2, 2400)}, true, false},
        {"baud rate not saved", true, false, false, "COM1", "", "LPT1", "", {}, {init(1, 0)}, false, false},
    };
    for (const OpenPortsCase &c : cases) {
        SCOPED_TRACE(c.name);
        Session session;
        Session::Devices &d = session.devices;
        d.printerEnabled = c.printer;
        d.displayEnabled = c.display;
        d.drawerEnabled = c.drawer;
        d.printerPort = QString::fromLatin1(c.printerPort);
        d.printerBaud = QString::fromLatin1(c.printerBaud);
        d.displayPort = QString::fromLatin1(c.displayPort);
        d.displayBaud = QString::fromLatin1(c.displayBaud);
        d.printerPortOpen = d.displayPortOpen = true; // left from an earlier run
        RecordingSerialLibrary serial;
        serial.missingPorts = QSet<int>(c.missing.begin(), c.missing.end());
        RecordingMessages notices;
        Devices devices(session, serial, PortMap(), notices);

        devices.openPorts();
        EXPECT_EQ(serial.calls, c.calls);
        EXPECT_EQ(d.printerPortOpen, c.printerOpen);
        EXPECT_EQ(d.displayPortOpen, c.displayOpen);

        serial.calls.clear();
        devices.closePorts();
        const QList<Call> rest{{Kind::Rest, 0, 0, {}, 0}};
        EXPECT_EQ(serial.calls, c.printerOpen || c.displayOpen ? rest : QList<Call>());
        EXPECT_FALSE(d.printerPortOpen || d.displayPortOpen);
    }
}

} // namespace
} // namespace vorel
