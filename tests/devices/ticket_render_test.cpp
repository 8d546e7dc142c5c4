// ticket-render as integrators run it: options, output files, balloons and exit status.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString jobPath(const char* name) {
    return QStringLiteral(SI_TEST_DATA_DIR) + "/devices/" + QLatin1String(name);
}

class TicketRenderTest : public ::testing::Test {
  protected:
    Outcome render(QStringList args) {
        QProcess p;
        p.setWorkingDirectory(dir_.path());
        p.start(QStringLiteral(SI_BINARY_DIR) + "/tools/ticket-render/ticket-render", args);
        Outcome r;
        if (!p.waitForFinished(60000)) return r;
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    QString out(const QString& name = {}) const {
        return name.isEmpty() ? dir_.filePath("out") : dir_.filePath("out/" + name);
    }
    QStringList files() const { return QDir(out()).entryList(QDir::Files, QDir::Name); }
    QString writeJob(const QByteArray& text) {
        const QString path = dir_.filePath("job.json");
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(text);
        return path;
    }

    QTemporaryDir dir_;
};

TEST_F(TicketRenderTest, WritesEveryTicketAndTheDrawerPulseInPrintOrder) {
    const Outcome r =
        render({"--printer", "Cocina", "--printer", "Bar=3288", "--printer", "Facturas",
                "--default", "Facturas", "--format", "text,pdf,png", "--out", out(), "--locale",
                "es_CO", "--now", "2024-03-05 14:07:09", jobPath("pedido.json")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(files(),
              (QStringList{"001-Cocina.pdf", "001-Cocina.png", "001-Cocina.txt", "002-Bar.pdf",
                           "002-Bar.png", "002-Bar.txt", "003-Cocina.pdf", "003-Cocina.png",
                           "003-Cocina.txt", "004-Facturas.raw", "balloons.txt"}));
    EXPECT_EQ(readFile(out("004-Facturas.raw")), QByteArray("\x1B\x70\x00\x3C\xF0", 5));
    EXPECT_TRUE(readFile(out("002-Bar.pdf")).startsWith("%PDF-"));
    EXPECT_EQ(QImage(out("001-Cocina.png")).width(), 639);
    EXPECT_EQ(QImage(out("002-Bar.png")).width(), 464);
    const QString cancel = QString::fromUtf8(readFile(out("003-Cocina.txt")));
    EXPECT_TRUE(cancel.contains("16|A N U L A C I O N!!\n"));
    EXPECT_TRUE(cancel.contains("2024-03-05 14:07:09\n"));  // the fixed clock
    EXPECT_TRUE(QString::fromUtf8(readFile(out("001-Cocina.txt"))).contains("38.000"));
    EXPECT_EQ(readFile(out("balloons.txt")),
              QByteArray("1|Impresion de comanda|Comanda enviada a Cocina\n"
                         "1|Impresion de comanda|Comanda enviada a Bar\n"
                         "1|Impresion de comanda|Comanda enviada a Cocina\n"));
    // The written files are listed in print order.
    EXPECT_TRUE(r.out.startsWith(QDir::toNativeSeparators(out("001-Cocina.txt"))));
}

TEST_F(TicketRenderTest, OfflinePrintersFallBackAndFailuresAreEscapedInBalloons) {
    // The kitchen printer is offline: its tickets go to the default printer.
    Outcome r = render({"--printer", "Cocina:offline", "--printer", "Bar=3288", "--printer", "Caja",
                        "--default", "Caja", "--out", out(), jobPath("pedido.json")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(files(), (QStringList{"001-Caja.txt", "002-Bar.txt", "003-Caja.txt", "004-Caja.raw",
                                    "balloons.txt"}));

    // Kitchen printer and default both offline: one error balloon per ticket, CR LF escaped.
    r = render({"--printer", "Cocina=4535:offline", "--printer", "Bar=3288", "--default", "Cocina",
                "--out", out(), jobPath("pedido.json")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(files(), (QStringList{"001-Bar.txt", "balloons.txt"}));  // earlier run cleared
    const QStringList lines = QString::fromUtf8(readFile(out("balloons.txt"))).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(
        lines[0].startsWith("3|Error al imprimir|Error al imprimir, La impresora Cocina "
                            "no esta disponible. \\r\\n"))
        << lines[0].toStdString();
    EXPECT_TRUE(r.err.contains("balloon 3 Error al imprimir: "));
}

TEST_F(TicketRenderTest, EscposFilesFollowTheSettingsAndKeepTheNumberingOfEveryFormat) {
    QDir().mkpath(dir_.filePath("app"));
    QFile ini(dir_.filePath("app/servidor.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(
        "[impresoras]\nCocina=escpos-text\nbar=escpos-text codepage=wpc1252 cut=no\n"
        "Caja=escpos dots=512\nMal=escpos sin=sentido\n");
    ini.close();
    // The kitchen printer is offline: its tickets fall back to the raster Caja in both of
    // the layout passes, so the Bar ticket keeps its number.
    const Outcome r =
        render({"--app-dir", dir_.filePath("app"), "--printer", "Cocina:offline", "--printer",
                "Bar=3288", "--printer", "Caja", "--default", "Caja", "--format", "text,escpos",
                "--out", out(), "--now", "2024-03-05 14:07:09", jobPath("pedido.json")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(files(),
              (QStringList{"001-Caja.escpos", "001-Caja.txt", "002-Bar.escpos", "002-Bar.txt",
                           "003-Caja.escpos", "003-Caja.txt", "004-Caja.raw", "balloons.txt"}));
    EXPECT_TRUE(r.err.contains("Mal") && r.err.contains("sin=sentido")) << r.err.toStdString();

    const QByteArray raster = readFile(out("001-Caja.escpos"));
    EXPECT_TRUE(raster.startsWith(QByteArray("\x1B\x40\x1D\x76\x30\x00\x40\x00", 8)));  // 512 dots
    EXPECT_TRUE(raster.endsWith(QByteArray("\x1D\x56\x42\x00", 4)));
    const QByteArray text = readFile(out("002-Bar.escpos"));
    EXPECT_TRUE(text.startsWith(QByteArray("\x1B\x40\x1B\x74\x10", 5)));  // WPC1252
    EXPECT_TRUE(text.endsWith(QByteArray("\x1B\x64\x05", 3)));            // no cutter
    EXPECT_EQ(readFile(out("004-Caja.raw")), QByteArray("\x1B\x70\x00\x3C\xF0", 5));
    // The tape is the same as without the escpos format.
    const QByteArray tape = readFile(out("002-Bar.txt"));
    const Outcome alone = render({"--printer", "Cocina:offline", "--printer", "Bar=3288",
                                  "--printer", "Caja", "--default", "Caja", "--out", out(), "--now",
                                  "2024-03-05 14:07:09", jobPath("pedido.json")});
    ASSERT_EQ(alone.status, 0);
    EXPECT_EQ(readFile(out("002-Bar.txt")), tape);
}

TEST_F(TicketRenderTest, ANetworkPrinterOfTheSettingsIsOneMoreVirtualPrinter) {
    QDir().mkpath(dir_.filePath("app"));
    QFile ini(dir_.filePath("app/servidor.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[impresoras]\nBarra=escpos-text width=58 address=socket://127.0.0.1:9\n");
    ini.close();
    const QString job = writeJob(
        "{\"config\":[],\"comanda\":[{\"area\":\"barra\",\"nomMesa\":\"Mesa 1\","
        "\"productos\":[{\"nombre\":\"Caf\xC3\xA9\",\"cantidad\":1}]}],"
        "\"anulaciones\":[],\"factura\":[],\"idsLeidos\":[1]}");
    const Outcome r = render({"--app-dir", dir_.filePath("app"), "--printer", "Caja", "--format",
                              "text,escpos", "--out", out(), job});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(files(), (QStringList{"001-Barra.escpos", "001-Barra.txt", "balloons.txt"}));
    // A 58 mm printer: the small size of a narrow printer, and cp858's e acute.
    EXPECT_TRUE(readFile(out("001-Barra.txt")).startsWith("7|"));
    EXPECT_TRUE(readFile(out("001-Barra.escpos")).contains("CAF\x90"));
}

TEST_F(TicketRenderTest, WithoutPrintersOneDefaultPrinterTakesEverything) {
    const Outcome r = render({"--out", out(), jobPath("pedido.json")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(files(),
              (QStringList{"001-Predeterminada.txt", "002-Predeterminada.txt",
                           "003-Predeterminada.txt", "004-Predeterminada.raw", "balloons.txt"}));
}

TEST_F(TicketRenderTest, RejectedDocumentsExitOneWithTheReason) {
    // Not JSON at all: the reader's error text, nothing written.
    Outcome r = render({"--out", out(), writeJob("{\"config\": [")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.err.trimmed().isEmpty());
    EXPECT_TRUE(files().isEmpty());

    // A document without its settings list stops at that member.
    r = render({"--out", out(),
                writeJob(R"({"comanda":[],"anulaciones":[],"factura":[],"idsLeidos":[1]})")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("config")) << r.err.toStdString();

    // Nothing to print is still a dispatched document.
    r = render({"--out", out(),
                writeJob("\xEF\xBB\xBF"
                         R"({"config":[],"comanda":[{"area":"X"}],
        "anulaciones":[],"factura":[],"idsLeidos":[]})")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(files(), QStringList{"balloons.txt"});
}

TEST_F(TicketRenderTest, InvoicesTakeTheLogoAndSoftwareFooterFromTheApplicationFolder) {
    QDir(dir_.path()).mkpath("app");
    QFile ini(dir_.filePath("app/servidor.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[factura]\nnit_software=900.123.456-7\nweb_software=www.example.test\n");
    ini.close();
    QImage logo(520, 260, QImage::Format_RGB32);  // 5200 x 2600 hundredths of a mm at 254 dpi
    logo.fill(Qt::black);
    logo.setDotsPerMeterX(10000);
    logo.setDotsPerMeterY(10000);
    ASSERT_TRUE(logo.save(dir_.filePath("app/logo.bmp"), "BMP"));

    const Outcome r = render({"--app-dir", dir_.filePath("app"), "--printer", "Caja", "--format",
                              "text,pdf", "--out", out(), jobPath("factura.json")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString tape = QString::fromUtf8(readFile(out("001-Caja.txt")));
    // The picture states its resolution: 5200 x 2600 hundredths of a mm print 2000 x 1000.
    EXPECT_TRUE(tape.startsWith("PICTURE|")) << tape.left(200).toStdString();
    EXPECT_TRUE(tape.section(u'\n', 0, 0).endsWith(",20,2000,1000")) << tape.left(80).toStdString();
    EXPECT_TRUE(tape.contains("|Nit 900.123.456-7\n"));
    EXPECT_TRUE(tape.contains("|www.example.test\n"));
    EXPECT_TRUE(readFile(out("001-Caja.pdf")).startsWith("%PDF-"));
}

TEST_F(TicketRenderTest, DumpJsonPrintsTheCanonicalForm) {
    Outcome r = render({"--dump-json", writeJob("\xEF\xBB\xBF{\"a\": [1, \"x\"], \"b\": null}")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QStringLiteral("{\"a\":[1,\"x\"],\"b\":null}\n"));
    EXPECT_FALSE(QDir(out()).exists());
}

TEST_F(TicketRenderTest, UsageAndInputProblemsExitTwo) {
    const QString job = jobPath("pedido.json");
    for (const QStringList& args :
         {QStringList{}, QStringList{"--bogus", job}, QStringList{"--printer", "X=0", job},
          QStringList{"--printer", "=4535", job}, QStringList{"--format", "jpg", job},
          QStringList{"--now", "ayer", job}, QStringList{"--out"},
          QStringList{dir_.filePath("no-existe.json")},
          QStringList{"--app-dir", dir_.filePath("no-existe"), job}}) {
        const Outcome r = render(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
}

}  // namespace
