#pragma once
// The keys of the sales screen. The screen sees every key before its command line and hands
// it here first: this class decides, in a fixed order, whether the key is dropped, what it
// does, which right it needs and what the help label says when it is refused. What needs a
// window (dialogs, panels, the close) goes back to the screen through SalesScreenView, so the
// whole key map is tested without a widget.

#include <QString>
#include <Qt>
#include <functional>

namespace vorel {

class Calculator;
class CommandLine;
class Devices;
class Messages;
class Pricing;
class Sale;
class Session;
class SlipCommitter;

// What the keys ask of the screen.
class SalesScreenView {
public:
    virtual ~SalesScreenView() = default;
    virtual void showHelpText(const QString &text) = 0;     // the help label beside the command line
    virtual void setKeyHelpVisible(bool visible) = 0;       // the key-help panel
    virtual void setPrintSwitchShown(bool on) = 0;          // LAB_PRINT "开" / "关"
    virtual void setPracticeBadgeVisible(bool visible) = 0; // "练习收银"
    virtual void setColourScreen(bool colour) = 0;          // and the command line takes the focus
    virtual void hideSummary() = 0;                         // the grid comes back to the front
    virtual void clearCommandLine() = 0;
    virtual void executeCommandLine() = 0;
    virtual void logout() = 0;
    virtual void openTerminalSettings() = 0;
    virtual void nextSkin() = 0;
    virtual void lockScreen() = 0;
    virtual void chooseBusinessDate() = 0;
    virtual void closeScreen() = 0;
};

struct SalesKeysParts {
    Session &session;
    Sale &sale;
    Pricing &pricing;
    CommandLine &commandLine;
    SlipCommitter &committer;
    Devices &devices;
    Messages &messages;
    Calculator &calculator;
    SalesScreenView &view;
    std::function<void()> resetIdle; // the screen-lock idle counter back to 0
};

class SalesKeys {
public:
    static const QString LogoutRefusedText;   // lines still in the sale
    static const QString CashOffLineText;     // the system's cash-off line cannot be deleted
    static const QString SkinNeedsColourText; // F12 on the black-and-white screen
    static const QString QuitQuestion;        // Ctrl+Q
    static const QString PrintSwitchText;     // "打印开关已" + 开/关 + "!"

    explicit SalesKeys(const SalesKeysParts &parts);

    // One key press. True when the key is used up here and the command line must not see it.
    bool keyDown(int key, Qt::KeyboardModifiers modifiers);

    bool printSwitch() const { return printSwitch_; }
    void setPrintSwitch(bool on);
    bool practiceMode() const { return practice_; }
    bool colourScreen() const { return colour_; }
    void setColourScreen(bool colour);
    bool keyHelpVisible() const { return keyHelp_; }
    void setKeyHelpVisible(bool visible);
    // A stored slip is on screen (set by the slip recall once it exists).
    bool queryState() const { return queryState_; }

    static QString switchWord(bool on);

private:
    bool dispatch(int key);
    bool right(int n) const;
    void refuse(const QString &text);
    void moveLine(int step);
    void deleteLine();
    void clearSale();

    Session &session_;
    Sale &sale_;
    Pricing &pricing_;
    CommandLine &commandLine_;
    SlipCommitter &committer_;
    Devices &devices_;
    Messages &messages_;
    Calculator &calculator_;
    SalesScreenView &view_;
    std::function<void()> resetIdle_;

    bool handling_ = false;
    bool printSwitch_ = false;
    bool practice_ = false;
    bool colour_ = true;
    bool keyHelp_ = false;
    bool queryState_ = false;
};

} // namespace vorel
