#include "core/money.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace vorel {

namespace {

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

constexpr qint64 MaxRaw = std::numeric_limits<qint64>::max();
constexpr qint64 MinRaw = std::numeric_limits<qint64>::min();
constexpr std::array<quint64, 5> Pow10 = {1, 10, 100, 1000, 10000};

quint64 magnitude(qint64 raw)
{
    return raw < 0 ? quint64(0) - quint64(raw) : quint64(raw);
}

// Signed value of a magnitude; nothing when it does not fit.
std::optional<qint64> fromMagnitude(bool negative, UInt128 mag)
{
    const UInt128 limit = UInt128(quint64(MaxRaw)) + (negative ? 1 : 0);
    if (mag > limit)
        return std::nullopt;
    return negative ? qint64(quint64(0) - quint64(mag)) : qint64(quint64(mag));
}

qint64 saturated(bool negative, UInt128 mag)
{
    return fromMagnitude(negative, mag).value_or(negative ? MinRaw : MaxRaw);
}

// num / den, halves away from zero; den must not be zero.
qint64 divideRounded(Int128 num, Int128 den)
{
    const bool negative = (num < 0) != (den < 0);
    const UInt128 n = num < 0 ? UInt128(0) - UInt128(num) : UInt128(num);
    const UInt128 d = den < 0 ? UInt128(0) - UInt128(den) : UInt128(den);
    UInt128 q = n / d;
    const UInt128 r = n % d;
    if (r >= d - r)
        ++q;
    return saturated(negative, q);
}

// Magnitude brought to a multiple of `unit` by the shop's rounding mode.
quint64 roundMagnitude(quint64 mag, quint64 unit, RoundingMode mode)
{
    const quint64 rest = mag % unit;
    mag -= rest;
    if (rest != 0 && (mode == RoundingMode::Up
                      || (mode == RoundingMode::HalfUp && rest >= unit - rest)))
        mag += unit;
    return mag;
}

// The value cut into whole units and `decimals` (0 to 4) places, halves away from zero.
struct Parts {
    bool negative;
    quint64 units;
    quint64 fraction;
};

Parts split(Money value, int decimals)
{
    const quint64 unit = Pow10[4 - decimals];
    const quint64 mag = roundMagnitude(magnitude(value.raw()), unit, RoundingMode::HalfUp) / unit;
    return {value.isNegative() && mag != 0, mag / Pow10[decimals], mag % Pow10[decimals]};
}

// "[+-]digits[.digits]" with at least one digit; places after the fourth round half away
// from zero. Nothing on anything else or when the value does not fit.
std::optional<qint64> parseDecimal(std::string_view text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    quint64 units = 0;
    quint64 fraction = 0;
    int intDigits = 0;
    int fracDigits = 0;
    bool point = false;
    bool roundAway = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            if (point)
                return std::nullopt;
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            return std::nullopt;
        const unsigned digit = unsigned(c - '0');
        if (!point) {
            if (units > (std::numeric_limits<quint64>::max() - digit) / 10)
                return std::nullopt;
            units = units * 10 + digit;
            ++intDigits;
        } else {
            ++fracDigits;
            if (fracDigits <= 4)
                fraction = fraction * 10 + digit;
            else if (fracDigits == 5)
                roundAway = digit >= 5;
        }
    }
    if (intDigits + fracDigits == 0)
        return std::nullopt;
    if (fracDigits < 4)
        fraction *= Pow10[4 - fracDigits];
    const UInt128 mag = UInt128(units) * Money::Scale + fraction + (roundAway ? 1 : 0);
    return fromMagnitude(negative, mag);
}

QString digitsOf(Parts parts, int decimals)
{
    QString text = QString::number(parts.units);
    if (decimals > 0)
        text += QLatin1Char('.') + QString::number(parts.fraction).rightJustified(decimals, QLatin1Char('0'));
    return parts.negative ? QLatin1Char('-') + text : text;
}

QString fixedText(Money value, int decimals)
{
    if (decimals <= 4)
        return value.toString(decimals);
    return value.toString(4) + QString(decimals - 4, QLatin1Char('0'));
}

} // namespace

Money Money::fromDouble(double value)
{
    if (std::isnan(value))
        return Money();
    // Beyond this no double carries a fraction and the range is long exceeded anyway.
    if (std::fabs(value) >= 1e16)
        return Money(value < 0 ? MinRaw : MaxRaw);
    // The shortest text that reads back as the same double is the decimal the field was
    // given: 2.675 rather than 2.67499999999999982236431605997495353221893310546875.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return Money();
    const auto raw = parseDecimal(std::string_view(buffer, std::size_t(result.ptr - buffer)));
    return Money(raw.value_or(value < 0 ? MinRaw : MaxRaw));
}

