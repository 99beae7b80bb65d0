#include "sales/sale.h"

#include <algorithm>

#include "sales/customerdisplay.h"

namespace vorel {

namespace {

const QString Zero = QStringLiteral("0");

} // namespace

Sale::Sale(const Session::Formats &formats, QObject *parent)
    : QObject(parent), formats_(formats), labels_{Zero, Zero, Zero}
{
}

int Sale::appendLine(const SaleLine &line)
{
    const int row = lineCount();
    emit lineAboutToBeInserted(row);
    lines_.append(line);
    changed();
    emit lineInserted(row);
    moveCurrent(row);
    return row;
}

void Sale::replaceLine(int row, const SaleLine &line)
{
    lines_[row] = line;
    changed();
    emit lineChanged(row);
}

void Sale::removeLine(int row)
{
    emit lineAboutToBeRemoved(row);
    lines_.removeAt(row);
    changed();
    emit lineRemoved(row);
    if (current_ > row || current_ >= lineCount())
        moveCurrent(current_ - 1);
    else if (current_ == row)
        emit currentChanged(current_); // same row, another line
}

int Sale::findLine(LineKind kind) const
{
    const auto it = std::find_if(lines_.cbegin(), lines_.cend(),
                                 [kind](const SaleLine &l) { return l.kind() == kind; });
    return it == lines_.cend() ? -1 : static_cast<int>(it - lines_.cbegin());
}

bool Sale::setCurrent(int row)
{
    if (row < 0 || row >= lineCount())
        return false;
    moveCurrent(row);
    return true;
}

void Sale::moveCurrent(int row)
{
    if (row == current_)
        return;
    current_ = row;
    emit currentChanged(row);
}

GroupSums Sale::groupSums(qint16 g) const
{
    if (!groupsValid_) {
        groups_.clear();
        for (const SaleLine &l : lines_) {
            GroupSums &sums = groups_[l.g()];
            const Money smoney = Money::fromDouble(l.smoney());
            sums.suma += Money::fromUnits(qint64(l.sl()) * l.flag1())
                         + Money::fromDouble(l.odj()) * (qint64(l.sl()) * l.flag2())
                         + smoney * qint64(l.flag3());
            sums.sumb += smoney * qint64(l.flag1());
        }
        groupsValid_ = true;
    }
    return groups_.value(g);
}

SaleTotals Sale::totals() const
{
    SaleTotals t;
    t.lineCount = lineCount();
    for (const SaleLine &l : lines_) {
        t.quantity += l.sl();
        t.amount += Money::fromDouble(l.smoney());
        t.tagTotal += l.ototal();
        t.beforeRounding += Money::fromDouble(l.omoney());
    }
    return t;
}

void Sale::setMember(bool selected, Money rate)
{
    memberSelected_ = selected;
    memberRate_ = rate;
}

void Sale::setRedemption(double voucherValue)
{
    const SaleLine fresh = SaleLine::redemption(voucherValue);
    const int row = findLine(LineKind::Redemption);
    if (row < 0) {
        appendLine(fresh);
    } else {
        // Only the fields the redemption sets; a remark typed on the line stays.
        SaleLine l = lines_.at(row);
        l.setTm(fresh.tm());
        l.setWlName(fresh.wlName());
        l.setWlGg(fresh.wlGg());
        l.setG(fresh.g());
        l.setSl(fresh.sl());
        l.setOdj(fresh.odj());
        l.setSj(fresh.sj());
        l.setSmoney(fresh.smoney());
        l.setZk(fresh.zk());
        l.setOmoney(fresh.omoney());
        l.setVipf(fresh.vipf());
        replaceLine(row, l);
        moveCurrent(row);
    }
    redeemAmount_ = voucherValue;
}

void Sale::applyAmountDecimals(int decimals)
{
    const QString format = displayFormatFor(decimals);
    if (format == amountFormat_)
        return;
    amountFormat_ = format;
    emit amountDisplayFormatChanged();
}

QString Sale::amountText(Money value) const
{
    return formatDisplay(amountFormat_, value);
}

void Sale::refreshTotals()
{
    const SaleTotals t = totals();
    labels_.total = amountText(t.amount);
    labels_.quantity = QString::number(t.quantity);
    amounts_.total = Money::parse(labels_.total).value_or(Money());
    amounts_.quantity = t.quantity;
    amounts_.saving = t.tagTotal - t.amount + Money::fromDouble(redeemAmount_);
    labels_.saving = amounts_.saving.toPlainString();
    emit labelsChanged();

    if (display_) {
        const QString pattern = QStringLiteral("%18.%1F").arg(formats_.amountDecimals);
        display_->showTotal(formatPattern(pattern, amounts_.total).trimmed());
    }
}

void Sale::clear()
{
    emit aboutToBeCleared();
    lines_.clear();
    changed();
    current_ = -1;
    memberRate_ = Money::fromUnits(1);
    memberSelected_ = false;
    redeemAmount_ = 0.0;
    labels_ = {Zero, Zero, Zero};
    amounts_ = {};
    emit cleared();
    emit currentChanged(-1);
    emit labelsChanged();
    setSalesperson(QString());
}

void Sale::showZeroTotal()
{
    amounts_.total = Money();
    labels_.total = Zero;
    emit labelsChanged();
}

void Sale::setSlipNumber(const QString &number)
{
    if (slipNumber_ == number)
        return;
    slipNumber_ = number;
    emit headerChanged();
}

void Sale::setSlipDate(const QString &date)
{
    if (slipDate_ == date)
        return;
    slipDate_ = date;
    emit headerChanged();
}

void Sale::setSalesperson(const QString &id)
{
    if (salesperson_ == id)
        return;
    salesperson_ = id;
    emit headerChanged();
}

} // namespace vorel
