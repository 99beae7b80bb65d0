#include "core/terminalsettings.h"

#include "core/inifile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <functional>
#include <optional>
#include <gtest/gtest.h>

using vorel::Defaults;
using vorel::DeviceSettings;
using vorel::GridLayout;
using vorel::IniFile;
using vorel::TerminalSettings;
using vorel::UserPreferences;

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

    QByteArray get() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    TerminalSettings settings() const { return TerminalSettings(path()); }

    QTemporaryDir dir_;
};

struct KeyCase {
    const char *what;
    std::function<QString(const TerminalSettings &)> read;
    std::optional<QString> missing; // the value without a file, if it has a fixed default
    QString stored;  // the value from the file below
};

QString num(int v)
{
    return QString::number(v);
}

QString flag(bool v)
{
    return v ? QStringLiteral("true") : QStringLiteral("false");
}

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

// Every stored value differs from its default and the sections mix spellings, so a key read
// under the wrong name or section shows.
TEST_F(TerminalSettingsTest, EachKeyHasItsDefaultAndIsReadFromItsOwnSection)
{
    const std::vector<KeyCase> table = {
        {"POS_Title", [](auto &s) { return s.posTitle(); }, QStringLiteral("服装收银系统"), QStringLiteral("一号店")},
        {"connmode", [](auto &s) { return num(s.connMode()); }, QStringLiteral("0"), QStringLiteral("2")},
        {"NET", [](auto &s) { return num(s.net()); }, QStringLiteral("1"), QStringLiteral("0")},
        {"DEBUG", [](auto &s) { return flag(s.debug()); }, QStringLiteral("false"), QStringLiteral("true")},
        {"POS_IniFile", [](auto &s) { return s.userPrefsFileName(); }, QStringLiteral("vorel"), QStringLiteral("prefs.ini")},
        {"DATAPORT", [](auto &s) { return num(s.dataPort()); }, QStringLiteral("8601"), QStringLiteral("9601")},
        {"MSGPORT", [](auto &s) { return num(s.msgPort()); }, QStringLiteral("8602"), QStringLiteral("9602")},
        {"getipadd1", [](auto &s) { return flag(s.serverResolvedBySupplier()); }, QStringLiteral("false"), QStringLiteral("true")},
        {"getipadd3", [](auto &s) { return flag(s.serverFieldLocked()); }, QStringLiteral("false"), QStringLiteral("true")},
        {"POSDB", [](auto &s) { return s.posDb(); }, QStringLiteral("CL"), QStringLiteral("SHOP")},
        {"macaddress", [](auto &s) { return s.macAddress(); }, QStringLiteral("vorel"), QStringLiteral("AB-CD")},
        {"POSID", [](auto &s) { return s.posId(); }, QString(), QStringLiteral("001 前台")},
        {"CKNAME", [](auto &s) { return s.warehouseName(); }, std::nullopt, QStringLiteral("总仓")},
        {"DB", [](auto &s) { return s.shiftNotice(); }, std::nullopt, QStringLiteral("本机未启用【当班】功能!")},
        {"DBDATETIME", [](auto &s) { return s.lastSyncTime(); }, std::nullopt, QStringLiteral("2026-01-02 03:04:05")},
        {"POSNOID", [](auto &s) { return num(s.slipCounter()); }, QStringLiteral("10000000"), QStringLiteral("10000042")},
        {"STR1", [](auto &s) { return s.slogan(); }, QStringLiteral("[点击这里填写公司名称]欢迎您!"), QStringLiteral("欢迎")},
        {"LOGO", [](auto &s) { return s.logoPath(); }, std::nullopt, QStringLiteral("shop.png")},
        {"OT1", [](auto &s) { return flag(s.downloadAfterLogin()); }, QStringLiteral("false"), QStringLiteral("true")},
        {"OT2", [](auto &s) { return flag(s.changeLimitedTo100()); }, QStringLiteral("true"), QStringLiteral("false")},
        {"OT3", [](auto &s) { return flag(s.hideSystemLogo()); }, QStringLiteral("false"), QStringLiteral("true")},
        {"FORMFONTSIZE", [](auto &s) { return num(s.settlementFontSize()); }, QStringLiteral("26"), QStringLiteral("20")},
        {"FF1", [](auto &s) { return flag(s.tenderRoundOff()); }, QStringLiteral("true"), QStringLiteral("false")},
        {"FF2", [](auto &s) { return flag(s.tenderCashVoucher()); }, std::nullopt, QStringLiteral("false")},
        {"FF3", [](auto &s) { return flag(s.tenderStoredValue()); }, std::nullopt, QStringLiteral("false")},
        {"FF4", [](auto &s) { return flag(s.tenderBankCard()); }, QStringLiteral("true"), QStringLiteral("false")},
        {"toolvisible", [](auto &s) { return flag(s.keyHelpVisible()); }, QStringLiteral("true"), QStringLiteral("false")},
        {"FORMCOLOR", [](auto &s) { return flag(s.fullLayout()); }, QStringLiteral("true"), QStringLiteral("false")},
        {"FM_COLOR", [](auto &s) { return IniFile::formatColor(s.themeColor()); }, QStringLiteral("$00C08080"), QStringLiteral("$000000FF")},
        {"FB_COLOR", [](auto &s) { return IniFile::formatColor(s.themeFontColor()); }, QStringLiteral("$00D9B3B3"), QStringLiteral("$00112233")},
        {"NUM2", [](auto &s) { return num(s.lockMinutes()); }, QStringLiteral("0"), QStringLiteral("5")},
        {"NUM3", [](auto &s) { return num(s.serverTimeoutSeconds()); }, QStringLiteral("3"), QStringLiteral("8")},
        {"FHCXS", [](auto &s) { return num(s.slipKeepDays()); }, QStringLiteral("30"), QStringLiteral("7")},
        {"FHCDB", [](auto &s) { return num(s.shiftKeepDays()); }, QStringLiteral("30"), QStringLiteral("9")},
        {"chkparam19", [](auto &s) { return num(s.amountDecimals()); }, QStringLiteral("0"), QStringLiteral("2")},
        {"chkparam20", [](auto &s) { return num(s.amountRounding()); }, QStringLiteral("1"), QStringLiteral("3")},
        {"MINKEY", [](auto &s) { return num(s.minimiseHotKey()); }, QStringLiteral("0"), QStringLiteral("11")},
    };
    const TerminalSettings missing = settings();
    for (const KeyCase &c : table) {
        if (c.missing) {
            EXPECT_EQ(c.read(missing), *c.missing) << c.what;
        }
    }
    put(QStringLiteral("[SYS]\r\nPOS_Title=一号店\r\nconnmode=2\r\nNET=0\r\nDEBUG=473\r\nPOS_IniFile=prefs.ini\r\n"
                       "[login]\r\nDATAPORT=9601\r\nMSGPORT=9602\r\ngetipadd1=i\r\ngetipadd3=1\r\n"
                       "[pos]\r\nPOSDB=SHOP\r\nmacaddress=AB-CD\r\nPOSID=001 前台\r\nCKNAME=总仓\r\n"
                       "db=本机未启用【当班】功能!\r\nDBDATETIME=2026-01-02 03:04:05\r\nPOSNOID=10000042\r\n"
                       "STR1=欢迎\r\nlogo=shop.png\r\nOT1=1\r\not2=0\r\nOT3=1\r\nFORMFONTSIZE=20\r\n"
                       "FF1=0\r\nFF2=0\r\nFF3=0\r\nFF4=0\r\ntoolvisible=0\r\nFORMCOLOR=0\r\n"
                       "FM_COLOR=clRed\r\nFB_COLOR=$00112233\r\nnum2=5\r\nNUM3=8\r\nFHCXS=7\r\nFHCDB=9\r\n"
                       "chkparam19=2\r\nchkparam20=3\r\nMINKEY=11\r\n"));
    const TerminalSettings stored = settings();
    for (const KeyCase &c : table)
        EXPECT_EQ(c.read(stored), c.stored) << c.what;
}

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

