// Virtual printers: file names, one numbering over documents and raw writes, tapes kept
// exactly as the tape printers print them.
#include "printing/devices/virtual_printer_system.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "json/parser.h"
#include "json/runtime_error.h"
#include "printing/despacho.h"
#include "printing/tape_device.h"
#include "support.h"

namespace {

using printing::PrintItem;
using printing::VirtualPrinterSystem;

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList names(const QStringList& paths) {
    QStringList out;
    for (const QString& p : paths) out.append(QFileInfo(p).fileName());
    return out;
}

class VirtualPrintersTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { devices_test::ensureGuiApp(); }
    QTemporaryDir dir_;
};

TEST(VirtualPrinterNames, OnlyPortableCharactersSurviveInFileNames) {
    EXPECT_EQ(VirtualPrinterSystem::safeName("Cocina"), QStringLiteral("Cocina"));
    EXPECT_EQ(VirtualPrinterSystem::safeName("Bar 2/Terraza*"), QStringLiteral("Bar_2_Terraza_"));
    EXPECT_EQ(VirtualPrinterSystem::safeName("v1.2_a-b"), QStringLiteral("v1.2_a-b"));
    EXPECT_EQ(VirtualPrinterSystem::safeName(QStringLiteral("Parrilla Ñ")),
              QStringLiteral("Parrilla__"));
    EXPECT_EQ(VirtualPrinterSystem::safeName(QStringLiteral("..\\x")), QStringLiteral(".._x"));
    // A character outside the basic plane is one character: one mark.
    EXPECT_EQ(VirtualPrinterSystem::safeName(QString::fromUtf8("A\xF0\x9F\x8D\x94"
                                                               "B")),
              QStringLiteral("A_B"));
    EXPECT_EQ(VirtualPrinterSystem::fileName(7, "Bar 2", "txt"), QStringLiteral("007-Bar_2.txt"));
    EXPECT_EQ(VirtualPrinterSystem::fileName(1234, "B", "raw"), QStringLiteral("1234-B.raw"));
}

TEST(VirtualPrinterFormats, ListsOfKnownFormatsOnly) {
    const auto all = VirtualPrinterSystem::parseFormats("png, text,pdf");
    ASSERT_TRUE(all.has_value());
    EXPECT_TRUE(all->text && all->pdf && all->png);
    const auto pdf = VirtualPrinterSystem::parseFormats("pdf");
    ASSERT_TRUE(pdf.has_value());
    EXPECT_FALSE(pdf->text);
    EXPECT_FALSE(VirtualPrinterSystem::parseFormats("").has_value());
    EXPECT_FALSE(VirtualPrinterSystem::parseFormats("text,jpg").has_value());
    EXPECT_FALSE(VirtualPrinterSystem::parseFormats("text,").has_value());
}

TEST_F(VirtualPrintersTest, OneNumberingOverDocumentsAndRawWritesInEveryFormat) {
    VirtualPrinterSystem sys(dir_.path(), {true, true, true});
    sys.addPrinter("Cocina", 4535);
    sys.addPrinter("Bar 2", 3288);
    auto& cocina = sys.printer(0);
    auto& bar = sys.printer(1);
    EXPECT_EQ(bar.pageWidth(), 3288);

    cocina.endDoc();  // nothing open: no number taken
    cocina.print({PrintItem::ofText("probe")});
    cocina.killDoc();  // discarded: no number taken
    cocina.setFontSize(12);
    cocina.print({PrintItem::ofText("Mesa 1")});
    cocina.endDoc();
    const QByteArray pulse("\x1B\x70\x00\x3C\xF0", 5);
    sys.writeRaw("Bar 2", pulse);
    bar.print({PrintItem::ofText("Barra")});
    bar.endDoc();

    EXPECT_EQ(names(sys.writtenFiles()),
              (QStringList{"001-Cocina.txt", "001-Cocina.pdf", "001-Cocina.png", "002-Bar_2.raw",
                           "003-Bar_2.txt", "003-Bar_2.pdf", "003-Bar_2.png"}));
    EXPECT_EQ(readFile(dir_.filePath("001-Cocina.txt")), QByteArray("12|Mesa 1\n"));
    EXPECT_EQ(readFile(dir_.filePath("002-Bar_2.raw")), pulse);
    EXPECT_TRUE(readFile(dir_.filePath("001-Cocina.pdf")).startsWith("%PDF-"));
    const QImage png(dir_.filePath("003-Bar_2.png"));
    EXPECT_EQ(png.width(), 464);  // 58 mm at 203 dpi
    EXPECT_TRUE(sys.writeError().isEmpty());
}

