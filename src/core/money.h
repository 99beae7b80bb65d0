#pragma once
// Amounts in fixed point: a 64-bit count of ten-thousandths. Prices and amounts travel as
// doubles in the sale records and in the databases, but every computation goes through
// this type, and rounding to the shop's precision is convertmon's job.

#include <QString>
#include <compare>
#include <cstdint>
#include <optional>

namespace vorel {

class Money {
public:
    static constexpr qint64 Scale = 10000;

    constexpr Money() = default;
    static constexpr Money fromRaw(qint64 tenThousandths) { return Money(tenThousandths); }
    static constexpr Money fromUnits(qint64 units) { return Money(units * Scale); }
    // Nearest ten-thousandth, halves away from zero (a double field's value 2.675 becomes
    // exactly 2.6750, not 2.67499999...).
    static Money fromDouble(double value);
    // Decimal text as the user or a database gives it: blanks around, a sign, digits, one
    // point ("  12.50", "-3", ".5"). More than four decimals round half away from zero.
    static std::optional<Money> parse(const QString &text);

    constexpr qint64 raw() const { return raw_; }
    double toDouble() const { return static_cast<double>(raw_) / Scale; }
    constexpr bool isZero() const { return raw_ == 0; }
    constexpr bool isNegative() const { return raw_ < 0; }

    constexpr Money operator-() const { return Money(-raw_); }
    constexpr Money operator+(Money o) const { return Money(raw_ + o.raw_); }
    constexpr Money operator-(Money o) const { return Money(raw_ - o.raw_); }
    Money &operator+=(Money o) { raw_ += o.raw_; return *this; }
    Money &operator-=(Money o) { raw_ -= o.raw_; return *this; }
    // Quantity times price: exact.
    constexpr Money operator*(qint64 quantity) const { return Money(raw_ * quantity); }
    // Price times factor (or any two fixed-point values): rounded half away from zero to
    // four decimals.
    Money operator*(Money o) const;
    // Quotient to four decimals, half away from zero. Empty when dividing by zero.
    std::optional<Money> dividedBy(Money divisor) const;
    std::optional<Money> dividedBy(qint64 divisor) const;

    constexpr auto operator<=>(const Money &) const = default;

    // Plain decimal text with exactly `decimals` places (0 to 4), halves away from zero:
    // Money(2.675).toString(2) == "2.68".
    QString toString(int decimals) const;
    // Shortest decimal text without trailing zeros ("12.5", "3", "-0.25").
    QString toPlainString() const;

private:
    constexpr explicit Money(qint64 raw) : raw_(raw) {}
    qint64 raw_ = 0;
};

// The shop's rounding modes (settings key chkparam20).
enum class RoundingMode : int {
    HalfUp = 1, // "四舍五入"
    Up = 2,     // "直接进位": any remainder goes up (away from zero)
    Cut = 3,    // "直接抹去": any remainder is dropped (toward zero)
};

// Rounds to `decimals` (0 to 2; values outside are clamped) by `mode` (1, 2 or 3; any other
// value rounds half up). Symmetric: a return rounds like a sale with the sign reversed.
Money convertmon(Money value, int mode, int decimals);
double convertmon(double value, int mode, int decimals);

// Delphi-style format patterns the till uses for amounts: "%18.2F", "%10.2F", "%.2F",
// "%" + width + "." + places + "F". Right-aligned in `width` characters (never cut),
// rounded half away from zero from the fixed-point value. A pattern that cannot be read
// gives the plain text of the value.
QString formatPattern(const QString &pattern, Money value);
QString formatPattern(const QString &pattern, double value);
// The same with the pieces given: formatFixed(v, 18, 2) == formatPattern("%18.2F", v).
QString formatFixed(Money value, int width, int decimals);

// Display formats of the grid and labels: "0", "0.0", "0.00" (a "#" in place of a "0"
// after the point makes that place optional). Halves away from zero.
QString formatDisplay(const QString &displayFormat, Money value);

// The display format for amounts at `decimals` places: "0" for none, else "0." + zeros.
QString displayFormatFor(int decimals);

} // namespace vorel
