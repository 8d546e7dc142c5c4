#include "json/parser.h"

#include <gtest/gtest.h>

#include "json/canonical.h"
#include "json/runtime_error.h"
#include "text_ops.h"

using namespace json;

namespace {

struct Result {
    QString tree;  // canonical form, "nothing" without a root
    QString errors;
};

Result read(const QString& text) {
    const auto [root, errors] = parse(text);
    return {root.isEmpty() ? u"nothing"_qs : QString::fromUtf8(canonicalForm(root)), errors};
}

void expectRead(const QString& text, const QString& tree, const QString& errors = QString()) {
    const Result r = read(text);
    EXPECT_EQ(r.tree, tree) << qPrintable(text);
    EXPECT_EQ(r.errors, errors) << qPrintable(text);
}

}  // namespace

TEST(Parse, RootsAndWhatSurroundsThem) {
    expectRead(u"{}"_qs, u"{}"_qs);
    expectRead(u"[]"_qs, u"[]"_qs);
    expectRead(u"({\"a\":1})"_qs, u"{\"a\":1}"_qs);
    expectRead(u" \t\r\n// line\n/* block */ ( [1] ) trailing text {"_qs, u"[1]"_qs);
    for (const QString& scalar : {u"123"_qs, u"\"s\""_qs, u"true"_qs, u""_qs, u"  "_qs, u"}"_qs})
        expectRead(scalar, u"nothing"_qs, u"Invalid JSON"_qs);
}

TEST(Parse, EachResultKeepsItsOwnErrorsAndTheWrapperGivesTheLast) {
    const ParseResult bad = parse(u"x"_qs);
    EXPECT_EQ(parseErrors(), u"Invalid JSON");
    const ParseResult good = parse(u"[]"_qs);
    EXPECT_EQ(parseErrors(), QString());
    EXPECT_EQ(bad.errors, u"Invalid JSON");
    EXPECT_TRUE(bad.value.isEmpty());
    EXPECT_EQ(good.errors, QString());
    EXPECT_TRUE(good.value.isArray());
}

TEST(Parse, BlankSkipperFollowsItsTable) {
    expectRead(u"/**/[1]"_qs, u"[1]"_qs);
    expectRead(u"/* x * y / [1]"_qs, u"[1]"_qs);  // a "*" later followed by "/" ends it
    expectRead(u"/* a * b */[2]"_qs, u"nothing"_qs, u"Invalid JSON"_qs);  // second "*" clears
    expectRead(u"/* a **/[1]"_qs, u"nothing"_qs, u"Invalid JSON"_qs);     // two stars, no end
    expectRead(u"/* a **/ */[3]"_qs, u"[3]"_qs);
    expectRead(u"/* line\nbreaks */[4]"_qs, u"[4]"_qs);
    expectRead(u"// a/b\n[5]"_qs, u"nothing"_qs, u"Invalid JSON"_qs);  // "/" ends a line comment
    expectRead(u"* [6]"_qs, u"[6]"_qs);                                // lone marks are skipped
    expectRead(u"/ [6]"_qs, u"[6]"_qs);
    expectRead(u"* / [6]"_qs, u"nothing"_qs,
               u"Invalid JSON"_qs);  // "*" then "/" opens a line comment
    expectRead(u"*/ comment\n[7]"_qs, u"[7]"_qs);
    expectRead(u"[1,/*c*/2 // c\n, (3)]"_qs, u"[1,2,3]"_qs);
}

TEST(Parse, KeysQuotedSingleQuotedOrBare) {
    expectRead(u"{\"a b\": 1, abc: 2, 'c d' :3, \"x:y\":4, q\\x:5}"_qs,
               u"{\"ab\":1,\"abc\":2,\"cd\":3,\"x:y\":4,\"q\\\\x\":5}"_qs);
    expectRead(u"{\"a\"\r\n\t:1, \"say\" 2}"_qs, u"{\"a\":1,\"say\":2}"_qs,
               u"Invalid Key at position 18 : say\r\n"_qs);
    expectRead(u"{'it\"s': 1}"_qs, u"{\"its:1}\":empty}"_qs, u"Missing '}': {'it\"s': 1}\r\n"_qs);
}

