// Where a painted ticket lands on a driver queue's paper.
#include "printing/devices/media_fit.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <optional>

#include "printing/devices/painter_device.h"
#include "support.h"

namespace {

using printing::Media;
using printing::PaintedDocument;
using printing::PainterDevice;
using printing::Placement;
using printing::PrintItem;

// An 80 mm thermal roll with 4 mm side margins that takes any length from 12.7 mm to 5 m.
Media thermalRoll() {
    Media m;
    m.width = 8000;
    m.length = 29700;
    m.left = m.right = 400;
    m.customLength = true;
    m.minLength = 1270;
    m.maxLength = 508000;
    return m;
}

Media letter() {
    Media m;
    m.width = 21590;
    m.length = 27940;
    m.left = m.right = m.top = m.bottom = 635;
    return m;
}

class MediaFitTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { devices_test::ensureGuiApp(); }

    // A ticket of `lines` lines of `text`, painted on paper `width` twips wide.
    PaintedDocument ticket(int width, const QString& text, int lines) {
        PainterDevice device("Cocina", width);
        std::optional<PaintedDocument> done;
        device.setEndHook([&](const PaintedDocument& d) { done = d; });
        device.setFontName("Courier 17 CPI");
        device.setFontSize(12);
        for (int i = 0; i < lines; ++i) device.print({PrintItem::ofText(text)});
        device.endDoc();
        return *done;
    }
};

TEST_F(MediaFitTest, RollTicketIsOnePageAsLongAsItselfInsideTheMargins) {
    const PaintedDocument doc = ticket(4535, "MESA 12 TERRAZA", 20);
    const Placement p = placeOnMedia(thermalRoll(), doc);
    EXPECT_EQ(p.pageWidth, 4535);
    EXPECT_NEAR(p.left, 227, 1);  // 4 mm
    EXPECT_EQ(p.top, 0);
    EXPECT_EQ(p.scale, 1.0);  // it fits: never enlarged
    // The page holds the whole ticket, rounded up to the next millimetre, and no more.
    const double ticketMm = doc.renderedHeight(0) / 1440.0 * 25.4;
    const int lengthMm = int(std::ceil(ticketMm));
    EXPECT_EQ(p.mediaOption, QStringLiteral("Custom.80x%1mm").arg(lengthMm));
    EXPECT_NEAR(p.pageHeight, lengthMm / 25.4 * 1440, 1);
    EXPECT_GE(p.pageHeight, doc.renderedHeight(0));

    // A one-line ticket still gets the driver's shortest page.
    const Placement shortest = placeOnMedia(thermalRoll(), ticket(4535, "X", 1));
    EXPECT_EQ(shortest.mediaOption, QStringLiteral("Custom.80x13mm"));
}

TEST_F(MediaFitTest, WideTicketShrinksToThePrintableWidthAndNothingIsCut) {
    // 46 characters at 17 to the inch: about 68.7 mm of ink, against 72 mm printable.
    const PaintedDocument fits = ticket(4535, QString(46, u'W'), 3);
    EXPECT_EQ(placeOnMedia(thermalRoll(), fits).scale, 1.0);

    // 54 characters (80.7 mm) must shrink until their right edge meets the margin.
    const PaintedDocument wide = ticket(4535, QString(54, u'W'), 3);
    const double ink = printing::inkedWidth(wide);
    EXPECT_GT(ink, 4535 - 2 * 227);
    const Placement p = placeOnMedia(thermalRoll(), wide);
    EXPECT_LT(p.scale, 1.0);
    EXPECT_NEAR(p.left + ink * p.scale, 4535 - 227, 2);

    // Trailing blanks leave no ink and shrink nothing.
    const PaintedDocument blanks = ticket(4535, QString(40, u'W') + QString(30, u' '), 2);
    EXPECT_EQ(placeOnMedia(thermalRoll(), blanks).scale, 1.0);
}

TEST_F(MediaFitTest, OfficeSheetKeepsItsSizeWithTheTicketAtTheTopLeft) {
    const PaintedDocument doc = ticket(12240, "FACTURA", 10);
    const Placement p = placeOnMedia(letter(), doc);
    EXPECT_EQ(p.pageWidth, 12240);
    EXPECT_EQ(p.pageHeight, 15840);
    EXPECT_NEAR(p.left, 360, 1);
    EXPECT_NEAR(p.top, 360, 1);
    EXPECT_EQ(p.scale, 1.0);
    EXPECT_TRUE(p.mediaOption.isEmpty());
}

// The PDF written with a placement has the page size it says, and its ink starts at the
// left margin and at the top.
TEST_F(MediaFitTest, PlacedPdfHasTheMediaSizeAndTheInkInsideTheMargins) {
    const PaintedDocument doc = ticket(4535, "MARIA FERNANDA", 4);
    const Placement p = placeOnMedia(thermalRoll(), doc);
    QTemporaryDir dir;
    QFile pdf(dir.filePath("t.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::WriteOnly));
    ASSERT_TRUE(
        doc.writePdf(&pdf, "t", QSize(p.pageWidth, p.pageHeight), QPointF(p.left, p.top), p.scale));
    pdf.close();

    QProcess info;
    info.start("pdfinfo", {pdf.fileName()});
    ASSERT_TRUE(info.waitForFinished(15000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Page size: +([0-9.]+) x ([0-9.]+) pts")).match(out);
    ASSERT_TRUE(size.hasMatch()) << out.toStdString();
    EXPECT_NEAR(size.captured(1).toDouble(), 226.77, 0.6);
    EXPECT_NEAR(size.captured(2).toDouble(), p.pageHeight / 20.0, 0.6);

    QProcess raster;
    raster.start("pdftoppm",
                 {"-r", "203", "-gray", "-singlefile", pdf.fileName(), dir.filePath("t")});
    ASSERT_TRUE(raster.waitForFinished(15000));
    const QImage image(dir.filePath("t.pgm"));
    ASSERT_FALSE(image.isNull());
    int left = image.width();
    int top = image.height();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                left = std::min(left, x);
                top = std::min(top, y);
            }
        }
    }
    EXPECT_GE(left, 32);  // 4 mm at 203 dpi
    EXPECT_LE(left, 40);
    EXPECT_LT(top, 40);  // at the top, not centred on a longer page
}

}  // namespace
