// Byte-exact messages through real pseudo-terminals: the printer on COM1, the customer
// display on COM2, mapped in section PORTS of the settings file.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <thread>

#include "core/inifile.h"
#include "core/session.h"
#include "core/text.h"
#include "printing/devices.h"
#include "printing/portmap.h"
#include "printing/seriallibrary.h"
#include "pseudoterminal.h"
#include "recordingmessages.h"

namespace vorel {
namespace {

using testing::PseudoTerminal;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Hex pairs, so that a mismatch reads like a line analyser's trace.
std::string spaced(const QByteArray &bytes)
{
    return bytes.toHex(' ').toUpper().toStdString();
}

const QByteArray Prefix = hex("1B401C261B5CCF00");

class SerialPortsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(printer.ok());
        ASSERT_TRUE(display.ok());
        settingsPath = dir.filePath(QStringLiteral("VOREL.DLL"));
        IniFile ini(settingsPath);
        ASSERT_TRUE(ini.writeString(QStringLiteral("PORTS"), QStringLiteral("COM1"), printer.slavePath()));
        ASSERT_TRUE(ini.writeString(QStringLiteral("PORTS"), QStringLiteral("COM2"), display.slavePath()));
        ASSERT_TRUE(ini.writeString(QStringLiteral("PORTS"), QStringLiteral("COM3"), dir.filePath(QStringLiteral("no-such-tty"))));

        Session::Devices &d = session.devices;
        d.printerEnabled = true;
        d.displayEnabled = true;
        d.drawerEnabled = true;
        d.printerPort = QStringLiteral("COM1");
        d.printerBaud = QStringLiteral("9600");
        d.displayPort = QStringLiteral("COM2");
        d.displayBaud = QStringLiteral("2400");
        d.drawerConnection = 1;
        d.drawerCommand = QStringLiteral("27,112,0,60,255");

        const PortMap ports = PortMap::fromSettingsFile(settingsPath);
        serial = std::make_unique<SerialPortLibrary>(ports, std::chrono::milliseconds(1000));
        devices = std::make_unique<Devices>(session, *serial, ports, notices);
        devices->openPorts();
        ASSERT_TRUE(session.devices.printerPortOpen) << serial->lastError().toStdString();
        ASSERT_TRUE(session.devices.displayPortOpen) << serial->lastError().toStdString();
    }

    // What reached printer and display, each read until its line went quiet.
    void expectReceived(const QByteArray &onPrinter, const QByteArray &onDisplay)
    {
        EXPECT_EQ(spaced(printer.read(onPrinter.size())), spaced(onPrinter)) << "printer";
        EXPECT_EQ(spaced(display.read(onDisplay.size())), spaced(onDisplay)) << "display";
        EXPECT_EQ(spaced(printer.drain()), "") << "more on the printer";
        EXPECT_EQ(spaced(display.drain()), "") << "more on the display";
    }

    QTemporaryDir dir;
    QString settingsPath;
    PseudoTerminal printer;
    PseudoTerminal display;
    Session session;
    RecordingMessages notices;
    std::unique_ptr<SerialPortLibrary> serial;
    std::unique_ptr<Devices> devices;
};

