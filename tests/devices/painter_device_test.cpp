// The painter device: printer faces and their pitch, print positions, document life.
#include "printing/devices/painter_device.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "json/runtime_error.h"
#include "printing/devices/picture_size.h"
#include "support.h"

namespace {

using printing::PaintedDocument;
using printing::PainterDevice;
using printing::PrintItem;

class PainterDeviceTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { devices_test::ensureGuiApp(); }

    PainterDeviceTest() : device_("Cocina", 4535) {
        device_.setEndHook([this](const PaintedDocument& d) { ended_.push_back(d); });
    }

    // The text runs of the last ended document, page by page.
    std::vector<PaintedDocument::Text> texts(int page = 0) const {
        std::vector<PaintedDocument::Text> out;
        for (const auto& op : ended_.back().pages().at(page).ops) {
            if (const auto* t = std::get_if<PaintedDocument::Text>(&op)) out.push_back(*t);
        }
        return out;
    }

    PainterDevice device_;
    std::vector<PaintedDocument> ended_;
};

TEST_F(PainterDeviceTest, TicketFacesKeepTheirPitchAtEverySize) {
    device_.setFontName("Courier 17 CPI");
    for (float size : {7.0f, 12.0f, 16.0f}) {
        device_.setFontSize(size);
        // 17 characters to the inch (1440 twips), whatever the size.
        EXPECT_NEAR(device_.textWidth(QString(17, u'M')), 1440.0, 1440.0 * 0.015) << size;
        EXPECT_NEAR(device_.columnWidth(), 1440.0 / 17, 2.0) << size;
    }
    device_.setFontSize(7);
    const double small = device_.textHeight("HOLA");
    device_.setFontSize(16);
    EXPECT_NEAR(device_.textHeight("HOLA") / small, 16.0 / 7.0, 0.05);
    EXPECT_GT(small, 7 * 20.0);  // a line is taller than the letters' size

    // 32 columns of product line at 12 points fit a 58 mm roll (3288 twips).
    device_.setFontSize(12);
    EXPECT_LT(device_.textWidth(QString(36, u'0')), 3288.0);

    device_.setFontName("Courier 14 CPI");
    EXPECT_NEAR(device_.textWidth(QString(14, u'0')), 1440.0, 1440.0 * 0.015);
}

TEST_F(PainterDeviceTest, OtherFontNamesUseTheirFamilyOrThePrinterFace) {
    device_.setFontSize(10);
    device_.setFontName("Courier New");  // not installed here: the printer's own face
    EXPECT_NEAR(device_.columnWidth(), 1440.0 / 17, 2.0);
    device_.setFontName("DejaVu Sans Mono");  // installed: drawn at its own width
    const double ten = device_.textWidth("0000000000");
    EXPECT_NEAR(ten, 10 * 0.602 * 200, 10.0);
    device_.setFontSize(20);
    EXPECT_NEAR(device_.textWidth("0000000000"), 2 * ten, 2.0);
    EXPECT_EQ(device_.fontName(), QStringLiteral("DejaVu Sans Mono"));
}

TEST_F(PainterDeviceTest, TabsPlaceTextByColumnAndWrapWhenPassed) {
    device_.setFontName("Courier 17 CPI");
    device_.setFontSize(12);
    const double cw = device_.columnWidth();
    device_.print({PrintItem::ofText(" 2 "), PrintItem::tabTo(7), PrintItem::ofText("Arepa"),
                   PrintItem::tabTo(26), PrintItem::ofText("38.000")});
    device_.print({PrintItem::ofText("abcdef"), PrintItem::tabTo(3), PrintItem::ofText("x")});
    device_.print({PrintItem::tabTo(0), PrintItem::ofText("y")});  // column 1
    device_.print(
        {PrintItem::ofText("abc"), PrintItem::tabTo(4), PrintItem::ofText("d")});  // reached
    device_.endDoc();
    ASSERT_EQ(ended_.size(), 1u);
    const auto t = texts();
    ASSERT_EQ(t.size(), 8u);
    EXPECT_DOUBLE_EQ(t[1].baseline.x(), 6 * cw);
    EXPECT_DOUBLE_EQ(t[2].baseline.x(), 25 * cw);
    EXPECT_EQ(t[0].baseline.y(), t[2].baseline.y());
    // "abcdef" then a tab to column 3: the text goes to column 3 of the next line.
    EXPECT_DOUBLE_EQ(t[4].baseline.x(), 2 * cw);
    EXPECT_GT(t[4].baseline.y(), t[3].baseline.y());
    EXPECT_DOUBLE_EQ(t[5].baseline.x(), 0.0);
    // A tab to the column the position is at stays on the line.
    EXPECT_EQ(t[7].baseline.y(), t[6].baseline.y());
    EXPECT_NEAR(t[7].baseline.x(), 3 * cw, 1.0);
}

