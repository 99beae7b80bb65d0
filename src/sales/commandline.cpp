#include "sales/commandline.h"

#include <exception>

#include "core/money.h"
#include "core/session.h"
#include "core/text.h"
#include "offline/connection.h"
#include "sales/itemlookup.h"
#include "sales/itempicker.h"
#include "sales/membercommands.h"
#include "sales/pricing.h"
#include "sales/sale.h"
#include "sales/settlementlauncher.h"
#include "shift/shiftrule.h"

namespace vorel {

const QString CommandLine::QuoteText = QStringLiteral("不能带有单引号!");
const QString CommandLine::NoRightText = QStringLiteral("您无权使用该功能!");
const QString CommandLine::NoDiscountText = QStringLiteral("系统设定不可使用打折功能!");
const QString CommandLine::OfflineRedeemText = QStringLiteral("离线状态不可使用【积分换购】功能");
const QString CommandLine::OfflineNewCardText = QStringLiteral("您没有权限使用该功能或是离线状态也不可使用!");
const QString CommandLine::QuantityRangeText = QStringLiteral("数量必须 小于-1 且大于 1");
const QString CommandLine::NoReturnRightText = QStringLiteral("您无权使用【退货】功能!");
const QString CommandLine::UnknownSalespersonText = QStringLiteral("该营业员号无效");
const QString CommandLine::ItemNotFoundText = QStringLiteral("未检索到相关的商品信息!");

namespace {

// What the help label says while exactly this is typed; the first equal one counts.
struct HelpText {
    const char16_t *typed;
    const char16_t *help;
};
constexpr HelpText HelpTexts[] = {
    {u"++", u"金额更改,后面请输入金额"},
    {u"//", u"备注，后面请输入备注内容"},
    {u"+-", u"退货功能,后面请输入退货数量"},
    {u"--", u"回车进入【积分换购】选择!"},
    {u"..", u"整单打折，后面输入折扣【8折输入->.80】"},
    {u".", u"当前商品打折，后面输入折扣【8折输入->.80】"},
    {u"*", u"后面请录入 卡号，称呼，电话，生日 进行检索 ! 留空为清空本单会员号"},
    {u"**", u"会员充值金额，后面输入充值的金额"},
    {u"+", u"数量更改，后面输入数量 "},
    {u"/", u"请输入营业员号,不输为清空营业员号"},
};

} // namespace

CommandLine::CommandLine(const CommandLineParts &parts, QObject *parent)
    : QObject(parent), session_(parts.session), sale_(parts.sale), pricing_(parts.pricing),
      connection_(parts.connection), members_(parts.members), settlement_(parts.settlement), picker_(parts.picker)
{
}

bool CommandLine::right(CashierRight r) const
{
    return session_.terminal.rights.has(r);
}

void CommandLine::setHelp(const QString &text)
{
    if (help_ == text)
        return;
    help_ = text;
    emit helpTextChanged(help_);
}

void CommandLine::TMCOLORChange(const QString &text)
{
    // The edit reports what the interpreter has already put into it: nothing changed.
    if (text == text_)
        return;
    text_ = text;
    emit idleCounterReset();
    setHelp({});
    if (leaveQueryState_ && leaveQueryState_())
        return;
    const QString typed = text.trimmed();
    for (const HelpText &h : HelpTexts) {
        if (typed == QStringView(h.typed)) {
            setHelp(QString::fromUtf16(h.help));
            return;
        }
    }
}

bool CommandLine::TMCOLORKeyPress(QChar ch) const
{
    if (ch == QLatin1Char(' ') || ch == QLatin1Char('\'') || ch == QChar(10))
        return false;
    return !inputLocked_;
}

std::optional<QString> CommandLine::refuse(const QString &message)
{
    setHelp(message);
    return std::nullopt;
}

std::optional<QString> CommandLine::finish(bool lineChanged, const QString &message, const QString &nextText)
{
    TMCOLORChange(nextText);
    pricing_.finishCommand(lineChanged);
    if (!message.isEmpty())
        setHelp(message);
    return nextText;
}

std::optional<QString> CommandLine::ExecuteCommand(const QString &text)
{
    if (inputLocked_)
        return std::nullopt;
    text_ = text;
    if (hasSingleQuote(text))
        return refuse(QuoteText);
    if (text.isEmpty() && !sale_.isEmpty()) {
        settlement_.settleSale();
        return std::nullopt;
    }

    const QString t = text.trimmed();
    const QString c1 = t.left(1);
    const QString p2 = t.size() >= 2 ? t.left(2).toUpper() : QString();
    const QString rest1 = t.mid(1);
    const QString rest2 = t.mid(2);
    const auto isP2 = [&p2](const char *s) { return p2 == QLatin1String(s); };
    const auto isC1 = [&c1](const char *s) { return c1 == QLatin1String(s); };

    // A value that is not a number: nothing happens, the text stays.
    std::optional<Money> value;
    if (isP2("..") || isP2("++") || isP2("**")) {
        value = Money::parse(rest2);
        if (!value)
            return std::nullopt;
    } else if (isC1(".") || isC1("+")) {
        value = Money::parse(rest1);
        if (!value)
            return std::nullopt;
    }
    // Commands on the current line need one.
    if ((isP2("..") || isP2("++") || isP2("//") || isC1(".") || isC1("+")) && sale_.isEmpty())
        return std::nullopt;

    if (isP2("//")) {
        const int row = sale_.current();
        if (row >= 0) {
            SaleLine line = sale_.line(row);
            line.setNote(rest2);
            sale_.replaceLine(row, line);
        }
        return finish(row >= 0);
    }
    if (isP2("--")) {
        if (connection_.isOffline())
            return refuse(OfflineRedeemText);
        return memberCommand(members_.redeem());
    }
    if (isP2("..") || isC1(".")) {
        if (!session_.company.params.showDiscountColumn())
            return refuse(NoDiscountText);
        if (!right(CashierRight::Discount))
            return refuse(NoRightText);
        if (!isP2(".."))
            return finish(pricing_.discountLine(*value));
        pricing_.discountSale(*value); // brings the promotions up to date itself
        return finish(false);
    }
    if (isP2("++")) {
        if (!right(CashierRight::ChangePrice))
            return refuse(NoRightText);
        return finish(pricing_.changeAmount(*value));
    }
    if (isP2("**"))
        return memberCommand(members_.topUp(rest2));
    if (isP2("*+")) {
        if (connection_.isOffline())
            return refuse(OfflineNewCardText);
        return memberCommand(members_.newCard());
    }
    if (isC1("*"))
        return memberCommand(members_.choose(rest1));
    if (isC1("/"))
        return chooseSalesperson(rest1);
    if (isC1("+")) {
        if (!right(CashierRight::ChangePrice))
            return refuse(NoRightText);
        return changeQuantity(*value);
    }

    if (t.isEmpty() || !appendItem(text))
        return std::nullopt;
    return finish(true);
}

std::optional<QString> CommandLine::memberCommand(const CommandResult &result)
{
    if (!result.reachedAction) {
        setHelp(result.help);
        return std::nullopt;
    }
    return finish(false, result.help, result.nextCommandText);
}

std::optional<QString> CommandLine::changeQuantity(Money value)
{
    switch (pricing_.changeQuantity(value, right(CashierRight::Returns))) {
    case QuantityChange::OutOfRange:
        return refuse(QuantityRangeText);
    case QuantityChange::ReturnRefused:
        return refuse(NoReturnRightText);
    case QuantityChange::Changed:
        return finish(true);
    case QuantityChange::NotEligible:
        break;
    }
    // A line left out of repricing keeps its quantity; the command is done all the same.
    return finish(false);
}

std::optional<QString> CommandLine::chooseSalesperson(const QString &id)
{
    if (!id.isEmpty()) {
        ResultSet rows;
        connection_.openServerSql(rows, QStringLiteral("SELECT * FROM D1101 WHERE (T=0) AND (yw_id=") + sqlQuote(id) +
                                            QStringLiteral(")"));
        if (rows.isEmpty())
            return refuse(UnknownSalespersonText);
    }
    sale_.setSalesperson(id);
    return finish(false);
}

bool CommandLine::AddItemByCode(const QString &raw)
{
    if (!appendItem(raw))
        return false;
    pricing_.finishCommand(true);
    return true;
}

bool CommandLine::appendItem(const QString &raw)
{
    if (!shift::maySell(session_)) {
        setHelp(shift::NotOnDutyText);
        return false;
    }

    lookUp(raw);
    if (lookup_.isEmpty()) {
        setHelp(ItemNotFoundText);
        return false;
    }
    if (lookup_.rowCount() > 1) {
        const bool taken = picker_.pick(lookup_);
        lookupFilter_ = lookup_.filter();
        if (!taken || lookup_.currentRawRow() < 0)
            return false;
    }
    pricing_.appendItem(lookup_);
    return true;
}

void CommandLine::lookUp(const QString &raw)
{
    const QString localExact = itemlookup::localExactSql(raw);
    bool localExactRead = false;
    if (!connection_.isOffline()) {
        try {
            // A server that fails switches the till offline and the wrapper reads the local
            // exact match in its place.
            connection_.openServerSql(lookup_, itemlookup::serverBatch(raw, session_.terminal.warehouseId), false,
                                      {}, localExact);
        } catch (const std::exception &) {
            // A failed lookup on the server counts as no item found.
            lookup_ = ResultSet();
        }
        localExactRead = connection_.isOffline();
    }
    if (connection_.isOffline()) {
        if (!localExactRead)
            connection_.openServerSql(lookup_, localExact, true);
        if (lookup_.totalRowCount() == 0)
            connection_.openServerSql(lookup_, itemlookup::localSearchSql(itemlookup::splitCode(raw).code), true);
    }
    // The picker's filter outlives the rows it was set on.
    if (!lookupFilter_.isEmpty())
        lookup_.setFilter(lookupFilter_);
    lookup_.first();
}

} // namespace vorel
