#pragma once
// The sales screen TMainForm: the till's one full-screen window. It draws the session
// (terminal, warehouse, cashier, slip number, date, member, totals), the grid over the sale,
// the command line with its help label, the key help and the summary of the sale just paid,
// in a colour or a black-and-white look. Keys go to SalesKeys first, typed text to the
// command line; the slip flow talks to the screen through SlipScreen.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/saleskeys.h"
#include "app/terminalconfig.h"
#include "app/windowtoggle.h"
#include "app/ui/scenariohost.h"
#include "core/programfolder.h"
#include "sales/customerdisplay.h"
#include "sales/settlementlauncher.h"
#include "settlement/slipscreen.h"

class QLabel;
class QLineEdit;
class QStackedWidget;
class QFrame;
class QSystemTrayIcon;

namespace vorel {

class Calculator;
class Clock;
class CommandLine;
class Connection;
class DesktopCalculator;
class Devices;
class DialogItemPicker;
class DialogSettlementPrompt;
class HotKey;
class MemberDesk;
class MemberDialogBoxes;
class MemberEditor;
class Messages;
class NetworkWatch;
class Pricing;
class PrinterReceiptPages;
class Sale;
class SaleTableModel;
class SalesGrid;
class ScreenLock;
class SerialPortLibrary;
class Session;
class SessionReceiptPrinter;
class ShopService;
class SlipCommitter;
class TerminalSettings;
class TerminalSettingsForm;
class TillShopLink;
struct MemberCard;

// What the sales screen works with; main() owns all of it.
struct MainFormParts {
    Session &session;
    TerminalSettings &settings;
    ProgramFolder folder;
    TillShopLink &link;
    Clock &clock;
    Messages &messages;
    Calculator &calculator;
};

// Work that comes with later screens, called where the till calls it: the shift check
// after every login and the automatic synchronisation at first activation.
class SessionHooks {
public:
    virtual ~SessionHooks() = default;
    virtual void checkShiftState() = 0;
    // The outcome code of an automatic synchronisation and its summary text.
    virtual std::pair<int, QString> synchroniseAutomatically() = 0;
};

class TMainForm final : public QWidget,
                        public SlipScreen,
                        public SalesScreenView,
                        public SettlementLauncher,
                        public CustomerDisplay,
                        public ScenarioHost {
    Q_OBJECT

public:
    explicit TMainForm(const MainFormParts &parts, QWidget *parent = nullptr);
    ~TMainForm() override;

    Devices &devices() { return *devices_; }
    Sale &sale() { return *sale_; }
    SalesKeys &keys() { return *keys_; }
    SlipCommitter &committer() { return *committer_; }
    CommandLine &commandLine() { return *commandLine_; }
    ScreenLock &screenLock() { return *lock_; }
    QLineEdit *commandEdit() const;
    QLabel *helpLabel() const;

    // Everything LoadTerminalConfig read that the screen shows.
    void applyConfig(const TerminalConfig &config);
    // FormCreate: key-help fonts by the screen height.
    static int keyHelpFontSize(int screenHeight);

    // The login dialog, modally; true when a session started. Set by main().
    void setLoginDialog(std::function<bool()> run) { runLogin_ = std::move(run); }
    void setSessionHooks(SessionHooks *hooks) { hooks_ = hooks; }
    void setHotKey(HotKey *hotKey);
    // Moves the till's clock (scenarios); null with the PC's own clock.
    void setClockAdvancer(std::function<void(int seconds)> advance) { advanceClock_ = std::move(advance); }

    // The session the login just started comes on screen (StartSession).
    void startSession();
    // First activation: the shift check, the automatic synchronisation, the command line.
    void firstActivation();
    // Closes the open login record (logout and close).
    void closeLoginRecord();

    // ---- scenarios
    QWidget *screen() override { return this; }
    QList<std::pair<QString, QString>> screenLabels() override;
    QList<QList<std::pair<QString, QString>>> gridRows() override;
    bool offline() const override;
    void advanceTime(int seconds) override;

    // ---- SlipScreen
    QString salesperson() const override;
    bool practiceMode() const override;
    bool printToggle() const override;
    bool darkPanel() const override;
    void setInputLocked(bool locked) override;
    void showStatus(const QString &text) override;
    void showSlipNumber(const QString &number) override;
    void showSlipDate(const QString &date) override;
    void showSummary(const SettlementSummary &summary) override;
    void resetForNewSlip() override;

    // ---- SalesScreenView
    void showHelpText(const QString &text) override;
    void setKeyHelpVisible(bool visible) override;
    void setPrintSwitchShown(bool on) override;
    void setPracticeBadgeVisible(bool visible) override;
    void setColourScreen(bool colour) override;
    void hideSummary() override;
    void clearCommandLine() override;
    void executeCommandLine() override;
    void logout() override; // bsBtn05Click: logout and another login
    void openTerminalSettings() override;
    void nextSkin() override;
    void lockScreen() override;
    void chooseBusinessDate() override;
    void closeScreen() override;

    // ---- SettlementLauncher (the command line reaches the commit through here)
    void settleSale() override;
    void settleTopUp() override;

    // ---- CustomerDisplay
    void show(Indicator indicator, const QString &value) override;
    using QWidget::show;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildScreen();
    QWidget *buildTopPanels();
    QWidget *buildInfoStrip();
    QWidget *buildMemberStrip();
    QWidget *buildCentre();
    QWidget *buildTotals();
    QWidget *buildBottomPanels();
    QLabel *valueLabel(const QString &name, QWidget *parent);
    void showCard(const MemberCard &card);
    void showTotals();
    void showOnline(bool offlineShown);
    void applyColours();
    void applySkin(int index);
    void saveScreenSettings();
    void placePracticeBadge();
    void focusCommandLine();
    void screenHeightFonts();
    void hotKeyPressed(int minKey);
    void applyToggle(WindowToggle toggle);
    MainWindowState windowStateNow() const;

    Session &session_;
    TerminalSettings &settings_;
    ProgramFolder folder_;
    TillShopLink &link_;
    Clock &clock_;
    Messages &messages_;
    Calculator &calculator_;
    std::function<bool()> runLogin_;
    std::function<void(int)> advanceClock_;
    SessionHooks *hooks_ = nullptr;
    HotKey *hotKey_ = nullptr;

    std::unique_ptr<Sale> sale_;
    std::unique_ptr<Pricing> pricing_;
    std::unique_ptr<SaleTableModel> model_;
    std::unique_ptr<SerialPortLibrary> serial_;
    std::unique_ptr<Devices> devices_;
    std::unique_ptr<SessionReceiptPrinter> printer_;
    std::unique_ptr<PrinterReceiptPages> pages_;
    std::unique_ptr<DialogItemPicker> picker_;
    std::unique_ptr<MemberEditor> memberEditor_;
    std::unique_ptr<MemberDialogBoxes> memberDialogs_;
    std::unique_ptr<MemberDesk> members_;
    std::unique_ptr<CommandLine> commandLine_;
    std::unique_ptr<DialogSettlementPrompt> prompt_;
    std::unique_ptr<SlipCommitter> committer_;
    std::unique_ptr<TerminalSettingsForm> settingsForm_;
    std::unique_ptr<ScreenLock> lock_;
    std::unique_ptr<SalesKeys> keys_;
    std::unique_ptr<NetworkWatch> watch_;

    TerminalConfig config_;
    bool colour_ = true;
    bool activated_ = false;
    bool closing_ = false;
    bool forwardingKey_ = false;

    // Panels and labels, named as the screen's layout names them.
    QWidget *topColour_ = nullptr;    // Pnl_top
    QWidget *topBlack_ = nullptr;     // pnl_top_B
    QWidget *bottomColour_ = nullptr; // Pnl_bom
    QWidget *bottomBlack_ = nullptr;  // Pnl_bom_B
    QLineEdit *editColour_ = nullptr; // TMCOLOR
    QLineEdit *editBlack_ = nullptr;  // TMBLACK
    QLabel *helpColour_ = nullptr;    // HELP_COLOR
    QLabel *helpBlack_ = nullptr;     // HELP_BLACK
    QLabel *title_ = nullptr;         // LAB_TIT
    QLabel *welcome_ = nullptr;       // bsLinkLab_Welcome
    QLabel *welcomeBlack_ = nullptr;  // WELCOM_BLACK
    QLabel *systemLogo_ = nullptr;    // Image_sys
    QLabel *customerLogo_ = nullptr;  // Image_logo
    QLabel *terminal_ = nullptr;      // bsLabZ01
    QLabel *warehouse_ = nullptr;     // bsLabZ02
    QLabel *slipNumber_ = nullptr;    // bsLabZ03
    QLabel *card_ = nullptr;          // bsLabZ04
    QLabel *cashier_ = nullptr;       // bsLabZ05
    QLabel *shift_ = nullptr;         // bsLabZ06
    QLabel *salesperson_ = nullptr;   // bsLabZ07
    QLabel *date_ = nullptr;          // bdate
    QLabel *online_ = nullptr;        // LAB_ONLINE
    QLabel *offline_ = nullptr;       // LAB_OFFLINE
    QLabel *print_ = nullptr;         // LAB_PRINT
    QLabel *memberName_ = nullptr;    // lab_vipname
    QLabel *memberRate_ = nullptr;    // lab_vipzk
    QLabel *memberPoints_ = nullptr;  // vipf
    QLabel *memberGrade_ = nullptr;   // VIP_G
    QLabel *memberBalance_ = nullptr; // vipm
    QWidget *balancePanel_ = nullptr; // Panel9
    QLabel *total_ = nullptr;         // LAB_TOL02
    QLabel *quantity_ = nullptr;      // Lab_sl
    QLabel *saving_ = nullptr;        // LAB_YH
    QLabel *version_ = nullptr;       // LAB_VER
    QLabel *practiceBadge_ = nullptr; // Panel6
    QFrame *keyHelp_ = nullptr;       // Pnl_cli_3_B
    QWidget *summary_ = nullptr;      // Panel4
    QStackedWidget *centre_ = nullptr;
    SalesGrid *grid_ = nullptr;
    QList<QWidget *> themed_; // panels that take the theme colour
    QSystemTrayIcon *tray_ = nullptr;
};

} // namespace vorel
