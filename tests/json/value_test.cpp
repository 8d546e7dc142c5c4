#include "json/value.h"

#include <gtest/gtest.h>

#include "json/runtime_error.h"
#include "text_ops.h"

using namespace json;

TEST(JsonObject, KeysAreExactAndKeepInsertionOrder) {
    JsonObject o;
    o.Add(u"b"_qs, 1);
    o.Add(u"a"_qs, u"x");
    o.Add(u"A"_qs, true);
    EXPECT_EQ(o.Count(), 3);
    EXPECT_EQ(o.Keys(), (QStringList{u"b"_qs, u"a"_qs, u"A"_qs}));
    EXPECT_EQ(o.Item(u"a"_qs).string(), u"x");
    EXPECT_TRUE(o.Item(u"A"_qs).boolean());
    EXPECT_TRUE(o.Item(u"a "_qs).isEmpty());  // no trimming or folding
    EXPECT_FALSE(o.Exists(u"B"_qs));
}

TEST(JsonObject, AddOfAHeldKeyFailsAndKeepsTheValue) {
    JsonObject o;
    o.Add(u"k"_qs, 1);
    try {
        o.Add(u"k"_qs, 2);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::DuplicateKey);
        EXPECT_EQ(e.description(), u"Duplicate key");
    }
    EXPECT_EQ(o.Item(u"k"_qs).number(), Decimal::fromInt(1));
    EXPECT_EQ(o.Count(), 1);
    o.Set(u"k"_qs, 3);
    o.Set(u"n"_qs, 4);
    EXPECT_EQ(o.Item(u"k"_qs).number(), Decimal::fromInt(3));
    EXPECT_EQ(o.Count(), 2);
}

TEST(JsonObject, LargeObjectsFindEveryKeyAndRejectDuplicates) {
    JsonObject o;
    for (int i = 0; i < 2000; ++i) o.Add(QString::number(i), i);
    for (int i = 0; i < 2000; i += 7)
        EXPECT_EQ(o.Item(QString::number(i)).number(), Decimal::fromInt(i));
    EXPECT_THROW(o.Add(u"3"_qs, 0), RuntimeError);
    EXPECT_THROW(o.Add(u"1999"_qs, 0), RuntimeError);
    EXPECT_TRUE(o.Item(u"2000"_qs).isEmpty());
    EXPECT_EQ(o.Keys().at(1500), u"1500");
}

TEST(JsonArray, IsOneBased) {
    JsonArray a;
    a.Add(u"x");
    a.Add(JsonValue::null());
    EXPECT_EQ(a.Count(), 2);
    EXPECT_EQ(a.Item(1).string(), u"x");
    EXPECT_TRUE(a.Item(2).isNull());
    EXPECT_THROW(a.Item(0), RuntimeError);
    EXPECT_THROW(a.Item(3), RuntimeError);
}

TEST(JsonValue, LooseAccessAndKinds) {
    auto o = std::make_shared<JsonObject>();
    auto a = std::make_shared<JsonArray>();
    a->Add(5);
    o->Add(u"list"_qs, a);
    const JsonValue v(o);
    EXPECT_EQ(v.Count(), 1);
    EXPECT_EQ(v.Item(u"list"_qs).Item(1).number(), Decimal::fromInt(5));
    EXPECT_TRUE(v.Item(u"missing"_qs).isEmpty());
    EXPECT_THROW(JsonValue(u"s").Item(u"k"_qs), RuntimeError);
    EXPECT_THROW(JsonValue().Count(), RuntimeError);
    EXPECT_THROW(v.Item(1), RuntimeError);

    // raw access of another kind reads as nothing
    EXPECT_EQ(JsonValue(true).string(), QString());
    EXPECT_TRUE(JsonValue(u"x").number().isZero());
    EXPECT_FALSE(JsonValue(u"x").boolean());
    EXPECT_EQ(JsonValue(u"x").object(), nullptr);
    EXPECT_TRUE(JsonValue(std::shared_ptr<JsonArray>()).isEmpty());
    EXPECT_TRUE(JsonValue("texto").isString());  // a literal text is not a Boolean
    EXPECT_TRUE(JsonValue(7).isNumber());
}

TEST(JsonValue, SubTreeOutlivesItsRootAndCopiesShareIt) {
    JsonValue list;
    {
        auto root = std::make_shared<JsonObject>();
        auto a = std::make_shared<JsonArray>();
        a->Add(u"comanda");
        root->Add(u"comanda"_qs, a);
        JsonValue rootValue(root);
        list = rootValue.Item(u"comanda"_qs);
    }
    EXPECT_EQ(list.Item(1).string(), u"comanda");
    JsonValue copy = list;
    list.array()->Add(1);
    EXPECT_EQ(copy.Count(), 2);
    JsonValue moved = std::move(copy);
    EXPECT_EQ(moved.Count(), 2);
    moved = JsonValue(u"s");
    const JsonValue& alias = moved;
    moved = alias;  // self-assignment keeps the value
    EXPECT_EQ(moved.string(), u"s");
}
