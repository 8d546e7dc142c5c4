// The ESC/POS device: job framing, raster bands and fitting, printer-font text, code pages.
#include "printing/devices/escpos_device.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QStringDecoder>
#include <QTemporaryDir>

#include "json/runtime_error.h"
#include "printing/devices/code_pages.h"
#include "printing/devices/painter_device.h"
#include "support.h"

namespace {

using printing::AjustesImpresora;
using printing::EscposDevice;
using printing::PaginaCodigos;
using printing::PaintedDocument;
using printing::PrintItem;
using Clase = AjustesImpresora::Clase;

const QByteArray kCut("\x1D\x56\x42\x00", 4);
const QByteArray kFeed("\x1B\x64\x05", 3);

AjustesImpresora ajustes(Clase clase, int mm = 80, PaginaCodigos pagina = PaginaCodigos::Cp858,
                         bool cortar = true) {
    AjustesImpresora a;
    a.clase = clase;
    a.anchoMm = mm;
    a.puntos = AjustesImpresora::puntosDeAncho(mm);
    a.paginaCodigos = pagina;
    a.cortar = cortar;
    return a;
}

struct Band {
    int bytesPerRow;
    int rows;
};

// The GS v 0 bands of a raster job, in order; fails the test on anything else in it.
std::vector<Band> bandsOf(const QByteArray& job) {
    std::vector<Band> bands;
    qsizetype i = 2;
    while (i + 8 <= job.size() && job.mid(i, 4) == QByteArray("\x1D\x76\x30\x00", 4)) {
        auto at = [&](qsizetype k) { return static_cast<unsigned char>(job.at(k)); };
        const Band b{at(i + 4) + 256 * at(i + 5), at(i + 6) + 256 * at(i + 7)};
        bands.push_back(b);
        i += 8 + static_cast<qsizetype>(b.bytesPerRow) * b.rows;
    }
    EXPECT_EQ(job.size() - i, 4) << "bytes after the bands";
    return bands;
}

class EscposDeviceTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { devices_test::ensureGuiApp(); }

    std::unique_ptr<EscposDevice> device(const AjustesImpresora& a, int pageWidth = 0) {
        auto d = std::make_unique<EscposDevice>("Cocina", a, pageWidth);
        d->setSink([this](const QByteArray& job) { jobs_.append(job); });
        d->setLog([this](const QString& line) { log_.append(line); });
        return d;
    }
    // A text job's printed bytes: without ESC @, ESC t n and the final cut.
    static QByteArray body(const QByteArray& job) { return job.mid(5, job.size() - 9); }

    QList<QByteArray> jobs_;
    QStringList log_;
};

TEST_F(EscposDeviceTest, RasterJobsAreBandsOfThePrintableWidthBetweenResetAndCut) {
    for (const int mm : {80, 58}) {
        jobs_.clear();
        auto d = device(ajustes(Clase::Escpos, mm));
        d->setFontName("Courier 17 CPI");
        d->setFontSize(12);
        // About 700 rows of text, and blank lines below that are trimmed.
        for (int i = 0; i < 28; ++i)
            d->print({PrintItem::ofText(QStringLiteral("LINEA %1").arg(i))});
        for (int i = 0; i < 10; ++i) d->print({});
        d->endDoc();
        ASSERT_EQ(jobs_.size(), 1);
        const QByteArray& job = jobs_.first();
        EXPECT_TRUE(job.startsWith("\x1B\x40"));
        EXPECT_TRUE(job.endsWith(kCut));
        const std::vector<Band> bands = bandsOf(job);
        ASSERT_GE(bands.size(), 3u);
        int rows = 0;
        for (size_t i = 0; i < bands.size(); ++i) {
            EXPECT_EQ(bands[i].bytesPerRow, mm == 80 ? 72 : 48);
            if (i + 1 < bands.size()) {
                EXPECT_EQ(bands[i].rows, 256);
            }
            rows += bands[i].rows;
        }
        EXPECT_GT(bands.back().rows, 0);
        EXPECT_LE(bands.back().rows, 256);
        // The last row holds ink: the blank lines below the text are gone.
        const int bytesPerRow = bands.back().bytesPerRow;
        const QByteArray lastRow = job.mid(job.size() - 4 - bytesPerRow, bytesPerRow);
        EXPECT_NE(lastRow.count('\0'), bytesPerRow);
        EXPECT_GT(rows, 28 * 30);  // 28 lines of text, none lost
    }
}

