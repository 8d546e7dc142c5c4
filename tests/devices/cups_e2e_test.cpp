// Tickets and drawer pulses through a real CUPS scheduler of the test's own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "json/parser.h"
#include "json/runtime_error.h"
#include "printing/despacho.h"
#include "printing/devices/cups_printer_system.h"
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

TEST_F(CupsEndToEnd, StoppedQueueFallsBackToTheDefaultWithoutError) {
    ASSERT_EQ(cups_->admin("cupsdisable", {"-r", "Sin papel", "Cocina"}), QString());
    EXPECT_EQ(CupsPrinterSystem::queueProblem("Cocina"), QStringLiteral("Sin papel"));
    const int facturas = int(cups_->captured("Facturas").size());
    const int cocina = int(cups_->captured("Cocina").size());
    dispatch(kitchenJob("Cocina", "Mesa 4", "Arepa rellena"));
    ASSERT_TRUE(cups_->waitCaptured("Facturas", facturas + 1)) << cups_->errorLog().toStdString();
    EXPECT_TRUE(testing_cups::pdfText(cups_->captured("Facturas").last()).contains("Mesa 4"));
    EXPECT_EQ(cups_->captured("Cocina").size(), cocina);
    EXPECT_EQ(errorBalloons(), 0);
    ASSERT_EQ(notices_.balloons.size(), 1u);
    EXPECT_EQ(notices_.balloons[0].text, QStringLiteral("Comanda enviada a Facturas"));
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
        fate = system_.jobFate("ticket-prueba-1");
        if (fate != Fate::Done) QThread::msleep(100);
    }
    EXPECT_EQ(fate, Fate::Done);
    EXPECT_EQ(system_.jobFate("ticket-prueba-2"), Fate::Missing);

    // A job that never got its document is held, then cancelled before the ticket goes again.
    ASSERT_EQ(cups_->admin("cupsdisable", {"Bar"}), QString());
    QTemporaryDir dir;
    QFile datos(dir.filePath("pulso.raw"));
    ASSERT_TRUE(datos.open(QIODevice::WriteOnly));
    datos.write(kPulse);
    datos.close();
    cups_->admin(
        "lp", {"-d", "Bar", "-t", "ticket-prueba-3", "-H", "hold", "-o", "raw", datos.fileName()});
    EXPECT_EQ(system_.jobFate("ticket-prueba-3"), Fate::Unsent);
    system_.cancelJobs("ticket-prueba-3");
    EXPECT_EQ(system_.jobFate("ticket-prueba-3"), Fate::Unsent) << "cancelled: sent again";
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

}  // namespace
