#pragma once

#include <QString>
#include <QStringView>
#include <compare>
#include <optional>

namespace json {

/**
 * Exact signed decimal with at most two digits after the point, in the range of a 96-bit
 * decimal: |value| <= 79228162514264337593543950335. Held as a count of hundredths.
 * No floating point is involved in reading or printing it.
 */
class Decimal {
  public:
    Decimal() = default;  // zero

    static Decimal fromInt(long long v);
    /** From a count of hundredths (1234 is 12.34); nullopt beyond the range. */
    static std::optional<Decimal> fromHundredths(__int128 hundredths);

    /**
     * Converts a JSON number token: optional sign, digits, optional "." and digits,
     * optional exponent. The value is cut toward zero to two decimals; nullopt when the
     * token is invalid or the cut value is beyond the range. Time linear in the token's
     * length, no work proportional to the exponent's value.
     */
    static std::optional<Decimal> fromToken(QStringView token);

    /** The same as fromToken, telling an invalid token from one beyond the range. */
    enum class TokenStatus { Ok, Invalid, OutOfRange };
    static TokenStatus readToken(QStringView token, Decimal& out);

    __int128 hundredths() const { return v_; }
    bool isZero() const { return v_ == 0; }
    bool isNegative() const { return v_ < 0; }
    Decimal abs() const;
    Decimal operator-() const;
    /** Sums and differences; throw RuntimeError overflow beyond the range. */
    Decimal operator+(const Decimal& o) const;
    Decimal operator-(const Decimal& o) const;
    double toDouble() const;

    /**
     * Plain form: optional "-", integer digits without leading zeros ("0" when zero) and,
     * when the fraction is not zero, the separator and one or two digits without a trailing
     * zero. Never "-0".
     */
    QString toString(QChar decimalSeparator = u'.') const;

    friend bool operator==(const Decimal&, const Decimal&) = default;
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
        return a.v_ <=> b.v_;
    }

    static const __int128 kMaxHundredths;  // 79228162514264337593543950335 * 100

  private:
    __int128 v_ = 0;
};

}  // namespace json