TEST_F(EscposDeviceTest, WithoutACutterTheJobEndsWithFiveBlankLines) {
    auto d = device(ajustes(Clase::Escpos, 80, PaginaCodigos::Cp858, false));
    d->print({PrintItem::ofText("HOLA")});
    d->endDoc();
    ASSERT_EQ(jobs_.size(), 1);
    EXPECT_TRUE(jobs_.first().endsWith(kFeed));
    EXPECT_FALSE(jobs_.first().contains(kCut));
}

TEST_F(EscposDeviceTest, ARasterKeepsItsLeftEdgeAndIsScaledDownOnlyWhenItsInkIsWider) {
    // A black bar 40 to 464 dots across (the ink of today's layouts on 58 mm paper).
    QImage wide(464, 100, QImage::Format_Grayscale8);
    wide.fill(255);
    for (int y = 10; y < 60; ++y)
        for (int x = 40; x < 464; ++x) wide.scanLine(y)[x] = 0;
    const QImage fitted = EscposDevice::fitToDots(wide, 384);
    ASSERT_EQ(fitted.width(), 384);
    const double scale = 384.0 / 464.0;
    EXPECT_NEAR(fitted.height(), 60 * scale, 1.0);  // scaled, then trimmed below the ink
    auto dot = [&](int x, int y) { return fitted.constScanLine(y)[x] == 0; };
    const int mid = fitted.height() - 10;
    EXPECT_TRUE(dot(383, mid));                                // nothing cut on the right
    EXPECT_FALSE(dot(static_cast<int>(40 * scale) - 2, mid));  // the margin scales too
    EXPECT_TRUE(dot(static_cast<int>(40 * scale) + 2, mid));

    // Narrower ink is never scaled up, and a picture wider than its ink is only cropped.
    QImage narrow(640, 50, QImage::Format_Grayscale8);
    narrow.fill(255);
    for (int x = 0; x < 200; ++x) narrow.scanLine(20)[x] = 100;  // grey below 128 is a dot
    for (int x = 200; x < 300; ++x) narrow.scanLine(20)[x] = 128;
    const QImage same = EscposDevice::fitToDots(narrow, 576);
    EXPECT_EQ(same.width(), 576);
    EXPECT_EQ(same.height(), 21);
    EXPECT_EQ(same.constScanLine(20)[199], 0);
    EXPECT_EQ(same.constScanLine(20)[200], 255);

    // A blank ticket is a job with no band at all.
    QImage blank(100, 100, QImage::Format_Grayscale8);
    blank.fill(255);
    EXPECT_TRUE(EscposDevice::fitToDots(blank, 576).isNull());
    EXPECT_EQ(EscposDevice::rasterBands(QImage()), QByteArray());
}

TEST_F(EscposDeviceTest, BandsPackEightDotsABytePaddedToTheRight) {
    QImage img(10, 3, QImage::Format_Grayscale8);
    img.fill(255);
    img.scanLine(0)[0] = 0;
    img.scanLine(1)[9] = 0;
    img.scanLine(2)[7] = 0;
    const QByteArray bands = EscposDevice::rasterBands(img);
    EXPECT_EQ(bands.toHex(' '), QByteArray("1d 76 30 00 02 00 03 00 80 00 00 40 01 00"));
}

TEST_F(EscposDeviceTest, ATicketTooLongForAPictureIsRefusedBeforeDrawing) {
    // Two pages of 200 inches: 81,200 rows at 203 dpi.
    PaintedDocument doc(4535, 0, true);
    doc.currentPage().usedHeight = 200 * 1440;
    doc.newPage();
    doc.currentPage().usedHeight = 200 * 1440;
    try {
        (void)EscposDevice::rasterImage(doc, 576);
        FAIL() << "no error";
    } catch (const json::RuntimeError& e) {
        EXPECT_EQ(e.number(), 482);
        EXPECT_EQ(e.description(), "ticket demasiado largo para una imagen");
    }
}