TEST_F(TerminalSettingsTest, SettersWriteTheKeyTheReadersUseAndKeepTheStoredSpelling)
{
    put(QStringLiteral("; till 001\r\n[POS]\r\not2=1\r\nlogo=old.png\r\nnum2=0\r\n"));
    TerminalSettings s = settings();
    ASSERT_TRUE(s.setChangeLimitedTo100(false));
    ASSERT_TRUE(s.setLogoPath(QStringLiteral("new.png")));
    ASSERT_TRUE(s.setLockMinutes(15));
    ASSERT_TRUE(s.setSlipCounter(10000123));
    ASSERT_TRUE(s.setShiftNotice(QStringLiteral("本机未启用【当班】功能!")));
    ASSERT_TRUE(s.setThemeColor(0x00ABCDEF));
    ASSERT_TRUE(s.setMacAddress(QStringLiteral("KEY-1")));

    const QString text = QTextCodec::codecForName("GBK")->toUnicode(get());
    EXPECT_TRUE(text.startsWith(QStringLiteral("; till 001\r\n[POS]\r\not2=0\r\nlogo=new.png\r\nnum2=15\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("FM_COLOR=$00ABCDEF\r\n")));

    const TerminalSettings again = settings();
    EXPECT_FALSE(again.changeLimitedTo100());
    EXPECT_EQ(again.logoPath(), QStringLiteral("new.png"));
    EXPECT_EQ(again.lockMinutes(), 15);
    EXPECT_EQ(again.slipCounter(), 10000123);
    EXPECT_EQ(again.shiftNotice(), QStringLiteral("本机未启用【当班】功能!"));
    EXPECT_EQ(again.themeColor(), 0x00ABCDEFu);
    EXPECT_EQ(again.macAddress(), QStringLiteral("KEY-1"));
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

TEST_F(TerminalSettingsTest, UserPreferencesDefaultsAndRoundTrip)
{
    EXPECT_EQ(settings().userPrefsFileName(), QString::fromLatin1(vorel::DefaultUserPrefsFileName));
    UserPreferences prefs(dir_.filePath(settings().userPrefsFileName()));
    EXPECT_EQ(prefs.user(), QStringLiteral("02"));
    EXPECT_EQ(prefs.server(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(prefs.skinListIndex(), 0);

    ASSERT_TRUE(prefs.setUser(QStringLiteral("A01")));
    ASSERT_TRUE(prefs.setServer(QStringLiteral("shop.example,8700")));
    ASSERT_TRUE(prefs.setSkinListIndex(3));
    const UserPreferences again(prefs.path());
    EXPECT_EQ(again.user(), QStringLiteral("A01"));
    EXPECT_EQ(again.server(), QStringLiteral("shop.example,8700"));
    EXPECT_EQ(again.skinListIndex(), 3);
    EXPECT_EQ(IniFile(prefs.path()).sectionKeys(QStringLiteral("POS")),
              QStringList({QStringLiteral("user"), QStringLiteral("server"), QStringLiteral("skinlistindex")}));
}
