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
    EXPECT_EQ(texto(JsonValue()), QString());
    EXPECT_EQ(texto(JsonValue::null()), QString());
    EXPECT_EQ(texto(JsonValue(u"hola")), u"hola");
    EXPECT_EQ(texto(num("-1234.5")), u"-1234.5");
    EXPECT_EQ(texto(num("1234.5"), kColombia), u"1234,5");
    EXPECT_EQ(texto(JsonValue(true)), u"True");
    EXPECT_EQ(texto(JsonValue(false)), u"False");
    EXPECT_EQ(errorOf([] { texto(parse(u"[]"_qs).value); }), err::TypeMismatch);
}

TEST(Convert, NumberOfEveryKind) {
    EXPECT_EQ(numero(JsonValue()), Decimal());
    EXPECT_EQ(numero(num("12.5")), *Decimal::fromToken(u"12.5"));
    EXPECT_EQ(numero(JsonValue(true)), Decimal::fromInt(-1));
    EXPECT_EQ(numero(JsonValue(false)), Decimal());
    EXPECT_EQ(numero(JsonValue(u" 12.345 ")), *Decimal::fromToken(u"12.34"));
    EXPECT_EQ(numero(JsonValue(u"-7")), Decimal::fromInt(-7));
    // the plain form wins; then the regional one, group separators dropped
    EXPECT_EQ(numero(JsonValue(u"1.500"), kColombia), *Decimal::fromToken(u"1.5"));
    EXPECT_EQ(numero(JsonValue(u"1.234,56"), kColombia), *Decimal::fromToken(u"1234.56"));
    EXPECT_EQ(numero(JsonValue(u"2,5"), kColombia), *Decimal::fromToken(u"2.5"));
    EXPECT_EQ(numero(JsonValue(u"2,500")), Decimal::fromInt(2500));
    EXPECT_EQ(errorOf([] { numero(JsonValue(u"2;5")); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([] { numero(JsonValue(u"abc")); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([] { numero(JsonValue(u"")); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([] { numero(JsonValue::null()); }), err::InvalidUseOfNull);
    EXPECT_EQ(errorOf([] { numero(parse(u"{}"_qs).value); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([] { numero(JsonValue(u"1e40")); }), err::Overflow);
}

TEST(Convert, TestsTheLayoutsUse) {
    EXPECT_TRUE(esNumerico(JsonValue()));
    EXPECT_TRUE(esNumerico(JsonValue(u"3")));
    EXPECT_TRUE(esNumerico(JsonValue(false)));
    EXPECT_FALSE(esNumerico(JsonValue::null()));
    EXPECT_FALSE(esNumerico(JsonValue(u"x3")));
    EXPECT_FALSE(esNumerico(parse(u"[]"_qs).value));

    EXPECT_FALSE(noVacio(JsonValue()));
    EXPECT_FALSE(noVacio(JsonValue::null()));
    EXPECT_FALSE(noVacio(JsonValue(u"")));
    EXPECT_TRUE(noVacio(JsonValue(u" ")));
    EXPECT_TRUE(noVacio(num("0")));
    EXPECT_TRUE(noVacio(JsonValue(false)));

    EXPECT_TRUE(mayorQueCero(num("0.01")));
    EXPECT_TRUE(mayorQueCero(JsonValue(u"5")));
    EXPECT_FALSE(mayorQueCero(num("0")));
    EXPECT_FALSE(mayorQueCero(num("-3")));
    EXPECT_FALSE(mayorQueCero(JsonValue::null()));
    EXPECT_FALSE(mayorQueCero(JsonValue(u"abc")));
    EXPECT_FALSE(mayorQueCero(JsonValue()));

    EXPECT_TRUE(esVerdadero(JsonValue(true)));
    EXPECT_FALSE(esVerdadero(JsonValue(u"true")));
    EXPECT_FALSE(esVerdadero(num("1")));
    EXPECT_FALSE(esVerdadero(JsonValue()));
}
