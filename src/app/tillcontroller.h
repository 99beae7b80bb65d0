#pragma once
// The till's session without a window: it owns the parts a logged-in till works with (the
// sale and its pricing, the command line, the member desk, the commit, the devices and the
// receipt printer, the screen lock, the network watch, the login record), wires them to each
// other and announces through signals what the sales screen TMainForm draws. The screen
// reports key presses and typed text here and never keeps state of its own.
//
// The slip being rung up has one owner, the Sale (lines, totals, number, date, salesperson);
// the member card belongs to the MemberDesk.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "app/actionregistry.h"
#include "app/saleskeys.h"
#include "app/terminalconfig.h"
#include "core/messages.h"
#include "core/programfolder.h"
#include "sales/customerdisplay.h"
#include "sales/settlementlauncher.h"
#include "settlement/slipscreen.h"

namespace vorel {

class Calculator;
class Clock;
class CommandLine;
class HeldSalePicker;
class Devices;
class ItemPicker;
class LoginRecord;
class MemberDesk;
class MemberDialogs;
class MemberEditor;
class NetworkWatch;
class OfflineScreens;
class Pricing;
class PrinterReceiptPages;
class Sale;
class ScreenLock;
class SyncDesk;
class SerialPortLibrary;
class Session;
class SessionReceiptPrinter;
class SlipDesk;
class SlipCommitter;
class TerminalSettings;
class TerminalSettingsForm;
class TillShopLink;
class TillShift;

// What the till works with; main() owns all of it.
struct TillParts {
    Session &session;
    TerminalSettings &settings;
    ProgramFolder folder;
    TillShopLink &link;
    Clock &clock;
    Messages &messages;
    Calculator &calculator;
};

// The dialogs the session's parts ask the cashier through, made by the screen layer.
class TillDialogFactory {
public:
    virtual ~TillDialogFactory() = default;
    virtual std::unique_ptr<ItemPicker> itemPicker() = 0;
    virtual std::unique_ptr<MemberDialogs> memberDialogs(MemberEditor &editor) = 0;
    virtual std::unique_ptr<SettlementPrompt> settlementPrompt() = 0;
    virtual std::unique_ptr<OfflineScreens> offlineScreens() = 0; // TS005, TS006
    virtual std::unique_ptr<HeldSalePicker> heldSalePicker() = 0; // TS003
};

class TillController final : public QObject,
                             public SlipScreen,
                             public SalesScreenView,
                             public SettlementLauncher,
                             public CustomerDisplay {
    Q_OBJECT

public:
    TillController(const TillParts &parts, TillDialogFactory &dialogs, QObject *parent = nullptr);
    ~TillController() override;

    Session &session() { return session_; }
    TerminalSettings &settings() { return settings_; }
    const ProgramFolder &folder() const { return folder_; }
    TillShopLink &link() { return link_; }
    Messages &messages() { return messages_; }
    Clock &clock() { return clock_; }
    Sale &sale() { return *sale_; }
    Pricing &pricing() { return *pricing_; }
    CommandLine &commandLine() { return *commandLine_; }
    MemberDesk &members() { return *members_; }
    MemberEditor &memberEditor() { return *memberEditor_; }
    SlipCommitter &committer() { return *committer_; }
    Devices &devices() { return *devices_; }
    PrinterReceiptPages &receiptPages() { return *pages_; }
    TerminalSettingsForm &settingsForm() { return *settingsForm_; }
    ScreenLock &screenLock() { return *lock_; }
    SalesKeys &keys() { return *keys_; }
    SlipDesk &slips() { return *slipDesk_; }
    ActionRegistry &actions() { return actions_; }
    TillShift &shift() { return *shift_; }
    const TerminalConfig &config() const { return config_; }

    // Everything LoadTerminalConfig read that the session keeps.
    void applyConfig(const TerminalConfig &config);

    // ---- what the screen reports
    // A key on the command line; true when it is used up.
    bool keyDown(int key, Qt::KeyboardModifiers modifiers);
    // The command line's text changed (typing, not the till's own changes).
    void commandTextEdited(const QString &text);
    // A printable character about to be typed; false when it is refused.
    bool acceptsCharacter(QChar ch) const;
    // Enter on the command line.
    void executeCommandLine();

    // ---- the session
    // The session the login just started: the message link and the watch (network edition),
    // a new slip, the lock timer, the settings dialog's values.
    void startSession();
    // First activation: the shift check and the automatic synchronisation.
    void firstActivation();
    // After every login: the shift check.
    void checkShiftState();
    // Logout: the session's timers, the watch and the login record end.
    void endSession();
    // The till closes: the session ends and nothing more goes to the server or the ports.
    void close();
    // The theme colour and the highlight colour (FM_COLOR, FB_COLOR) chosen on the screen.
    void setThemeColours(quint32 color, quint32 fontColor)
    {
        config_.themeColor = color;
        config_.themeFontColor = fontColor;
    }
    // The message service's connection dropped under an error: the watch takes the link as
    // down and brings it back with its next keep-alive.
    void dropMessageLink();
    // The settings dialog was confirmed: the session takes over what it changed.
    void applyTerminalSettings();
    // Moves the till's clock (scenarios) and lets the idle timer see the time pass.
    void setClockAdvancer(std::function<void(int seconds)> advance) { advanceClock_ = std::move(advance); }
    void advanceTime(int seconds);
    // F12: the next skin's index, stored in the preferences; -1 without skins.
    int nextSkin();
    // The style sheet of skin `index` of the list. A skin that cannot be read gives the
    // built-in look (an empty sheet), and that choice is what the preferences keep.
    QString skinStyleSheet(int index);

    // ---- SlipScreen
    bool practiceMode() const override;
    bool printToggle() const override;
    bool darkPanel() const override;
    void setInputLocked(bool locked) override;
    void showStatus(const QString &text) override { emit helpTextChanged(text); }
    void showSummary(const SettlementSummary &summary) override { emit summaryShown(summary); }
    void resetForNewSlip() override;

    // ---- SalesScreenView
    void showHelpText(const QString &text) override { emit helpTextChanged(text); }
    void setKeyHelpVisible(bool visible) override { emit keyHelpVisibleChanged(visible); }
    void setPrintSwitchShown(bool on) override { emit printSwitchChanged(on); }
    void setPracticeBadgeVisible(bool visible) override { emit practiceModeChanged(visible); }
    void setColourScreen(bool colour) override { emit colourScreenChanged(colour); }
    void hideSummary() override { emit summaryHidden(); }
    void clearCommandLine() override;

    // ---- SettlementLauncher
    void settleSale() override;
    void settleTopUp() override;

    // ---- CustomerDisplay
    void show(Indicator indicator, const QString &value) override;

signals:
    void helpTextChanged(const QString &text);
    void keyHelpVisibleChanged(bool visible);
    void printSwitchChanged(bool on);
    void practiceModeChanged(bool on);
    void colourScreenChanged(bool colour);
    void summaryShown(const SettlementSummary &summary);
    void summaryHidden();
    // The till put this text into the command line.
    void commandTextSet(const QString &text);
    // A new slip: the cashier's label and the empty command line come back.
    void slipReset();
    // The idle time ran out.
    void lockDue();
    // A stored slip is shown: the cashier label shows who sold it.
    void cashierShown(const QString &userId);

private:
    // F5 synchronise.
    void registerOfflineKeys();

    Session &session_;
    TerminalSettings &settings_;
    ProgramFolder folder_;
    // Tells the shop server the session ended, so its token is of no more use.
    void endServerSession();
    TillShopLink &link_;
    Clock &clock_;
    Messages &messages_;
    std::function<void(int)> advanceClock_;
    TerminalConfig config_;
    ActionRegistry actions_;
    QString commandText_;
    bool activated_ = false;
    bool closed_ = false;

    std::unique_ptr<Sale> sale_;
    std::unique_ptr<Pricing> pricing_;
    std::unique_ptr<SerialPortLibrary> serial_;
    std::unique_ptr<Devices> devices_;
    std::unique_ptr<SessionReceiptPrinter> printer_;
    std::unique_ptr<PrinterReceiptPages> pages_;
    std::unique_ptr<ItemPicker> picker_;
    std::unique_ptr<MemberEditor> memberEditor_;
    std::unique_ptr<MemberDialogs> memberDialogs_;
    std::unique_ptr<MemberDesk> members_;
    std::unique_ptr<CommandLine> commandLine_;
    std::unique_ptr<SettlementPrompt> prompt_;
    std::unique_ptr<SlipCommitter> committer_;
    std::unique_ptr<TerminalSettingsForm> settingsForm_;
    std::unique_ptr<ScreenLock> lock_;
    std::unique_ptr<LoginRecord> loginRecord_;
    std::unique_ptr<SalesKeys> keys_;
    std::unique_ptr<NetworkWatch> watch_;
    std::unique_ptr<TillShift> shift_;
    std::unique_ptr<OfflineScreens> offlineScreens_;
    std::unique_ptr<SyncDesk> syncDesk_;
    std::unique_ptr<HeldSalePicker> heldPicker_;
    std::unique_ptr<SlipDesk> slipDesk_;
};

} // namespace vorel
