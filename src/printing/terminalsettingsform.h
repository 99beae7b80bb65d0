#pragma once
// What the terminal settings dialog edits and what its buttons do, without a widget: the
// fields as the dialog shows them, filled from the settings file with the dialog's own
// defaults; OK with its port check, the one batch of keys it writes and what it hands to
// the session at once; the template choices and the server copy of the templates; the
// four device tests on the fields as they stand, saved or not.

#include <QList>
#include <QString>
#include <QStringList>

#include "core/programfolder.h"
#include "core/terminalsettings.h"
#include "printing/receipt.h"
#include "printing/receiptlibrary.h"

namespace vorel {

class Connection;
class Devices;
class Messages;
class ResultSet;
class Session;
class SessionReceiptPrinter;

struct TerminalSettingsValues {
    // Tenders of the settlement dialog.
    bool roundOff = true;    // FF1
    bool cashVoucher = true; // FF2
    bool storedValue = true; // FF3
    bool bankCard = true;    // FF4
    QString slogan;          // STR1
    QString logoPath;        // LOGO
    bool downloadAfterLogin = false; // OT1
    bool changeLimitedTo100 = true;  // OT2
    bool hideSystemLogo = false;     // OT3
    DeviceSettings devices = DeviceSettings::defaults(Defaults::Dialog);
    int amountDecimals = 0;  // chkparam19
    int amountRounding = 1;  // chkparam20: 1 half up, 2 up, 3 cut
    int lockMinutes = 0;     // NUM2
    int serverTimeoutSeconds = 3; // NUM3
    int shiftKeepDays = 30;  // FHCDB
    int slipKeepDays = 30;   // FHCXS
    int minimiseHotKey = 0;  // MINKEY: 0 none, n the key Fn
    ReceiptTemplates templates;
};

class TerminalSettingsForm {
public:
    enum class Test { Print = 1, Preview = 2, Display = 3, Drawer = 4 };

    // The lists the dialog offers.
    static const QStringList Ports;            // COM1..COM6, LPT1..LPT3
    static const QStringList BaudRates;        // 2400, 3600, 9600, 19200
    static const QStringList PaperCutCommands; // empty first
    static const QStringList DrawerCommands;
    static const QStringList DrawerConnections; // 接顾显, 接打印机
    static const QStringList MinimiseKeys;      // empty, F1..F11

    // Ranges of the number fields.
    static constexpr int MinPaperWidth = 40, MaxPaperWidth = 300;
    static constexpr int MinTitleFont = 8, MaxTitleFont = 20;
    static constexpr int MinLineFont = 8, MaxLineFont = 15;
    static constexpr double MinDelay = 0.1, MaxDelay = 3.0;
    static constexpr int MinServerTimeout = 3, MaxServerTimeout = 10;
    static constexpr int MinKeepDays = 7, MaxKeepDays = 30;

    static const QString PortClashText;     // followed by the port
    static const QString OfflineText;
    static const QString TemplatesSavedText;
    // The template files of the program folder.
    static const QString HeadingFile, LineFile, FootingFile;
    static const QString ServerTemplatesSql;

    TerminalSettingsForm(Session &session, Devices &devices, SessionReceiptPrinter &printer, Connection &connection,
                         Messages &messages, ProgramFolder folder);

    TerminalSettingsValues values;

    // Fills the fields from the settings file (dialog defaults for missing keys) and the
    // templates from their files; a missing template file leaves that template as it is.
    // The receipt title becomes the heading's first line.
    void load();
    // Before each showing: the terminal number and the current sale's lines, which the
    // print test and the preview then print.
    void prepare(const QList<ReceiptLine> &saleLines);
    const QList<ReceiptLine> &testLines() const { return testLines_; }

    // OK. Refuses (and tells) a printer and display on one port when the printer prints
    // without a driver; otherwise writes the template files and every key, and applies
    // the settings to the session. Errors while writing are ignored.
    bool accept();
    // The port both devices claim, empty when there is no clash.
    QString portClash() const;

    // The line template of exactly two lines changes their order; false otherwise.
    bool swapLineTemplate();
    // A built-in template replaces the three templates and sets the paper width for the
    // current driver choice. False for an index outside the library.
    bool takeLibraryTemplate(int index);

    // The templates other tills stored, one row per till; false (and told) when offline.
    bool readServerTemplates(ResultSet &out);
    // The current row of readServerTemplates() replaces the templates, paper width and fonts.
    void takeServerTemplate(const ResultSet &rows);
    // Stores the templates, paper width and fonts in this till's terminal row.
    bool saveTemplatesToServer();

    // Runs one of the four tests with the fields as they stand. False when a port could not
    // be opened (told) or the receipt failed.
    bool runTest(Test test);
    // The receipt the print test and the preview print.
    ReceiptRequest testRequest(bool preview) const;
    // The fixed sale printed when the dialog was given no lines.
    static QList<ReceiptLine> sampleLines();

    // "0", "0.0", "0.00": the grid's amount format after OK.
    QString amountFormat() const;

    SessionReceiptPrinter &printer() { return printer_; }

private:
    QString settingsPath() const;
    bool checkPort(const QString &port, const QString &baud, const QString &device);
    void writeKeys();
    void applyToSession();

    Session &session_;
    Devices &devices_;
    SessionReceiptPrinter &printer_;
    Connection &connection_;
    Messages &messages_;
    ProgramFolder folder_;
    QList<ReceiptLine> testLines_;
};

} // namespace vorel