TEST_F(PainterDeviceTest, ContinuedLinesShareOneBaselineAcrossSizes) {
    device_.setFontSize(7);
    device_.print({PrintItem::ofText("TOTAL")}, true);
    device_.setFontSize(16);
    device_.print({PrintItem::ofText("68.500")});
    device_.setFontSize(7);
    const double smallLine = device_.textHeight("x");
    device_.print({PrintItem::ofText("fin")});
    device_.print({PrintItem::ofText("fin")});
    device_.endDoc();
    const auto t = texts();
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].baseline.y(), t[1].baseline.y());
    EXPECT_GT(t[1].baseline.x(), 0.0);
    // The line after the tall one starts below it: further down than a small line's step.
    EXPECT_NEAR(t[3].baseline.y() - t[2].baseline.y(), smallLine, 0.01);
    EXPECT_GT(t[2].baseline.y() - t[1].baseline.y(), smallLine + 30);
}

TEST_F(PainterDeviceTest, ALineBreakInsideATextStartsANewLineAsOnTheTape) {
    device_.setFontName("Courier 17 CPI");
    device_.setFontSize(12);
    const double line = device_.textHeight("x");
    device_.print({PrintItem::ofText("M\nPiso 2")});
    device_.print({PrintItem::ofText("a\r\nb\rc"), PrintItem::tabTo(5), PrintItem::ofText("d")});
    device_.print({PrintItem::ofText("fin\n")});
    device_.print({PrintItem::ofText("ultima")});
    device_.endDoc();
    const auto t = texts();
    QStringList runs;
    for (const auto& r : t) runs.append(r.text);
    EXPECT_EQ(runs, QStringList({"M", "Piso 2", "a", "b", "c", "d", "fin", "ultima"}));
    // One line each, as the tape has them: "fin\n" leaves an empty line below it.
    const double top = t[0].baseline.y();
    const double rows[] = {0, 1, 2, 3, 4, 4, 5, 7};
    for (size_t i = 0; i < t.size(); ++i) {
        EXPECT_NEAR(t[i].baseline.y() - top, rows[i] * line, 0.01)
            << runs[static_cast<int>(i)].toStdString();
    }
    EXPECT_DOUBLE_EQ(t[1].baseline.x(), 0.0);  // the new line starts at the left edge
    EXPECT_NEAR(t[5].baseline.x(), 4 * device_.columnWidth(), 0.01);
}

TEST_F(PainterDeviceTest, DocumentOpensOnOutputAndEndsOrIsDiscarded) {
    int opened = 0;
    device_.setOpenHook([&] { ++opened; });
    device_.setFontSize(12);
    device_.setFontBold(true);
    (void)device_.textWidth("x");
    EXPECT_FALSE(device_.documentOpen());
    device_.endDoc();
    EXPECT_TRUE(ended_.empty());

    device_.print({});  // an empty line opens a document
    EXPECT_TRUE(device_.documentOpen());
    device_.killDoc();
    EXPECT_FALSE(device_.documentOpen());
    device_.endDoc();
    EXPECT_TRUE(ended_.empty());

    device_.print({PrintItem::ofText("uno")});
    device_.print({PrintItem::ofText("dos")});
    device_.endDoc();
    EXPECT_EQ(opened, 2);
    ASSERT_EQ(ended_.size(), 1u);
    EXPECT_EQ(texts().size(), 2u);
    EXPECT_TRUE(device_.fontBold());  // font settings outlive the document
}

