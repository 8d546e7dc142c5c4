// Tickets and drawer pulses through a real CUPS scheduler of the test's own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>

#include "cups_raster.h"
#include "json/parser.h"
#include "json/runtime_error.h"
#include "printing/ajustes_impresoras.h"
#include "printing/despacho.h"
#include "printing/devices/cups_printer_system.h"
#include "printing/devices/painter_device.h"
#include "private_cups.h"
#include "support.h"

namespace {

using devices_test::RecordedNotices;
using printing::CupsPrinterSystem;
using testing_cups::PrivateCups;

const QByteArray kPulse("\x1B\x70\x00\x3C\xF0", 5);

QString kitchenJob(const QString& area, const QString& table, const QString& product) {
    return QStringLiteral(
               R"({"config":[{"Nombre":"Valores En Comanda","Descripcion":"1","Visible":"1"}],
        "comanda":[{"area":"%1","titulo":"Salon","nomMesa":"%2","responsable":"Ana",
          "nPedido":77,"fecha":"2024-03-05 14:02:11","productos":[
            {"nombre":"%3","cantidad":2,"valor":38000,"detalle":["sin cebolla"]},
            {"nombre":"Limonada natural","cantidad":1,"valor":7000,"detalle":[]}],
          "clienteNombre":"","codPlataforma":""}],
        "anulaciones":[],"factura":[],"idsLeidos":[1]})")
        .arg(area, table, product);
}

const QString kDrawerJob = QStringLiteral(
    R"({"config":[],"comanda":[],"anulaciones":[],"factura":[],"abrirCajon":true,"idsLeidos":[9]})");

class CupsEndToEnd : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        devices_test::ensureGuiApp();
        if (geteuid() != 0) return;
        cups_ = new PrivateCups;
        startError_ = cups_->start();
    }
    static void TearDownTestSuite() {
        delete cups_;
        cups_ = nullptr;
    }

    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "a private CUPS scheduler needs root";
        ASSERT_TRUE(startError_.isEmpty()) << startError_.toStdString();
        // Every test starts from the same three queues, all printing, "Facturas" the default.
        for (const auto& [name, width] : {std::pair{"Cocina", 80}, {"Bar", 58}, {"Facturas", 80}}) {
            ASSERT_EQ(cups_->addRollQueue(QString::fromLatin1(name), width), QString());
        }
        ASSERT_EQ(cups_->admin("lpadmin", {"-d", "Facturas"}), QString());
        env_.impresoras = &system_;
        env_.avisos = &notices_;
        env_.locale = QLocale(QStringLiteral("es_CO"));
        env_.reloj = [] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); };
    }

    void dispatch(const QString& text) {
        const json::JsonValue doc = json::parse(text).value;
        ASSERT_TRUE(json::parseErrors().isEmpty()) << json::parseErrors().toStdString();
        printing::setComunicacion(doc, env_);
    }

    int errorBalloons() const { return notices_.count(QStringLiteral("Error al imprimir")); }

    static PrivateCups* cups_;
    static QString startError_;
    CupsPrinterSystem system_;
    RecordedNotices notices_;
    printing::Entorno env_;
};

PrivateCups* CupsEndToEnd::cups_ = nullptr;
QString CupsEndToEnd::startError_;

TEST_F(CupsEndToEnd, QueuesListedWithTheirPaperAndTheDefault) {
    const QStringList names = system_.printers();
    EXPECT_EQ(names, (QStringList{"Bar", "Cocina", "Facturas"}));
    EXPECT_EQ(system_.defaultPrinterName(), QStringLiteral("Facturas"));
    EXPECT_EQ(system_.printer(int(names.indexOf("Cocina"))).pageWidth(), 4535);
    EXPECT_EQ(system_.printer(int(names.indexOf("Bar"))).pageWidth(), 3288);
    EXPECT_THROW(system_.printer(3), json::RuntimeError);

    // A queue without a driver reports no paper: taken as an 80 mm roll.
    ASSERT_EQ(cups_->addRawQueue("Crudo"), QString());
    CupsPrinterSystem fresh;
    const QStringList all = fresh.printers();
    ASSERT_TRUE(all.contains("Crudo"));
    EXPECT_EQ(fresh.printer(int(all.indexOf("Crudo"))).pageWidth(), 4535);
    cups_->admin("lpadmin", {"-x", "Crudo"});
}

