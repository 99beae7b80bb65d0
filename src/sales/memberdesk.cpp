#include "sales/memberdesk.h"

#include "core/session.h"
#include "core/text.h"
#include "offline/connection.h"
#include "sales/pricing.h"
#include "sales/sale.h"
#include "sales/settlementlauncher.h"
#include "shift/shiftrule.h"

namespace vorel {

const QString MemberDesk::NoRightText = QStringLiteral("您没有权限使用该功能或是离线状态也不可使用!");
const QString MemberDesk::LockedText =
    QStringLiteral("如存在销售商品项，【VIP】将不可增加或清除!请在录入商品前确认VIP资料!");
const QString MemberDesk::UnknownCardText = QStringLiteral("该会员卡号无效");
const QString MemberDesk::OfflineRedeemText = QStringLiteral("离线状态不可使用【积分换购】功能");
const QString MemberDesk::NoCardText = QStringLiteral("请先输入会员卡");
const QString MemberDesk::SaleOpenText = QStringLiteral("当前有未处理的销售业务!充值必须单独在一单处理.");

MemberDesk::MemberDesk(Connection &connection, Sale &sale, Pricing &pricing, MemberDialogs &dialogs,
                       SettlementLauncher &settlement, QObject *parent)
    : QObject(parent), connection_(connection), sale_(sale), pricing_(pricing), dialogs_(dialogs),
      settlement_(settlement)
{
}

Session &MemberDesk::session() const
{
    return connection_.session();
}

bool MemberDesk::right(CashierRight r) const
{
    return session().terminal.rights.has(r);
}

QString MemberDesk::searchSql(const QString &text)
{
    // The command line never lets a quote through; sqlQuote keeps a stray one inside its literal.
    const QString anywhere = sqlQuote(QLatin1Char('%') + text + QLatin1Char('%'));
    return QStringLiteral("SELECT  *,VIPGRARD + 1 AS G FROM D702 WHERE (T = 0) AND (VIPID = ") + sqlQuote(text) +
           QStringLiteral(")") +
           QStringLiteral(" union  SELECT *,VIPGRARD + 1 AS G FROM D702 WHERE (T = 0) AND (VIPTEL like ") + anywhere +
           QStringLiteral(")") +
           QStringLiteral(" union  SELECT  *,VIPGRARD + 1 AS G FROM D702 WHERE (T = 0) AND (VIPNAME like ") +
           anywhere + QStringLiteral(")") +
           QStringLiteral(" union  SELECT  *,VIPGRARD + 1 AS G FROM D702 WHERE (T = 0) AND (BIRDATE like ") +
           anywhere + QStringLiteral(")") + QStringLiteral(" order by vipid ");
}

void MemberDesk::setCard(const MemberCard &card)
{
    card_ = card;
    emit cardChanged(card_);
}

CommandResult MemberDesk::choose(const QString &search)
{
    if (!right(CashierRight::Members))
        return CommandResult::refused(NoRightText);
    if (session().company.params.salesScreenSwitch8() && !sale_.isEmpty())
        return CommandResult::refused(LockedText);

    if (search.isEmpty()) {
        setCard({});
        pricing_.changeMember(std::nullopt);
        return CommandResult::done();
    }

    ResultSet cards;
    connection_.openServerSql(cards, searchSql(search));
    if (cards.isEmpty())
        return CommandResult::refused(UnknownCardText);
    int row = 0;
    if (cards.rowCount() > 1) {
        const std::optional<int> picked = dialogs_.pickMember(cards);
        if (!picked)
            return CommandResult::nothing();
        row = *picked;
    }
    if (!cards.setRecNo(row))
        return CommandResult::nothing();

    MemberCard chosen;
    chosen.vipId = cards.field(QStringLiteral("VIPID")).asString();
    chosen.name = cards.field(QStringLiteral("VIPNAME")).asString();
    chosen.rate = cards.field(QStringLiteral("VIPZK")).asMoney();
    chosen.points = qRound64(cards.field(QStringLiteral("VIPF")).asDouble());
    chosen.grade = static_cast<int>(cards.field(QStringLiteral("G")).asInt());
    chosen.balance = cards.field(QStringLiteral("VIPM")).asMoney();
    setCard(chosen);
    pricing_.changeMember(chosen.rate);
    return CommandResult::done();
}

CommandResult MemberDesk::newCard()
{
    if (connection_.isOffline())
        return CommandResult::refused(NoRightText);
    CommandResult result = CommandResult::done();
    result.nextCommandText = dialogs_.addMember();
    return result;
}

CommandResult MemberDesk::redeem()
{
    if (connection_.isOffline())
        return CommandResult::refused(OfflineRedeemText);
    const RedemptionRequest request{card_.vipId, card_.name, right(CashierRight::Redeem), card_.selected(),
                                    QString::number(card_.points)};
    // The command line is cleared whether or not an offer is taken.
    const std::optional<RedemptionOffer> offer = dialogs_.chooseRedemption(request);
    if (offer) {
        sale_.setRedemption(offer->voucher);
        redeemPoints_ = offer->points;
    }
    return CommandResult::done();
}

CommandResult MemberDesk::topUp(const QString &amount)
{
    if (!shift::maySell(session()))
        return CommandResult::refused(shift::NotOnDutyText);
    if (connection_.isOffline() || !right(CashierRight::Members))
        return CommandResult::refused(NoRightText);
    if (!card_.selected())
        return CommandResult::refused(NoCardText);
    if (!sale_.isEmpty())
        return CommandResult::refused(SaleOpenText);
    const std::optional<Money> value = Money::parse(amount.trimmed());
    if (!value)
        return CommandResult::nothing();

    sale_.appendLine(SaleLine::topUp(*value));
    pricing_.recalcGroupOffer();
    settlement_.settleTopUp();
    return CommandResult::done();
}

void MemberDesk::clearForNewSale()
{
    redeemPoints_ = 0;
    setCard({});
}

} // namespace vorel
