#include "sales/redemption.h"

namespace vorel {

const QString RedemptionRequest::OffersSql = QStringLiteral("select * from d705 order by vipf desc,vipfm desc");
const QString RedemptionRequest::NoticeText =
    QStringLiteral("系统提示：如本单参与积分换购，将不设找零，且本单不积分。");
const QString RedemptionRequest::NotAllowedText =
    QStringLiteral("积分换购 功能 必须先选定会员 且有权限才可以进行!");
const QString RedemptionRequest::PointsShortText = QStringLiteral("该会员 积分不足选定本项!");

RedemptionOffer RedemptionOffer::fromRow(const ResultSet &rows)
{
    return {qRound64(rows.field(QStringLiteral("VIPF")).asDouble()),
            rows.field(QStringLiteral("VIPFM")).asDouble(), rows.field(QStringLiteral("NOTE")).asString()};
}

QString RedemptionRequest::header() const
{
    if (!mayChoose())
        return QStringLiteral("没有权限 或 没有录入会员!当前为查看状态,不可选定!");
    return QStringLiteral("会员卡：") + vipId + QLatin1Char(' ') + name + QStringLiteral("  可用积分：") + points;
}

std::optional<QString> RedemptionRequest::refusal(const RedemptionOffer &offer) const
{
    if (!mayChoose())
        return NotAllowedText;
    // Points that are no number count as none.
    const Money available = Money::parse(points.trimmed()).value_or(Money());
    if (Money::fromUnits(offer.cost()) > available)
        return PointsShortText;
    return std::nullopt;
}

} // namespace vorel
