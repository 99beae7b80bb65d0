#include "core/terminalsettings.h"

#include <QDir>
#include <QFileInfo>

#include "core/inifile.h"

#include <utility>

namespace vorel {

namespace {

const QString kSys = QStringLiteral("sys");
const QString kLogin = QStringLiteral("Login");
const QString kPos = QStringLiteral("POS");
const QString kGrid = QStringLiteral("POSGRIDWIDTH");

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QString gridWidthKey(int column)
{
    return QStringLiteral("COLUNM%1").arg(column);
}

QString readString(const QString &path, const QString &section, const char *name, const QString &def = {})
{
    return IniFile(path).readString(section, key(name), def);
}

int readInt(const QString &path, const QString &section, const char *name, int def)
{
    return IniFile(path).readInt(section, key(name), def);
}

bool readBool(const QString &path, const QString &section, const char *name, bool def)
{
    return IniFile(path).readBool(section, key(name), def);
}

bool writeString(const QString &path, const QString &section, const char *name, const QString &value)
{
    return IniFile(path).writeString(section, key(name), value);
}

bool writeInt(const QString &path, const QString &section, const char *name, int value)
{
    return IniFile(path).writeInt(section, key(name), value);
}

bool writeBool(const QString &path, const QString &section, const char *name, bool value)
{
    return IniFile(path).writeBool(section, key(name), value);
}

} // namespace

DeviceSettings DeviceSettings::defaults(Defaults which)
{
    DeviceSettings d;
    if (which == Defaults::Dialog) {
        // What the settings dialog's controls show when the file has no value.
        d.printerPort = QStringLiteral("COM1");
        d.printerBaud = QStringLiteral("2400");
        d.displayPort = QStringLiteral("COM1");
        d.displayBaud = QStringLiteral("2400");
        d.paperWidth = 59;
        d.drawerConnection = 0;
    }
    return d;
}

TerminalSettings::TerminalSettings(QString path) : path_(std::move(path)) {}

// --- sys

QString TerminalSettings::posTitle() const
{
    return readString(path_, kSys, "POS_Title", QStringLiteral("服装收银系统"));
}

int TerminalSettings::connMode() const
{
    return readInt(path_, kSys, "connmode", 0);
}

int TerminalSettings::net() const
{
    return readInt(path_, kSys, "NET", 1) & 0xFF;
}

bool TerminalSettings::debug() const
{
    return readInt(path_, kSys, "DEBUG", 0) == DebugCode;
}

QString TerminalSettings::userPrefsFileName() const
{
    return readString(path_, kSys, "POS_IniFile", QString::fromLatin1(DefaultUserPrefsFileName));
}

// --- Login

int TerminalSettings::dataPort() const
{
    return readInt(path_, kLogin, "DATAPORT", 8601);
}

int TerminalSettings::msgPort() const
{
    return readInt(path_, kLogin, "MSGPORT", 8602);
}

bool TerminalSettings::serverTls() const
{
    return readInt(path_, kLogin, "TLS", 0) != 0;
}

QString TerminalSettings::serverCertificate() const
{
    const QString file = readString(path_, kLogin, "TLSCA").trimmed();
    return file.isEmpty() ? file : QFileInfo(path_).absoluteDir().absoluteFilePath(file);
}

QString TerminalSettings::getIpAdd1() const
{
    return readString(path_, kLogin, "getipadd1");
}

bool TerminalSettings::serverResolvedBySupplier() const
{
    return getIpAdd1().compare(QLatin1String("I"), Qt::CaseInsensitive) == 0;
}

bool TerminalSettings::serverFieldLocked() const
{
    return readBool(path_, kLogin, "getipadd3", false);
}

// --- POS, identity and login

QString TerminalSettings::posDb() const
{
    return readString(path_, kPos, "POSDB", QStringLiteral("CL"));
}

QString TerminalSettings::macAddress() const
{
    return readString(path_, kPos, "macaddress", QStringLiteral("vorel"));
}

bool TerminalSettings::setMacAddress(const QString &value)
{
    return writeString(path_, kPos, "macaddress", value);
}

QString TerminalSettings::posId() const
{
    return readString(path_, kPos, "POSID");
}

bool TerminalSettings::setPosId(const QString &value)
{
    return writeString(path_, kPos, "POSID", value);
}

QString TerminalSettings::warehouseName() const
{
    return readString(path_, kPos, "CKNAME");
}

bool TerminalSettings::setWarehouseName(const QString &value)
{
    return writeString(path_, kPos, "CKNAME", value);
}

QString TerminalSettings::shiftNotice() const
{
    return readString(path_, kPos, "DB");
}

bool TerminalSettings::setShiftNotice(const QString &value)
{
    return writeString(path_, kPos, "DB", value);
}

QString TerminalSettings::lastSyncTime() const
{
    return readString(path_, kPos, "DBDATETIME");
}

bool TerminalSettings::setLastSyncTime(const QString &value)
{
    return writeString(path_, kPos, "DBDATETIME", value);
}

int TerminalSettings::slipCounter() const
{
    return readInt(path_, kPos, "POSNOID", 10000000);
}

bool TerminalSettings::setSlipCounter(int value)
{
    return writeInt(path_, kPos, "POSNOID", value);
}

// --- POS, screen and settlement

QString TerminalSettings::slogan() const
{
    return readString(path_, kPos, "STR1", QStringLiteral("[点击这里填写公司名称]欢迎您!"));
}

bool TerminalSettings::setSlogan(const QString &value)
{
    return writeString(path_, kPos, "STR1", value);
}

QString TerminalSettings::logoPath() const
{
    return readString(path_, kPos, "LOGO");
}

bool TerminalSettings::setLogoPath(const QString &value)
{
    return writeString(path_, kPos, "LOGO", value);
}

bool TerminalSettings::downloadAfterLogin() const
{
    return readBool(path_, kPos, "OT1", false);
}

bool TerminalSettings::setDownloadAfterLogin(bool value)
{
    return writeBool(path_, kPos, "OT1", value);
}

bool TerminalSettings::changeLimitedTo100() const
{
    return readBool(path_, kPos, "OT2", true);
}

bool TerminalSettings::setChangeLimitedTo100(bool value)
{
    return writeBool(path_, kPos, "OT2", value);
}

bool TerminalSettings::hideSystemLogo() const
{
    return readBool(path_, kPos, "OT3", false);
}

bool TerminalSettings::setHideSystemLogo(bool value)
{
    return writeBool(path_, kPos, "OT3", value);
}

int TerminalSettings::settlementFontSize() const
{
    return readInt(path_, kPos, "FORMFONTSIZE", 26);
}

bool TerminalSettings::setSettlementFontSize(int value)
{
    return writeInt(path_, kPos, "FORMFONTSIZE", value);
}

bool TerminalSettings::tenderRoundOff() const
{
    return readBool(path_, kPos, "FF1", true);
}

bool TerminalSettings::setTenderRoundOff(bool value)
{
    return writeBool(path_, kPos, "FF1", value);
}

bool TerminalSettings::tenderCashVoucher() const
{
    return readBool(path_, kPos, "FF2", true);
}

bool TerminalSettings::setTenderCashVoucher(bool value)
{
    return writeBool(path_, kPos, "FF2", value);
}

bool TerminalSettings::tenderStoredValue() const
{
    return readBool(path_, kPos, "FF3", true);
}

bool TerminalSettings::setTenderStoredValue(bool value)
{
    return writeBool(path_, kPos, "FF3", value);
}

bool TerminalSettings::tenderBankCard() const
{
    return readBool(path_, kPos, "FF4", true);
}

bool TerminalSettings::setTenderBankCard(bool value)
{
    return writeBool(path_, kPos, "FF4", value);
}

bool TerminalSettings::keyHelpVisible() const
{
    return readBool(path_, kPos, "toolvisible", true);
}

bool TerminalSettings::setKeyHelpVisible(bool value)
{
    return writeBool(path_, kPos, "toolvisible", value);
}

bool TerminalSettings::fullLayout() const
{
    return readBool(path_, kPos, "FORMCOLOR", true);
}

bool TerminalSettings::setFullLayout(bool value)
{
    return writeBool(path_, kPos, "FORMCOLOR", value);
}

quint32 TerminalSettings::themeColor() const
{
    return IniFile(path_).readColor(kPos, key("FM_COLOR"), 0x00C08080);
}

bool TerminalSettings::setThemeColor(quint32 value)
{
    return IniFile(path_).writeColor(kPos, key("FM_COLOR"), value);
}

quint32 TerminalSettings::themeFontColor() const
{
    return IniFile(path_).readColor(kPos, key("FB_COLOR"), 0x00D9B3B3);
}

bool TerminalSettings::setThemeFontColor(quint32 value)
{
    return IniFile(path_).writeColor(kPos, key("FB_COLOR"), value);
}

int TerminalSettings::lockMinutes() const
{
    return readInt(path_, kPos, "NUM2", 0);
}

bool TerminalSettings::setLockMinutes(int value)
{
    return writeInt(path_, kPos, "NUM2", value);
}

int TerminalSettings::serverTimeoutSeconds() const
{
    return readInt(path_, kPos, "NUM3", 3);
}

bool TerminalSettings::setServerTimeoutSeconds(int value)
{
    return writeInt(path_, kPos, "NUM3", value);
}

int TerminalSettings::slipKeepDays() const
{
    return readInt(path_, kPos, "FHCXS", 30);
}

bool TerminalSettings::setSlipKeepDays(int value)
{
    return writeInt(path_, kPos, "FHCXS", value);
}

int TerminalSettings::shiftKeepDays() const
{
    return readInt(path_, kPos, "FHCDB", 30);
}

bool TerminalSettings::setShiftKeepDays(int value)
{
    return writeInt(path_, kPos, "FHCDB", value);
}

int TerminalSettings::amountDecimals() const
{
    return readInt(path_, kPos, "chkparam19", 0);
}

bool TerminalSettings::setAmountDecimals(int value)
{
    return writeInt(path_, kPos, "chkparam19", value);
}

int TerminalSettings::amountRounding() const
{
    return readInt(path_, kPos, "chkparam20", 1);
}

bool TerminalSettings::setAmountRounding(int value)
{
    return writeInt(path_, kPos, "chkparam20", value);
}

int TerminalSettings::minimiseHotKey() const
{
    return readInt(path_, kPos, "MINKEY", 0);
}

bool TerminalSettings::setMinimiseHotKey(int value)
{
    return writeInt(path_, kPos, "MINKEY", value);
}

// --- POS, devices

DeviceSettings TerminalSettings::deviceSettings(Defaults which) const
{
    const DeviceSettings def = DeviceSettings::defaults(which);
    const IniFile ini(path_);
    const auto b = [&](const char *name, bool d) { return ini.readBool(kPos, key(name), d); };
    const auto s = [&](const char *name, const QString &d) { return ini.readString(kPos, key(name), d); };
    const auto i = [&](const char *name, int d) { return ini.readInt(kPos, key(name), d); };

    DeviceSettings d;
    d.printerEnabled = b("CHK1", def.printerEnabled);
    d.displayEnabled = b("CHK2", def.displayEnabled);
    d.drawerEnabled = b("CHK3", def.drawerEnabled);
    d.rawPrinting = b("CHK31", def.rawPrinting);
    d.driverPrinting = b("CHK32", def.driverPrinting);
    d.printAtSettlement = b("CHK33", def.printAtSettlement);
    d.printWhileScanning = b("CHK34", def.printWhileScanning);
    d.printNextHeading = b("CHK35", def.printNextHeading);
    d.printToggleAtStart = b("CHK36", def.printToggleAtStart);
    d.printerPort = s("cmb1", def.printerPort);
    d.printerBaud = s("cmb2", def.printerBaud);
    d.displayPort = s("cmb3", def.displayPort);
    d.displayBaud = s("cmb4", def.displayBaud);
    d.paperCutCommand = s("cmb5", def.paperCutCommand);
    d.paperWidth = i("cmb6", def.paperWidth);
    d.drawerConnection = i("cmb7", def.drawerConnection);
    d.drawerCommand = s("cmb8", def.drawerCommand);
    d.receiptDelaySeconds = ini.readFloat(kPos, key("NUM1"), def.receiptDelaySeconds);
    // The settings dialog stores this size from a number field, so "12.0" may stand there.
    const double title = ini.readFloat(kPos, key("font_title"), def.titleFontSize);
    d.titleFontSize = (title > -1e6 && title < 1e6) ? qRound(title) : def.titleFontSize;
    d.lineFontSize = i("font_d", def.lineFontSize);
    return d;
}

bool TerminalSettings::writeDeviceSettings(const DeviceSettings &d)
{
    IniFile ini(path_);
    IniFile::Batch batch(ini);
    const auto b = [&](const char *name, bool v) { return ini.writeBool(kPos, key(name), v); };
    const auto s = [&](const char *name, const QString &v) { return ini.writeString(kPos, key(name), v); };
    const auto i = [&](const char *name, int v) { return ini.writeInt(kPos, key(name), v); };

    const bool written = b("CHK1", d.printerEnabled) && b("CHK2", d.displayEnabled) && b("CHK3", d.drawerEnabled)
        && b("CHK31", d.rawPrinting) && b("CHK32", d.driverPrinting)
        && b("CHK33", d.printAtSettlement) && b("CHK34", d.printWhileScanning)
        && b("CHK35", d.printNextHeading) && b("CHK36", d.printToggleAtStart)
        && s("cmb1", d.printerPort) && s("cmb2", d.printerBaud) && s("cmb3", d.displayPort)
        && s("cmb4", d.displayBaud) && s("cmb5", d.paperCutCommand) && i("cmb6", d.paperWidth)
        && i("cmb7", d.drawerConnection) && s("cmb8", d.drawerCommand)
        && ini.writeFloat(kPos, key("NUM1"), d.receiptDelaySeconds)
        && i("font_title", d.titleFontSize) && i("font_d", d.lineFontSize);
    return batch.commit() && written;
}

// --- POSGRIDWIDTH

std::optional<GridLayout> TerminalSettings::gridLayout(const GridLayout &current) const
{
    const IniFile ini(path_);
    const int first = ini.readInt(kGrid, gridWidthKey(0), GridLayoutUnsaved);
    if (first == GridLayoutUnsaved)
        return std::nullopt;

    GridLayout layout = current;
    layout.widths[0] = first;
    for (int c = 1; c < GridLayout::ColumnCount; ++c) {
        if (GridLayout::hasStoredWidth(c))
            layout.widths[static_cast<size_t>(c)] = ini.readInt(kGrid, gridWidthKey(c), current.widths[static_cast<size_t>(c)]);
    }
    layout.fontSize = ini.readInt(kGrid, key("FONT"), current.fontSize);
    layout.titleFontSize = ini.readInt(kGrid, key("TITFONT"), current.titleFontSize);
    layout.column1Visible = ini.readBool(kGrid, key("COLUNM1V"), true);
    layout.column14Visible = ini.readBool(kGrid, key("COLUNM14V"), true);
    return layout;
}

bool TerminalSettings::writeGridLayout(const GridLayout &layout)
{
    IniFile ini(path_);
    IniFile::Batch batch(ini);
    bool written = true;
    for (int c = 0; c < GridLayout::ColumnCount && written; ++c) {
        if (GridLayout::hasStoredWidth(c))
            written = ini.writeInt(kGrid, gridWidthKey(c), layout.widths[static_cast<size_t>(c)]);
    }
    written = written && ini.writeInt(kGrid, key("FONT"), layout.fontSize)
        && ini.writeInt(kGrid, key("TITFONT"), layout.titleFontSize)
        && ini.writeBool(kGrid, key("COLUNM1V"), layout.column1Visible)
        && ini.writeBool(kGrid, key("COLUNM14V"), layout.column14Visible);
    return batch.commit() && written;
}

// --- user preferences

UserPreferences::UserPreferences(QString path) : path_(std::move(path)) {}

QString UserPreferences::user() const
{
    return readString(path_, kPos, "user", QStringLiteral("02"));
}

bool UserPreferences::setUser(const QString &value)
{
    return writeString(path_, kPos, "user", value);
}

QString UserPreferences::server() const
{
    return readString(path_, kPos, "server", QStringLiteral("127.0.0.1"));
}

bool UserPreferences::setServer(const QString &value)
{
    return writeString(path_, kPos, "server", value);
}

int UserPreferences::skinListIndex() const
{
    return readInt(path_, kPos, "skinlistindex", 0);
}

bool UserPreferences::setSkinListIndex(int value)
{
    return writeInt(path_, kPos, "skinlistindex", value);
}

} // namespace vorel
