#include "json/decimal.h"

#include "json/runtime_error.h"

namespace json {

namespace {
constexpr __int128 makeMax() {
    // 79228162514264337593543950335 (2^96 - 1) in hundredths
    __int128 v = 1;
    v <<= 96;
    v -= 1;
    return v * 100;
}
constexpr int kMaxDigits = 31;  // digits of kMaxHundredths
}  // namespace

const __int128 Decimal::kMaxHundredths = makeMax();

Decimal Decimal::fromInt(long long v) {
    Decimal d;
    d.v_ = static_cast<__int128>(v) * 100;
    return d;
}

std::optional<Decimal> Decimal::fromHundredths(__int128 hundredths) {
    if (hundredths > kMaxHundredths || hundredths < -kMaxHundredths) return std::nullopt;
    Decimal d;
    d.v_ = hundredths;
    return d;
}

Decimal::TokenStatus Decimal::readToken(QStringView t, Decimal& out) {
    const qsizetype n = t.size();
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (t[i] == u'+' || t[i] == u'-')) {
        negative = t[i] == u'-';
        ++i;
    }
    const qsizetype intStart = i;
    while (i < n && t[i] >= u'0' && t[i] <= u'9') ++i;
    const qsizetype intEnd = i;
    if (intEnd == intStart) return TokenStatus::Invalid;
    qsizetype fracStart = i, fracEnd = i;
    if (i < n && t[i] == u'.') {
        ++i;
        fracStart = i;
        while (i < n && t[i] >= u'0' && t[i] <= u'9') ++i;
        fracEnd = i;
    }
    // The exponent saturates: anything beyond this bound decides the result the same way.
    constexpr long long kExpCap = 1'000'000'000'000LL;
    long long exponent = 0;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (t[i] == u'+' || t[i] == u'-')) {
            expNegative = t[i] == u'-';
            ++i;
        }
        const qsizetype expStart = i;
        while (i < n && t[i] >= u'0' && t[i] <= u'9') {
            if (exponent < kExpCap) exponent = exponent * 10 + (t[i].unicode() - u'0');
            ++i;
        }
        if (i == expStart) return TokenStatus::Invalid;
        if (expNegative) exponent = -exponent;
    }
    if (i != n) return TokenStatus::Invalid;

    // Significant digits: integer and fraction digits without leading zeros.
    auto digitAt = [&](qsizetype k) -> int {  // k-th digit of the mantissa, integer part first
        const qsizetype intLen = intEnd - intStart;
        return k < intLen ? t[intStart + k].unicode() - u'0'
                          : t[fracStart + (k - intLen)].unicode() - u'0';
    };
    const qsizetype total = (intEnd - intStart) + (fracEnd - fracStart);
    qsizetype first = 0;
    while (first < total && digitAt(first) == 0) ++first;
    if (first == total) {
        out = Decimal();
        return TokenStatus::Ok;
    }
    const long long sigLen = total - first;
    // value in hundredths = significant digits * 10^shift, cut toward zero
    const long long shift = exponent - static_cast<long long>(fracEnd - fracStart) + 2;
    const long long resultLen = sigLen + shift;  // digits left of the cut
    if (resultLen <= 0) {
        out = Decimal();
        return TokenStatus::Ok;
    }
    if (resultLen > kMaxDigits) return TokenStatus::OutOfRange;
    __int128 v = 0;
    const long long kept = std::min(sigLen, resultLen);
    for (long long k = 0; k < kept; ++k) v = v * 10 + digitAt(first + k);
    for (long long k = kept; k < resultLen; ++k) v *= 10;
    if (v > kMaxHundredths) return TokenStatus::OutOfRange;
    out.v_ = negative ? -v : v;
    return TokenStatus::Ok;
}

std::optional<Decimal> Decimal::fromToken(QStringView token) {
    Decimal d;
    if (readToken(token, d) != TokenStatus::Ok) return std::nullopt;
    return d;
}

Decimal Decimal::abs() const {
    Decimal d;
    d.v_ = v_ < 0 ? -v_ : v_;
    return d;
}

Decimal Decimal::operator-() const {
    Decimal d;
    d.v_ = -v_;
    return d;
}

Decimal Decimal::operator+(const Decimal& o) const {
    // both operands are within the range, so the sum cannot overflow __int128
    auto r = fromHundredths(v_ + o.v_);
    if (!r) throw RuntimeError::overflow();
    return *r;
}

Decimal Decimal::operator-(const Decimal& o) const {
    auto r = fromHundredths(v_ - o.v_);
    if (!r) throw RuntimeError::overflow();
    return *r;
}

double Decimal::toDouble() const {
    return static_cast<double>(v_) / 100.0;
}

QString Decimal::toString(QChar decimalSeparator) const {
    unsigned __int128 a =
        v_ < 0 ? static_cast<unsigned __int128>(-v_) : static_cast<unsigned __int128>(v_);
    const int frac = static_cast<int>(a % 100);
    unsigned __int128 whole = a / 100;
    char16_t buf[48];
    int p = 48;
    if (frac != 0) {
        if (frac % 10 != 0) buf[--p] = char16_t(u'0' + frac % 10);
        buf[--p] = char16_t(u'0' + frac / 10);
        buf[--p] = decimalSeparator.unicode();
    }
    do {
        buf[--p] = char16_t(u'0' + static_cast<int>(whole % 10));
        whole /= 10;
    } while (whole != 0);
    if (v_ < 0) buf[--p] = u'-';
    return QString(reinterpret_cast<const QChar*>(buf + p), 48 - p);
}

}  // namespace json
