#include "settlement/settlement.h"

#include <QLocale>
#include <algorithm>

namespace vorel {

namespace {

constexpr QChar Backspace(8);
constexpr QChar Blank(u' ');
constexpr QChar Point(u'.');

// The most change a till hands out when the terminal limits it.
const Money ChangeLimit = Money::fromUnits(100);

bool isAsciiDigit(QChar ch)
{
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

} // namespace

Settlement::Settlement(bool changeUnder100, int fontSize)
    : changeUnder100_(changeUnder100)
{
    setFontSize(fontSize);
    recomputeChange();
}

Settlement::Relayout Settlement::prepare(const SettlementRequest &request)
{
    const LayoutInputs inputs{request.dark, request.bankCard, request.storedValue,
                              request.voucher, request.roundOff};
    const Relayout relayout{!layout_ || layout_->dark != inputs.dark, !layout_ || *layout_ != inputs};
    layout_ = inputs;
    editable_ = request.editable;
    decimals_ = std::clamp(request.decimals, 0, 4);

    const Money due = moneyOfText(request.amountDue);
    const Money balance = moneyOfText(request.balance);
    Money proposal;
    if (request.storedValue && request.online && balance > Money() && due > Money())
        proposal = std::min(balance, due);

    for (QString &t : texts_)
        t = fillText(Money());
    texts_[index(SettlementField::AmountDue)] = fillText(due);
    texts_[index(SettlementField::StoredValue)] = fillText(proposal);
    recomputeChange();
    return relayout;
}

bool Settlement::isShown(SettlementField field) const
{
    switch (field) {
    case SettlementField::RoundOff: return layout_ && layout_->roundOff;
    case SettlementField::Voucher: return layout_ && layout_->voucher;
    case SettlementField::StoredValue: return layout_ && layout_->storedValue;
    case SettlementField::BankCard: return layout_ && layout_->bankCard;
    case SettlementField::AmountDue:
    case SettlementField::Cash:
    case SettlementField::Change: return true;
    }
    return false;
}

QList<SettlementField> Settlement::shownTenders() const
{
    QList<SettlementField> out;
    for (int i = index(SettlementField::RoundOff); i <= index(SettlementField::Cash); ++i)
        if (isShown(SettlementField(i)))
            out << SettlementField(i);
    return out;
}

void Settlement::edit(SettlementField tender, const QString &text)
{
    Q_ASSERT(isTender(tender));
    setText(tender, text);
}

Settlement::KeyVerdict Settlement::keyVerdict(QChar ch, const QString &text, qsizetype selectedLength) const
{
    if (ch == Backspace)
        return KeyVerdict::Accept;
    if (ch == Blank)
        return editable_ ? KeyVerdict::Empty : KeyVerdict::Swallow;
    // The point counts even when it is in the selection about to be replaced.
    if (ch == Point ? text.contains(Point) : !isAsciiDigit(ch))
        return KeyVerdict::Swallow;
    if (text.size() - selectedLength >= MaxTypedLength)
        return KeyVerdict::Swallow;
    return KeyVerdict::Accept;
}

bool Settlement::mayLeave(SettlementField tender) const
{
    if (value(tender).isNegative())
        return false;
    return !(tender == SettlementField::RoundOff && amountDue() < value(tender));
}

void Settlement::leave(SettlementField tender)
{
    Q_ASSERT(isTender(tender));
    setText(tender, formatFixed(value(tender), 19, decimals_).trimmed());
}

std::optional<SettlementField> Settlement::nextTender(SettlementField focused, int step) const
{
    const QList<SettlementField> cycle = shownTenders();
    const qsizetype at = cycle.indexOf(focused);
    if (cycle.size() < 2 || at < 0 || !mayLeave(focused))
        return std::nullopt;
    const qsizetype n = cycle.size();
    return cycle.at(((at + step) % n + n) % n);
}

bool Settlement::accept(SettlementField focused) const
{
    // A return (nothing due, or money going back) needs no payment.
    if (amountDue() <= Money())
        return true;
    if (text(focused).trimmed().isEmpty() || value(focused).isNegative())
        return false;
    if (focused == SettlementField::RoundOff && amountDue() < value(focused))
        return false;
    if (change_.isNegative())
        return false;
    return !(changeUnder100_ && change_ >= ChangeLimit);
}

bool Settlement::payRest(SettlementField focused)
{
    Q_ASSERT(isTender(focused));
    setText(focused, QStringLiteral("0"));
    if (amountDue() > Money())
        setText(focused, formatAmount(-change_));
    return !value(focused).isNegative();
}

void Settlement::setFontSize(int size)
{
    fontSize_ = size >= 8 && size <= 200 ? size : DefaultFontSize;
}

bool Settlement::enlargeFont(QSize dialog, QSize screen)
{
    if (dialog.width() >= screen.width() || dialog.height() >= screen.height() || fontSize_ >= 200)
        return false;
    ++fontSize_;
    return true;
}

bool Settlement::shrinkFont(QSize dialog)
{
    if (dialog.width() <= MinShrinkWidth || fontSize_ <= 8)
        return false;
    --fontSize_;
    return true;
}

Money Settlement::moneyOfText(const QString &text)
{
    return Money::parse(text).value_or(Money());
}

QString Settlement::formatAmount(Money value) const
{
    return formatFixed(value, 18, decimals_).trimmed();
}

QString Settlement::caption(SettlementField field, bool simplifiedChinese)
{
    switch (field) {
    case SettlementField::AmountDue: return QStringLiteral(" 应  收 ");
    case SettlementField::RoundOff: return QStringLiteral(" 抹  零 ");
    case SettlementField::Voucher: return QStringLiteral(" 现金券 ");
    case SettlementField::StoredValue: return QStringLiteral(" 储值卡 ");
    case SettlementField::BankCard:
        return simplifiedChinese ? QStringLiteral(" 银  联 ") : QStringLiteral(" EPS    ");
    case SettlementField::Cash: return QStringLiteral(" 现  金 ");
    case SettlementField::Change: return QStringLiteral(" 找  零 ");
    }
    return {};
}

bool Settlement::systemUsesSimplifiedChinese()
{
    const QLocale system = QLocale::system();
    return system.language() == QLocale::Chinese && system.territory() == QLocale::China;
}

QString Settlement::fillText(Money value) const
{
    return formatFixed(value, 10, decimals_);
}

void Settlement::setText(SettlementField field, const QString &text)
{
    texts_[index(field)] = text;
    recomputeChange();
}

void Settlement::recomputeChange()
{
    if (!editable_) {
        // A points exchange settles nothing: no amount due, no change.
        texts_[index(SettlementField::AmountDue)] = fillText(Money());
        change_ = Money();
    } else {
        change_ = value(SettlementField::Voucher) + value(SettlementField::StoredValue)
            + value(SettlementField::BankCard) + value(SettlementField::Cash)
            - amountDue() + value(SettlementField::RoundOff);
    }
    texts_[index(SettlementField::Change)] = fillText(change_);
}

} // namespace vorel
