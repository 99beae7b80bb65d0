#include "sales/saleline.h"

#include "core/text.h"

namespace vorel {

const QString SaleLine::RedemptionId = QStringLiteral("Z");
const QString SaleLine::CashOffId = QStringLiteral("ZZZZZ");
const QString SaleLine::TopUpCode = QStringLiteral("ZZZZC");

namespace {

// Redemption and cash-off lines: no quantity, no tag price, always earning points.
SaleLine systemLine(const QString &id, const QString &name, double amount)
{
    SaleLine line;
    line.setWlId(id);
    line.setWlName(name);
    line.setG(SaleLine::SystemGroup);
    line.setSl(0);
    line.setOdj(0.0);
    line.setOmoney(0.0);
    line.setZk(1.0);
    line.setSj(amount);
    line.setSmoney(amount);
    line.setVipf(true);
    return line;
}

} // namespace

SaleLine SaleLine::redemption(double voucherValue)
{
    return systemLine(RedemptionId, QStringLiteral("【积分换购】"), voucherValue);
}

SaleLine SaleLine::cashOff(Money discountTotal)
{
    return systemLine(CashOffId, QStringLiteral("【满额折现金】"), (-discountTotal).toDouble());
}

SaleLine SaleLine::topUp(Money amount)
{
    SaleLine line;
    line.setTm(TopUpCode);
    line.setWlName(QStringLiteral("【储值卡充值】"));
    line.setSl(1);
    line.setZk(1.0);
    line.setOdj(amount);
    line.setSj(amount);
    line.setOmoney(amount);
    line.setSmoney(amount);
    return line;
}

LineKind SaleLine::kind() const
{
    if (wlId_ == RedemptionId)
        return LineKind::Redemption;
    if (wlId_ == CashOffId)
        return LineKind::CashOff;
    if (tm_ == TopUpCode)
        return LineKind::TopUp;
    return LineKind::Item;
}

void SaleLine::setNoid(const QString &v) { noid_ = gbkLeft(v, NoidWidth); }
void SaleLine::setTm(const QString &v) { tm_ = gbkLeft(v, TmWidth); }
void SaleLine::setWlId(const QString &v) { wlId_ = gbkLeft(v, WlIdWidth); }
void SaleLine::setWlName(const QString &v) { wlName_ = gbkLeft(v, WlNameWidth); }
void SaleLine::setWlGg(const QString &v) { wlGg_ = gbkLeft(v, WlGgWidth); }
void SaleLine::setDwId(const QString &v) { dwId_ = gbkLeft(v, DwIdWidth); }
void SaleLine::setDwName(const QString &v) { dwName_ = gbkLeft(v, DwNameWidth); }
void SaleLine::setS(const QString &v) { s_ = gbkLeft(v, SWidth); }
void SaleLine::setMBs(const QString &v) { mBs_ = gbkLeft(v, MBsWidth); }
void SaleLine::setNote(const QString &v) { note_ = gbkLeft(v, NoteWidth); }

} // namespace vorel