TEST_F(EscposDeviceTest, TextJobsSelectTheCodePageOnceAndEncodeInIt) {
    const struct {
        PaginaCodigos pagina;
        char numero;
        const char* bytes;  // "ñÑéÁ€"
    } casos[] = {
        {PaginaCodigos::Cp437, 0, "\xA4\xA5\x82??"},
        {PaginaCodigos::Cp850, 2, "\xA4\xA5\x82\xB5?"},
        {PaginaCodigos::Cp858, 19, "\xA4\xA5\x82\xB5\xD5"},
        {PaginaCodigos::Wpc1252, 16, "\xF1\xD1\xE9\xC1\x80"},
    };
    for (const auto& c : casos) {
        jobs_.clear();
        log_.clear();
        auto d = device(ajustes(Clase::EscposTexto, 80, c.pagina));
        d->setFontSize(12);
        d->print({PrintItem::ofText(QStringLiteral("ñÑéÁ€"))});
        d->print({PrintItem::ofText(QStringLiteral("€"))});
        d->endDoc();
        ASSERT_EQ(jobs_.size(), 1);
        const QByteArray& job = jobs_.first();
        EXPECT_EQ(job.left(5), QByteArray("\x1B\x40\x1B\x74", 4) + c.numero);
        EXPECT_EQ(job.count("\x1B\x74"), 1);
        EXPECT_TRUE(job.endsWith(kCut));
        EXPECT_TRUE(body(job).startsWith(QByteArray(c.bytes) + '\n'));
        // A missing character prints "?" and is logged once per ticket, however often.
        const int missing = static_cast<int>(QByteArray(c.bytes).count('?'));
        EXPECT_EQ(log_.size(), missing) << log_.join('\n').toStdString();
        for (const QString& l : log_) EXPECT_TRUE(l.contains("Cocina")) << l.toStdString();
    }
    // The next ticket logs its missing characters again.
    log_.clear();
    auto d = device(ajustes(Clase::EscposTexto, 80, PaginaCodigos::Cp437));
    d->print({PrintItem::ofText("€")});
    d->endDoc();
    d->print({PrintItem::ofText("€")});
    d->endDoc();
    EXPECT_EQ(log_.size(), 2);
}

TEST_F(EscposDeviceTest, ControlCharactersInATextNeverReachThePrinterAsCommands) {
    auto d = device(ajustes(Clase::EscposTexto));
    d->print({PrintItem::ofText(QStringLiteral("A\x1B@B\x1DV\x01\tC\x7F"))});
    d->endDoc();
    const QByteArray b = body(jobs_.first());
    EXPECT_EQ(b, QByteArray("A?@B?V??C?\n"));
    // Text bytes never hold UTF-8 sequences: every byte above 0x7F is one character.
    jobs_.clear();
    d->print({PrintItem::ofText(QStringLiteral("Ñandú 😀 ü"))});
    d->endDoc();
    EXPECT_EQ(body(jobs_.first()), QByteArray("\xA5"
                                              "and\xA3 ? \x81\n"));
}

TEST_F(EscposDeviceTest, SizesAndBoldMapOntoThePrinterFontsNeverDoubleWidth) {
    auto d = device(ajustes(Clase::EscposTexto));
    d->setFontSize(7);
    d->print({PrintItem::ofText("a")});
    d->setFontSize(12);
    d->print({PrintItem::ofText("b")});
    d->setFontSize(15);
    d->setFontBold(true);
    d->print({PrintItem::ofText("c")});
    d->setFontSize(16);
    d->setFontBold(false);
    d->print({PrintItem::ofText("d")});
    d->setFontSize(10);
    d->print({PrintItem::ofText("e")});
    d->endDoc();
    EXPECT_EQ(body(jobs_.first()).toHex(' '),
              QByteArray("1b 21 01 61 0a "           // 7: font B
                         "1b 21 00 62 0a "           // 12: font A
                         "1b 21 10 1b 45 01 63 0a "  // 15 bold: double height, bold
                         "1b 45 00 64 0a "           // 16: still double height
                         "1b 21 00 65 0a")
                  .trimmed());
}