TEST_F(SerialPortsTest, MessagesArriveByteForByteOnTheirPort)
{
    struct Case {
        const char *name;
        std::function<void(Devices &)> send;
        QByteArray printer;
        QByteArray display;
    };
    const Case cases[] = {
        {"receipt text", [](Devices &d) { d.rawPrint(QStringLiteral("No.001\r\n"), QStringLiteral("COM1")); },
         Prefix + hex("4E6F2E3030310D0A"), {}},
        {"port name in lower case", [](Devices &d) { d.rawPrint(QStringLiteral("x"), QStringLiteral("com2")); },
         {}, Prefix + "x"},
        {"receipt line in Chinese as GBK",
         [](Devices &d) { d.rawPrint(QStringLiteral("合计:12.50元\n"), QStringLiteral("COM1")); },
         Prefix + hex("BACFBCC63A31322E3530D4AA0A"), {}},
        {"character outside GBK shown as ?",
         [](Devices &d) { d.rawPrint(QStringLiteral("T恤👕!"), QStringLiteral("COM1")); },
         Prefix + hex("54D0F43F21"), {}},
        {"bytes above 0x7F untouched", [](Devices &d) { d.rawPrintBytes(hex("00FF0A0D80"), QStringLiteral("COM1")); },
         Prefix + hex("00FF0A0D80"), {}},
        {"price, indicator 1",
         [](Devices &d) { d.showOnDisplay(u'1', QStringLiteral("111111.11"), QStringLiteral("COM2")); },
         {}, Prefix + hex("1B73311B5141") + "111111.11" + "\r"},
        {"change 12.50, indicator 4, display of the settings",
         [](Devices &d) { d.showOnDisplay(u'4', QStringLiteral("12.50")); },
         {}, hex("1B401C261B5CCF001B73341B514131322E35300D")},
        {"display on the printer's port when asked",
         [](Devices &d) { d.showOnDisplay(u'4', QStringLiteral("0"), QStringLiteral("COM1")); },
         Prefix + hex("1B73341B5141300D"), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.send(*devices);
        expectReceived(c.printer, c.display);
    }
    EXPECT_TRUE(notices.shown.isEmpty());
}

TEST_F(SerialPortsTest, DrawerCommandsOnPrinterAndOnDisplay)
{
    const struct {
        const char *command;
        QByteArray bytes;
    } commands[] = {
        {"27,112,0,60,255", hex("1B70003CFF")},
        {"27,112,0,128,128", hex("1B70008080")},
        {"2,77", hex("024D")},
        {"7", hex("07")},
        {"7,28", hex("071C")},
        {"221", hex("DD")},
        // Not one of the known commands: its sixteen characters go out as they are.
        {"27,112,48,55,121", QByteArray("27,112,48,55,121")},
    };
    for (const auto &c : commands) {
        SCOPED_TRACE(c.command);
        const QString command = QString::fromLatin1(c.command);
        devices->openDrawer(QStringLiteral("COM1"), QStringLiteral("COM2"), command, false, 1);
        expectReceived(Prefix + c.bytes, {});
        devices->openDrawer(QStringLiteral("COM1"), QStringLiteral("COM2"), command, false, 0);
        expectReceived({}, Prefix + c.bytes);
    }
}

TEST_F(SerialPortsTest, SwitchesForceAndTheSettingsPorts)
{
    struct Case {
        const char *name;
        std::function<void(Session::Devices &)> set;
        std::function<void(Devices &)> send;
        QByteArray printer;
        QByteArray display;
    };
    const auto drawerOff = [](Session::Devices &d) { d.drawerEnabled = false; };
    const auto displayOff = [](Session::Devices &d) { d.displayEnabled = false; };
    const Case cases[] = {
        {"drawer off, not forced", drawerOff,
         [](Devices &d) { d.openDrawer(QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("7"), false, 1); },
         {}, {}},
        {"drawer off, settings, not forced", drawerOff, [](Devices &d) { d.openDrawer(false); }, {}, {}},
        {"drawer off, forced by the drawer key", drawerOff, [](Devices &d) { d.openDrawer(true); },
         Prefix + hex("1B70003CFF"), {}},
        {"empty drawer command takes the one of the settings", {},
         [](Devices &d) { d.openDrawer(QStringLiteral("COM1"), QStringLiteral("COM2"), QString(), false, 0); },
         {}, Prefix + hex("1B70003CFF")},
        {"drawer connection other than 1 is the display", {},
         [](Devices &d) { d.openDrawer(QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("221"), false, 7); },
         {}, Prefix + hex("DD")},
        {"display off", displayOff, [](Devices &d) { d.showOnDisplay(u'2', QStringLiteral("9.90")); }, {}, {}},
        // The settings dialog's display test names its port.
        {"display off, explicit port", displayOff,
         [](Devices &d) { d.showOnDisplay(u'2', QStringLiteral("9.90"), QStringLiteral("COM2")); },
         {}, Prefix + hex("1B73321B5141") + "9.90\r"},
        {"display without a port in the settings", [](Session::Devices &d) { d.displayPort.clear(); },
         [](Devices &d) { d.showOnDisplay(u'2', QStringLiteral("9.90")); }, {}, {}},
    };
    const Session::Devices saved = session.devices;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        session.devices = saved;
        if (c.set)
            c.set(session.devices);
        c.send(*devices);
        expectReceived(c.printer, c.display);
    }
}

