#pragma once
// The keys of the sales screen. The screen sees every key before its command line and hands
// it here first: this class keeps the fixed order in which a key is dropped, ends the summary
// of the last sale or goes to its action, and registers the keys that belong to the sale
// itself (lines, drawer, print switch, practice mode, colours, the key help). Keys of other
// parts of the till come into the same ActionRegistry from those parts.

#include <QString>
#include <Qt>
#include <functional>

namespace vorel {

class ActionRegistry;
class Calculator;
class CommandLine;
class Devices;
class Pricing;
class Sale;
class Session;
class SlipCommitter;

// What the keys change on the screen.
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
};

struct SalesKeysParts {
    Session &session;
    Sale &sale;
    Pricing &pricing;
    CommandLine &commandLine;
    SlipCommitter &committer;
    Devices &devices;
    Calculator &calculator;
    ActionRegistry &registry;
    SalesScreenView &view;
    std::function<void()> resetIdle;          // the screen-lock idle counter back to 0
    std::function<void()> executeCommandLine; // Enter
};

class SalesKeys {
public:
    static const QString CashOffLineText;     // the system's cash-off line cannot be deleted
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

    static QString switchWord(bool on);

    // While a stored slip is shown its keys come first: the hook says whether it used the key.
    void setQueryKeys(std::function<bool(int key)> keys) { queryKeys_ = std::move(keys); }

private:
    void registerKeys();
    // Runs a registered key; false when the key is not the till's or does nothing yet.
    bool runAction(int key, Qt::KeyboardModifiers modifiers, bool &passOn);
    void moveLine(int step);
    void deleteLine();
    void clearSale();

    Session &session_;
    Sale &sale_;
    Pricing &pricing_;
    CommandLine &commandLine_;
    SlipCommitter &committer_;
    Devices &devices_;
    Calculator &calculator_;
    ActionRegistry &registry_;
    SalesScreenView &view_;
    std::function<void()> resetIdle_;
    std::function<void()> executeCommandLine_;
    std::function<bool(int)> queryKeys_;

    bool handling_ = false;
    bool printSwitch_ = false;
    bool practice_ = false;
    bool colour_ = true;
    bool keyHelp_ = false;
};

} // namespace vorel
