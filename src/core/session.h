#pragma once
// Who is logged in, on which terminal, against which server, with which devices and
// formats: the state every module of the till reads. There is exactly one Session per
// process; main() owns it and hands it by reference to whoever needs it.
//
// The comments after the members give the names these variables carry in the shop's
// back office and in older till versions, so that logs and support notes stay readable.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <utility>

namespace vorel {

struct DeviceSettings;

// The shop's company-wide switches: the comma-separated SYS_CO.param text. Entries count
// from 0. Blanks around an entry are dropped; an entry that is missing or blank reads "1",
// and the list always has at least 30 entries (a longer list keeps all of them).
class CompanyParams {
public:
    static constexpr int MinEntries = 30;

    CompanyParams(); // every entry "1"
    explicit CompanyParams(const QString &paramText);

    int size() const { return static_cast<int>(entries_.size()); }
    const QStringList &entries() const { return entries_; }
    // "1" for an index outside the list.
    QString entry(int index) const;

    // Entry 7: the till may fall back to its local store when the server is gone.
    bool offlineAllowed() const;
    // Entry 5: the sales grid shows its discount column (grid column 8).
    bool showDiscountColumn() const;
    // Entries 6 and 8 are two switches of the sales screen; the sales screen decides what
    // they turn on, this class only tells whether they are set.
    bool salesScreenSwitch6() const;
    bool salesScreenSwitch8() const;
    // Entry 10, kept as text for the back office.
    QString gparam11() const;
    // Entry 20: slips must fall inside the open accounting period.
    bool checkDate() const;
    // Entry 21: amount that earns one member point; 1 when the entry is not a number.
    int vipf() const;
    // Entry 29: length of member card numbers drawn automatically, 0 when cards are
    // numbered by hand ("0" or "1"). Any other number is raised to at least 4; text that
    // is not a number gives 4.
    int gparam29() const;

    bool operator==(const CompanyParams &) const = default;

private:
    bool isSet(int index) const { return entry(index) != QLatin1String("0"); }
    QStringList entries_;
};

// A till right, numbered by its character in SYS_USER.pos_qs (counted from 1, "1" = granted).
// The sales screen, the command line, the member commands and the commit all ask by name, so
// a number means one character everywhere.
enum class CashierRight : int {
    UseTill = 1,          // may log in at the till at all
    DrawerAndLines = 2,   // open the drawer, delete a line, clear the sale
    HoldSale = 5,         // hold and retrieve a sale
    Discount = 6,         // line and whole-sale discounts
    QuerySlips = 7,       // slip list and the day's sales
    ChangePassword = 9,
    Practice = 10,        // practice mode
    Redeem = 11,          // points redemption
    ChangePrice = 12,     // amount and quantity changes
    TerminalSettings = 13,
    Members = 14,         // member cards at the till
    Synchronise = 15,
    Returns = 16,         // returns, and settling a total of zero or less
    RepairLocalStore = 17,
};

// The rights of the logged-in cashier. A text too short for a position grants nothing there.
class CashierRights {
public:
    CashierRights() = default;
    explicit CashierRights(QString posQs) : text_(std::move(posQs)) {}

    const QString &text() const { return text_; }
    bool has(CashierRight right) const
    {
        const int position = static_cast<int>(right);
        return position <= text_.size() && text_.at(position - 1) == QLatin1Char('1');
    }

    bool operator==(const CashierRights &) const = default;

private:
    QString text_;
};

// What the login hands over when a session starts on the main window.
struct SessionStart {
    QString terminalId;    // ZD_ID, three digits
    QString terminalName;  // ZD_NAME
    QString warehouseId;   // CK_ID
    QString warehouseName; // CK_NAME
    QString loginGuid;     // GUID of the login record opened for this session
    QString companyParams; // SYS_CO.param
    QString rights;        // SYS_USER.pos_qs
    bool shiftEnabled = false; // the terminal row's DB flag
};

class Session {
public:
    // Members that mirror a key of the terminal settings file start with that key's
    // default, so a till without a settings file behaves as documented for missing keys.

    struct Identity {
        QString userId;   // G_UserId: as typed at login, upper case
        QString userName; // G_UserName
        QString pwdMd5;   // G_Pwd: MD5 text of the password, never the password itself
        QString macAdd;   // G_MacAdd: terminal key of this PC
        QString coName;   // G_CoName: application title
        QString version;  // G_VER: "major.minor"
        QString iniFileName = QStringLiteral("vorel"); // G_inifielname: user-preferences file
        bool debug = false; // G_Debug
    };

