// Printers on a parallel port or a file: bytes written as a file, no serial initialisation
// in front, a message for the cashier when the file cannot be written.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "core/inifile.h"
#include "core/session.h"
#include "printing/devices.h"
#include "printing/portmap.h"

#include "recordingmessages.h"
#include "recordingseriallibrary.h"

namespace vorel {
namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Everything inside the folder, recursively, for "nothing was written" checks.
QStringList contents(const QString &folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        names << it.next();
    names.sort();
    return names;
}

class FilePortsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("c/Spool")));
        settingsPath = dir.filePath(QStringLiteral("VOREL.DLL"));
        IniFile ini(settingsPath);
        ini.writeString(QStringLiteral("PORTS"), QStringLiteral("LPT1"), dir.filePath(QStringLiteral("lpt1.prn")));
        ini.writeString(QStringLiteral("PORTS"), QStringLiteral("LPT2"), dir.filePath(QStringLiteral("gone/lpt2.prn")));
        ini.writeString(QStringLiteral("PORTS"), QStringLiteral("DRIVEC"), dir.filePath(QStringLiteral("c")));
        session.devices.drawerEnabled = true;
        session.devices.displayEnabled = true;
        session.devices.displayPort = QStringLiteral("LPT1");
        serial.comInit(1, 9600);
        serial.calls.clear();
    }

    Devices devices() { return Devices(session, serial, PortMap::fromSettingsFile(settingsPath), notices); }

    QTemporaryDir dir;
    QString settingsPath;
    Session session;
    RecordingSerialLibrary serial;
    RecordingMessages notices;
};

TEST_F(FilePortsTest, WritesTheBytesToTheFileOfThePort)
{
    struct Case {
        const char *name;
        std::function<bool(Devices &)> print;
        const char *file; // relative to the test folder
        QByteArray bytes;
    };
    const Case cases[] = {
        {"receipt on LPT1, GBK", [](Devices &d) { return d.rawPrint(QStringLiteral("合计 9.90\r\n"), QStringLiteral("LPT1")); },
         "lpt1.prn", QByteArray::fromHex("BACFBCC6") + " 9.90\r\n"},
        {"a second receipt replaces the first", [](Devices &d) { return d.rawPrint(QStringLiteral("B"), QStringLiteral("lpt1")); },
         "lpt1.prn", "B"},
        {"drive name", [](Devices &d) { return d.rawPrint(QStringLiteral("r"), QStringLiteral("C:\\receipt.txt")); },
         "c/receipt.txt", "r"},
        {"drive name in other case finds the existing folder",
         [](Devices &d) { return d.rawPrint(QStringLiteral("s"), QStringLiteral("c:\\spool\\Out.txt")); }, "c/Spool/Out.txt", "s"},
        {"other name starting with L, inside the program folder",
         [](Devices &d) { return d.rawPrint(QStringLiteral("l"), QStringLiteral("log.prn")); }, "log.prn", "l"},
        {"drawer on a printer at LPT1",
         [](Devices &d) {
             d.openDrawer(QStringLiteral("LPT1"), QStringLiteral("COM1"), QStringLiteral("27,112,0,128,128"), false, 1);
             return true;
         },
         "lpt1.prn", QByteArray::fromHex("1B70008080")},
        {"display on LPT1",
         [](Devices &d) {
             d.showOnDisplay(u'4', QStringLiteral("12.50"));
             return true;
         },
         "lpt1.prn", QByteArray::fromHex("1B73341B514131322E35300D")},
    };
    Devices d = devices();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.print(d));
        EXPECT_EQ(fileBytes(dir.filePath(QString::fromLatin1(c.file))).toHex(' '), c.bytes.toHex(' '));
    }
    EXPECT_TRUE(notices.shown.isEmpty());
    EXPECT_TRUE(serial.calls.isEmpty()) << "files never touch the serial ports";
}

TEST_F(FilePortsTest, FileThatCannotBeWrittenTellsTheCashier)
{
    const struct {
        const char *name;
        QString port;
    } cases[] = {
        {"folder of the file missing", QStringLiteral("LPT2")},
        {"the drive folder itself", QStringLiteral("C:\\")},
        {"a folder", QStringLiteral("c:\\Spool")},
    };
    Devices d = devices();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        notices.shown.clear();
        EXPECT_FALSE(d.rawPrint(QStringLiteral("x"), c.port));
        ASSERT_EQ(notices.shown.size(), 1);
        EXPECT_EQ(notices.shown.front().kind, Messages::Kind::Notice);
        EXPECT_EQ(notices.shown.front().text, Devices::PrintErrorText);
    }
    // The drawer and the display report the same way when they hang on such a port.
    notices.shown.clear();
    d.openDrawer(QStringLiteral("LPT2"), QString(), QStringLiteral("7"), true, 1);
    d.showOnDisplay(u'2', QStringLiteral("1"), QStringLiteral("LPT2"));
    EXPECT_EQ(notices.shown.size(), 2);
}

TEST_F(FilePortsTest, OtherNamesGoNowhere)
{
    session.devices.displayPort.clear(); // an empty port would mean the display of the settings
    const QStringList before = contents(dir.path());
    Devices d = devices();
    for (const QString &port : {QString(), QStringLiteral("PRN"), QStringLiteral("USB001"), QStringLiteral("X:\\r.txt"),
                                QStringLiteral(" COM1"), QStringLiteral("/dev/ttyS0")}) {
        SCOPED_TRACE(port.toStdString());
        EXPECT_FALSE(d.rawPrint(QStringLiteral("x"), port));
        d.openDrawer(port, port, QStringLiteral("7"), true, 1);
        d.showOnDisplay(u'1', QStringLiteral("1"), port);
    }
    EXPECT_EQ(contents(dir.path()).join(u' ').toStdString(), before.join(u' ').toStdString());
    EXPECT_TRUE(serial.calls.isEmpty());
    EXPECT_TRUE(notices.shown.isEmpty());
}

} // namespace
} // namespace vorel
