#include "json/decimal.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "json/runtime_error.h"
#include "text_ops.h"

using json::Decimal;

namespace {
QString cut(const QString& token) {
    auto d = Decimal::fromToken(token);
    return d ? d->toString() : QStringLiteral("fail");
}
}  // namespace

TEST(Decimal, TokensAreCutTowardZeroToTwoDecimals) {
    const std::pair<const char*, const char*> cases[] = {
        {"12.345", "12.34"}, {"-12.349", "-12.34"},    {"12.999", "12.99"}, {"7", "7"},
        {"1e3", "1000"},     {"2.5E-1", "0.25"},       {"-0.5", "-0.5"},    {"+3.10", "3.1"},
        {"1.", "1"},         {"-0.001", "0"},          {"0.07", "0.07"},    {"1E+2", "100"},
        {"00012", "12"},     {"123.456e1", "1234.56"}, {"-5e-3", "0"},      {"1.5e0", "1.5"},
    };
    for (auto [token, expected] : cases) EXPECT_EQ(cut(token), expected) << token;
}

TEST(Decimal, InvalidTokensFail) {
    for (const char* token :
         {"", "-", "+", ".5", "1e", "1e+", "1.2.3", "--1", "1-", "e5", "1ee2", "12a", "1.e", "+-1"})
        EXPECT_EQ(cut(token), "fail") << token;
}

TEST(Decimal, RangeOfA96BitDecimalAfterTheCut) {
    EXPECT_EQ(cut("79228162514264337593543950335"), "79228162514264337593543950335");
    EXPECT_EQ(cut("-79228162514264337593543950335.009"), "-79228162514264337593543950335");
    EXPECT_EQ(cut("79228162514264337593543950335.01"), "fail");
    EXPECT_EQ(cut("79228162514264337593543950336"), "fail");
    EXPECT_EQ(cut("7.9228162514264337593543950335e28"), "79228162514264337593543950335");
    EXPECT_EQ(cut("123e65"), "fail");
    Decimal d;
    EXPECT_EQ(Decimal::readToken(u"1e40", d), Decimal::TokenStatus::OutOfRange);
    EXPECT_EQ(Decimal::readToken(u"1e", d), Decimal::TokenStatus::Invalid);
}

TEST(Decimal, HugeExponentsAndLongMantissasAreDecidedQuickly) {
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(cut("1e999999999"), "fail");
    EXPECT_EQ(cut("1e-999999999"), "0");
    EXPECT_EQ(cut("0e999999999"), "0");
    EXPECT_EQ(cut("-0.0e99999999999999999999999999"), "0");
    EXPECT_EQ(cut("5e-99999999999999999999999999999"), "0");
    const QString digits(100000, u'9');
    EXPECT_EQ(cut(digits), "fail");
    EXPECT_EQ(cut(u"0." + digits), "0.99");
    EXPECT_EQ(cut(u"1" + QString(99999, u'0') + u"e-99990"), "1000000000");
    EXPECT_EQ(cut(QString(100000, u'0') + u"1.5"), "1.5");
    EXPECT_LT(timer.elapsed(), 5000);  // linear: these take microseconds
}

TEST(Decimal, PlainFormAndArithmetic) {
    EXPECT_EQ(Decimal().toString(), "0");
    EXPECT_EQ(Decimal::fromInt(-42).toString(), "-42");
    EXPECT_EQ(Decimal::fromHundredths(-5)->toString(u','), "-0,05");
    EXPECT_EQ(Decimal::fromHundredths(1230)->toString(), "12.3");
    EXPECT_FALSE(Decimal::fromHundredths(Decimal::kMaxHundredths + 1));
    const Decimal max = *Decimal::fromHundredths(Decimal::kMaxHundredths);
    EXPECT_EQ((max - max).toString(), "0");
    EXPECT_EQ((-max).abs(), max);
    EXPECT_THROW(max + Decimal::fromHundredths(1).value(), json::RuntimeError);
    EXPECT_THROW(-max - Decimal::fromHundredths(1).value(), json::RuntimeError);
    EXPECT_LT(Decimal::fromInt(-1), Decimal());
    EXPECT_DOUBLE_EQ(Decimal::fromHundredths(25)->toDouble(), 0.25);
}
