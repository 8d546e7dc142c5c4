#include <gtest/gtest.h>

#include "banco.h"
#include "json/runtime_error.h"

namespace printing::test {
namespace {

using T = PrintItem;

class TapeDeviceTest : public ::testing::Test {
  protected:
    TapePrinterSystem sistema;
    TapeDevice& d = sistema.addPrinter(QStringLiteral("Cocina"), 4535);

    QString unica() {
        EXPECT_EQ(sistema.outputs().size(), 1u);
        return sistema.outputs().empty() ? QString()
                                         : QString::fromUtf8(sistema.outputs().back().content);
    }
};

TEST_F(TapeDeviceTest, LinesCarrySizeAndBoldInForceWhenTheyEnd) {
    d.setFontSize(7);
    d.Print({T::Text(QStringLiteral("uno"))});
    d.setFontSize(12.5f);
    d.setFontBold(true);
    d.Print({T::Text(QStringLiteral("dos "))}, true);
    d.setFontSize(16);
    d.Print({T::Text(QStringLiteral("tres  "))});
    d.EndDoc();
    EXPECT_EQ(unica(), cinta({"7|uno", "16B|dos tres  "}));
}

TEST_F(TapeDeviceTest, TabsPadToTheColumnAndPassedColumnsContinueOnTheNextLine) {
    d.Print({T::Text(QStringLiteral("ab")), T::Tab(5), T::Text(QStringLiteral("c"))});
    d.Print({T::Tab(0), T::Text(QStringLiteral("x")), T::Tab(-3), T::Text(QStringLiteral("y"))});
    d.Print({T::Text(QStringLiteral("abcdef")), T::Tab(3), T::Text(QStringLiteral("z"))});
    d.Print({T::Text(QStringLiteral("abc")), T::Tab(4), T::Text(QStringLiteral("d"))});
    d.EndDoc();
    EXPECT_EQ(unica(), cinta({"10|ab  c", "10|x", "10|y", "10|abcdef", "10|  z", "10|abcd"}));
}

TEST_F(TapeDeviceTest, EmptyItemListPrintsAnEmptyLineAndAnOpenLineEndsWithTheDocument) {
    d.Print({});
    d.Print({T::Text(QStringLiteral("a\r\nb\nc\rd"))});
    d.Print({T::Text(QStringLiteral("abierta"))}, true);
    d.EndDoc();
    EXPECT_EQ(unica(), cinta({"10|", "10|a", "10|b", "10|c", "10|d", "10|abierta"}));
}

TEST_F(TapeDeviceTest, KillDocDiscardsAndEndDocWithoutDocumentDoesNothing) {
    d.EndDoc();
    d.Print({T::Text(QStringLiteral("no"))});
    d.Print({T::Text(QStringLiteral("tampoco"))}, true);
    d.KillDoc();
    EXPECT_FALSE(d.documentOpen());
    d.EndDoc();
    EXPECT_TRUE(sistema.outputs().empty());
    d.Print({T::Text(QStringLiteral("si"))});
    d.EndDoc();
    EXPECT_EQ(unica(), cinta({"10|si"}));
}

TEST_F(TapeDeviceTest, MetricsAndPicture) {
    d.setFontSize(7);
    EXPECT_DOUBLE_EQ(d.TextWidth(QString(30, u'=')), 2520);
    EXPECT_DOUBLE_EQ(d.TextHeight(QStringLiteral("X")), 168);
    d.setFontSize(12.5f);
    EXPECT_DOUBLE_EQ(d.TextWidth(QStringLiteral("ñ")), 150);
    d.PaintPicture(QStringLiteral("logo.bmp"), 100, 0, 2000, 1500);
    d.EndDoc();
    EXPECT_EQ(unica(), cinta({"PICTURE|100,0,2000,1500"}));
}

TEST_F(TapeDeviceTest, OfflinePrinterFailsWithItsDescription) {
    sistema.setOffline(QStringLiteral("Cocina"), true, QStringLiteral("Sin papel"));
    try {
        d.Print({});
        FAIL() << "no error";
    } catch (const json::RuntimeError& err) {
        EXPECT_EQ(err.number(), json::err::PrinterError);
        EXPECT_EQ(err.description(), QStringLiteral("Sin papel"));
    }
    EXPECT_THROW(sistema.WriteRaw(QStringLiteral("Cocina"), "x"), json::RuntimeError);
    EXPECT_FALSE(d.documentOpen());
}

TEST_F(TapeDeviceTest, SystemListsPrintersAndKeepsOutputInOrder) {
    sistema.addPrinter(QStringLiteral("Bar"), 3288);
    EXPECT_EQ(sistema.Printers(), QStringList({"Cocina", "Bar"}));
    EXPECT_EQ(sistema.DefaultPrinterName(), QString());
    EXPECT_THROW(sistema.Printer(2), json::RuntimeError);
    EXPECT_THROW(sistema.Printer(-1), json::RuntimeError);
    EXPECT_EQ(sistema.Printer(1).PageWidth(), 3288);

    sistema.WriteRaw(QStringLiteral("Bar"), QByteArray("\x1B\x70\x00", 3));
    d.Print({T::Text(QStringLiteral("a"))});
    d.EndDoc();
    EXPECT_THROW(sistema.WriteRaw(QStringLiteral("Nadie"), "x"), json::RuntimeError);
    ASSERT_EQ(sistema.outputs().size(), 2u);
    EXPECT_EQ(sistema.outputs()[0].kind, TapeOutput::Kind::Raw);
    EXPECT_EQ(sistema.outputs()[0].content, QByteArray("\x1B\x70\x00", 3));
    EXPECT_EQ(sistema.outputs()[1].printer, QStringLiteral("Cocina"));
}

}  // namespace
}  // namespace printing::test