TEST_F(CupsEndToEnd, KitchenTicketsArriveAtTheirQueuesAsPdf) {
    const int cocina = int(cups_->captured("Cocina").size());
    const int bar = int(cups_->captured("Bar").size());
    dispatch(kitchenJob("Cocina", "Mesa 12 Terraza", "Hamburguesa doble"));
    dispatch(kitchenJob("Bar", "Barra 3", "Cerveza roja"));
    ASSERT_TRUE(cups_->waitCaptured("Cocina", cocina + 1)) << cups_->errorLog().toStdString();
    ASSERT_TRUE(cups_->waitCaptured("Bar", bar + 1)) << cups_->errorLog().toStdString();

    QFile pdf(cups_->captured("Cocina").last());
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5).startsWith("%PDF-"));
    const QString text = testing_cups::pdfText(pdf.fileName());
    EXPECT_TRUE(text.contains("Mesa 12 Terraza")) << text.toStdString();
    EXPECT_TRUE(text.contains("Hamburguesa")) << text.toStdString();
    EXPECT_TRUE(text.contains("Limonada")) << text.toStdString();
    EXPECT_TRUE(text.contains("SIN CEBOLLA")) << text.toStdString();
    const QString barText = testing_cups::pdfText(cups_->captured("Bar").last());
    EXPECT_TRUE(barText.contains("Barra 3")) << barText.toStdString();
    EXPECT_TRUE(barText.contains("Cerveza")) << barText.toStdString();

    EXPECT_EQ(errorBalloons(), 0);
    ASSERT_EQ(notices_.balloons.size(), 2u);
    EXPECT_EQ(notices_.balloons[0].text, QStringLiteral("Comanda enviada a Cocina"));
    EXPECT_EQ(notices_.balloons[1].text, QStringLiteral("Comanda enviada a Bar"));
}

// Invoices print on the system's default queue, whatever the other tickets use; the drawer
// pulse of the same document goes to "Facturas".
TEST_F(CupsEndToEnd, InvoiceArrivesAtTheDefaultQueueWithTotalAndLegalLines) {
    ASSERT_EQ(cups_->admin("lpadmin", {"-d", "Cocina"}), QString());
    QFile job(QStringLiteral(SI_SOURCE_DIR "/examples/factura-cerrada.json"));
    ASSERT_TRUE(job.open(QIODevice::ReadOnly));
    const int cocina = int(cups_->captured("Cocina").size());
    const int facturas = int(cups_->captured("Facturas").size());
    dispatch(QString::fromUtf8(job.readAll()));
    ASSERT_TRUE(cups_->waitCaptured("Cocina", cocina + 1)) << cups_->errorLog().toStdString();
    ASSERT_TRUE(cups_->waitCaptured("Facturas", facturas + 1)) << cups_->errorLog().toStdString();

    const QString text = testing_cups::pdfText(cups_->captured("Cocina").last());
    EXPECT_TRUE(text.contains("141.900")) << text.toStdString();  // paid 129.000 + tip 12.900
    EXPECT_TRUE(text.contains("RESPONSABLE DE IMPUESTO NACIONAL")) << text.toStdString();
    EXPECT_TRUE(text.contains("RESOLUCION DIAN")) << text.toStdString();
    EXPECT_TRUE(text.contains("Software Zentilori")) << text.toStdString();

    QFile pulse(cups_->captured("Facturas").last());
    ASSERT_TRUE(pulse.open(QIODevice::ReadOnly));
    EXPECT_EQ(pulse.readAll(), kPulse);
    EXPECT_EQ(errorBalloons(), 0);
    EXPECT_EQ(notices_.count(QStringLiteral("Impresion de Factura")), 1);
}

