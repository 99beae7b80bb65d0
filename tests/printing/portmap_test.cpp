// Port names to device paths: defaults, section PORTS, and where file names land.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "core/inifile.h"
#include "printing/portmap.h"

namespace vorel {
namespace {

TEST(PortMapTest, SectionPortsOverridesDefaults)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VOREL.DLL"));
    {
        IniFile ini(path);
        IniFile::Batch batch(ini);
        ini.writeString(QStringLiteral("PORTS"), QStringLiteral("COM1"), QStringLiteral("/dev/ttyUSB0"));
        ini.writeString(QStringLiteral("PORTS"), QStringLiteral("com2"), QStringLiteral("/dev/ttyACM0"));
        ini.writeString(QStringLiteral("PORTS"), QStringLiteral("COM3"), QString());
        ini.writeString(QStringLiteral("PORTS"), QStringLiteral("LPT1"), QStringLiteral("receipt.prn"));
        ini.writeString(QStringLiteral("PORTS"), QStringLiteral("drivec"), QStringLiteral("/srv/c"));
        ini.writeString(QStringLiteral("PORTS"), QStringLiteral("COM10"), QStringLiteral("/dev/null"));
        ini.writeString(QStringLiteral("POS"), QStringLiteral("COM4"), QStringLiteral("/dev/null"));
    }
    const PortMap map = PortMap::fromSettingsFile(path);
    EXPECT_EQ(map.serialDevice(1), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(map.serialDevice(2), QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(map.serialDevice(3), QStringLiteral("/dev/ttyS2")) << "an empty value keeps the default";
    EXPECT_EQ(map.serialDevice(4), QStringLiteral("/dev/ttyS3")) << "other sections do not count";
    EXPECT_EQ(map.parallelDevice(1), QDir(dir.path()).absoluteFilePath(QStringLiteral("receipt.prn")));
    EXPECT_EQ(map.filePath(QStringLiteral("C:\\out\\r.txt")), QStringLiteral("/srv/c/out/r.txt"));
    EXPECT_EQ(map.filePath(QStringLiteral("c:r.txt")), QStringLiteral("/srv/c/r.txt"));
}

TEST(PortMapTest, FileNamesLandInTheProgramFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Receipts")));
    const QString root = QDir(dir.path()).absolutePath();
    const PortMap map(dir.path());
    EXPECT_EQ(map.filePath(QStringLiteral("C:\\receipts\\a.txt")), root + QStringLiteral("/Receipts/a.txt"));
    EXPECT_EQ(map.filePath(QStringLiteral("C:\\NEW\\a.txt")), root + QStringLiteral("/NEW/a.txt"));
    EXPECT_EQ(map.filePath(QStringLiteral("C:/receipt.txt")), root + QStringLiteral("/receipt.txt"));
    EXPECT_EQ(map.filePath(QStringLiteral("L\\a.txt")), root + QStringLiteral("/L/a.txt"));
    EXPECT_EQ(map.filePath(QStringLiteral("lpt1.txt")), root + QStringLiteral("/lpt1.txt"));
    EXPECT_EQ(map.filePath(QStringLiteral("lpt1")), QStringLiteral("/dev/lp0"));
}

} // namespace
} // namespace vorel
