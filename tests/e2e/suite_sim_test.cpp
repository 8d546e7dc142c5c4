// The simulator's wire helpers: how it reads the print server's stream and the fetch target.
#include <gtest/gtest.h>

#include "wire.h"

using namespace suitesim;

namespace {

QList<QByteArray> objects(const QList<MessageSplitter::Piece>& pieces) {
    QList<QByteArray> out;
    for (const auto& p : pieces)
        if (p.object) out.append(p.text);
    return out;
}

}  // namespace

TEST(MessageSplitter, SeparatesObjectsWrittenBackToBackAndAcrossDeliveries) {
    MessageSplitter s;
    const QByteArray stream =
        R"({"idSyA":"123456789012345","type":"id"}{"idSyA":"123456789012345","status":"0"})";
    EXPECT_EQ(objects(s.feed(stream)).size(), 2);

    // Every possible cut of two messages yields the same two objects, in order.
    for (qsizetype cut = 1; cut < stream.size(); ++cut) {
        MessageSplitter t;
        QList<QByteArray> got = objects(t.feed(stream.left(cut)));
        got += objects(t.feed(stream.mid(cut)));
        ASSERT_EQ(got.size(), 2) << "cut at " << cut;
        EXPECT_EQ(got[0] + got[1], stream);
        EXPECT_EQ(t.pendingSize(), 0);
    }
}

TEST(MessageSplitter, BracesInsideStringsAndEscapedQuotesDoNotEndAnObject) {
    MessageSplitter s;
    const QByteArray msg = R"({"idSyA":"a}\"{b","type":"id"})";
    const auto got = objects(s.feed(msg + "junk"));
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0], msg);
    const ServerMessage m = classifyMessage(got[0]);
    EXPECT_EQ(m.kind, ServerMessage::Kind::Identify);
    EXPECT_EQ(m.code, QStringLiteral("a}\"{b"));
}

TEST(MessageSplitter, StrayBytesAreNoiseAndAnUnclosedFloodIsDropped) {
    MessageSplitter s;
    const auto pieces = s.feed("hello{\"status\":\"1\",\"idSyA\":\"x\"}");
    ASSERT_EQ(pieces.size(), 2);
    EXPECT_FALSE(pieces[0].object);
    EXPECT_EQ(pieces[0].text, "hello");
    EXPECT_EQ(classifyMessage(pieces[1].text).kind, ServerMessage::Kind::Status);
    EXPECT_EQ(classifyMessage(pieces[1].text).status, QStringLiteral("1"));

    s.feed("{\"open\":\"");
    s.feed(QByteArray(2 << 20, 'a'));
    EXPECT_EQ(s.pendingSize(), 0);
    EXPECT_EQ(objects(s.feed("{\"a\":1}")).size(), 1);
}

TEST(HttpRequest, TakesWholeRequestsOnlyAndRejectsNonsense) {
    QByteArray buffer = "GET /?r=servicio/getImpresiones&idSyA=1 HTTP/1.1\r\nHost: x\r\n";
    bool bad = false;
    EXPECT_FALSE(takeHttpRequest(buffer, bad));
    EXPECT_FALSE(bad);
    buffer += "\r\nPOST / HTTP/1.1\r\nContent-Length: 3\r\n\r\nab";
    const auto first = takeHttpRequest(buffer, bad);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->method, "GET");
    EXPECT_FALSE(takeHttpRequest(buffer, bad)) << "body not complete yet";
    buffer += "cGET";
    const auto second = takeHttpRequest(buffer, bad);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->method, "POST");
    EXPECT_EQ(buffer, "GET");

    QByteArray garbage = "\x16\x03\x01 not http\r\n\r\n";
    EXPECT_FALSE(takeHttpRequest(garbage, bad));
    EXPECT_TRUE(bad);
    QByteArray endless(70 * 1024, 'x');
    EXPECT_FALSE(takeHttpRequest(endless, bad));
    EXPECT_TRUE(bad);
}

TEST(HttpRequest, BranchCodeOfTheJobTarget) {
    EXPECT_EQ(branchOfJobTarget("/?r=servicio/getImpresiones&idSyA=123456789012345"),
              QStringLiteral("123456789012345"));
    // The print server percent-encodes the code; the simulator queues by the decoded code.
    EXPECT_EQ(branchOfJobTarget("/?r=servicio/getImpresiones&idSyA=A%20B%26C%22"),
              QStringLiteral("A B&C\""));
    EXPECT_EQ(branchOfJobTarget("/?r=servicio/getImpresiones&idSyA="), QString());
    EXPECT_FALSE(branchOfJobTarget("/?r=servicio/otra&idSyA=1"));
    EXPECT_FALSE(branchOfJobTarget("/x?r=servicio/getImpresiones&idSyA=1"));
    EXPECT_FALSE(branchOfJobTarget("/?r=servicio/getImpresiones"));
    EXPECT_FALSE(branchOfJobTarget("http://elsewhere/"));
}

TEST(HttpResponse, LengthCountsBytesNotCharacters) {
    const QByteArray body = QStringLiteral("XXXXX{\"a\":\"ñ\"}").toUtf8();
    const QByteArray r = httpResponse(200, "text/plain; charset=utf-8", body);
    EXPECT_TRUE(r.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(r.contains("Content-Length: " + QByteArray::number(body.size()) + "\r\n"));
    EXPECT_TRUE(r.endsWith("\r\n\r\n" + body));
    EXPECT_TRUE(httpResponse(500, "text/plain", "x").startsWith("HTTP/1.1 500 "));
}

TEST(LogField, KeepsFieldsSplittableOnBlanks) {
    EXPECT_EQ(logField(QStringLiteral("123")), QStringLiteral("123"));
    EXPECT_EQ(logField(QString()), QStringLiteral("\"\""));
    EXPECT_EQ(logField(QStringLiteral("a b\\c\r\n\x01")),
              QStringLiteral("a\\x20b\\\\c\\r\\n\\x01"));
}
