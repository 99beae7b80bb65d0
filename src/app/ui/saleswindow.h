#pragma once
// The sales screen TMainForm: the till's one full-screen window. It draws what the till
// controller announces (terminal, warehouse, cashier, slip number, date, member, totals, the
// grid over the sale, the command line with its help label, the key help and the summary of
// the sale just paid) in a colour or a black-and-white look, and reports keys and typed text
// to the controller. The keys that need a window (logout, settings, lock, skins, the business
// date, the close) are registered here.

#include <QWidget>
#include <functional>
#include <memory>

#include "app/ui/saleswindowui.h"
#include "app/windowtoggle.h"

class QSystemTrayIcon;

namespace vorel {

class HotKey;
class SaleTableModel;
class SalesGridAppearance;
class TerminalSettingsDialog;
class TillController;
struct MemberCard;
struct SettlementSummary;
struct TerminalConfig;

class SalesWindow final : public QWidget {
    Q_OBJECT

public:
    explicit SalesWindow(QWidget *parent = nullptr);
    ~SalesWindow() override;

    // Builds the screen over the controller and follows it from now on.
    void attach(TillController &till);
    TillController &till() { return *till_; }

    QLineEdit *commandEdit() const;
    QLabel *helpLabel() const;

    // Everything LoadTerminalConfig read that the screen shows.
    void applyConfig(const TerminalConfig &config);

    // The login dialog, modally; true when a session started. Set by main().
    void setLoginDialog(std::function<bool()> run) { runLogin_ = std::move(run); }
    void setHotKey(HotKey *hotKey);

    // The session the login just started comes on screen (StartSession).
    void startSession();
    // First activation: the shift check, the automatic synchronisation, the command line.
    void firstActivation();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void registerWindowKeys();
    void logout(); // bsBtn05Click: logout and another login
    void openTerminalSettings();
    void changePassword(); // F11
    void openAppearance(); // Pause and the shop's logo
    int screenWidth() const;
    void lockScreen();
    void chooseBusinessDate();
    void showSlipHeader();
    void showSlipReset();
    void showHelpText(const QString &text);
    void showCommandText(const QString &text);
    void showSummary(const SettlementSummary &summary);
    void showCard(const MemberCard &card);
    void showTotals();
    void setColourScreen(bool colour);
    void setPracticeBadgeVisible(bool visible);
    void applyColours();
    void applySkin(int index);
    void applySettingsShown();
    void saveScreenSettings();
    void placePracticeBadge();
    void focusCommandLine();
    void hotKeyPressed(int minKey);
    void applyToggle(WindowToggle toggle);
    MainWindowState windowStateNow() const;

    TillController *till_ = nullptr;
    std::unique_ptr<SaleTableModel> model_;
    SalesWindowUi ui_;
    std::unique_ptr<SalesGridAppearance> appearance_;
    std::function<bool()> runLogin_;
    HotKey *hotKey_ = nullptr;
    QSystemTrayIcon *tray_ = nullptr;
    TerminalSettingsDialog *settingsDialog_ = nullptr; // the terminal settings, made at the first F10
    bool colour_ = true;
    bool closing_ = false;
    bool forwardingKey_ = false;
};

} // namespace vorel
