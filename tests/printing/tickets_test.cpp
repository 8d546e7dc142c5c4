#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "banco.h"
#include "json/runtime_error.h"
#include "printing/anulaciones.h"
#include "printing/cajon.h"
#include "printing/comandas.h"
#include "printing/primitives.h"
#include "printing/ticket_comun.h"

namespace printing::test {
namespace {

using json::JsonValue;

QStringList lineas(const QString& cinta) {
    QStringList l = cinta.split(u'\n');
    if (!l.isEmpty() && l.last().isEmpty()) l.removeLast();
    return l;
}

class TicketsTest : public ::testing::Test {
  protected:
    Banco b;
    void SetUp() override {
        b.agregar(QStringLiteral("Cocina"), 4535);
        b.agregar(QStringLiteral("Bar"), 3288);
        b.agregar(QStringLiteral("Parrilla"), 5669);
        b.configurar(QStringLiteral(R"([{"Nombre":"Valores En Comanda","Descripcion":"0"}])"));
    }
    void valores(bool on) {
        b.configurar(QStringLiteral(R"([{"Nombre":"Valores En Comanda","Descripcion":"%1"}])")
                         .arg(on ? QStringLiteral("1") : QStringLiteral("0")));
    }
    QStringList cocina() { return lineas(b.tapes(QStringLiteral("Cocina"))); }
};

TEST_F(TicketsTest, KitchenTicketPerAreaInListOrderWithOneBalloonEach) {
    imprimirComandas(b.e, parsear(QStringLiteral(R"([
        {"area":"Bar","nomMesa":"Mesa 4","productos":[{"nombre":"Cerveza","cantidad":2}]},
        {"area":"NN","nomMesa":"Mesa 9","productos":[]},
        {"nomMesa":"Mesa 8","productos":[]},
        {"area":" cocina ","nomMesa":"Mesa 4","productos":[{"nombre":"Arepa","cantidad":1}]}
    ])")));
    ASSERT_EQ(b.sistema.outputs().size(), 2u);
    EXPECT_EQ(b.sistema.outputs()[0].printer, QStringLiteral("Bar"));
    EXPECT_EQ(b.sistema.outputs()[1].printer, QStringLiteral("Cocina"));
    ASSERT_EQ(b.avisos.globos.size(), 2u);
    EXPECT_EQ(b.avisos.globos[0], (Globo{1, "Impresion de comanda", "Comanda enviada a Bar"}));
    EXPECT_EQ(b.avisos.globos[1], (Globo{1, "Impresion de comanda", "Comanda enviada a Cocina"}));
    // The heading shows the area as the order wrote it, centred and upper-cased.
    EXPECT_EQ(cocina().at(1), "7|" + QString(12, u' ') + "COCINA");
}

TEST_F(TicketsTest, MissingPrinterFallsBackToTheDefaultSilently) {
    imprimirComandas(b.e, parsear(QStringLiteral(R"([
        {"area":"Terraza","titulo":null,"nomMesa":12,"productos":[],"fecha":"hoy"}])")));
    ASSERT_EQ(b.sistema.outputs().size(), 1u);
    EXPECT_EQ(b.sistema.outputs()[0].printer, QStringLiteral("Cocina"));
    const QStringList l = cocina();
    EXPECT_EQ(l.at(0), "7|" + QString(11, u' ') + "TERRAZA");  // 12.5 rounds to 12
    EXPECT_EQ(l.at(2), QStringLiteral("16| 12 "));             // a number prints with its blanks
    EXPECT_EQ(b.avisos.globos,
              (std::vector<Globo>{{1, "Impresion de comanda", "Comanda enviada a Cocina"}}));
}

TEST_F(TicketsTest, TitleRowsDependOnNullNotOnPresence) {
    imprimirComandas(b.e, parsear(QStringLiteral(R"([
        {"area":"Cocina","titulo":null,"nomMesa":"M","productos":[]},
        {"area":"Cocina","nomMesa":"M","productos":[]}])")));
    const QStringList tapes = b.sistema.tapesOf(QStringLiteral("Cocina"));
    ASSERT_EQ(tapes.size(), 2);
    const QString regla = "7|" + QString(30, u'=');
    const QString area = "7|" + QString(12, u' ') + "COCINA";
    EXPECT_EQ(lineas(tapes[0]).mid(0, 2), QStringList({area, regla}));
    EXPECT_EQ(lineas(tapes[1]).mid(0, 3), QStringList({regla, area, regla}));
}

TEST_F(TicketsTest, ValuesOnSplitLongNamesAndSumEachOrderOnItsOwn) {
    valores(true);
    imprimirComandas(b.e, parsear(QStringLiteral(R"([
        {"area":"Cocina","titulo":null,"nomMesa":"M","productos":[
          {"nombre":"Arroz con pollo y maduro","cantidad":-2,"valor":"31000.5"},
          {"nombre":"Chicharroncitos grandes","cantidad":1,"valor":0.1},
          {"nombre":"Te","cantidad":1,"valor":0.2}]},
        {"area":"Cocina","titulo":null,"nomMesa":"M","productos":[
          {"nombre":"Agua","cantidad":1,"valor":2500}]}])")));
    const QStringList tapes = b.sistema.tapesOf(QStringLiteral("Cocina"));
    ASSERT_EQ(tapes.size(), 2);
    const QStringList l = lineas(tapes[0]);
    const QString guion = "7|" + QString(30, u'-');
    // Quantity " 2 ", name from column 6 (its first 14 characters' whole words, in their
    // own case), amount ending at column 31; the rest of the name at column 5.
    const QStringList esperadas = {
        "12| 2   Arroz con " + QString(10, u' ') + "31.001",
        "12|    POLLO Y MADURO",
        guion,
        "12| 1   " + QString(25, u' ') + "0",
        "12|    CHICHARRONCITOS GRANDES",
        guion,
        "12| 1   Te " + QString(22, u' ') + "0",
        "12|TOTAL 31000,8",
    };
    EXPECT_EQ(l.mid(4, esperadas.size()), esperadas);
    EXPECT_TRUE(lineas(tapes[1]).contains(QStringLiteral("12|TOTAL 2500")));
}

TEST_F(TicketsTest, KitchenTotalKeepsFifteenDigitsWithoutExponent) {
    valores(true);
    imprimirComandas(b.e, parsear(QStringLiteral(R"([
        {"area":"Parrilla","nomMesa":"M","productos":[
          {"nombre":"A","cantidad":1,"valor":0.1},{"nombre":"B","cantidad":1,"valor":0.2}]}])")));
    EXPECT_TRUE(
        lineas(b.tapes(QStringLiteral("Parrilla"))).contains(QStringLiteral("12|TOTAL 0,3")));
}

TEST_F(TicketsTest, ValuesOffProductsNotesAndRules) {
    imprimirComandas(b.e, parsear(QStringLiteral(R"([
        {"area":"Cocina","titulo":null,"nomMesa":"Mesa 1","productos":[
          {"nombre":"","cantidad":1,"detalle":["no sale"]},
          {"nombre":"Sopa   del  dia","cantidad":-1.5,"valor":9000,"detalle":["  ","sin sal"]},
          {"nombre":"","cantidad":1},
          {"nombre":"pan","cantidad":"3","detalle":[]}]}])")));
    const QStringList l = cocina();
    const QStringList esperadas = {"12|1,5 SOPA DEL DIA", "12|-> SIN SAL", "7|" + QString(30, u'-'),
                                   "12|3 PAN", "7|" + QString(30, u'=')};
    EXPECT_EQ(l.mid(4, esperadas.size()), esperadas);
    EXPECT_FALSE(b.tapes(QStringLiteral("Cocina")).contains(QStringLiteral("TOTAL")));
}

TEST_F(TicketsTest, BadOrderIsReportedCancelledAndTheNextOrderStillPrints) {
    imprimirComandas(b.e, parsear(QStringLiteral(R"([
        {"area":"Bar","nomMesa":"Uno","productos":[{"nombre":"Cerveza","cantidad":1}]},
        {"area":"Cocina","nomMesa":"Dos"},
        {"area":"Cocina","nomMesa":"Tres","productos":[{"nombre":"Arepa","cantidad":"x"}]},
        "no es una orden",
        {"area":"Bar","nomMesa":"Cuatro","productos":[]}])")));
    ASSERT_EQ(b.sistema.outputs().size(), 2u);
    EXPECT_TRUE(
        QString::fromUtf8(b.sistema.outputs()[1].content).contains(QStringLiteral("16|Cuatro")));
    // The interrupted tickets were cancelled: nothing of them reaches the next ticket.
    EXPECT_TRUE(b.sistema.tapesOf(QStringLiteral("Cocina")).isEmpty());
    EXPECT_FALSE(b.sistema.find(QStringLiteral("Cocina"))->documentOpen());
    ASSERT_EQ(b.avisos.globos.size(), 5u);
    EXPECT_EQ(b.avisos.globos[1], (Globo{2, "Comanda", "Object required"}));
    EXPECT_EQ(b.avisos.globos[2], (Globo{2, "Comanda", "Type mismatch"}));
    EXPECT_EQ(b.avisos.globos[3], (Globo{2, "Comanda", "Object required"}));
    EXPECT_EQ(b.avisos.log, QStringList({"Comanda: Object required", "Comanda: Type mismatch",
                                         "Comanda: Object required"}));
}

TEST_F(TicketsTest, DeviceFailureInTheMiddleCancelsTheTicket) {
    // Offline after the probe: the failure comes from the ticket's own lines.
    b.e.reloj = [this] {
        b.sistema.setOffline(QStringLiteral("Cocina"), true, QStringLiteral("Sin papel"));
        return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
    };
    imprimirAnulaciones(b.e, parsear(QStringLiteral(R"([
        {"area":"Cocina","nomMesa":"M","productos":[]},
        {"area":"Bar","nomMesa":"M","productos":[]}])")));
    EXPECT_TRUE(b.sistema.tapesOf(QStringLiteral("Cocina")).isEmpty());
    EXPECT_FALSE(b.sistema.find(QStringLiteral("Cocina"))->documentOpen());
    EXPECT_EQ(b.sistema.tapesOf(QStringLiteral("Bar")).size(), 1);
    ASSERT_GE(b.avisos.globos.size(), 1u);
    EXPECT_EQ(b.avisos.globos[0], (Globo{2, "Anulacion", "Sin papel"}));
    EXPECT_EQ(b.avisos.log, QStringList({"Anulacion: Sin papel"}));
}

TEST_F(TicketsTest, CancellationTicketLayout) {
    imprimirAnulaciones(b.e, parsear(QStringLiteral(R"([
        {"area":"NN","nomMesa":"Mesa 4","nPedido":77,"productos":[
          {"nombre":"Cerveza","cantidad":-2,"valor":5000,"detalle":["  ","fría"]},
          {"nombre":"","cantidad":1,"detalle":["no sale"]},
          {"nombre":"Limonada","cantidad":1}]}])")));
    // "NN" names no printer: the default printer (Cocina) takes it.
    const QString igual = "7|" + QString(30, u'=');
    EXPECT_EQ(cocina(), QStringList({"7|" + QString(14, u' ') + "NN", igual,
                                     "16|A N U L A C I O N!!", "16|Mesa 4", igual, "12|2 CERVEZA",
                                     "12|-> FRÍA", "7|" + QString(30, u'-'), "12|1 LIMONADA", igual,
                                     "12|Fecha\\Hora: ", "12|2024-03-05 14:07:09", "7| ", "7|."}));
    EXPECT_EQ(b.avisos.globos,
              (std::vector<Globo>{{1, "Impresion de comanda", "Comanda enviada a Cocina"}}));
}

TEST_F(TicketsTest, EmptyListsPrintAndShowNothing) {
    imprimirComandas(b.e, parsear(QStringLiteral("[]")));
    imprimirAnulaciones(b.e, parsear(QStringLiteral("[]")));
    EXPECT_TRUE(b.sistema.outputs().empty());
    EXPECT_TRUE(b.avisos.globos.empty());
}

// The frame tells where each ticket went, or why it went nowhere.
TEST_F(TicketsTest, TicketFrameReportsThePrinterUsedOrTheReason) {
    const auto linea = [this] { impresora(b.e).print({PrintItem::ofText(QStringLiteral("x"))}); };

    ResultadoTicket r = imprimirTicket(b.e, TipoTicket::Comanda, QStringLiteral("bar"), {}, linea);
    EXPECT_TRUE(r.enviado);
    EXPECT_EQ(r.impresora, QStringLiteral("Bar"));

    // An offline printer falls back to the default one, and the outcome says so (the
    // warning that goes with it is tested below).
    b.sistema.setOffline(QStringLiteral("Bar"), true, QStringLiteral("Sin papel"));
    r = imprimirTicket(b.e, TipoTicket::Anulacion, QStringLiteral("Bar"), {}, linea);
    EXPECT_TRUE(r.enviado);
    EXPECT_EQ(r.impresora, QStringLiteral("Cocina"));

    // A failing body: cancelled, reported under the ticket's kind, nothing on paper.
    r = imprimirTicket(b.e, TipoTicket::Factura, QStringLiteral("Parrilla"), {}, [&] {
        linea();
        throw json::RuntimeError::objectRequired();
    });
    EXPECT_FALSE(r.enviado);
    EXPECT_EQ(r.motivo, QStringLiteral("Object required"));
    EXPECT_TRUE(b.sistema.tapesOf(QStringLiteral("Parrilla")).isEmpty());
    EXPECT_FALSE(b.sistema.find(QStringLiteral("Parrilla"))->documentOpen());
    EXPECT_EQ(b.avisos.globos.back(), (Globo{2, "Factura", "Object required"}));
    EXPECT_EQ(b.avisos.log.back(), QStringLiteral("Factura: Object required"));

    // Neither the printer nor the default can print: not sent, the body never runs.
    b.sistema.setOffline(QStringLiteral("Cocina"), true, QStringLiteral("Sin papel"));
    bool corrio = false;
    r = imprimirTicket(b.e, TipoTicket::Comanda, QStringLiteral("Bar"), {}, [&] { corrio = true; });
    EXPECT_FALSE(r.enviado);
    EXPECT_FALSE(corrio);
    EXPECT_EQ(b.avisos.globos.back().titulo, QStringLiteral("Error al imprimir"));
}

// A printer whose documents are refused when they are handed over (a format the queue
// does not take, a queue gone, a network printer that stopped answering); its probe passes.
class RechazaAlFinal : public PrintDevice {
  public:
    RechazaAlFinal(PrintDevice& d, QString motivo) : d_(d), motivo_(std::move(motivo)) {}
    QString deviceName() const override { return d_.deviceName(); }
    int pageWidth() const override { return d_.pageWidth(); }
    QString fontName() const override { return d_.fontName(); }
    void setFontName(const QString& n) override { d_.setFontName(n); }
    float fontSize() const override { return d_.fontSize(); }
    void setFontSize(float s) override { d_.setFontSize(s); }
    bool fontBold() const override { return d_.fontBold(); }
    void setFontBold(bool on) override { d_.setFontBold(on); }
    bool fontItalic() const override { return d_.fontItalic(); }
    void setFontItalic(bool on) override { d_.setFontItalic(on); }
    void print(const QList<PrintItem>& items, bool continueLine) override {
        d_.print(items, continueLine);
    }
    double textWidth(const QString& t) override { return d_.textWidth(t); }
    double textHeight(const QString& t) override { return d_.textHeight(t); }
    void paintPicture(const QString& f, int x, int y, int w, int h) override {
        d_.paintPicture(f, x, y, w, h);
    }
    void endDoc() override {
        d_.killDoc();
        throw json::RuntimeError(json::err::PrinterError, motivo_);
    }
    void killDoc() override { d_.killDoc(); }

  private:
    PrintDevice& d_;
    QString motivo_;
};

// The bench's tape printers, with some of them refusing at the end.
class ConRechazos : public PrinterSystem {
  public:
    explicit ConRechazos(TapePrinterSystem& s) : s_(s) {}
    void rechazar(const QString& nombre, const QString& motivo) {
        rechazos_[nombre] = std::make_unique<RechazaAlFinal>(*s_.find(nombre), motivo);
    }
    QStringList printers() override { return s_.printers(); }
    PrintDevice& printer(int i) override {
        PrintDevice& d = s_.printer(i);
        auto it = rechazos_.find(d.deviceName());
        return it != rechazos_.end() ? *it->second : d;
    }
    QString defaultPrinterName() override { return s_.defaultPrinterName(); }
    void writeRaw(const QString& n, const QByteArray& bytes) override { s_.writeRaw(n, bytes); }

  private:
    TapePrinterSystem& s_;
    std::map<QString, std::unique_ptr<RechazaAlFinal>> rechazos_;
};

const QString kNoDisponible = QStringLiteral("Impresora no disponible");

// An installed printer that fails sends its ticket once to the default printer, and the
// operator is told which printer failed, why, and where the ticket went.
TEST_F(TicketsTest, FailedOwnPrinterFallsBackOnceWithAWarning) {
    const QString orden = QStringLiteral(
        R"([{"area":"Bar","nomMesa":"Mesa 4","productos":[{"nombre":"Cerveza","cantidad":2}]}])");
    // Refused at the probe.
    b.sistema.setOffline(QStringLiteral("Bar"), true, QStringLiteral("Sin papel"));
    imprimirComandas(b.e, parsear(orden));
    ASSERT_EQ(b.sistema.outputs().size(), 1u);
    EXPECT_EQ(b.sistema.outputs()[0].printer, QStringLiteral("Cocina"));
    const QString aviso = QStringLiteral(
        "La impresora Bar no esta disponible (Sin papel). El ticket se imprimio en Cocina.");
    EXPECT_EQ(b.avisos.globos,
              (std::vector<Globo>{{1, "Impresion de comanda", "Comanda enviada a Cocina"},
                                  {2, kNoDisponible, aviso}}));
    EXPECT_EQ(b.avisos.log, QStringList({aviso}));
    EXPECT_EQ(*b.e.ticketsSinImprimir, 0);

    // Refused when handed over: the body runs again on the default printer, once.
    b.sistema.setOffline(QStringLiteral("Bar"), false);
    b.sistema.clearOutputs();
    b.avisos.globos.clear();
    ConRechazos sistema(b.sistema);
    sistema.rechazar(QStringLiteral("Bar"), QStringLiteral("Unsupported document-format"));
    b.e.impresoras = &sistema;
    imprimirComandas(b.e, parsear(orden));
    ASSERT_EQ(b.sistema.outputs().size(), 1u);
    EXPECT_EQ(b.sistema.outputs()[0].printer, QStringLiteral("Cocina"));
    EXPECT_TRUE(b.tapes(QStringLiteral("Cocina")).contains(QStringLiteral("CERVEZA")));
    EXPECT_TRUE(b.sistema.tapesOf(QStringLiteral("Bar")).isEmpty());
    ASSERT_EQ(b.avisos.globos.size(), 2u);
    EXPECT_EQ(b.avisos.globos[1].texto,
              QStringLiteral("La impresora Bar no esta disponible (Unsupported document-format). "
                             "El ticket se imprimio en Cocina."));
    EXPECT_EQ(*b.e.ticketsSinImprimir, 0);
}

// A name that is not installed goes to the default without a word, as areas without a
// printer of their own expect; so does a failure of the default printer itself.
TEST_F(TicketsTest, NoWarningForAMissingNameOrTheDefaultItself) {
    imprimirComandas(b.e, parsear(QStringLiteral(R"([{"area":"Terraza","productos":[]}])")));
    ConRechazos sistema(b.sistema);
    sistema.rechazar(QStringLiteral("Cocina"), QStringLiteral("Tapa abierta"));
    b.e.impresoras = &sistema;
    imprimirComandas(b.e, parsear(QStringLiteral(R"([{"area":"Cocina","productos":[]}])")));
    for (const Globo& g : b.avisos.globos) EXPECT_NE(g.titulo, kNoDisponible);
    EXPECT_EQ(b.avisos.globos.back(), (Globo{2, "Comanda", "Tapa abierta"}));
    EXPECT_EQ(*b.e.ticketsSinImprimir, 1);
}

// Tickets that printed nowhere are counted; the others of the same call still print.
TEST_F(TicketsTest, TicketsPrintedNowhereAreCounted) {
    ConRechazos sistema(b.sistema);
    sistema.rechazar(QStringLiteral("Bar"), QStringLiteral("No responde"));
    sistema.rechazar(QStringLiteral("Cocina"), QStringLiteral("No responde"));
    b.e.impresoras = &sistema;
    imprimirComandas(b.e, parsear(QStringLiteral(R"([
        {"area":"Bar","productos":[]},{"area":"Parrilla","productos":[]},
        {"area":"Bar","productos":[]}])")));
    EXPECT_EQ(*b.e.ticketsSinImprimir, 2);
    ASSERT_EQ(b.sistema.outputs().size(), 1u);
    EXPECT_EQ(b.sistema.outputs()[0].printer, QStringLiteral("Parrilla"));
    for (const Globo& g : b.avisos.globos) EXPECT_NE(g.titulo, kNoDisponible);
}

// A journal watches each ticket: it may skip it or send it elsewhere, and hears of the send
// just before it happens and of the outcome after.
TEST_F(TicketsTest, TicketFrameLetsItsObserverSkipRedirectAndFollowEachTicket) {
    struct Observador : ObservadorTickets {
        QStringList vistos;
        bool antesDeImprimir(TicketEnCurso& t) override {
            vistos << "antes " + t.destino + " " + t.titulo;
            if (t.titulo == "saltar") return false;
            if (t.titulo == "desviar") t.destino = "Cocina";
            return true;
        }
        void alEnviar(const TicketEnCurso& t, const QString& impresora) override {
            vistos << "enviar " + t.titulo + " " + impresora;
        }
        void alTerminar(const TicketEnCurso& t, const ResultadoTicket& r) override {
            vistos << "fin " + t.titulo + " " + (r.enviado ? r.impresora : "no: " + r.motivo);
        }
    } observador;
    b.e.observador = &observador;
    bool corrio = false;
    const auto linea = [&] {
        corrio = true;
        impresora(b.e).print({PrintItem::ofText(QStringLiteral("x"))});
    };
    imprimirTicket(b.e, TipoTicket::Comanda, "Bar", "saltar", linea);
    EXPECT_FALSE(corrio);
    imprimirTicket(b.e, TipoTicket::Comanda, "Bar", "desviar", linea);
    imprimirTicket(b.e, TipoTicket::Factura, "Parrilla", "roto",
                   [] { throw json::RuntimeError::objectRequired(); });
    b.e.observador = nullptr;
    EXPECT_EQ(
        observador.vistos,
        (QStringList{"antes Bar saltar", "antes Bar desviar", "enviar desviar Cocina",
                     "fin desviar Cocina", "antes Parrilla roto", "fin roto no: Object required"}));
    EXPECT_TRUE(b.sistema.tapesOf("Bar").isEmpty());
    EXPECT_EQ(b.sistema.tapesOf("Cocina").size(), 1);
}

TEST(SinImpresoras, LayoutsWithSomethingToPrintSayItOnce) {
    Banco b;
    b.configurar(QStringLiteral("[]"));
    imprimirComandas(b.e, parsear(QStringLiteral(R"([{"area":"NN"},{"area":""}])")));
    imprimirAnulaciones(b.e, parsear(QStringLiteral("[]")));
    EXPECT_TRUE(b.avisos.globos.empty());

    imprimirComandas(b.e, parsear(QStringLiteral(R"([{"area":"Cocina"},{"area":"Bar"}])")));
    imprimirAnulaciones(b.e, parsear(QStringLiteral(R"([{"area":"Bar"}])")));
    imprimirAperturaCajon(b.e);
    const Globo sin{3, "Error al imprimir", "No hay impresoras instaladas"};
    EXPECT_EQ(b.avisos.globos, (std::vector<Globo>{sin, sin}));
    EXPECT_EQ(b.avisos.log,
              QStringList({"No hay impresoras instaladas", "No hay impresoras instaladas"}));
    EXPECT_TRUE(b.sistema.outputs().empty());
}

TEST(Cajon, PulseGoesToFacturasOrTheDefaultAndFailsSilently) {
    const QByteArray pulso("\x1B\x70\x00\x3C\xF0", 5);
    {
        Banco b;
        b.agregar(QStringLiteral("Caja"), 4535);
        b.agregar(QStringLiteral("facturas "), 5669);
        imprimirAperturaCajon(b.e);
        ASSERT_EQ(b.sistema.outputs().size(), 1u);
        EXPECT_EQ(b.sistema.outputs()[0].printer, QStringLiteral("facturas "));
        EXPECT_EQ(b.sistema.outputs()[0].kind, TapeOutput::Kind::Raw);
        EXPECT_EQ(b.sistema.outputs()[0].content, pulso);
    }
    {
        Banco b;
        b.agregar(QStringLiteral("Cocina"), 4535);
        b.agregar(QStringLiteral("Caja"), 4535);
        b.sistema.setDefaultPrinterName(QStringLiteral("Caja"));
        imprimirAperturaCajon(b.e);
        ASSERT_EQ(b.sistema.outputs().size(), 1u);
        EXPECT_EQ(b.sistema.outputs()[0].printer, QStringLiteral("Caja"));
        EXPECT_EQ(b.sistema.outputs()[0].content, pulso);
        EXPECT_TRUE(b.avisos.globos.empty());
    }
}

}  // namespace
}  // namespace printing::test
