#pragma once
// The till's two settings files: the terminal settings file "VOREL.DLL" (an INI file
// under a library's name, in the program folder) and the user-preferences file it names.
// Every accessor opens the file, reads or writes its keys and closes it again; nothing is
// cached, so a value written by one dialog is seen by the next reader. Write failures are
// reported as false and are ignored by most callers.

#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

namespace vorel {

inline constexpr char TerminalSettingsFileName[] = "VOREL.DLL";
// Name of the user-preferences file when the settings file names none.
inline constexpr char DefaultUserPrefsFileName[] = "vorel";
// DEBUG must hold exactly this value to switch debugging on.
inline constexpr int DebugCode = 473;
// COLUNM0 read back as this value means no grid layout was ever saved.
inline constexpr int GridLayoutUnsaved = 10000;

// Some keys default differently when read at start-up and when the terminal settings
// dialog fills its controls; a terminal keeps the start-up values until the dialog has
// been saved once.
enum class Defaults { StartUp, Dialog };

// Devices and receipt options of section POS.
struct DeviceSettings {
    bool printerEnabled = false;        // CHK1
    bool displayEnabled = false;        // CHK2
    bool drawerEnabled = false;         // CHK3
    bool rawPrinting = true;            // CHK31: raw commands to the port
    bool driverPrinting = false;        // CHK32: through a Windows printer driver
    bool printAtSettlement = true;      // CHK33
    bool printWhileScanning = false;    // CHK34
    bool printNextHeading = false;      // CHK35
    bool printToggleAtStart = false;    // CHK36
    QString printerPort;                // cmb1: COM1..COM6, LPT1..LPT3
    QString printerBaud;                // cmb2
    QString displayPort;                // cmb3
    QString displayBaud;                // cmb4
    QString paperCutCommand;            // cmb5: decimal byte values, comma separated
    int paperWidth = 58;                // cmb6
    int drawerConnection = 1;           // cmb7: 0 on the customer display, 1 on the printer
    QString drawerCommand;              // cmb8: decimal byte values, comma separated
    double receiptDelaySeconds = 0.3;   // NUM1
    int titleFontSize = 12;             // font_title
    int lineFontSize = 10;              // font_d

    // The values a file without any device key gives. Keys that start-up never reads
    // (CHK31, CHK33 to CHK35, NUM1) have their dialog default in both.
    static DeviceSettings defaults(Defaults which);

    friend bool operator==(const DeviceSettings &, const DeviceSettings &) = default;
};

// Layout of the sales grid, section POSGRIDWIDTH. Grid column 3 has no stored width.
struct GridLayout {
    static constexpr int ColumnCount = 15;
    static constexpr bool hasStoredWidth(int column) { return column >= 0 && column < ColumnCount && column != 3; }

    std::array<int, ColumnCount> widths{};
    int fontSize = 0;       // FONT
    int titleFontSize = 0;  // TITFONT
    bool column1Visible = true;  // COLUNM1V
    bool column14Visible = true; // COLUNM14V

    friend bool operator==(const GridLayout &, const GridLayout &) = default;
};

class TerminalSettings {
public:
    // Full path of the settings file.
    explicit TerminalSettings(QString path);

    const QString &path() const { return path_; }

    // --- sys (only read)
    QString posTitle() const;
    int connMode() const;
    // Low byte of NET: 1 stand-alone edition, 0 network edition.
    int net() const;
    bool debug() const;
    // Name of the user-preferences file inside the program folder.
    QString userPrefsFileName() const;

    // --- Login (only read)
    int dataPort() const;
    int msgPort() const;
    // HTTPS to the shop server ([login] TLS=1), trusting the certificate file TLSCA (relative
    // to the program folder) or, when that is empty, the system's authorities.
    bool serverTls() const;
    QString serverCertificate() const;
    QString getIpAdd1() const;
    // getipadd1 is "I": the supplier's server resolves the address; the server field is off.
    bool serverResolvedBySupplier() const;
    // getipadd3: the server field of the login dialog is locked.
    bool serverFieldLocked() const;

    // --- POS, identity and login
    QString posDb() const;
    QString macAddress() const;
    bool setMacAddress(const QString &value);
    // Terminal number, a blank and the terminal name of the last successful login.
    QString posId() const;
    bool setPosId(const QString &value);
    // CKNAME: warehouse name of the terminal.
    QString warehouseName() const;
    bool setWarehouseName(const QString &value);
    // DB: empty when the terminal has the shift function, else the notice the login
    // dialog shows in its on-duty line.
    QString shiftNotice() const;
    bool setShiftNotice(const QString &value);
    // DBDATETIME: time of the last offline synchronisation, "YYYY-MM-DD hh:nn:ss".
    QString lastSyncTime() const;
    bool setLastSyncTime(const QString &value);
    // POSNOID: running counter of slip numbers.
    int slipCounter() const;
    bool setSlipCounter(int value);