TEST_F(EscposDeviceTest, TextIsMeasuredInThePrinterCellsAndNoLineIsLongerThanThePaper) {
    for (const int mm : {80, 58}) {
        jobs_.clear();
        auto d = device(ajustes(Clase::EscposTexto, mm));
        const int columnsA = mm == 80 ? 48 : 32;
        const int columnsB = mm == 80 ? 64 : 42;
        d->setFontSize(12);
        EXPECT_NEAR(d->textWidth(QString(columnsA, u'M')), d->textWidth("M") * columnsA, 1e-6);
        EXPECT_NEAR(d->textWidth("M"), 12 * 1440.0 / 203, 1e-6);
        d->setFontSize(16);  // double height keeps the width
        EXPECT_NEAR(d->textWidth("M"), 12 * 1440.0 / 203, 1e-6);
        EXPECT_GT(d->textHeight("M"), 2 * 24 * 1440.0 / 203);
        d->setFontSize(7);
        EXPECT_NEAR(d->textWidth("M"), 9 * 1440.0 / 203, 1e-6);

        // Words past the edge move down whole; a word longer than a line breaks.
        d->setFontSize(12);
        QString words;
        for (int i = 0; i < 30; ++i) words += QStringLiteral("PALABRA%1 ").arg(i);
        d->print({PrintItem::ofText(words + QString(60, u'X'))});
        d->setFontSize(7);
        d->print({PrintItem::ofText(QString(100, u'='))});
        d->endDoc();
        QByteArray b = body(jobs_.first());
        b.replace("\x1B\x21\x01", "").replace(QByteArray("\x1B\x21\x00", 3), "");
        const QList<QByteArray> lines = b.split('\n');
        QStringList seen;
        int longest = 0;
        for (const QByteArray& l : lines) {
            if (l.startsWith('=')) {
                EXPECT_LE(l.size(), columnsB);
                continue;
            }
            longest = std::max(longest, static_cast<int>(l.size()));
            EXPECT_LE(l.size(), columnsA) << l.constData();
            for (const QByteArray& w : l.split(' '))
                if (!w.isEmpty()) seen.append(QString::fromLatin1(w));
        }
        EXPECT_GE(longest, columnsA - 10);
        QStringList expected = words.split(' ', Qt::SkipEmptyParts);
        // The long word is split over lines: join its pieces back.
        QString tail;
        while (!seen.isEmpty() && seen.last().startsWith('X')) tail.prepend(seen.takeLast());
        EXPECT_EQ(seen, expected);
        EXPECT_EQ(tail, QString(60, u'X'));
    }
}

TEST_F(EscposDeviceTest, TabsMoveByCellsAndLineBreaksInsideATextStartNewLines) {
    auto d = device(ajustes(Clase::EscposTexto, 58));
    d->setFontSize(12);
    d->print({PrintItem::ofText(" 2 "), PrintItem::tabTo(7), PrintItem::ofText("Arepa"),
              PrintItem::tabTo(27), PrintItem::ofText("38.000")});
    d->print({PrintItem::ofText("abcdef"), PrintItem::tabTo(3), PrintItem::ofText("x")});
    d->print({PrintItem::ofText("M\nPiso 2\r\nfin")});
    d->endDoc();
    EXPECT_EQ(body(jobs_.first()),
              QByteArray(" 2    Arepa               38.000\nabcdef\n  x\nM\nPiso 2\nfin\n"));
}

