#include "sales/pricing.h"

#include <algorithm>
#include <array>
#include <limits>

namespace vorel {

namespace {

const Money One = Money::fromUnits(1);
const Money Hundred = Money::fromUnits(100);

Money m(double value)
{
    return Money::fromDouble(value);
}

// The value written through a "%w.dF" format and read back.
Money throughFormat(const char *pattern, Money value)
{
    return Money::parse(formatPattern(QLatin1String(pattern), value)).value_or(value);
}

// Discount factors: two places, half up, whatever the shop's amount rounding.
Money factor(Money value)
{
    return convertmon(value, 1, 2);
}

Money percentToFactor(Money percent)
{
    return percent.dividedBy(Hundred).value_or(Money());
}

qint16 toShort(qint64 value)
{
    return static_cast<qint16>(std::clamp<qint64>(value, std::numeric_limits<qint16>::min(),
                                                  std::numeric_limits<qint16>::max()));
}

qint32 toQuantity(qint64 value)
{
    // Symmetric, so turning a quantity round can never overflow.
    constexpr qint64 Limit = std::numeric_limits<qint32>::max();
    return static_cast<qint32>(std::clamp<qint64>(value, -Limit, Limit));
}

// Nearest whole number, a half going to the even neighbour.
qint64 roundHalfEven(Money value)
{
    const qint64 whole = value.raw() / Money::Scale;
    const qint64 rest = value.raw() % Money::Scale; // carries the sign of the value
    const qint64 twice = 2 * (rest < 0 ? -rest : rest);
    const qint64 away = value.isNegative() ? -1 : 1;
    if (twice > Money::Scale || (twice == Money::Scale && whole % 2 != 0))
        return whole + away;
    return whole;
}

} // namespace

Pricing::Pricing(Sale &sale, const Session::Formats &formats) : sale_(sale), formats_(formats) {}

Money Pricing::round(Money value) const
{
    return convertmon(value, formats_.amountRounding, formats_.amountDecimals);
}

void Pricing::standardPrice(SaleLine &line) const
{
    const Money zk = m(line.zk());
    const Money sj = round(m(line.odj()) * zk * sale_.memberRate());
    const Money omoney = sj * qint64(line.sl()) * zk;
    line.setSj(sj);
    line.setOmoney(omoney);
    line.setSmoney(round(omoney));
}

int Pricing::appendItem(const ResultSet &lookup)
{
    SaleLine line;
    line.setWlId(lookup.field(QStringLiteral("WL_ID")).asString());
    line.setTm(lookup.field(QStringLiteral("TM")).asString());
    line.setWlName(lookup.field(QStringLiteral("WL_NAME")).asString());
    line.setWlGg(lookup.field(QStringLiteral("WL_GG")).asString());
    line.setDwId(lookup.field(QStringLiteral("DW_ID")).asString());
    line.setDwName(lookup.field(QStringLiteral("DW_NAME")).asString());
    line.setMIndex(toShort(lookup.field(QStringLiteral("M_INDEX")).asInt()));
    line.setNote(lookup.field(QStringLiteral("FA")).asString());
    line.setVipf(lookup.field(QStringLiteral("VIPF")).asBool());
    line.setSl(1);
    line.setZk(1.0);
    line.setOdj(lookup.field(QStringLiteral("SJ")).asMoney());
    standardPrice(line);

    // An item without promotion data keeps the standard price and no group.
    const Field kind = lookup.field(QStringLiteral("I"));
    if (!kind.isNull() && !kind.asString().trimmed().isEmpty()) {
        const bool member = sale_.memberSelected();
        line.setG(toShort(lookup.field(QStringLiteral("G")).asInt()));
        line.setFlag1(toShort(lookup.field(QStringLiteral("FLAG1")).asInt()));
        line.setFlag2(toShort(lookup.field(QStringLiteral("FLAG2")).asInt()));
        line.setFlag3(toShort(lookup.field(QStringLiteral("FLAG3")).asInt()));
        line.setCla(toShort(lookup.field(QStringLiteral("CLA")).asInt()));
        line.setClazk(toShort(lookup.field(QStringLiteral("CLAZK")).asInt()));
        line.setF1(static_cast<qint32>(lookup.field(QStringLiteral("F1")).asInt()));
        line.setF2(lookup.field(QStringLiteral("F2")).asMoney());
        line.setF3(lookup.field(QStringLiteral("F3")).asMoney());
        line.setTj(lookup.field(member ? QStringLiteral("DJ_VIP") : QStringLiteral("TJ")).asMoney());
        line.setGZk(lookup.field(member ? QStringLiteral("G_VIP") : QStringLiteral("G_ZK")).asMoney());

        // Special prices replace the standard price; the member factor does not apply to
        // them (the member's own special values were taken above).
        if (line.g() < 0) {
            const qint64 sl = line.sl();
            const Money odj = m(line.odj());
            switch (kind.asInt()) {
            case 0: // free
                line.setSj(0.0);
                line.setZk(1.0);
                line.setOmoney(0.0);
                line.setSmoney(0.0);
                break;
            case 1: { // special price
                const Money tj = m(line.tj());
                const Money sj = round(tj);
                line.setSj(sj);
                if (odj > Money())
                    line.setZk(throughFormat("%18.2F", tj.dividedBy(odj).value_or(Money())));
                line.setOmoney(sj * sl);
                line.setSmoney(round(sj * sl));
                break;
            }
            case 2: { // special discount
                if (m(line.gZk()) > Money())
                    line.setZk(throughFormat("%18.2F", m(line.gZk())));
                const Money sj = round(odj * m(line.zk()));
                line.setSj(sj);
                line.setOmoney(sj * sl);
                line.setSmoney(round(sj * sl));
                break;
            }
            default:
                break;
            }
        }
    }
    return sale_.appendLine(line);
}

bool Pricing::discountLine(Money percent)
{
    const int row = sale_.current();
    if (row < 0 || !sale_.line(row).isRepriceable())
        return false;
    SaleLine line = sale_.line(row);
    const Money zk = throughFormat("%5.2F", percentToFactor(percent));
    const Money sj = round(m(line.odj()) * zk * sale_.memberRate());
    const Money omoney = sj * qint64(line.sl());
    line.setZk(zk);
    line.setSj(sj);
    line.setOmoney(omoney);
    line.setSmoney(omoney);
    sale_.replaceLine(row, line);
    return true;
}

void Pricing::discountSale(Money percent)
{
    const int keep = sale_.current();
    const Money zk = factor(percentToFactor(percent));
    for (int row = 0; row < sale_.lineCount(); ++row) {
        if (!sale_.line(row).isRepriceable())
            continue;
        SaleLine line = sale_.line(row);
        const Money sj = throughFormat("%10.2F", m(line.odj()) * zk * sale_.memberRate());
        const Money amount = round(sj * qint64(line.sl()));
        line.setZk(zk);
        line.setSj(sj);
        line.setOmoney(amount);
        line.setSmoney(amount);
        sale_.replaceLine(row, line);
    }
    recalcGroupOffer();
    sale_.setCurrent(keep);
}

bool Pricing::changeAmount(Money amount)
{
    const int row = sale_.current();
    if (row < 0 || !sale_.line(row).isRepriceable())
        return false;
    SaleLine line = sale_.line(row);
    const Money omoney = round(amount);
    line.setOmoney(omoney);
    line.setSmoney(omoney);
    if ((omoney.isNegative() && line.sl() > 0) || (omoney > Money() && line.sl() < 0))
        line.setSl(-line.sl());

    const qint64 sl = line.sl();
    const std::optional<Money> zk = omoney.dividedBy(m(line.odj()) * sl * sale_.memberRate());
    line.setZk(zk ? factor(*zk) : One);
    const std::optional<Money> sj = omoney.dividedBy(sl);
    line.setSj(sj ? throughFormat("%18.2F", *sj) : m(line.odj()));
    sale_.replaceLine(row, line);
    return true;
}

QuantityChange Pricing::changeQuantity(Money quantity, bool returnsAllowed)
{
    const int row = sale_.current();
    if (row < 0 || sale_.line(row).g() >= SaleLine::UngroupedLimit)
        return QuantityChange::NotEligible;
    if (quantity > -One && quantity < One)
        return QuantityChange::OutOfRange;
    if (quantity.isNegative() && !returnsAllowed)
        return QuantityChange::ReturnRefused;

    SaleLine line = sale_.line(row);
    line.setSl(toQuantity(roundHalfEven(quantity)));
    const Money amount = round(m(line.sj()) * qint64(line.sl()));
    line.setOmoney(amount);
    line.setSmoney(amount);
    sale_.replaceLine(row, line);
    return QuantityChange::Changed;
}

void Pricing::changeMember(std::optional<Money> rate)
{
    sale_.setMember(rate.has_value(), rate.value_or(One));
    const int keep = sale_.current();
    for (int row = 0; row < sale_.lineCount(); ++row) {
        if (!sale_.line(row).isRepriceable())
            continue;
        SaleLine line = sale_.line(row);
        const Money sj = round(m(line.odj()) * m(line.zk()) * sale_.memberRate());
        const Money amount = round(sj * qint64(line.sl()));
        line.setSj(sj);
        line.setOmoney(amount);
        line.setSmoney(amount);
        sale_.replaceLine(row, line);
    }
    recalcGroupOffer();
    sale_.setCurrent(keep);
}

Money Pricing::groupOfferTotal() const
{
    // Each group is evaluated once; its first line carries the promotion's terms.
    std::array<bool, SaleLine::LastPromotionGroup + 1> done{};
    const bool member = sale_.memberSelected();
    Money total;
    for (const SaleLine &line : sale_.lines()) {
        if (!line.inPromotionGroup() || done[std::size_t(line.g())])
            continue;
        done[std::size_t(line.g())] = true;
        const GroupSums sums = sale_.groupSums(line.g());
        const Money rate = m(member ? line.f3() : line.f2());
        switch (line.clazk()) {
        case 0: // a discount once the threshold is reached
            if (sums.suma >= Money::fromUnits(line.f1())) {
                const Money base = line.cla() == 0 ? sums.sumb : sums.suma;
                total += round(base * (One - rate));
            }
            break;
        case 1: // a fixed amount per whole multiple of the threshold
            // A threshold of 0 is broken promotion data: the group gives nothing and the
            // sale goes on.
            if (line.f1() != 0)
                total += rate * (sums.suma.raw() / (qint64(line.f1()) * Money::Scale));
            break;
        default:
            break;
        }
    }
    return total;
}

void Pricing::recalcGroupOffer()
{
    int keep = sale_.current();
    const Money total = groupOfferTotal();
    const int row = sale_.findLine(LineKind::CashOff);
    if (row >= 0 && total.isZero()) {
        sale_.removeLine(row);
        // The cursor was on the cash-off line itself: it stays where the deletion left it.
        keep = keep == row ? -1 : keep - (keep > row ? 1 : 0);
    } else if (row >= 0) {
        SaleLine line = sale_.line(row);
        line.setSj(-total);
        line.setSmoney(-total);
        if (line != sale_.line(row))
            sale_.replaceLine(row, line);
    } else if (!total.isZero()) {
        sale_.appendLine(SaleLine::cashOff(total));
    }
    sale_.refreshTotals();
    sale_.setCurrent(keep);
}

void Pricing::finishCommand(bool lineChanged)
{
    if (lineChanged)
        recalcGroupOffer();
    else
        sale_.refreshTotals();
}

} // namespace vorel
