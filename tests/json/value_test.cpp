#include "json/value.h"

#include <gtest/gtest.h>

#include "json/runtime_error.h"
#include "text_ops.h"

using namespace json;

TEST(JsonObject, KeysAreExactAndKeepInsertionOrder) {
    JsonObject o;
    o.add(u"b"_qs, 1);
    o.add(u"a"_qs, u"x");
    o.add(u"A"_qs, true);
    EXPECT_EQ(o.count(), 3);
    EXPECT_EQ(o.keys(), (QStringList{u"b"_qs, u"a"_qs, u"A"_qs}));
    EXPECT_EQ(o.item(u"a"_qs).string(), u"x");
    EXPECT_TRUE(o.item(u"A"_qs).boolean());
    EXPECT_TRUE(o.item(u"a "_qs).isEmpty());  // no trimming or folding
    EXPECT_FALSE(o.exists(u"B"_qs));
}

TEST(JsonObject, AddOfAHeldKeyFailsAndKeepsTheValue) {
    JsonObject o;
    o.add(u"k"_qs, 1);
    try {
        o.add(u"k"_qs, 2);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::DuplicateKey);
        EXPECT_EQ(e.description(), u"Duplicate key");
    }
    EXPECT_EQ(o.item(u"k"_qs).number(), Decimal::fromInt(1));
    EXPECT_EQ(o.count(), 1);
    o.set(u"k"_qs, 3);
    o.set(u"n"_qs, 4);
    EXPECT_EQ(o.item(u"k"_qs).number(), Decimal::fromInt(3));
    EXPECT_EQ(o.count(), 2);
}

TEST(JsonObject, LargeObjectsFindEveryKeyAndRejectDuplicates) {
    JsonObject o;
    for (int i = 0; i < 2000; ++i) o.add(QString::number(i), i);
    for (int i = 0; i < 2000; i += 7)
        EXPECT_EQ(o.item(QString::number(i)).number(), Decimal::fromInt(i));
    EXPECT_THROW(o.add(u"3"_qs, 0), RuntimeError);
    EXPECT_THROW(o.add(u"1999"_qs, 0), RuntimeError);
    EXPECT_TRUE(o.item(u"2000"_qs).isEmpty());
    EXPECT_EQ(o.keys().at(1500), u"1500");
}

TEST(JsonArray, IsOneBased) {
    JsonArray a;
    a.add(u"x");
    a.add(JsonValue::null());
    EXPECT_EQ(a.count(), 2);
    EXPECT_EQ(a.item(1).string(), u"x");
    EXPECT_TRUE(a.item(2).isNull());
    EXPECT_THROW(a.item(0), RuntimeError);
    EXPECT_THROW(a.item(3), RuntimeError);
}

TEST(JsonValue, LooseAccessAndKinds) {
    auto o = std::make_shared<JsonObject>();
    auto a = std::make_shared<JsonArray>();
    a->add(5);
    o->add(u"list"_qs, a);
    const JsonValue v(o);
    EXPECT_EQ(v.count(), 1);
    EXPECT_EQ(v.item(u"list"_qs).item(1).number(), Decimal::fromInt(5));
    EXPECT_TRUE(v.item(u"missing"_qs).isEmpty());
    EXPECT_THROW(JsonValue(u"s").item(u"k"_qs), RuntimeError);
    EXPECT_THROW(JsonValue().count(), RuntimeError);
    EXPECT_THROW(v.item(1), RuntimeError);

    // raw access of another kind reads as nothing
    EXPECT_EQ(JsonValue(true).string(), QString());
    EXPECT_TRUE(JsonValue(u"x").number().isZero());
    EXPECT_FALSE(JsonValue(u"x").boolean());
    EXPECT_EQ(JsonValue(u"x").object(), nullptr);
    EXPECT_TRUE(JsonValue(std::shared_ptr<JsonArray>()).isEmpty());
    EXPECT_TRUE(JsonValue("texto").isString());  // a literal text is not a Boolean
    EXPECT_TRUE(JsonValue(7).isNumber());
}

TEST(JsonValue, EveryKindSurvivesCopiesMovesAndListGrowth) {
    auto object = std::make_shared<JsonObject>();
    object->add(u"k"_qs, u"v");
    auto array = std::make_shared<JsonArray>();
    array->add(3);
    const QList<JsonValue> kinds = {
        JsonValue(),         JsonValue::null(), JsonValue(true), JsonValue(Decimal::fromInt(-42)),
        JsonValue(u"texto"), JsonValue(object), JsonValue(array)};
    // Growing the list moves its values in memory many times over.
    QList<JsonValue> values;
    for (int round = 0; round < 200; ++round)
        for (const JsonValue& v : kinds) values.append(v);
    values.insert(0, JsonValue(u"first"));
    values.removeAt(0);
    for (qsizetype i = 0; i < values.size(); ++i) {
        const JsonValue& v = values[i];
        const JsonValue& want = kinds[i % kinds.size()];
        ASSERT_EQ(v.kind(), want.kind()) << i;
        EXPECT_EQ(v.boolean(), want.boolean());
        EXPECT_EQ(v.number(), want.number());
        EXPECT_EQ(v.string(), want.string());
        EXPECT_EQ(v.object(), want.object());
        EXPECT_EQ(v.array(), want.array());
    }
    EXPECT_EQ(object.use_count(), 1 + 200 + 1);  // shared, never copied or leaked
    values.clear();
    EXPECT_EQ(object.use_count(), 2);

    JsonValue moved = JsonValue(u"s");
    JsonValue target = std::move(moved);
    EXPECT_EQ(target.string(), u"s");
    EXPECT_EQ(JsonValue(std::move(target)).kind(), JsonValue::Kind::String);
}

TEST(JsonValue, SubTreeOutlivesItsRootAndCopiesShareIt) {
    JsonValue list;
    {
        auto root = std::make_shared<JsonObject>();
        auto a = std::make_shared<JsonArray>();
        a->add(u"comanda");
        root->add(u"comanda"_qs, a);
        JsonValue rootValue(root);
        list = rootValue.item(u"comanda"_qs);
    }
    EXPECT_EQ(list.item(1).string(), u"comanda");
    JsonValue copy = list;
    list.array()->add(1);
    EXPECT_EQ(copy.count(), 2);
    JsonValue moved = std::move(copy);
    EXPECT_EQ(moved.count(), 2);
    moved = JsonValue(u"s");
    const JsonValue& alias = moved;
    moved = alias;  // self-assignment keeps the value
    EXPECT_EQ(moved.string(), u"s");
}
