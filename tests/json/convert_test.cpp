#include "json/convert.h"

#include <gtest/gtest.h>

#include "json/parser.h"
#include "json/runtime_error.h"
#include "text_ops.h"

using namespace json;

namespace {
const QLocale kColombia(QLocale::Spanish, QLocale::Colombia);

int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

JsonValue num(const char* token) {
    return JsonValue(*Decimal::fromToken(QString::fromLatin1(token)));
}
}  // namespace

TEST(Convert, TextOfEveryKind) {
    EXPECT_EQ(toText(JsonValue()), QString());
    EXPECT_EQ(toText(JsonValue::null()), QString());
    EXPECT_EQ(toText(JsonValue(u"hola")), u"hola");
    EXPECT_EQ(toText(num("-1234.5")), u"-1234.5");
    EXPECT_EQ(toText(num("1234.5"), kColombia), u"1234,5");
    EXPECT_EQ(toText(JsonValue(true)), u"True");
    EXPECT_EQ(toText(JsonValue(false)), u"False");
    EXPECT_EQ(errorOf([] { toText(parse(u"[]"_qs).value); }), err::TypeMismatch);
}

TEST(Convert, NumberOfEveryKind) {
    EXPECT_EQ(toNumber(JsonValue()), Decimal());
    EXPECT_EQ(toNumber(num("12.5")), *Decimal::fromToken(u"12.5"));
    EXPECT_EQ(toNumber(JsonValue(true)), Decimal::fromInt(-1));
    EXPECT_EQ(toNumber(JsonValue(false)), Decimal());
    EXPECT_EQ(toNumber(JsonValue(u" 12.345 ")), *Decimal::fromToken(u"12.34"));
    EXPECT_EQ(toNumber(JsonValue(u"-7")), Decimal::fromInt(-7));
    // the plain form wins; then the regional one, group separators dropped
    EXPECT_EQ(toNumber(JsonValue(u"1.500"), kColombia), *Decimal::fromToken(u"1.5"));
    EXPECT_EQ(toNumber(JsonValue(u"1.234,56"), kColombia), *Decimal::fromToken(u"1234.56"));
    EXPECT_EQ(toNumber(JsonValue(u"2,5"), kColombia), *Decimal::fromToken(u"2.5"));
    EXPECT_EQ(toNumber(JsonValue(u"2,500")), Decimal::fromInt(2500));
    EXPECT_EQ(errorOf([] { toNumber(JsonValue(u"2;5")); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([] { toNumber(JsonValue(u"abc")); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([] { toNumber(JsonValue(u"")); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([] { toNumber(JsonValue::null()); }), err::InvalidUseOfNull);
    EXPECT_EQ(errorOf([] { toNumber(parse(u"{}"_qs).value); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([] { toNumber(JsonValue(u"1e40")); }), err::Overflow);
}

TEST(Convert, TestsTheLayoutsUse) {
    EXPECT_TRUE(isNumeric(JsonValue()));
    EXPECT_TRUE(isNumeric(JsonValue(u"3")));
    EXPECT_TRUE(isNumeric(JsonValue(false)));
    EXPECT_FALSE(isNumeric(JsonValue::null()));
    EXPECT_FALSE(isNumeric(JsonValue(u"x3")));
    EXPECT_FALSE(isNumeric(parse(u"[]"_qs).value));

    EXPECT_FALSE(hasContent(JsonValue()));
    EXPECT_FALSE(hasContent(JsonValue::null()));
    EXPECT_FALSE(hasContent(JsonValue(u"")));
    EXPECT_TRUE(hasContent(JsonValue(u" ")));
    EXPECT_TRUE(hasContent(num("0")));
    EXPECT_TRUE(hasContent(JsonValue(false)));

    EXPECT_TRUE(isPositive(num("0.01")));
    EXPECT_TRUE(isPositive(JsonValue(u"5")));
    EXPECT_FALSE(isPositive(num("0")));
    EXPECT_FALSE(isPositive(num("-3")));
    EXPECT_FALSE(isPositive(JsonValue::null()));
    EXPECT_FALSE(isPositive(JsonValue(u"abc")));
    EXPECT_FALSE(isPositive(JsonValue()));

    EXPECT_TRUE(isTrue(JsonValue(true)));
    EXPECT_FALSE(isTrue(JsonValue(u"true")));
    EXPECT_FALSE(isTrue(num("1")));
    EXPECT_FALSE(isTrue(JsonValue()));
}
