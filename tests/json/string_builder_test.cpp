#include "json/string_builder.h"

#include <gtest/gtest.h>

#include "json/runtime_error.h"
#include "text_ops.h"

using json::RuntimeError;
using json::StringBuilder;

namespace {

// Runs f, expecting the numbered error, and returns the builder's text afterwards.
template <typename F>
void expectError(int number, F f) {
    try {
        f();
        ADD_FAILURE() << "no error raised";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), number);
    }
}

QString repeat(QChar c, int n) {
    return QString(n, c);
}

}  // namespace

TEST(StringBuilder, NewBuilderIsEmpty) {
    StringBuilder b;
    EXPECT_EQ(b.length(), 0);
    EXPECT_EQ(b.toString(), QString());
    EXPECT_EQ(b.find(u"x"), 0);
}

TEST(StringBuilder, AppendGrowsByWholeChunksInOneStep) {
    StringBuilder b;
    b.append(u"x");
    EXPECT_EQ(b.capacity(), 8192);
    StringBuilder c;
    c.append(repeat(u'a', 10000));
    EXPECT_EQ(c.capacity(), 16384);
    EXPECT_EQ(c.length(), 10000);
    c.append(u"");
    EXPECT_EQ(c.length(), 10000);
    c.append(QStringLiteral("yz"));
    EXPECT_EQ(c.toString(), repeat(u'a', 10000) + u"yz");
}

TEST(StringBuilder, AppendOfItsOwnTextAcrossAGrowth) {
    StringBuilder b;
    b.setChunkSize(4);
    b.append(u"abcd");
    const QString s = b.toString();
    b.append(QStringView(s));
    EXPECT_EQ(b.toString(), u"abcdabcd");
}

TEST(StringBuilder, AppendLineAddsCrLf) {
    StringBuilder b;
    b.appendLine(u"a");
    EXPECT_EQ(b.length(), 3);
    EXPECT_EQ(b.toString(), u"a\r\n");
}

TEST(StringBuilder, SetTextReplacesAndKeepsLargerCapacity) {
    StringBuilder b;
    b.setText(repeat(u'a', 20000));
    EXPECT_EQ(b.capacity(), 24576);
    EXPECT_EQ(b.length(), 20000);
    b.setText(u"short");
    EXPECT_EQ(b.capacity(), 24576);
    EXPECT_EQ(b.toString(), u"short");
    b.setText(u"");
    EXPECT_EQ(b.capacity(), 0);
    EXPECT_EQ(b.length(), 0);
}

TEST(StringBuilder, InsertAtEveryValidPositionAndRejectsOthers) {
    StringBuilder b;
    b.append(u"ace");
    b.insert(1, u"b");
    b.insert(3, QStringLiteral("d"));
    b.insert(0, u">");
    b.insert(b.length(), u"<");  // at Length appends
    EXPECT_EQ(b.toString(), u">abcde<");
    for (int bad : {b.length() + 1, -1, -2147483647 - 1}) {
        expectError(9, [&] { b.insert(bad, u"x"); });
        EXPECT_EQ(b.toString(), u">abcde<");
    }
    expectError(6, [&] { b.insert(2147483647, u"x"); });  // twice the index does not fit
    EXPECT_EQ(b.toString(), u">abcde<");
}

TEST(StringBuilder, RemoveKeepsCapacityAndRejectsOutOfRange) {
    StringBuilder b;
    b.append(u"abcdef");
    b.remove(1, 2);
    EXPECT_EQ(b.toString(), u"adef");
    b.remove(4, 0);
    EXPECT_EQ(b.toString(), u"adef");
    for (auto [i, n] : {std::pair{5, 0}, {2, 3}, {-1, 1}, {0, -1}, {3, -2}}) {
        expectError(9, [&] { b.remove(i, n); });
        EXPECT_EQ(b.toString(), u"adef");
    }
    b.remove(0, b.length());
    EXPECT_EQ(b.toString(), QString());
    EXPECT_EQ(b.capacity(), 8192);
}

TEST(StringBuilder, FindExactAndIgnoringCase) {
    StringBuilder b;
    b.append(u"Año nuevo, AÑO viejo");
    EXPECT_EQ(b.find(u"AÑO"), 12);
    EXPECT_EQ(b.find(u"AÑO", 1, 1), 1);  // ñ folds to Ñ
    EXPECT_EQ(b.find(u"año", 2, 1), 12);
    EXPECT_EQ(b.find(u"año", -5, 1), 1);  // below 1 reads as 1
    EXPECT_EQ(b.find(u"o"), 3);
    EXPECT_EQ(b.find(u"viejo"), 16);  // a match ending on the last character counts
    EXPECT_EQ(b.find(u"o", 20), 20);
    EXPECT_EQ(b.find(u"x"), 0);
    EXPECT_EQ(b.find(u"o", 21), 0);
}

TEST(StringBuilder, FindNeverMatchesIntoTheFreeTail) {
    StringBuilder b;
    b.append(u"abc   ");
    b.remove(3, 3);  // the tail still holds the blanks
    EXPECT_EQ(b.find(u"c "), 0);
    EXPECT_EQ(b.find(u" "), 0);
    EXPECT_EQ(b.find(u"c"), 3);
}

TEST(StringBuilder, HeapMinimizeKeepsAtMostOneFreeChunk) {
    StringBuilder b;
    b.setText(repeat(u'a', 20000));
    b.setText(repeat(u'b', 10));
    ASSERT_EQ(b.capacity(), 24576);
    b.heapMinimize();
    EXPECT_EQ(b.capacity(), 8192);
    EXPECT_EQ(b.toString(), repeat(u'b', 10));

    StringBuilder e;
    e.append(u"x");
    e.remove(0, 1);
    e.heapMinimize();
    EXPECT_EQ(e.capacity(), 8192);

    StringBuilder f;  // exactly one chunk free above the text: nothing changes
    f.setText(repeat(u'a', 16384));
    f.setText(repeat(u'a', 8192));
    f.heapMinimize();
    EXPECT_EQ(f.capacity(), 16384);
}

TEST(StringBuilder, ChunkSizeAndClear) {
    StringBuilder b;
    b.setChunkSize(10);
    b.append(u"abcdefghijk");
    EXPECT_EQ(b.capacity(), 20);
    b.clear();
    EXPECT_EQ(b.capacity(), 0);
    EXPECT_EQ(b.length(), 0);
    EXPECT_EQ(b.chunkSize(), 10);
    for (int bad : {0, -1}) {
        expectError(5, [&] { b.setChunkSize(bad); });
        EXPECT_EQ(b.chunkSize(), 10);
    }
    expectError(6, [&] { b.setChunkSize(1 << 30); });
    EXPECT_EQ(b.chunkSize(), 10);
}