TEST(Parse, StringsAndEscapes) {
    expectRead(u"['say \"hi\"', \"it's\"]"_qs, u"[\"say \\\"hi\\\"\",\"it's\"]"_qs);
    const Result r = read(
        u"[\"\\u00e9\", \"\\u0041BC\", \"\\q\", \"\\/\\'\\\\\", \"\\b\\f\\n\\r\\t\","
        " \"\\uZZZZ!\", \"\\u12G4x\", \"\\uD83D\\uDE00\"]"_qs);
    EXPECT_EQ(r.errors, QString());
    const JsonValue root =
        parse(
            u"[\"\\u00e9\", \"\\u0041BC\", \"\\q\", \"\\/\\'\\\\\", \"\\b\\f\\n\\r\\t\","
            " \"\\uZZZZ!\", \"\\u12G4x\", \"\\uD83D\\uDE00\"]"_qs)
            .value;
    EXPECT_EQ(root.item(1).string(), u"é");
    EXPECT_EQ(root.item(2).string(), u"ABC");
    EXPECT_EQ(root.item(3).string(), u"q");
    EXPECT_EQ(root.item(4).string(), u"/'\\");
    EXPECT_EQ(root.item(5).string(), u"\b\f\n\r\t");
    EXPECT_EQ(root.item(6).string(), QString(QChar(0)) + u"!");  // four characters skipped
    EXPECT_EQ(root.item(7).string(), QString(QChar(0x12)) + u"x");
    EXPECT_EQ(root.item(8).string(), u"😀");
}

TEST(Parse, UnterminatedStringsEndQuietly) {
    expectRead(u"[\"abc"_qs, u"[\"abc\"]"_qs, u"Missing ']': [\"abc\r\n"_qs);
    expectRead(u"[\"\\u12"_qs, u"[\"\\u0012\"]"_qs, u"Missing ']': [\"\\u12\r\n"_qs);
    expectRead(u"[\"ab\\"_qs, u"[\"ab\"]"_qs, u"Missing ']': [\"ab\\\r\n"_qs);
}

TEST(Parse, NumbersAndConversionFailures) {
    expectRead(u"[12.999, -0.5, 1e3, 2.5E-1, -12.349, +7, 1e-999999999, 0e999999999]"_qs,
               u"[12.99,-0.5,1000,0.25,-12.34,7,0,0]"_qs);
    expectRead(u"[1,]"_qs, u"[1]"_qs, u"Invalid number: ]\r\n"_qs);
    expectRead(u"[1, 2x, 3]"_qs, u"[1,2]"_qs, u"Invalid number: x, 3]\r\n"_qs);
    expectRead(u"[1e999999999]"_qs, u"[]"_qs, u"Invalid number: ]\r\n"_qs);
    expectRead(u"{\"a\":1, \"b\": 1.2.3, \"c\": 4}"_qs, u"{\"a\":1}"_qs,
               u"Invalid number: b\r\n"_qs);
    // a number cut off by the end of the text has no value
    expectRead(u"[12"_qs, u"[empty]"_qs, u"Missing ']': [12\r\n"_qs);
    expectRead(u"{\"a\":12"_qs, u"{\"a\":empty}"_qs, u"Missing '}': {\"a\":12\r\n"_qs);
}

TEST(Parse, LiteralsAndTheirFailures) {
    expectRead(u"[true,false,null]"_qs, u"[true,false,null]"_qs);
    expectRead(u"{\"a\": tru}"_qs, u"{\"a\":false,\"tru}\":empty}"_qs,
               u"Invalid Boolean at position 7 : tru}\r\nMissing '}': {\"a\": tru}\r\n"_qs);
    expectRead(u"{\"a\":nul,\"b\":2}"_qs, u"{\"a\":empty,\"nul,b\":2}"_qs,
               u"Invalid null value at position 6 : nul,\"b\":2}\r\n"_qs);
    // an array ends at a bad literal; the position has not moved
    expectRead(u"[1, fals, 2]"_qs, u"[1]"_qs, u"Invalid Boolean at position 5 : fals, 2]\r\n"_qs);
    expectRead(u"[[nil], 2]"_qs, u"[[]]"_qs,
               u"Invalid null value at position 3 : nil], 2]\r\n"
               u"Invalid null value at position 3 : nil], 2]\r\n"_qs);
}

TEST(Parse, ObjectsTrailingCommasAndRepeatedKeys) {
    expectRead(u"{\"a\":1,}"_qs, u"{\"a\":1,\"}\":empty}"_qs, u"Missing '}': {\"a\":1,}\r\n"_qs);
    expectRead(u"{\"a\":1,\"a\":2,\"b\":3}"_qs, u"{\"a\":1}"_qs, u"Duplicate key: a\r\n"_qs);
    // a failure ends only its own container; the enclosing one reads on from there
    expectRead(u"[{\"a\":1,\"a\":2},5]"_qs, u"[{\"a\":1}]"_qs,
               u"Duplicate key: a\r\nInvalid number: },5]\r\n"_qs);
    expectRead(u"{\"x\":[1,]  , \"y\":2}"_qs, u"{\"x\":[1],\"],y\":2}"_qs,
               u"Invalid number: ]  , \"y\":2}\r\n"_qs);
    expectRead(u"{\"a\":1"_qs, u"{\"a\":empty}"_qs, u"Missing '}': {\"a\":1\r\n"_qs);
    expectRead(u"{\"a\":1,"_qs, u"{\"a\":1,\"\":empty}"_qs, u"Missing '}': {\"a\":1,\r\n"_qs);
    expectRead(u"[1,2"_qs, u"[1,empty]"_qs, u"Missing ']': [1,2\r\n"_qs);
    const QString longText = u"[\"0123456789\", \"abcdefghij\""_qs;
    expectRead(longText, u"[\"0123456789\",\"abcdefghij\"]"_qs,
               u"Missing ']': 56789\", \"abcdefghij\"\r\n"_qs);
}