TEST_F(VirtualPrintersTest, OfflinePrintersFailWithoutTakingANumber) {
    VirtualPrinterSystem sys(dir_.path(), {});
    sys.addPrinter("Cocina", 4535, true);
    sys.addPrinter("Caja");
    try {
        sys.printer(0).print({});
        FAIL() << "an offline printer fails its probe";
    } catch (const json::RuntimeError& e) {
        EXPECT_EQ(e.number(), json::err::PrinterError);
        EXPECT_FALSE(e.description().isEmpty());
    }
    EXPECT_THROW(sys.writeRaw("Cocina", "x"), json::RuntimeError);
    EXPECT_THROW(sys.writeRaw("NoExiste", "x"), json::RuntimeError);
    EXPECT_THROW(sys.printer(2), json::RuntimeError);
    sys.writeRaw("Caja", "x");
    EXPECT_EQ(names(sys.writtenFiles()), QStringList{"001-Caja.raw"});
}

TEST_F(VirtualPrintersTest, AFolderThatCannotBeWrittenIsAPrinterError) {
    const QString blocker = dir_.filePath("ocupado");
    QFile f(blocker);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    VirtualPrinterSystem sys(blocker + "/tickets", {true, true, false});
    sys.addPrinter("Cocina");
    sys.printer(0).print({PrintItem::ofText("x")});
    EXPECT_THROW(sys.printer(0).endDoc(), json::RuntimeError);
    EXPECT_FALSE(sys.writeError().isEmpty());
    // The failed ticket is closed: the next one opens a document of its own.
    sys.printer(0).print({PrintItem::ofText("y")});
    EXPECT_THROW(sys.printer(0).endDoc(), json::RuntimeError);
}

TEST_F(VirtualPrintersTest, ARestartGoesOnAfterTheFolderAndNeverReplacesAFile) {
    {
        VirtualPrinterSystem first(dir_.path(), {});
        first.addPrinter("Cocina");
        first.printer(0).print({PrintItem::ofText("uno")});
        first.printer(0).endDoc();
        first.writeRaw("Cocina", "x");
    }
    QFile other(dir_.filePath("0041-Bar.txt"));  // written by someone else, numbers above 999 too
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("ajeno");
    other.close();
    EXPECT_EQ(VirtualPrinterSystem::highestNumber(dir_.path()), 41);

    VirtualPrinterSystem again(dir_.path(), {});
    again.addPrinter("Cocina");
    const QString expected = again.nextJob("Cocina", false);
    EXPECT_EQ(again.nextJob("Cocina", false), expected) << "looking ahead takes no number";
    EXPECT_EQ(QFileInfo(again.nextJob("Cocina", true)).fileName(), "042-Cocina.raw");
    again.printer(0).print({PrintItem::ofText("dos")});
    again.printer(0).endDoc();
    EXPECT_EQ(names(again.writtenFiles()), QStringList{"042-Cocina.txt"});
    EXPECT_EQ(again.lastJob(), expected);
    EXPECT_EQ(QFileInfo(expected).fileName(), "042-Cocina.txt");
    EXPECT_EQ(readFile(dir_.filePath("001-Cocina.txt")), QByteArray("10|uno\n"));

    // A name taken behind the server's back fails the ticket; the file there stays.
    QFile taken(dir_.filePath("043-Cocina.txt"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.write("previo");
    taken.close();
    again.printer(0).print({PrintItem::ofText("tres")});
    EXPECT_THROW(again.printer(0).endDoc(), json::RuntimeError);
    EXPECT_EQ(readFile(dir_.filePath("043-Cocina.txt")), QByteArray("previo"));
    EXPECT_TRUE(again.writeError().contains("ya existe"));
    // Nothing half written is left under any name.
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"001-Cocina.txt", "002-Cocina.raw", "0041-Bar.txt", "042-Cocina.txt",
                           "043-Cocina.txt"}));
}