TEST_F(SerialPortsTest, PrinterAndDisplayOnOnePortShareIt)
{
    // With driver printing the printer may name the display's port; opening it twice must
    // not lock the second user out.
    serial->comRest();
    session.devices.printerPort = QStringLiteral("COM2");
    devices->openPorts();
    EXPECT_TRUE(session.devices.printerPortOpen);
    EXPECT_TRUE(session.devices.displayPortOpen);
    EXPECT_FALSE(serial->isOpen(1));

    devices->showOnDisplay(u'2', QStringLiteral("5"));
    devices->openDrawer(QStringLiteral("COM2"), QStringLiteral("COM2"), QStringLiteral("7"), false, 0);
    devices->rawPrint(QStringLiteral("r"), QStringLiteral("COM2"));
    expectReceived({}, Prefix + hex("1B73321B5141350D") + Prefix + hex("07") + Prefix + "r");
}

TEST_F(SerialPortsTest, LibraryCalls)
{
    // comSend writes the whole buffer to the port opened last, whatever the count says.
    ASSERT_TRUE(serial->comInit(1, 19200));
    serial->comSend(Prefix + "AB", 2);
    expectReceived(Prefix + "AB", {});

    // Opening an open port again keeps it and moves comSend there.
    ASSERT_TRUE(serial->comInit(2, 3600));
    serial->comSend(QByteArray("Z"), 1);
    expectReceived({}, "Z");

    EXPECT_FALSE(serial->comInit(3, 9600)) << "COM3 leads to a device that does not exist";
    EXPECT_FALSE(serial->comInit(0, 9600));
    EXPECT_FALSE(serial->comInit(1, 0));
    EXPECT_FALSE(serial->send(QStringLiteral("COM3"), "lost"));
    EXPECT_FALSE(serial->send(QStringLiteral("COM4"), "lost")) << "never opened";

    serial->comRest();
    EXPECT_FALSE(serial->isOpen(1));
    EXPECT_FALSE(serial->isOpen(2));
    EXPECT_FALSE(serial->send(QStringLiteral("COM1"), "lost"));
    serial->comSend("lost", 4);
    EXPECT_FALSE(devices->rawPrint(QStringLiteral("lost"), QStringLiteral("COM2")));
    expectReceived({}, {});
    EXPECT_TRUE(notices.shown.isEmpty()) << "serial failures stay silent";

    // The settings dialog's port check reopens a single port.
    EXPECT_TRUE(devices->reopenPort(QStringLiteral("COM1"), QStringLiteral("2400")));
    EXPECT_TRUE(serial->send(QStringLiteral("COM1"), "ok"));
    expectReceived("ok", {});
    EXPECT_TRUE(devices->reopenPort(QStringLiteral("COM2"), QStringLiteral("2400")));
    EXPECT_FALSE(serial->isOpen(1));
    EXPECT_FALSE(devices->reopenPort(QStringLiteral("COM3"), QStringLiteral("2400")));
    EXPECT_FALSE(serial->isOpen(2));
}

TEST_F(SerialPortsTest, ReceiptLargerThanThePtyBufferArrivesWhole)
{
    // Several kilobytes: more than the terminal takes at once, so the write has to wait
    // for the reader.
    QString receipt;
    for (int i = 0; i < 400; ++i)
        receipt += QStringLiteral("%1 春季新款 T恤 XL 1 x 99.00\r\n").arg(i, 3, 10, QLatin1Char('0'));
    const QByteArray expected = Prefix + toGbk(receipt);
    ASSERT_GT(expected.size(), 12000);
    QByteArray arrived;
    std::thread reader([&] { arrived = printer.read(expected.size()); });
    const bool written = devices->rawPrint(receipt, QStringLiteral("COM1"));
    reader.join();
    EXPECT_TRUE(written) << serial->lastError().toStdString();
    EXPECT_EQ(arrived.size(), expected.size());
    EXPECT_TRUE(arrived == expected);
}

TEST_F(SerialPortsTest, StalledWriteGivesUpAndLeavesNothingBehind)
{
    // Nobody reads the printer: after the stall time-out the write is abandoned, and what
    // did not go out is not sent in front of the next message.
    SerialPortLibrary slow(PortMap::fromSettingsFile(settingsPath), std::chrono::milliseconds(200));
    serial->comRest();
    ASSERT_TRUE(slow.comInit(1, 9600));
    EXPECT_FALSE(slow.send(QStringLiteral("COM1"), QByteArray(256 * 1024, 'x')));
    printer.drain();
    EXPECT_TRUE(slow.send(QStringLiteral("COM1"), "next"));
    EXPECT_EQ(spaced(printer.drain()), spaced("next"));
}

} // namespace
} // namespace vorel
