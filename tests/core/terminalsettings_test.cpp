#include "core/terminalsettings.h"

#include "core/inifile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <gtest/gtest.h>

using vorel::Defaults;
using vorel::DeviceSettings;
using vorel::GridLayout;
using vorel::IniFile;
using vorel::TerminalSettings;

namespace {

class TerminalSettingsTest : public ::testing::Test {
protected:
    QString path() const { return dir_.filePath(QString::fromLatin1(vorel::TerminalSettingsFileName)); }

    void put(const QString &text) const
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QTextCodec::codecForName("GBK")->fromUnicode(text));
    }

    TerminalSettings settings() const { return TerminalSettings(path()); }

    QTemporaryDir dir_;
};

GridLayout designedGrid()
{
    GridLayout g;
    for (int c = 0; c < GridLayout::ColumnCount; ++c)
        g.widths[static_cast<size_t>(c)] = 40 + c;
    g.fontSize = 12;
    g.titleFontSize = 10;
    return g;
}

} // namespace

// Only the low byte of NET counts; DEBUG needs exactly the debug code.
TEST_F(TerminalSettingsTest, NetLowByteAndDebugCode)
{
    struct Case {
        const char *stored; // nullptr: key missing
        int net;
        bool debug;
    };
    for (const Case &c : {Case{"256", 0, false}, Case{"257", 1, false}, Case{"abc", 1, false},
                          Case{"473", 217, true}, Case{" 473 ", 217, true}, Case{"474", 218, false},
                          Case{"", 1, false}, Case{nullptr, 1, false}}) {
        SCOPED_TRACE(c.stored ? c.stored : "missing");
        put(c.stored ? QStringLiteral("[sys]\r\nNET=%1\r\nDEBUG=%1\r\n").arg(QString::fromLatin1(c.stored))
                     : QStringLiteral("[sys]\r\n"));
        EXPECT_EQ(settings().net(), c.net);
        EXPECT_EQ(settings().debug(), c.debug);
    }
}

// Once stored, the value wins whichever default is asked for.
TEST_F(TerminalSettingsTest, AStoredDeviceValueWinsOverEitherDefault)
{
    put(QStringLiteral("[POS]\r\ncmb6=80\r\nCMB7=0\r\ncmb1=LPT1\r\n"));
    for (Defaults which : {Defaults::StartUp, Defaults::Dialog}) {
        EXPECT_EQ(settings().paperWidth(which), 80);
        EXPECT_EQ(settings().drawerConnection(which), 0);
        EXPECT_EQ(settings().printerPort(which), QStringLiteral("LPT1"));
    }
}

TEST_F(TerminalSettingsTest, DeviceSettingsRoundTripAndTitleFontAcceptsAFloat)
{
    DeviceSettings d;
    // Every field away from its default, so a key that is not written or read back shows.
    d.printerEnabled = d.displayEnabled = d.drawerEnabled = d.driverPrinting = true;
    d.printWhileScanning = d.printNextHeading = d.printToggleAtStart = true;
    d.rawPrinting = d.printAtSettlement = false;
    d.printerPort = QStringLiteral("COM3");
    d.printerBaud = QStringLiteral("9600");
    d.displayPort = QStringLiteral("COM4");
    d.displayBaud = QStringLiteral("19200");
    d.paperCutCommand = QStringLiteral("29,86,0");
    d.drawerCommand = QStringLiteral("27,112,0,60,255");
    d.paperWidth = 80;
    d.drawerConnection = 0;
    d.receiptDelaySeconds = 1.5;
    d.titleFontSize = 16;
    d.lineFontSize = 9;
    ASSERT_TRUE(settings().writeDeviceSettings(d));
    EXPECT_EQ(settings().deviceSettings(Defaults::StartUp), d);
    EXPECT_EQ(settings().deviceSettings(Defaults::Dialog), d);

    for (const auto &[stored, size] : {std::pair{"14.0", 14}, std::pair{"13.6", 14}, std::pair{"9", 9},
                                       std::pair{"big", 12}, std::pair{"1e300", 12}}) {
        SCOPED_TRACE(stored);
        put(QStringLiteral("[POS]\r\nfont_title=%1\r\n").arg(QString::fromLatin1(stored)));
        EXPECT_EQ(settings().titleFontSize(), size);
    }
}

TEST_F(TerminalSettingsTest, GridLayoutIsSkippedWhenNeverSaved)
{
    EXPECT_FALSE(settings().gridLayout(designedGrid()).has_value());
    put(QStringLiteral("[POSGRIDWIDTH]\r\nCOLUNM0=10000\r\nCOLUNM1=99\r\nFONT=20\r\n"));
    EXPECT_FALSE(settings().gridLayout(designedGrid()).has_value());
    put(QStringLiteral("[POSGRIDWIDTH]\r\nCOLUNM1=99\r\n"));
    EXPECT_FALSE(settings().gridLayout(designedGrid()).has_value());
}

TEST_F(TerminalSettingsTest, GridLayoutMissingKeysKeepTheCurrentValues)
{
    put(QStringLiteral("[POSGRIDWIDTH]\r\nCOLUNM0=30\r\nCOLUNM2=77\r\ncolunm14=5\r\nCOLUNM3=999\r\n"
                       "TITFONT=14\r\nCOLUNM14V=0\r\n"));
    const GridLayout current = designedGrid();
    const auto layout = settings().gridLayout(current);
    ASSERT_TRUE(layout.has_value());
    GridLayout expected = current;
    expected.widths[0] = 30;
    expected.widths[2] = 77;
    expected.widths[14] = 5;
    expected.titleFontSize = 14;
    expected.column14Visible = false;
    EXPECT_EQ(*layout, expected);
}

TEST_F(TerminalSettingsTest, GridLayoutRoundTripWritesNoKeyForColumnThree)
{
    GridLayout g = designedGrid();
    g.widths[0] = 35;
    g.widths[9] = 0;
    g.fontSize = 18;
    g.column1Visible = false;
    ASSERT_TRUE(settings().writeGridLayout(g));

    GridLayout other = designedGrid();
    other.widths[3] = 123;
    const auto back = settings().gridLayout(other);
    ASSERT_TRUE(back.has_value());
    GridLayout expected = g;
    expected.widths[3] = 123;
    EXPECT_EQ(*back, expected);

    const QStringList keys = IniFile(path()).sectionKeys(QStringLiteral("POSGRIDWIDTH"));
    EXPECT_EQ(keys.size(), 18);
    EXPECT_FALSE(keys.contains(QStringLiteral("COLUNM3")));
}
