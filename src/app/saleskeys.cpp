#include "app/saleskeys.h"

#include "app/actionregistry.h"
#include "app/calculator.h"
#include "core/session.h"
#include "printing/devices.h"
#include "sales/commandline.h"
#include "sales/pricing.h"
#include "sales/sale.h"
#include "settlement/slipcommitter.h"

namespace vorel {

const QString SalesKeys::CashOffLineText = QStringLiteral("【满额折现】项由系统维护,不可自行删除!");
const QString SalesKeys::PrintSwitchText = QStringLiteral("打印开关已");

namespace {

bool isCtrl(Qt::KeyboardModifiers m)
{
    return (m & Qt::ControlModifier) && !(m & (Qt::AltModifier | Qt::ShiftModifier));
}

// The key help of the typed commands and of the keys whose screens are not part of the till
// yet (those keys do nothing until their screens register them).
const KeyHelpCell OtherHelp[] = {
    {9, 0, QStringLiteral(" [+ ] +数量：改数量")}, {10, 0, QStringLiteral(" [+-] +数量：退货")},
    {11, 0, QStringLiteral(" [++] +金额：改金额")}, {12, 0, QStringLiteral(" [--] +回车：积分换购")},
    {13, 0, QStringLiteral(" [. ] +折扣：当前打折")}, {14, 0, QStringLiteral(" [..] +折扣：整单打折")},
    {15, 0, QStringLiteral(" [* ] +号码：会员卡号")}, {16, 0, QStringLiteral(" [*+] +回车：增加会员")},
    {17, 0, QStringLiteral(" [**] +金额：会员充值")}, {18, 0, QStringLiteral(" [/ ] +号码：营 业 员")},
    {19, 0, QStringLiteral(" [//] +备注：备注信息")},
};

} // namespace

SalesKeys::SalesKeys(const SalesKeysParts &parts)
    : session_(parts.session), sale_(parts.sale), pricing_(parts.pricing), commandLine_(parts.commandLine),
      committer_(parts.committer), devices_(parts.devices), calculator_(parts.calculator), registry_(parts.registry),
      view_(parts.view), resetIdle_(parts.resetIdle), executeCommandLine_(parts.executeCommandLine)
{
    registerKeys();
}

void SalesKeys::registerKeys()
{
    ActionRegistry &r = registry_;
    const auto simple = [&r](Qt::Key key, std::function<void()> run, std::optional<KeyHelpCell> help = {}) {
        r.add({key, Qt::NoModifier, std::nullopt, {}, std::move(run)}, std::move(help));
    };
    const auto guarded = [&r](Qt::Key key, std::function<void()> run, KeyHelpCell help) {
        r.add({key, Qt::NoModifier, CashierRight::DrawerAndLines, {}, std::move(run)}, std::move(help));
    };
    simple(Qt::Key_F1, [this] { setKeyHelpVisible(!keyHelp_); }, KeyHelpCell{0, 0, QStringLiteral(" F1  帮助   ")});
    simple(Qt::Key_F6, [this] {
        setPrintSwitch(!printSwitch_);
        view_.showHelpText(PrintSwitchText + switchWord(printSwitch_) + QLatin1Char('!'));
    }, KeyHelpCell{5, 0, QStringLiteral(" F6 打印开关")});
    r.add({Qt::Key_F7, Qt::NoModifier, CashierRight::Practice, {}, [this] {
               practice_ = !practice_;
               view_.setPracticeBadgeVisible(practice_);
           }},
          KeyHelpCell{0, 1, QStringLiteral("F7  练习")});
    simple(Qt::Key_ScrollLock, [this] { setColourScreen(!colour_); },
           KeyHelpCell{25, 0, QStringLiteral(" [SCR LK] 彩色/黑白")});
    guarded(Qt::Key_End, [this] { devices_.openDrawer(true); }, {22, 0, QStringLiteral(" [END   ] 开钱箱")});
    simple(Qt::Key_Space, [this] { view_.clearCommandLine(); }, KeyHelpCell{6, 0, QStringLiteral(" [空格]    ：清空条码")});
    simple(Qt::Key_Up, [this] { moveLine(-1); });
    simple(Qt::Key_Down, [this] { moveLine(1); });
    guarded(Qt::Key_Insert, [this] { clearSale(); }, {8, 0, QStringLiteral(" [INS ]    ：清空")});
    guarded(Qt::Key_Delete, [this] { deleteLine(); }, {7, 0, QStringLiteral(" [DEL ]    ：删除一行")});
    simple(Qt::Key_Return, [this] { executeCommandLine_(); });
    simple(Qt::Key_Enter, [this] { executeCommandLine_(); });
    // The calculator opens and the key goes on like any other Ctrl key.
    r.add({Qt::Key_H, Qt::ControlModifier, std::nullopt, {}, [this] { calculator_.open(); }, true});
    for (const KeyHelpCell &cell : OtherHelp)
        r.addHelp(cell);
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

bool SalesKeys::runAction(int key, Qt::KeyboardModifiers modifiers, bool &passOn)
{
    const KeyAction *action = registry_.find(key, modifiers);
    passOn = false;
    if (!action || !action->run)
        return false;
    if (action->right && !session_.terminal.rights.has(*action->right)) {
        view_.showHelpText(action->refusal.isEmpty() ? CommandLine::NoRightText : action->refusal);
        return true;
    }
    passOn = action->passOn;
    action->run();
    return true;
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
    bool passOn = false;
    if (isCtrl(held) && runAction(key, Qt::ControlModifier, passOn) && !passOn)
        return true;
    if (held & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        return false;

    if (queryKeys_ && queryKeys_(key))
        return true;
    return runAction(key, Qt::NoModifier, passOn) && !passOn;
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
        view_.showHelpText(CashOffLineText);
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