TEST_F(PainterDeviceTest, RefusedOpeningOrFailedEndingLeavesNoDocumentOpen) {
    bool refuse = true;
    device_.setOpenHook([&] {
        if (refuse) throw json::RuntimeError(482, "La impresora está detenida");
    });
    try {
        device_.print({PrintItem::ofText("x")});
        FAIL() << "the refusal must reach the caller";
    } catch (const json::RuntimeError& e) {
        EXPECT_EQ(e.number(), 482);
        EXPECT_EQ(e.description(), QStringLiteral("La impresora está detenida"));
    }
    EXPECT_FALSE(device_.documentOpen());

    refuse = false;
    device_.setEndHook([](const PaintedDocument&) { throw json::RuntimeError(482, "sin red"); });
    device_.print({PrintItem::ofText("x")});
    EXPECT_THROW(device_.endDoc(), json::RuntimeError);
    EXPECT_FALSE(device_.documentOpen());  // the next ticket starts a document of its own
}

TEST_F(PainterDeviceTest, FullPagesContinueOnNewPagesAndRollsAreCutBelowTheText) {
    PainterDevice sheet("Hoja", 11906, 2000, false);
    std::vector<PaintedDocument> done;
    sheet.setEndHook([&](const PaintedDocument& d) { done.push_back(d); });
    sheet.setFontSize(12);
    for (int i = 0; i < 20; ++i) sheet.print({PrintItem::ofText(QString::number(i))});
    sheet.endDoc();
    ASSERT_EQ(done.size(), 1u);
    const PaintedDocument& doc = done.front();
    ASSERT_GT(doc.pages().size(), 2);
    int lines = 0;
    for (int p = 0; p < doc.pages().size(); ++p) {
        EXPECT_LE(doc.pages()[p].usedHeight, 2000.0);
        EXPECT_EQ(doc.renderedHeight(p), 2000);
        lines += int(doc.pages()[p].ops.size());
    }
    EXPECT_EQ(lines, 20);

    device_.setFontSize(12);
    for (int i = 0; i < 3; ++i) device_.print({PrintItem::ofText("x")});
    device_.endDoc();
    const PaintedDocument& roll = ended_.back();
    EXPECT_EQ(roll.pages().size(), 1);
    EXPECT_NEAR(roll.renderedHeight(0), 3 * device_.textHeight("x"), 2.0);
}

TEST_F(PainterDeviceTest, PicturesAreDrawnScaledAndBadFilesRefused) {
    QTemporaryDir dir;
    const QString logo = dir.filePath("logo.bmp");
    QImage img(40, 20, QImage::Format_RGB32);
    img.fill(Qt::black);
    ASSERT_TRUE(img.save(logo, "BMP"));
    const QString bad = dir.filePath("roto.bmp");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("no es una imagen");
    f.close();

    try {
        device_.paintPicture(bad, 0, 20, 100, 100);
        FAIL() << "a file that is no picture must fail";
    } catch (const json::RuntimeError& e) {
        EXPECT_EQ(e.number(), 481);
    }
    EXPECT_FALSE(device_.documentOpen());

    // A logo linked to another picture is never read through the link.
    const QString enlace = dir.filePath("enlace.bmp");
    ASSERT_TRUE(QFile::link(logo, enlace));
    EXPECT_FALSE(printing::pictureSize(enlace).has_value());
    EXPECT_TRUE(printing::pictureSize(logo).has_value());
    EXPECT_THROW(device_.paintPicture(enlace, 0, 20, 100, 100), json::RuntimeError);
    EXPECT_FALSE(device_.documentOpen());

    device_.paintPicture(logo, 720, 20, 2880, 1440);  // 2 x 1 inches
    device_.endDoc();
    const PaintedDocument& doc = ended_.back();
    ASSERT_EQ(doc.pages()[0].ops.size(), 1);
    EXPECT_EQ(doc.renderedHeight(0), 1460);
    const QImage page = doc.toImage(203);
    EXPECT_EQ(page.width(), 639);  // 80 mm at 203 dpi
    EXPECT_EQ(QColor(page.pixel(5, 5)), QColor(Qt::white));
    EXPECT_EQ(QColor(page.pixel(203 / 2 + 203, 203 / 2)), QColor(Qt::black));
}

}  // namespace