// The kitchen's own queue is installed but stopped: the ticket prints once on the default
// queue, and the operator is told which printer failed and why. An area without a queue of
// its own still goes to the default without a word.
TEST_F(CupsEndToEnd, StoppedQueueFallsBackToTheDefaultWithAWarning) {
    ASSERT_EQ(cups_->admin("cupsdisable", {"-r", "Sin papel", "Cocina"}), QString());
    EXPECT_EQ(CupsPrinterSystem::queueProblem("Cocina"), QStringLiteral("Sin papel"));
    const int facturas = int(cups_->captured("Facturas").size());
    const int cocina = int(cups_->captured("Cocina").size());
    dispatch(kitchenJob("Cocina", "Mesa 4", "Arepa rellena"));
    ASSERT_TRUE(cups_->waitCaptured("Facturas", facturas + 1)) << cups_->errorLog().toStdString();
    EXPECT_TRUE(testing_cups::pdfText(cups_->captured("Facturas").last()).contains("Mesa 4"));
    EXPECT_EQ(cups_->captured("Cocina").size(), cocina);
    EXPECT_EQ(errorBalloons(), 0);
    ASSERT_EQ(notices_.balloons.size(), 2u);
    EXPECT_EQ(notices_.balloons[0].text, QStringLiteral("Comanda enviada a Facturas"));
    EXPECT_EQ(notices_.balloons[1].icon, printing::kGloboAviso);
    EXPECT_EQ(notices_.balloons[1].title, QStringLiteral("Impresora no disponible"));
    EXPECT_EQ(notices_.balloons[1].text,
              QStringLiteral("La impresora Cocina no esta disponible (Sin papel). "
                             "El ticket se imprimio en Facturas."));
    EXPECT_TRUE(notices_.log.contains(notices_.balloons[1].text));

    dispatch(kitchenJob("Terraza", "Mesa 30", "Mojito"));
    ASSERT_TRUE(cups_->waitCaptured("Facturas", facturas + 2)) << cups_->errorLog().toStdString();
    ASSERT_EQ(notices_.balloons.size(), 3u);
    EXPECT_EQ(notices_.balloons[2].text, QStringLiteral("Comanda enviada a Facturas"));
    EXPECT_FALSE(cups_->waitCaptured("Facturas", facturas + 3, 1000));  // nothing printed twice
    cups_->admin("cupsenable", {"Cocina"});
}

TEST_F(CupsEndToEnd, BothQueuesFailingGiveOneBalloonWithTheReason) {
    ASSERT_EQ(cups_->admin("cupsdisable", {"Cocina"}), QString());
    ASSERT_EQ(cups_->admin("cupsreject", {"-r", "Tapa abierta", "Facturas"}), QString());
    dispatch(kitchenJob("Cocina", "Mesa 5", "Sopa"));
    ASSERT_EQ(errorBalloons(), 1);
    const auto& b = notices_.balloons.front();
    EXPECT_EQ(b.icon, printing::kGloboError);
    EXPECT_EQ(b.text, QStringLiteral("Error al imprimir, La impresora Facturas no esta disponible. "
                                     "\r\nTapa abierta Tapa abierta"));
    EXPECT_EQ(notices_.balloons.size(), 1u);
    cups_->admin("cupsenable", {"Cocina"});
    cups_->admin("cupsaccept", {"Facturas"});
}