    // --- POS, screen and settlement
    QString slogan() const;                  // STR1
    bool setSlogan(const QString &value);
    QString logoPath() const;                // LOGO
    bool setLogoPath(const QString &value);
    bool downloadAfterLogin() const;         // OT1
    bool setDownloadAfterLogin(bool value);
    bool changeLimitedTo100() const;         // OT2
    bool setChangeLimitedTo100(bool value);
    bool hideSystemLogo() const;             // OT3
    bool setHideSystemLogo(bool value);
    int settlementFontSize() const;          // FORMFONTSIZE
    bool setSettlementFontSize(int value);
    bool tenderRoundOff() const;             // FF1
    bool setTenderRoundOff(bool value);
    bool tenderCashVoucher() const;          // FF2
    bool setTenderCashVoucher(bool value);
    bool tenderStoredValue() const;          // FF3
    bool setTenderStoredValue(bool value);
    bool tenderBankCard() const;             // FF4
    bool setTenderBankCard(bool value);
    bool keyHelpVisible() const;             // toolvisible
    bool setKeyHelpVisible(bool value);
    // FORMCOLOR: false starts the sales screen compact (top panel hidden).
    bool fullLayout() const;
    bool setFullLayout(bool value);
    quint32 themeColor() const;              // FM_COLOR, 0x00BBGGRR
    bool setThemeColor(quint32 value);
    quint32 themeFontColor() const;          // FB_COLOR, 0x00BBGGRR
    bool setThemeFontColor(quint32 value);
    int lockMinutes() const;                 // NUM2, 0 never locks
    bool setLockMinutes(int value);
    int serverTimeoutSeconds() const;        // NUM3
    bool setServerTimeoutSeconds(int value);
    int slipKeepDays() const;                // FHCXS
    bool setSlipKeepDays(int value);
    int shiftKeepDays() const;               // FHCDB
    bool setShiftKeepDays(int value);
    int amountDecimals() const;              // chkparam19
    bool setAmountDecimals(int value);
    // chkparam20 as stored: 1 half up, 2 up, 3 cut (RoundingMode).
    int amountRounding() const;
    bool setAmountRounding(int value);
    // MINKEY: 0 none, n the function key Fn.
    int minimiseHotKey() const;
    bool setMinimiseHotKey(int value);

    // --- POS, devices
    DeviceSettings deviceSettings(Defaults which = Defaults::StartUp) const;
    // Writes every device key. Stops at the first write that fails and returns false.
    bool writeDeviceSettings(const DeviceSettings &settings);

    bool printerEnabled(Defaults which = Defaults::StartUp) const { return deviceSettings(which).printerEnabled; }
    bool displayEnabled(Defaults which = Defaults::StartUp) const { return deviceSettings(which).displayEnabled; }
    bool drawerEnabled(Defaults which = Defaults::StartUp) const { return deviceSettings(which).drawerEnabled; }
    bool rawPrinting(Defaults which = Defaults::StartUp) const { return deviceSettings(which).rawPrinting; }
    bool driverPrinting(Defaults which = Defaults::StartUp) const { return deviceSettings(which).driverPrinting; }
    bool printAtSettlement(Defaults which = Defaults::StartUp) const { return deviceSettings(which).printAtSettlement; }
    bool printWhileScanning(Defaults which = Defaults::StartUp) const { return deviceSettings(which).printWhileScanning; }
    bool printNextHeading(Defaults which = Defaults::StartUp) const { return deviceSettings(which).printNextHeading; }
    bool printToggleAtStart(Defaults which = Defaults::StartUp) const { return deviceSettings(which).printToggleAtStart; }
    QString printerPort(Defaults which = Defaults::StartUp) const { return deviceSettings(which).printerPort; }
    QString printerBaud(Defaults which = Defaults::StartUp) const { return deviceSettings(which).printerBaud; }
    QString displayPort(Defaults which = Defaults::StartUp) const { return deviceSettings(which).displayPort; }
    QString displayBaud(Defaults which = Defaults::StartUp) const { return deviceSettings(which).displayBaud; }
    QString paperCutCommand(Defaults which = Defaults::StartUp) const { return deviceSettings(which).paperCutCommand; }
    int paperWidth(Defaults which = Defaults::StartUp) const { return deviceSettings(which).paperWidth; }
    int drawerConnection(Defaults which = Defaults::StartUp) const { return deviceSettings(which).drawerConnection; }
    QString drawerCommand(Defaults which = Defaults::StartUp) const { return deviceSettings(which).drawerCommand; }
    double receiptDelaySeconds(Defaults which = Defaults::StartUp) const { return deviceSettings(which).receiptDelaySeconds; }
    int titleFontSize(Defaults which = Defaults::StartUp) const { return deviceSettings(which).titleFontSize; }
    int lineFontSize(Defaults which = Defaults::StartUp) const { return deviceSettings(which).lineFontSize; }

    // --- POSGRIDWIDTH
    // Nothing when no layout was ever saved (COLUNM0 missing or 10000). Otherwise each
    // stored value, with the matching value of `current` for a key that is missing.
    std::optional<GridLayout> gridLayout(const GridLayout &current) const;
    // Writes every key of the section. Stops at the first write that fails and returns false.
    bool writeGridLayout(const GridLayout &layout);

private:
    QString path_;
};

// The user-preferences file: last user number, last server text, chosen skin.
class UserPreferences {
public:
    explicit UserPreferences(QString path);

    const QString &path() const { return path_; }

    QString user() const;
    bool setUser(const QString &value);
    // Host or address, optionally followed by "," and a port, or by ",1".
    QString server() const;
    bool setServer(const QString &value);
    int skinListIndex() const;
    bool setSkinListIndex(int value);

private:
    QString path_;
};

} // namespace vorel