std::optional<Money> Money::parse(const QString &text)
{
    const QByteArray latin = text.trimmed().toLatin1();
    const auto raw = parseDecimal(std::string_view(latin.constData(), std::size_t(latin.size())));
    if (!raw)
        return std::nullopt;
    return Money(*raw);
}

Money Money::operator*(Money o) const
{
    return Money(divideRounded(Int128(raw_) * o.raw_, Scale));
}

std::optional<Money> Money::dividedBy(Money divisor) const
{
    if (divisor.raw_ == 0)
        return std::nullopt;
    return Money(divideRounded(Int128(raw_) * Scale, divisor.raw_));
}

std::optional<Money> Money::dividedBy(qint64 divisor) const
{
    if (divisor == 0)
        return std::nullopt;
    return Money(divideRounded(raw_, divisor));
}

QString Money::toString(int decimals) const
{
    decimals = std::clamp(decimals, 0, 4);
    return digitsOf(split(*this, decimals), decimals);
}

QString Money::toPlainString() const
{
    QString text = toString(4);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

Money convertmon(Money value, int mode, int decimals)
{
    const quint64 unit = Pow10[4 - std::clamp(decimals, 0, 2)];
    const RoundingMode how = (mode == 2 || mode == 3) ? RoundingMode(mode) : RoundingMode::HalfUp;
    const quint64 mag = roundMagnitude(magnitude(value.raw()), unit, how);
    return Money::fromRaw(saturated(value.isNegative(), mag));
}

double convertmon(double value, int mode, int decimals)
{
    return convertmon(Money::fromDouble(value), mode, decimals).toDouble();
}

QString formatFixed(Money value, int width, int decimals)
{
    return fixedText(value, std::max(decimals, 0)).rightJustified(width, QLatin1Char(' '));
}

QString formatPattern(const QString &pattern, Money value)
{
    // "%" ["-"] [width] ["." places] "F"; without places Delphi's Format shows two.
    static const QRegularExpression patternSyntax(QStringLiteral("^%(-?)(\\d{0,3})(?:\\.(\\d{1,3}))?[fF]$"));
    const QRegularExpressionMatch m = patternSyntax.match(pattern);
    if (!m.hasMatch())
        return value.toPlainString();
    const int width = m.capturedView(2).toInt();
    const int decimals = m.hasCaptured(3) ? m.capturedView(3).toInt() : 2;
    const QString text = fixedText(value, decimals);
    return m.capturedView(1).isEmpty() ? text.rightJustified(width, QLatin1Char(' '))
                                       : text.leftJustified(width, QLatin1Char(' '));
}

QString formatPattern(const QString &pattern, double value)
{
    return formatPattern(pattern, Money::fromDouble(value));
}

QString formatDisplay(const QString &displayFormat, Money value)
{
    // Before the point "0" is a digit always shown, "#" one shown when needed and "," turns
    // on thousands groups; after it "0" is a fixed place and "#" an optional one.
    const qsizetype point = displayFormat.indexOf(QLatin1Char('.'));
    const QString intPart = displayFormat.left(point < 0 ? displayFormat.size() : point);
    const QString fracPart = point < 0 ? QString() : displayFormat.mid(point + 1);
    static const QRegularExpression intSpec(QStringLiteral("^[#0,]*$"));
    static const QRegularExpression fracSpec(QStringLiteral("^[#0]*$"));
    if (displayFormat.isEmpty() || !intSpec.match(intPart).hasMatch()
        || !fracSpec.match(fracPart).hasMatch())
        return value.toPlainString();

    const int places = int(fracPart.size());
    const int fixedPlaces = int(fracPart.lastIndexOf(QLatin1Char('0')) + 1);
    const Parts parts = split(value, std::min(places, 4));

    QString whole;
    const int minDigits = int(intPart.count(QLatin1Char('0')));
    if (parts.units != 0 || minDigits > 0)
        whole = QString::number(parts.units).rightJustified(minDigits, QLatin1Char('0'));
    if (intPart.contains(QLatin1Char(',')))
        for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
            whole.insert(at, QLatin1Char(','));

    QString fraction;
    if (places > 0)
        fraction = QString::number(parts.fraction).rightJustified(std::min(places, 4), QLatin1Char('0'))
                   + QString(std::max(places - 4, 0), QLatin1Char('0'));
    while (fraction.size() > fixedPlaces && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);

    QString text = parts.negative ? QStringLiteral("-") + whole : whole;
    if (!fraction.isEmpty())
        text += QLatin1Char('.') + fraction;
    return text;
}

QString displayFormatFor(int decimals)
{
    if (decimals <= 0)
        return QStringLiteral("0");
    return QStringLiteral("0.") + QString(decimals, QLatin1Char('0'));
}

} // namespace vorel