    struct Connection {
        QString server;  // G_Server; "127.0.0.1" in the stand-alone edition
        QString dbName = QStringLiteral("CL"); // G_DbName
        int socketConnPort = 8601; // G_SocketConnPort
        int indyTcpPort = 8602;    // G_IndyTcpPort: message service
        QString guid;      // G_guid: our client name at the message service
        QString gPos;      // G_POS
        QString checkYWGJ; // G_CheckYWGJ
        quint8 net = 1;    // g_net: 1 stand-alone edition, 0 network edition
        bool offline = false;     // ftj: working against the local store
        bool loginOnline = false; // ftjlogin: the session was opened by an online login
        bool loginFlag = false;   // floginflag: a session is running
        bool offlineAllowed = true; // OfflineAllowed: company parameter entry 7
        int serverTimeoutSeconds = 3; // ServerTimeoutSeconds (NUM3)
        QDateTime lastMessageExchange; // G_JMPTIME
    };

    // Copies of the company parameters the slip commit and the member editor read.
    struct Company {
        CompanyParams params;  // CompanyParams
        QString gparam11 = QStringLiteral("1"); // GPARAM11
        bool checkDate = true; // G_CHECKDATE
        int vipf = 1;          // G_VIPF
        int gparam29 = 0;      // GPARAM29
    };

    struct Formats {
        int amountDecimals = 0; // GPOSPARAM19 (chkparam19): 0 to 2
        int amountRounding = 1; // GPARAM20 (chkparam20): 1 half up, 2 up, 3 cut
    };

    // Receipt template texts as loaded from the program folder.
    struct Templates {
        QString posTop;       // POSTOP: heading
        QString posDe;        // POSDE: one line per sale line
        QString posEnd;       // POSEND: footing
        QString receiptTitle; // titl
    };

    struct Devices {
        bool printerEnabled = false; // GcheckPRN (CHK1)
        bool displayEnabled = false; // GcheckGS (CHK2)
        bool drawerEnabled = false;  // GcheckmonBox (CHK3)
        bool driverPrinting = false; // printdrv (CHK32)
        QString printerPort;     // printmode (cmb1): "COM1".."COM6", "LPT1".."LPT3"
        QString printerBaud;     // printbt (cmb2)
        QString displayPort;     // gsmode (cmb3)
        QString displayBaud;     // gsbt (cmb4)
        int drawerConnection = 1; // gmoneybox (cmb7): 0 on the display, 1 on the printer
        QString drawerCommand;   // gcmdmoneybox (cmb8): decimal byte values
        QString paperCutCommand; // gcmdpaper (cmb5): decimal byte values
        int paperWidth = 58;     // gprintsize (cmb6)
        int titleFontSize = 12;  // gfont_title
        int lineFontSize = 10;   // gfont_d
        bool printerPortOpen = false; // GCOMPRN: opened at start-up
        bool displayPortOpen = false; // GCOMGS: opened at start-up
        double pauseAfterReceipt = 0.0; // latetime, seconds
    };

    // The main window's view of the session.
    struct Terminal {
        QString terminalId;    // TerminalId (ZD_ID)
        QString terminalName;  // ZD_NAME
        QString warehouseId;   // WarehouseId (CK_ID)
        QString warehouseName; // WarehouseName (CK_NAME)
        QString loginGuid;     // LoginGuid: open login record, empty when none
        bool shiftEnabled = false; // ShiftEnabled
        bool onDuty = false;       // OnDuty: this cashier holds the open shift
        CashierRights rights;      // CashierRights
    };

    Identity identity;
    Connection connection;
    Company company;
    Formats formats;
    Templates templates;
    Devices devices;
    Terminal terminal;

    // Takes the SYS_CO.param text: the parameter list and every value derived from it.
    void applyCompanyParams(const QString &paramText);
    void applyRights(const QString &posQs);
    // The state part of starting a session after a successful login; the session counts
    // as running once this returns.
    void startSession(const SessionStart &start);
    // Logout: the session stops, the user and the login record are forgotten. The caller
    // closes the login record before, while loginGuid still names it.
    void endSession();

    // Display format of amount columns and labels: "0", "0.0", "0.00".
    QString amountDisplayFormat() const;
    // The printer, display and drawer settings of the settings file take effect.
    void applyDevices(const DeviceSettings &settings);
};

} // namespace vorel