TEST(Parse, NestingIsCappedAt512Levels) {
    const QString ok = QString(512, u'[') + QString(512, u']');
    EXPECT_EQ(read(ok).errors, QString());

    const QString deep = QString(513, u'[') + QString(513, u']');
    EXPECT_EQ(read(deep).errors,
              u"Nesting too deep at position 513: [" + QString(19, u']') + u"\r\n");

    QString objects;
    for (int i = 0; i < 513; ++i) objects += u"{\"a\":";
    objects += u"1" + QString(513, u'}');
    // the level below reads on from the refused bracket: "{" and "a" become its next key
    const Result r = read(objects);
    EXPECT_EQ(r.errors, u"Nesting too deep at position 2561: a\r\n");
    EXPECT_TRUE(r.tree.endsWith(u"{\"a\":{},\"{a\":1}" + QString(510, u'}')));

    QString mixed;  // objects and arrays count together
    for (int i = 0; i < 300; ++i) mixed += u"{\"k\":[";
    EXPECT_TRUE(read(mixed).errors.startsWith(
        u"Nesting too deep at position 1537: {\"k\":[{\"k\":[{\"k\":[{\"\r\n"));
}

TEST(Parse, AMillionBracketsEndWithoutExhaustingTheStack) {
    const Result r = read(QString(1000000, u'['));
    EXPECT_TRUE(r.errors.startsWith(u"Nesting too deep at position 513: [[[[[[[[[[[[[[[[[[[[\r\n"));
    EXPECT_LT(r.errors.size(), 65536 + 100);
}

TEST(Parse, ErrorTextStopsGrowingPastItsCap) {
    // thousands of short messages: appended while the text is below 65,536 characters
    QString text = u"{"_qs;
    QString expected;
    for (int i = 0; i < 5000; ++i) {
        const QString key = u"k" + QString::number(i);
        expected += u"Invalid Key at position " + QString::number(text.size() + key.size() + 4) +
                    u" : " + key + u"\r\n";
        text += u"\"" + key + u"\" 1,";
    }
    text += u"}";
    const Result r = read(text);
    ASSERT_GE(r.errors.size(), 65536);
    EXPECT_LT(r.errors.size(), 65536 + 40);
    EXPECT_TRUE(expected.startsWith(r.errors));
    EXPECT_TRUE(r.errors.endsWith(u"\r\n"));

    // one bad literal copies the rest of a large text once; later ones add nothing
    QString literals = u"["_qs;
    for (int i = 0; i < 40000; ++i) literals += u"{x:t}"_qs;
    const Result big = read(literals);
    EXPECT_EQ(big.errors, u"Invalid Boolean at position 5 : " + literals.mid(4) + u"\r\n");
}

TEST(Parse, RecordsWithTheSameKeysStayIndependent) {
    // objects read with the same keys share their key list; changing one leaves the others
    QString text = u"["_qs;
    for (int i = 0; i < 3; ++i) {
        text += u"{\"id\":" + QString::number(i);
        for (int k = 0; k < 10; ++k) text += u",\"k" + QString::number(k) + u"\":\"v\"";
        text += u"},";
    }
    text += u"{\"id\":9}]";
    const auto [root, errors] = parse(text);
    ASSERT_EQ(errors, QString());
    const auto first = root.item(1).object();
    const auto second = root.item(2).object();
    second->add(u"extra"_qs, true);
    second->set(u"k3"_qs, u"changed");
    EXPECT_EQ(first->count(), 11);
    EXPECT_FALSE(first->exists(u"extra"_qs));
    EXPECT_EQ(first->item(u"k3"_qs).string(), u"v");
    EXPECT_EQ(second->item(u"k3"_qs).string(), u"changed");
    EXPECT_EQ(second->item(u"extra"_qs).boolean(), true);
    EXPECT_EQ(root.item(3).item(u"id"_qs).number(), Decimal::fromInt(2));
    EXPECT_EQ(root.item(3).item(u"k9"_qs).string(), u"v");
    EXPECT_THROW(root.item(3).object()->add(u"k0"_qs, 1), RuntimeError);
    EXPECT_EQ(root.item(4).count(), 1);
}
