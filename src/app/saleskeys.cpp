#include "app/saleskeys.h"

#include "app/calculator.h"
#include "core/messages.h"
#include "core/session.h"
#include "printing/devices.h"
#include "sales/commandline.h"
#include "sales/pricing.h"
#include "sales/sale.h"
#include "settlement/slipcommitter.h"

namespace vorel {

const QString SalesKeys::LogoutRefusedText = QStringLiteral("当前还有未处理的销售业务!请处理后再登出");
const QString SalesKeys::CashOffLineText = QStringLiteral("【满额折现】项由系统维护,不可自行删除!");
const QString SalesKeys::SkinNeedsColourText = QStringLiteral("黑白风格不能进行主题切换!请先切换成彩色方式");
const QString SalesKeys::QuitQuestion = QStringLiteral("是否退出收银系统?");
const QString SalesKeys::PrintSwitchText = QStringLiteral("打印开关已");

namespace {

// Rights the keys check, by their number in the cashier's rights text.
constexpr int DrawerAndLinesRight = 2;
constexpr int PracticeRight = 10;
constexpr int SettingsRight = 13;

// Keys handled even while a modifier is held.
bool isCtrl(Qt::KeyboardModifiers m)
{
    return (m & Qt::ControlModifier) && !(m & (Qt::AltModifier | Qt::ShiftModifier));
}

} // namespace

SalesKeys::SalesKeys(const SalesKeysParts &parts)
    : session_(parts.session), sale_(parts.sale), pricing_(parts.pricing), commandLine_(parts.commandLine),
      committer_(parts.committer), devices_(parts.devices), messages_(parts.messages), calculator_(parts.calculator),
      view_(parts.view), resetIdle_(parts.resetIdle)
{
}

QString SalesKeys::switchWord(bool on)
{
    return on ? QStringLiteral("开") : QStringLiteral("关");
}

void SalesKeys::setPrintSwitch(bool on)
{
    printSwitch_ = on;
    view_.setPrintSwitchShown(on);
}

void SalesKeys::setColourScreen(bool colour)
{
    colour_ = colour;
    view_.setColourScreen(colour);
}

void SalesKeys::setKeyHelpVisible(bool visible)
{
    keyHelp_ = visible;
    view_.setKeyHelpVisible(visible);
}

bool SalesKeys::right(int n) const
{
    return session_.terminal.rights.flag(n);
}

void SalesKeys::refuse(const QString &text)
{
    view_.showHelpText(text);
}

bool SalesKeys::keyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (commandLine_.inputLocked())
        return true;
    // A key that arrives while an earlier one is still being handled (a dialog it opened
    // pumps events) is not processed.
    if (handling_)
        return false;
    handling_ = true;
    struct Release {
        bool &flag;
        ~Release() { flag = false; }
    } release{handling_};

    if (resetIdle_)
        resetIdle_();

    if (committer_.awaitingNextSlip()) {
        committer_.summaryDismissed();
        pricing_.recalcGroupOffer();
        sale_.refreshTotals();
        view_.hideSummary();
        return true;
    }

    // Only the keypad's own flag may come with a key that the map handles.
    const Qt::KeyboardModifiers held = modifiers & ~Qt::KeypadModifier;
    if (isCtrl(held) && key == Qt::Key_H)
        calculator_.open();
    if (isCtrl(held) && key == Qt::Key_D) {
        view_.chooseBusinessDate();
        return true;
    }
    if (isCtrl(held) && key == Qt::Key_Q) {
        if (messages_.ask(QuitQuestion))
            view_.closeScreen();
        return true;
    }
    if (held & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        return false;

    // Reprinting and the stored-slip view come with the slip recall; until then the screen
    // never shows a stored slip.
    return dispatch(key);
}

bool SalesKeys::dispatch(int key)
{
    switch (key) {
    case Qt::Key_F1:
        setKeyHelpVisible(!keyHelp_);
        return true;
    case Qt::Key_F2:
        if (!sale_.isEmpty())
            refuse(LogoutRefusedText);
        else
            view_.logout();
        return true;
    case Qt::Key_F6:
        setPrintSwitch(!printSwitch_);
        view_.showHelpText(PrintSwitchText + switchWord(printSwitch_) + QLatin1Char('!'));
        return true;
    case Qt::Key_F7:
        if (!right(PracticeRight)) {
            refuse(CommandLine::NoRightText);
            return true;
        }
        practice_ = !practice_;
        view_.setPracticeBadgeVisible(practice_);
        return true;
    case Qt::Key_F10:
        if (!right(SettingsRight))
            refuse(CommandLine::NoRightText);
        else
            view_.openTerminalSettings();
        return true;
    case Qt::Key_F12:
        if (!colour_)
            refuse(SkinNeedsColourText);
        else
            view_.nextSkin();
        return true;
    case Qt::Key_ScrollLock:
        setColourScreen(!colour_);
        return true;
    case Qt::Key_Home:
        view_.lockScreen();
        return true;
    case Qt::Key_End:
        if (!right(DrawerAndLinesRight))
            refuse(CommandLine::NoRightText);
        else
            devices_.openDrawer(true);
        return true;
    case Qt::Key_Space:
        view_.clearCommandLine();
        return true;
    case Qt::Key_Up:
        moveLine(-1);
        return true;
    case Qt::Key_Down:
        moveLine(1);
        return true;
    case Qt::Key_Insert:
        if (!right(DrawerAndLinesRight))
            refuse(CommandLine::NoRightText);
        else
            clearSale();
        return true;
    case Qt::Key_Delete:
        if (!right(DrawerAndLinesRight))
            refuse(CommandLine::NoRightText);
        else
            deleteLine();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        view_.executeCommandLine();
        return true;
    default:
        // F3, F4, F5, F8, F9, F11, PgUp, PgDn and Pause belong to screens that come later.
        return false;
    }
}

void SalesKeys::moveLine(int step)
{
    const int count = sale_.lineCount();
    if (count == 0)
        return;
    const int current = sale_.current() < 0 ? 0 : sale_.current();
    sale_.setCurrent((current + step + count) % count);
}

void SalesKeys::deleteLine()
{
    const SaleLine *line = sale_.currentLine();
    if (!line)
        return;
    if (line->kind() == LineKind::CashOff) {
        refuse(CashOffLineText);
        return;
    }
    if (line->kind() == LineKind::Redemption)
        sale_.forgetRedemption();
    sale_.removeLine(sale_.current());
    pricing_.recalcGroupOffer();
    sale_.refreshTotals();
}

void SalesKeys::clearSale()
{
    committer_.StartNewSlip(false, false);
    sale_.refreshTotals();
}

} // namespace vorel