// A ticket longer than 10 m of paper is never painted as one picture: it fails as a printer
// error before anything is allocated for it, and the next ticket prints as usual.
TEST_F(VirtualPrintersTest, ATicketTooLongForOnePictureFailsAndTheNextOnePrints) {
    VirtualPrinterSystem sys(dir_.path(), {true, false, true});
    sys.addPrinter("Cocina", 4535);
    auto& cocina = sys.printer(0);
    for (int i = 0; i < 4000; ++i) cocina.print({PrintItem::ofText(QString::number(i))});
    try {
        cocina.endDoc();
        FAIL() << "a ticket of 4000 lines is longer than one picture may be";
    } catch (const json::RuntimeError& e) {
        EXPECT_EQ(e.number(), json::err::PrinterError);
        EXPECT_EQ(e.description(), "ticket demasiado largo para una imagen");
    }
    for (const QString& f : sys.writtenFiles()) EXPECT_FALSE(f.endsWith(".png")) << f.toStdString();
    cocina.print({PrintItem::ofText("Mesa 2")});
    cocina.endDoc();
    const QStringList escritos = names(sys.writtenFiles());
    ASSERT_FALSE(escritos.isEmpty());
    EXPECT_TRUE(escritos.last().endsWith("-Cocina.png")) << escritos.join(' ').toStdString();
    EXPECT_FALSE(QImage(dir_.filePath(escritos.last())).isNull());
}

// The same job printed on tape printers alone and on virtual printers with pictures.
TEST_F(VirtualPrintersTest, TapesAreExactlyWhatTheTapePrintersPrint) {
    QFile job(QStringLiteral(SI_TEST_DATA_DIR) + "/devices/pedido.json");
    ASSERT_TRUE(job.open(QIODevice::ReadOnly));
    const json::JsonValue doc = json::parse(QString::fromUtf8(job.readAll())).value;
    ASSERT_TRUE(json::parseErrors().isEmpty());

    auto run = [&](printing::PrinterSystem& sys) {
        devices_test::RecordedNotices notices;
        printing::Entorno e;
        e.impresoras = &sys;
        e.avisos = &notices;
        e.locale = QLocale(QStringLiteral("es_CO"));
        e.reloj = [] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); };
        printing::setComunicacion(doc, e);
        return notices.balloons.size();
    };

    printing::TapePrinterSystem tapes;
    tapes.addPrinter("Cocina", 4535);
    tapes.addPrinter("Bar", 3288);
    tapes.setDefaultPrinterName("Cocina");
    const size_t tapeBalloons = run(tapes);

    VirtualPrinterSystem files(dir_.path(), {true, true, true});
    files.addPrinter("Cocina", 4535);
    files.addPrinter("Bar", 3288);
    files.setDefaultPrinterName("Cocina");
    EXPECT_EQ(run(files), tapeBalloons);

    QStringList expected;
    int n = 0;
    for (const auto& out : tapes.outputs()) {
        const bool raw = out.kind == printing::TapeOutput::Kind::Raw;
        const QString name = VirtualPrinterSystem::fileName(++n, out.printer, raw ? "raw" : "txt");
        expected.append(name);
        EXPECT_EQ(readFile(dir_.filePath(name)), out.content) << name.toStdString();
    }
    ASSERT_EQ(expected.size(), 4);  // two orders, one cancellation, the drawer pulse
    QStringList written;
    for (const QString& name : names(files.writtenFiles())) {
        if (name.endsWith(".txt") || name.endsWith(".raw")) written.append(name);
    }
    EXPECT_EQ(written, expected);
}

}  // namespace