// A restart finds a ticket's job by its name: completed, or never sent at all.
TEST_F(CupsEndToEnd, JobsCarryTheTicketNameAndARestartCanAskForThem) {
    const int bar = int(cups_->captured("Bar").size());
    system_.setJobName("ticket-prueba-1");
    system_.writeRaw("Bar", kPulse);
    ASSERT_TRUE(cups_->waitCaptured("Bar", bar + 1)) << cups_->errorLog().toStdString();
    using Fate = printing::PrinterSystem::JobFate;
    Fate fate = Fate::Unknown;
    for (int i = 0; i < 50 && fate != Fate::Done; ++i) {
        fate = system_.jobFate("Bar", "ticket-prueba-1");
        if (fate != Fate::Done) QThread::msleep(100);
    }
    EXPECT_EQ(fate, Fate::Done);
    EXPECT_EQ(system_.jobFate("Bar", "ticket-prueba-2"), Fate::Missing);

    // A job that never got its document is held, then cancelled before the ticket goes again.
    ASSERT_EQ(cups_->admin("cupsdisable", {"Bar"}), QString());
    QTemporaryDir dir;
    QFile datos(dir.filePath("pulso.raw"));
    ASSERT_TRUE(datos.open(QIODevice::WriteOnly));
    datos.write(kPulse);
    datos.close();
    cups_->admin(
        "lp", {"-d", "Bar", "-t", "ticket-prueba-3", "-H", "hold", "-o", "raw", datos.fileName()});
    EXPECT_EQ(system_.jobFate("Bar", "ticket-prueba-3"), Fate::Unsent);
    system_.cancelJobs("ticket-prueba-3");
    EXPECT_EQ(system_.jobFate("Bar", "ticket-prueba-3"), Fate::Unsent) << "cancelled: sent again";
    ASSERT_EQ(cups_->admin("cupsenable", {"Bar"}), QString());
}

TEST_F(CupsEndToEnd, DrawerPulseGoesRawToFacturasElseToTheDefault) {
    const int facturas = int(cups_->captured("Facturas").size());
    dispatch(kDrawerJob);
    ASSERT_TRUE(cups_->waitCaptured("Facturas", facturas + 1)) << cups_->errorLog().toStdString();
    QFile pulse(cups_->captured("Facturas").last());
    ASSERT_TRUE(pulse.open(QIODevice::ReadOnly));
    EXPECT_EQ(pulse.readAll(), kPulse);

    // Without a "Facturas" queue the pulse goes to the system's default queue.
    ASSERT_EQ(cups_->admin("lpadmin", {"-x", "Facturas"}), QString());
    ASSERT_EQ(cups_->admin("lpadmin", {"-d", "Bar"}), QString());
    CupsPrinterSystem fresh;
    env_.impresoras = &fresh;
    env_.seleccion->fijar(nullptr);
    const int bar = int(cups_->captured("Bar").size());
    dispatch(kDrawerJob);
    ASSERT_TRUE(cups_->waitCaptured("Bar", bar + 1)) << cups_->errorLog().toStdString();
    QFile barPulse(cups_->captured("Bar").last());
    ASSERT_TRUE(barPulse.open(QIODevice::ReadOnly));
    EXPECT_EQ(barPulse.readAll(), kPulse);
    EXPECT_EQ(errorBalloons(), 0);
}

TEST_F(CupsEndToEnd, MissingQueueIsReportedNotPrintedElsewhere) {
    EXPECT_FALSE(CupsPrinterSystem::queueProblem("NoExiste").isEmpty());
    EXPECT_THROW(system_.writeRaw("NoExiste", kPulse), json::RuntimeError);
    EXPECT_EQ(CupsPrinterSystem::queueProblem("Cocina"), QString());
}

// A receipt printer on the network behind a raw queue gets the pulse byte for byte.
TEST_F(CupsEndToEnd, DrawerPulseReachesANetworkPrinterExactly) {
    testing_cups::Listener printer;
    ASSERT_EQ(cups_->addRawSocketQueue("Caja", printer.port()), QString());
    CupsPrinterSystem fresh;
    fresh.writeRaw("Caja", kPulse);
    ASSERT_TRUE(printer.wait(1)) << cups_->errorLog().toStdString();
    EXPECT_EQ(printer.jobs().front(), kPulse);
    cups_->admin("lpadmin", {"-x", "Caja"});
}

