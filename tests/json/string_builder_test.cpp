#include "json/string_builder.h"

#include <gtest/gtest.h>

#include "json/runtime_error.h"
#include "text_ops.h"

using json::cStringBuilder;
using json::RuntimeError;

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

TEST(StringBuilder, NewBuilderIsEmptyWithDefaultChunk) {
    cStringBuilder b;
    EXPECT_EQ(b.Length(), 0);
    EXPECT_EQ(b.Capacity(), 0);
    EXPECT_EQ(b.ChunkSize(), 8192);
    EXPECT_EQ(b.toString(), QString());
}

TEST(StringBuilder, AppendGrowsByWholeChunksInOneStep) {
    cStringBuilder b;
    b.Append(u"x");
    EXPECT_EQ(b.Capacity(), 8192);
    cStringBuilder c;
    c.Append(repeat(u'a', 10000));
    EXPECT_EQ(c.Capacity(), 16384);
    EXPECT_EQ(c.Length(), 10000);
    c.Append(u"");
    EXPECT_EQ(c.Length(), 10000);
    c.AppendByVal(QStringLiteral("yz"));
    EXPECT_EQ(c.toString(), repeat(u'a', 10000) + u"yz");
}

TEST(StringBuilder, AppendOfItsOwnTextAcrossAGrowth) {
    cStringBuilder b;
    b.setChunkSize(4);
    b.Append(u"abcd");
    const QString s = b.toString();
    b.Append(QStringView(s));
    EXPECT_EQ(b.toString(), u"abcdabcd");
}

TEST(StringBuilder, AppendNLAddsCrLf) {
    cStringBuilder b;
    b.AppendNL(u"a");
    EXPECT_EQ(b.Length(), 3);
    EXPECT_EQ(b.toString(), u"a\r\n");
}

TEST(StringBuilder, TheStringReplacesAndKeepsLargerCapacity) {
    cStringBuilder b;
    b.TheString(repeat(u'a', 20000));
    EXPECT_EQ(b.Capacity(), 24576);
    EXPECT_EQ(b.Length(), 20000);
    b.TheString(u"short");
    EXPECT_EQ(b.Capacity(), 24576);
    EXPECT_EQ(b.toString(), u"short");
    b.TheString(u"");
    EXPECT_EQ(b.Capacity(), 0);
    EXPECT_EQ(b.Length(), 0);
}

TEST(StringBuilder, InsertAtEveryValidPositionAndRejectsOthers) {
    cStringBuilder b;
    b.Append(u"ace");
    b.Insert(1, u"b");
    b.InsertByVal(3, QStringLiteral("d"));
    b.Insert(0, u">");
    b.Insert(b.Length(), u"<");  // at Length appends
    EXPECT_EQ(b.toString(), u">abcde<");
    for (int bad : {b.Length() + 1, -1, -2147483647 - 1}) {
        expectError(9, [&] { b.Insert(bad, u"x"); });
        EXPECT_EQ(b.toString(), u">abcde<");
    }
    expectError(6, [&] { b.Insert(2147483647, u"x"); });  // twice the index does not fit
    EXPECT_EQ(b.toString(), u">abcde<");
}

TEST(StringBuilder, RemoveKeepsCapacityAndRejectsOutOfRange) {
    cStringBuilder b;
    b.Append(u"abcdef");
    b.Remove(1, 2);
    EXPECT_EQ(b.toString(), u"adef");
    b.Remove(4, 0);
    EXPECT_EQ(b.toString(), u"adef");
    for (auto [i, n] : {std::pair{5, 0}, {2, 3}, {-1, 1}, {0, -1}, {3, -2}}) {
        expectError(9, [&] { b.Remove(i, n); });
        EXPECT_EQ(b.toString(), u"adef");
    }
    b.Remove(0, b.Length());
    EXPECT_EQ(b.toString(), QString());
    EXPECT_EQ(b.Capacity(), 8192);
}

TEST(StringBuilder, FindExactAndIgnoringCase) {
    cStringBuilder b;
    b.Append(u"Año nuevo, AÑO viejo");
    EXPECT_EQ(b.Find(u"AÑO"), 12);
    EXPECT_EQ(b.Find(u"AÑO", 1, 1), 1);  // ñ folds to Ñ
    EXPECT_EQ(b.Find(u"año", 2, 1), 12);
    EXPECT_EQ(b.Find(u"año", -5, 1), 1);  // below 1 reads as 1
    EXPECT_EQ(b.Find(u"o"), 3);
    EXPECT_EQ(b.Find(u"viejo"), 16);  // a match ending on the last character counts
    EXPECT_EQ(b.Find(u"o", 20), 20);
    EXPECT_EQ(b.Find(u"x"), 0);
    EXPECT_EQ(b.Find(u"o", 21), 0);
}

TEST(StringBuilder, FindNeverMatchesIntoTheFreeTail) {
    cStringBuilder b;
    b.Append(u"abc   ");
    b.Remove(3, 3);  // the tail still holds the blanks
    EXPECT_EQ(b.Find(u"c "), 0);
    EXPECT_EQ(b.Find(u" "), 0);
    EXPECT_EQ(b.Find(u"c"), 3);
}

TEST(StringBuilder, HeapMinimizeKeepsAtMostOneFreeChunk) {
    cStringBuilder b;
    b.TheString(repeat(u'a', 20000));
    b.TheString(repeat(u'b', 10));
    ASSERT_EQ(b.Capacity(), 24576);
    b.HeapMinimize();
    EXPECT_EQ(b.Capacity(), 8192);
    EXPECT_EQ(b.toString(), repeat(u'b', 10));

    cStringBuilder e;
    e.Append(u"x");
    e.Remove(0, 1);
    e.HeapMinimize();
    EXPECT_EQ(e.Capacity(), 8192);

    cStringBuilder f;  // exactly one chunk free above the text: nothing changes
    f.TheString(repeat(u'a', 16384));
    f.TheString(repeat(u'a', 8192));
    f.HeapMinimize();
    EXPECT_EQ(f.Capacity(), 16384);
}

TEST(StringBuilder, ChunkSizeAndClear) {
    cStringBuilder b;
    b.setChunkSize(10);
    b.Append(u"abcdefghijk");
    EXPECT_EQ(b.Capacity(), 20);
    b.Clear();
    EXPECT_EQ(b.Capacity(), 0);
    EXPECT_EQ(b.Length(), 0);
    EXPECT_EQ(b.ChunkSize(), 10);
    for (int bad : {0, -1}) {
        expectError(5, [&] { b.setChunkSize(bad); });
        EXPECT_EQ(b.ChunkSize(), 10);
    }
    expectError(6, [&] { b.setChunkSize(1 << 30); });
    EXPECT_EQ(b.ChunkSize(), 10);
}