TEST_F(EscposDeviceTest, TheLogoIsARasterPictureInTheTextAndTakesTheRoomOfItsBlankLines) {
    QTemporaryDir dir;
    QImage logo(200, 100, QImage::Format_RGB32);
    logo.fill(Qt::black);
    const QString path = dir.filePath("logo.bmp");
    ASSERT_TRUE(logo.save(path, "BMP"));

    auto d = device(ajustes(Clase::EscposTexto));
    d->setFontSize(7);
    // As the invoice does: the picture at the top, then blank lines as tall as it.
    const int height = 1440;  // one inch: 203 rows
    d->paintPicture(path, 700, 20, 2000, height);
    const int lines = static_cast<int>(height / d->textHeight("HOLA"));
    for (int i = 0; i <= lines; ++i) d->print({});
    d->print({PrintItem::ofText("NIT")});
    d->endDoc();
    const QByteArray b = body(jobs_.first());
    ASSERT_TRUE(b.startsWith(QByteArray("\x1D\x76\x30\x00\x48\x00", 6)));
    const int rows =
        static_cast<unsigned char>(b.at(6)) + 256 * static_cast<unsigned char>(b.at(7));
    EXPECT_NEAR(rows, 3 + 203, 2);
    const QByteArray after = b.mid(8 + 72 * rows);
    EXPECT_LE(after.count('\n'), 2) << after.toHex(' ').constData();
    EXPECT_TRUE(after.endsWith("NIT\n"));
    // The picture sits 700 twips (99 dots) from the left edge.
    const char* row = b.constData() + 8 + 72 * 20;
    EXPECT_EQ(static_cast<unsigned char>(row[11]), 0x00);
    EXPECT_NE(static_cast<unsigned char>(row[13]), 0x00);

    EXPECT_THROW(d->paintPicture(dir.filePath("missing.bmp"), 0, 0, 100, 100), json::RuntimeError);
}

TEST_F(EscposDeviceTest, RefusedOpeningsAndFailingSinksCloseTheDocument) {
    for (const Clase clase : {Clase::EscposTexto, Clase::Escpos}) {
        auto d = device(ajustes(clase));
        bool refuse = true;
        d->setOpenHook([&refuse] {
            if (refuse) throw json::RuntimeError(482, "La impresora no responde");
        });
        EXPECT_THROW(d->print({}), json::RuntimeError);
        EXPECT_FALSE(d->documentOpen());
        refuse = false;
        d->setSink([](const QByteArray&) { throw json::RuntimeError(482, "sin papel"); });
        d->print({PrintItem::ofText("uno")});
        EXPECT_THROW(d->endDoc(), json::RuntimeError);
        EXPECT_FALSE(d->documentOpen());
        // Killing discards: nothing reaches the sink.
        int sent = 0;
        d->setSink([&sent](const QByteArray&) { ++sent; });
        d->print({PrintItem::ofText("dos")});
        d->killDoc();
        d->endDoc();
        EXPECT_EQ(sent, 0);
        d->print({PrintItem::ofText("tres")});
        d->endDoc();
        EXPECT_EQ(sent, 1);
    }
}

// The system's own converters are an independent reading of the same code pages.
TEST(EscposCodePages, EveryCharacterOfEachPageEncodesToItsByte) {
    const struct {
        PaginaCodigos pagina;
        const char* nombre;
    } paginas[] = {{PaginaCodigos::Cp437, "IBM437"},
                   {PaginaCodigos::Cp850, "IBM850"},
                   {PaginaCodigos::Cp858, "IBM00858"},
                   {PaginaCodigos::Wpc1252, "windows-1252"}};
    for (const auto& p : paginas) {
        QStringDecoder decoder(p.nombre);
        ASSERT_TRUE(decoder.isValid()) << p.nombre;
        for (int byte = 0x20; byte <= 0xFF; ++byte) {
            if (byte == 0x7F) continue;  // DEL, a control to the printer
            const char b = static_cast<char>(byte);
            const QString c = decoder.decode(QByteArrayView(&b, 1));
            ASSERT_EQ(c.size(), 1);
            const char16_t u = c.at(0).unicode();
            if (u == 0x7F || (u >= 0x80 && u < 0xA0)) {
                EXPECT_FALSE(printing::encodeCharacter(p.pagina, u)) << p.nombre << " " << byte;
                continue;
            }
            const auto encoded = printing::encodeCharacter(p.pagina, u);
            ASSERT_TRUE(encoded) << p.nombre << " " << std::hex << byte;
            EXPECT_EQ(static_cast<unsigned char>(*encoded), byte)
                << p.nombre << " " << std::hex << byte;
        }
    }
}

}  // namespace