// What a receipt printer would print from the bytes it got: escpos-view --text lines.
struct Decoded {
    int exitCode = -1;
    QStringList lines;
};
Decoded escposView(const QByteArray& bytes) {
    QTemporaryDir dir;
    QFile f(dir.filePath("job.escpos"));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    f.close();
    QProcess view;
    view.start(QStringLiteral(SI_BINARY_DIR "/tools/escpos-view/escpos-view"),
               {"--text", f.fileName()});
    view.waitForFinished(30000);
    Decoded d;
    d.exitCode = view.exitStatus() == QProcess::NormalExit ? view.exitCode() : -1;
    d.lines = QString::fromUtf8(view.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    return d;
}

printing::AjustesImpresoras ajustes(const QList<QPair<QString, QString>>& entries) {
    return printing::AjustesImpresoras::leer(entries, [](const QString&) {});
}

// The bounding box of the dark dots of a picture.
QRect inkBox(const QImage& image) {
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) >= 128) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// One painter printer, to see a ticket as the 203 dpi preview paints it.
class PreviewSystem : public printing::PrinterSystem {
  public:
    explicit PreviewSystem(const QString& name) : device_(name, 4535) {
        device_.setEndHook([this](const printing::PaintedDocument& d) { image = d.toImage(203); });
    }
    QStringList printers() override { return {device_.deviceName()}; }
    printing::PrintDevice& printer(int) override { return device_; }
    QString defaultPrinterName() override { return device_.deviceName(); }
    void writeRaw(const QString&, const QByteArray&) override {}
    QImage image;

  private:
    printing::PainterDevice device_;
};

// A raw queue (a USB or port-9100 receipt printer) gets ESC/POS, one job per ticket: no PDF,
// a raster as wide as an 80 mm printer prints, and a cut.
TEST_F(CupsEndToEnd, RawQueueGetsOneEscposJobPerTicket) {
    testing_cups::Listener printer;
    ASSERT_EQ(cups_->addRawSocketQueue("Parrilla", printer.port()), QString());
    CupsPrinterSystem system;
    env_.impresoras = &system;
    dispatch(kitchenJob("Parrilla", "Mesa 12 Terraza", "Hamburguesa doble"));
    dispatch(kitchenJob("Parrilla", "Mesa 7", "Churrasco"));
    ASSERT_TRUE(printer.wait(2)) << cups_->errorLog().toStdString();
    EXPECT_FALSE(printer.wait(3, 1500));  // nothing printed twice

    for (const QByteArray& job : printer.jobs()) {
        EXPECT_TRUE(job.startsWith("\x1B\x40"));
        EXPECT_TRUE(job.endsWith(QByteArray("\x1D\x56\x42\x00", 4)));
        EXPECT_FALSE(job.contains("%PDF"));
        const Decoded d = escposView(job);
        EXPECT_EQ(d.exitCode, 0);
        EXPECT_EQ(d.lines.count("CUT"), 1);
        ASSERT_FALSE(d.lines.isEmpty());
        EXPECT_TRUE(d.lines.front().startsWith("RASTER|576 x "))
            << d.lines.join('\n').toStdString();
    }
    EXPECT_EQ(errorBalloons(), 0);
    EXPECT_EQ(notices_.count(QStringLiteral("Impresora no disponible")), 0);
    cups_->admin("lpadmin", {"-x", "Parrilla"});
}

