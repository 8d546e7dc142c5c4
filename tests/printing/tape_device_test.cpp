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
    d.print({T::ofText(QStringLiteral("uno"))});
    d.setFontSize(12.5f);
    d.setFontBold(true);
    d.print({T::ofText(QStringLiteral("dos "))}, true);
    d.setFontSize(16);
    d.print({T::ofText(QStringLiteral("tres  "))});
    d.endDoc();
    EXPECT_EQ(unica(), cinta({"7|uno", "16B|dos tres  "}));
}

TEST_F(TapeDeviceTest, TabsPadToTheColumnAndPassedColumnsContinueOnTheNextLine) {
    d.print({T::ofText(QStringLiteral("ab")), T::tabTo(5), T::ofText(QStringLiteral("c"))});
    d.print({T::tabTo(0), T::ofText(QStringLiteral("x")), T::tabTo(-3),
             T::ofText(QStringLiteral("y"))});
    d.print({T::ofText(QStringLiteral("abcdef")), T::tabTo(3), T::ofText(QStringLiteral("z"))});
    d.print({T::ofText(QStringLiteral("abc")), T::tabTo(4), T::ofText(QStringLiteral("d"))});
    d.endDoc();
    EXPECT_EQ(unica(), cinta({"10|ab  c", "10|x", "10|y", "10|abcdef", "10|  z", "10|abcd"}));
}

TEST_F(TapeDeviceTest, EmptyItemListPrintsAnEmptyLineAndAnOpenLineEndsWithTheDocument) {
    d.print({});
    d.print({T::ofText(QStringLiteral("a\r\nb\nc\rd"))});
    d.print({T::ofText(QStringLiteral("abierta"))}, true);
    d.endDoc();
    EXPECT_EQ(unica(), cinta({"10|", "10|a", "10|b", "10|c", "10|d", "10|abierta"}));
}

TEST_F(TapeDeviceTest, KillDocDiscardsAndEndDocWithoutDocumentDoesNothing) {
    d.endDoc();
    d.print({T::ofText(QStringLiteral("no"))});
    d.print({T::ofText(QStringLiteral("tampoco"))}, true);
    d.killDoc();
    EXPECT_FALSE(d.documentOpen());
    d.endDoc();
    EXPECT_TRUE(sistema.outputs().empty());
    d.print({T::ofText(QStringLiteral("si"))});
    d.endDoc();
    EXPECT_EQ(unica(), cinta({"10|si"}));
}

TEST_F(TapeDeviceTest, MetricsAndPicture) {
    d.setFontSize(7);
    EXPECT_DOUBLE_EQ(d.textWidth(QString(30, u'=')), 2520);
    EXPECT_DOUBLE_EQ(d.textHeight(QStringLiteral("X")), 168);
    d.setFontSize(12.5f);
    EXPECT_DOUBLE_EQ(d.textWidth(QStringLiteral("ñ")), 150);
    d.paintPicture(QStringLiteral("logo.bmp"), 100, 0, 2000, 1500);
    d.endDoc();
    EXPECT_EQ(unica(), cinta({"PICTURE|100,0,2000,1500"}));
}

TEST_F(TapeDeviceTest, OfflinePrinterFailsWithItsDescription) {
    sistema.setOffline(QStringLiteral("Cocina"), true, QStringLiteral("Sin papel"));
    try {
        d.print({});
        FAIL() << "no error";
    } catch (const json::RuntimeError& err) {
        EXPECT_EQ(err.number(), json::err::PrinterError);
        EXPECT_EQ(err.description(), QStringLiteral("Sin papel"));
    }
    EXPECT_THROW(sistema.writeRaw(QStringLiteral("Cocina"), "x"), json::RuntimeError);
    EXPECT_FALSE(d.documentOpen());
}

TEST_F(TapeDeviceTest, SystemListsPrintersAndKeepsOutputInOrder) {
    sistema.addPrinter(QStringLiteral("Bar"), 3288);
    EXPECT_EQ(sistema.printers(), QStringList({"Cocina", "Bar"}));
    EXPECT_EQ(sistema.defaultPrinterName(), QString());
    EXPECT_THROW(sistema.printer(2), json::RuntimeError);
    EXPECT_THROW(sistema.printer(-1), json::RuntimeError);
    EXPECT_EQ(sistema.printer(1).pageWidth(), 3288);

    sistema.writeRaw(QStringLiteral("Bar"), QByteArray("\x1B\x70\x00", 3));
    d.print({T::ofText(QStringLiteral("a"))});
    d.endDoc();
    EXPECT_THROW(sistema.writeRaw(QStringLiteral("Nadie"), "x"), json::RuntimeError);
    ASSERT_EQ(sistema.outputs().size(), 2u);
    EXPECT_EQ(sistema.outputs()[0].kind, TapeOutput::Kind::Raw);
    EXPECT_EQ(sistema.outputs()[0].content, QByteArray("\x1B\x70\x00", 3));
    EXPECT_EQ(sistema.outputs()[1].printer, QStringLiteral("Cocina"));
}

}  // namespace
}  // namespace printing::test