// [impresoras] turns a raw queue to the printer's own fonts: the ticket's words arrive as
// text in the chosen code page, and the whole ticket stays small.
TEST_F(CupsEndToEnd, RawQueueInTextModeGetsTheTicketsWords) {
    testing_cups::Listener printer;
    ASSERT_EQ(cups_->addRawSocketQueue("Parrilla", printer.port()), QString());
    CupsPrinterSystem system({}, ajustes({{"parrilla", "escpos-text codepage=cp850"}}));
    env_.impresoras = &system;
    dispatch(kitchenJob("Parrilla", "Mesa 12 Terraza", QStringLiteral("Pequeño añejo")));
    ASSERT_TRUE(printer.wait(1)) << cups_->errorLog().toStdString();
    const QByteArray job = printer.jobs().front();
    EXPECT_TRUE(job.startsWith("\x1B\x40\x1B\x74\x02"));  // ESC @, then code page 850
    EXPECT_LT(job.size(), 3000);
    const Decoded d = escposView(job);
    EXPECT_EQ(d.exitCode, 0);
    const QString text = d.lines.join('\n');
    EXPECT_TRUE(text.contains("Mesa 12 Terraza", Qt::CaseInsensitive)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Pequeño añejo"), Qt::CaseInsensitive))
        << text.toStdString();
    EXPECT_TRUE(text.contains("Limonada", Qt::CaseInsensitive)) << text.toStdString();
    cups_->admin("lpadmin", {"-x", "Parrilla"});
}

// A thermal printer's driver queue gets one page per ticket, as long as the ticket, laid out
// inside its 4 mm margins, neither turned nor scaled: the dots match the 203 dpi preview.
TEST_F(CupsEndToEnd, DriverQueueGetsTheTicketOnItsPrintableArea) {
    testing_cups::Listener printer;
    ASSERT_EQ(cups_->addThermalQueue("Termica", printer.port()), QString());
    CupsPrinterSystem system;
    env_.impresoras = &system;
    const QString doc = kitchenJob("Termica", QStringLiteral("María Fernanda"), "Ajiaco");
    dispatch(doc);
    ASSERT_TRUE(printer.wait(1)) << cups_->errorLog().toStdString();
    const QList<testing_cups::RasterPage> pages = testing_cups::rasterPages(printer.jobs().front());
    ASSERT_EQ(pages.size(), 1);
    const testing_cups::RasterPage& page = pages.front();
    EXPECT_EQ(page.dpi, 203);
    EXPECT_NEAR(page.width, 575, 3);                   // the 72 mm between the margins
    EXPECT_NEAR(page.pageSizePoints.width(), 227, 1);  // on 80 mm paper
    EXPECT_LT(page.pageSizePoints.height(), 842 / 2);  // not a 297 mm page

    PreviewSystem preview("Termica");
    env_.impresoras = &preview;
    env_.seleccion->fijar(nullptr);
    dispatch(doc);
    const QRect painted = inkBox(preview.image);
    const QRect printed = inkBox(page.image);
    ASSERT_TRUE(painted.isValid() && printed.isValid());
    // The raster starts at the left margin: the ticket's left edge is the printable area's.
    EXPECT_NEAR(printed.left(), painted.left(), 3);
    EXPECT_LT(printed.right(), page.width - 1);
    EXPECT_NEAR(printed.width(), painted.width(), 3);
    EXPECT_NEAR(printed.height(), painted.height(), 3);
    EXPECT_NEAR(printed.top(), painted.top(), 3);
    cups_->admin("lpadmin", {"-x", "Termica"});
}

// A network printer with no queue at all joins the list under its [impresoras] key.
TEST_F(CupsEndToEnd, AddressPrinterWithoutQueuePrintsStraightToTheSocket) {
    testing_cups::Listener printer;
    const QString address =
        QStringLiteral("escpos address=socket://127.0.0.1:%1").arg(printer.port());
    CupsPrinterSystem system({}, ajustes({{"Barra", address}}));
    env_.impresoras = &system;
    EXPECT_TRUE(system.printers().contains("Barra"));
    dispatch(kitchenJob("Barra", "Barra 3", "Cerveza roja"));
    ASSERT_TRUE(printer.wait(1));
    EXPECT_FALSE(printer.wait(2, 500));  // one ticket, one job
    const QByteArray job = printer.jobs().back();
    EXPECT_TRUE(job.startsWith("\x1B\x40"));
    EXPECT_TRUE(job.endsWith(QByteArray("\x1D\x56\x42\x00", 4)));
    EXPECT_EQ(notices_.balloons.back().text, QStringLiteral("Comanda enviada a Barra"));

    system.writeRaw("barra", kPulse);
    ASSERT_TRUE(printer.wait(int(printer.jobs().size()) + 1));
    EXPECT_EQ(printer.jobs().back(), kPulse);

    // [servidor] default= names the default printer even without any CUPS queue of that name.
    system.setDefaultPrinterName("Barra");
    EXPECT_EQ(system.defaultPrinterName(), QStringLiteral("Barra"));
}

// A job the printer does not take is reported once, and left with CUPS.
TEST_F(CupsEndToEnd, LateJobGetsOneWarning) {
    quint16 deadPort = 0;
    {
        testing_cups::Listener gone;
        deadPort = gone.port();
    }
    ASSERT_EQ(cups_->addRawSocketQueue("Lenta", deadPort), QString());
    CupsPrinterSystem system;
    system.setAvisos(&notices_);
    system.setPendingNoticeMs(1500);
    env_.impresoras = &system;
    dispatch(kitchenJob("Lenta", "Mesa 1", "Sopa"));
    QElapsedTimer t;
    t.start();
    while (notices_.count("Impresion demorada") == 0 && t.elapsed() < 15000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    }
    ASSERT_EQ(notices_.count("Impresion demorada"), 1);
    const auto late = std::find_if(notices_.balloons.begin(), notices_.balloons.end(),
                                   [](const auto& b) { return b.title == "Impresion demorada"; });
    EXPECT_EQ(late->icon, printing::kGloboAviso);
    EXPECT_TRUE(late->text.startsWith("El ticket de Lenta no se ha impreso: "))
        << late->text.toStdString();
    EXPECT_GT(late->text.size(), QString("El ticket de Lenta no se ha impreso: ").size());
    cups_->admin("cancel", {"-a", "Lenta"});
    cups_->admin("lpadmin", {"-x", "Lenta"});
}

// A driver queue that cannot take PDF fails its probe, so its ticket prints on the default
// printer instead of being lost at submission.
TEST_F(CupsEndToEnd, QueueThatRefusesPdfSendsItsTicketToTheDefault) {
    ASSERT_EQ(cups_->addTextOnlyQueue("Texto"), QString());
    CupsPrinterSystem system;
    env_.impresoras = &system;
    EXPECT_FALSE(CupsPrinterSystem::probeQueue("Texto").pdf);
    EXPECT_TRUE(CupsPrinterSystem::probeQueue("Cocina").pdf);
    const int facturas = int(cups_->captured("Facturas").size());
    dispatch(kitchenJob("Texto", "Mesa 9", "Bandeja paisa"));
    ASSERT_TRUE(cups_->waitCaptured("Facturas", facturas + 1)) << cups_->errorLog().toStdString();
    EXPECT_TRUE(testing_cups::pdfText(cups_->captured("Facturas").last()).contains("Mesa 9"));
    EXPECT_TRUE(cups_->captured("Texto").isEmpty());
    EXPECT_EQ(errorBalloons(), 0);
    EXPECT_EQ(notices_.balloons.back().text,
              QStringLiteral("La impresora Texto no esta disponible (La impresora no acepta "
                             "documentos PDF). El ticket se imprimio en Facturas."));
    cups_->admin("lpadmin", {"-x", "Texto"});
}

// A network printer that does not answer: its ticket prints on the default queue, with the
// socket's reason in the warning.
TEST_F(CupsEndToEnd, UnreachableAddressPrinterFallsBackWithTheSocketsReason) {
    quint16 deadPort = 0;
    {
        testing_cups::Listener gone;
        deadPort = gone.port();
    }
    CupsPrinterSystem system(
        {},
        ajustes({{"Barra", QStringLiteral("escpos address=socket://127.0.0.1:%1").arg(deadPort)}}));
    env_.impresoras = &system;
    const int facturas = int(cups_->captured("Facturas").size());
    dispatch(kitchenJob("Barra", "Barra 1", "Cerveza roja"));
    ASSERT_TRUE(cups_->waitCaptured("Facturas", facturas + 1)) << cups_->errorLog().toStdString();
    EXPECT_TRUE(testing_cups::pdfText(cups_->captured("Facturas").last()).contains("Barra 1"));
    const auto& warning = notices_.balloons.back();
    EXPECT_EQ(warning.title, QStringLiteral("Impresora no disponible"));
    EXPECT_TRUE(warning.text.startsWith("La impresora Barra no esta disponible ("))
        << warning.text.toStdString();
    EXPECT_TRUE(warning.text.endsWith("). El ticket se imprimio en Facturas."))
        << warning.text.toStdString();
    EXPECT_GT(
        warning.text.size(),
        QString("La impresora Barra no esta disponible (). El ticket se imprimio en Facturas.")
            .size());
}

}  // namespace
