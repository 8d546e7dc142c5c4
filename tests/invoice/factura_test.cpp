// The invoice driver on the tape: what prints when, and how failures end.
#include "printing/factura.h"

#include <gtest/gtest.h>

#include "banco_factura.h"
#include "printing/despacho.h"

namespace printing::test {
namespace {

// Settings with every optional line off, so that each test switches on what it looks at.
QString configMinima(const QStringList& extra = {}) {
    // the first item of a name wins, so the test's own items go first
    QStringList items = extra;
    items +=
        {itemConfig(QStringLiteral("Regimen"), QStringLiteral("Simplificado"), QStringLiteral("0")),
         itemConfig(QStringLiteral("Servicio"), QStringLiteral("0"))};
    return u'[' + items.join(u',') + u']';
}

// An amount line on a 32-character tape at 7 points: the amount ends just before column 32.
QString lineaMonto(const QString& etiqueta, const QString& monto) {
    return QStringLiteral("7|") + etiqueta.leftJustified(31 - int(monto.size()), u' ') + monto;
}

struct Caso : BancoFactura {
    explicit Caso(int ancho = 4535, const char* locale = "es_CO", const QStringList& config = {})
        : BancoFactura(ancho, locale) {
        configurar(configMinima(config));
    }
    // the suite always sends `cliente` (null without a customer); a missing one is a fault
    void imprimir(QString factura) {
        if (!factura.contains(QStringLiteral("\"cliente\"")))
            factura.replace(0, 1, QStringLiteral("{\"cliente\":null,"));
        imprimirFactura(e, parsear(factura));
    }
    bool contiene(const QString& linea) const { return lineasCaja().contains(linea); }
    int cuenta(const QString& linea) const { return int(lineasCaja().count(linea)); }
};

TEST(FacturaDriver, SinMesaNoImprimeNadaNiSeleccionaImpresora) {
    for (const char* mesa : {R"("mesa":"")", R"("mesa":null)", R"("x":1)"}) {
        Caso c;
        c.imprimir(QStringLiteral("{%1,\"pedido\":[]}").arg(QString::fromLatin1(mesa)));
        EXPECT_TRUE(c.sistema.outputs().empty()) << mesa;
        EXPECT_TRUE(c.avisos.globos.empty()) << mesa;
    }
}

TEST(FacturaDriver, LineaDeNumeroSegunTipoDeCuenta) {
    const QStringList config = {
        itemConfig(QStringLiteral("Factura Prefijo"), QStringLiteral("FE")),
        itemConfig(QStringLiteral("Nombre factura cerrada"), QStringLiteral("Factura"))};
    {
        Caso c(4535, "es_CO", config);
        c.imprimir(QStringLiteral(
            R"({"mesa":1,"tipoCuenta":"COTIZACION","idFacturaCuenta":"123","pedido":[]})"));
        EXPECT_TRUE(c.contiene(QStringLiteral("7|          COTIZACION")));
        EXPECT_FALSE(c.lineasCaja().join(u'\n').contains(QStringLiteral(" No ")));
    }
    {
        Caso c(4535, "es_CO", config);
        c.imprimir(QStringLiteral(
            R"({"mesa":1,"tipoCuenta":"cotizacion","idFacturaCuenta":"123","pedido":[]})"));
        EXPECT_TRUE(c.contiene(QStringLiteral("7|          COTIZACION")));
        EXPECT_TRUE(c.contiene(QStringLiteral("7|Factura No FE-123")));
    }
    {
        Caso c(4535, "es_CO", config);
        c.imprimir(
            QStringLiteral(R"({"mesa":1,"tipoCuenta":null,"idFacturaCuenta":"123","pedido":[]})"));
        EXPECT_FALSE(c.lineasCaja().join(u'\n').contains(QStringLiteral("FE-123")));
    }
    {
        // without a prefix a numeric number prints as a value, with its sign blank
        Caso c;
        c.imprimir(QStringLiteral(R"({"mesa":1,"idFacturaCuenta":77,"pedido":[]})"));
        EXPECT_TRUE(c.contiene(QStringLiteral("7|Boleto Fiscal No  77 ")));
    }
}

constexpr auto kPagos = R"({"mesa":1,"pedido":[],"cuentaCerrada":%1,"tipoMesa":"%2",
    "mediosPago":[{"Producto":"FORMA DE PAGO Tarjeta","Detalle":"propina","Valor":-5000},
                  {"Producto":"corto","Detalle":"Bono","Valor":1000},
                  {"Producto":"FORMA DE PAGO Caja","Detalle":"Propina","Valor":200}],
    "totalPagado":6200,"totalPagadoPropina":0,"pagoEfectivo":50000,"cambioEfectivo":3000})";

TEST(FacturaDriver, PagosSoloEnCuentaCerrada) {
    for (const char* cerrada : {"false", "1", "\"true\""}) {
        Caso c;
        c.imprimir(
            QString::fromLatin1(kPagos).arg(QString::fromLatin1(cerrada), QStringLiteral("MESA")));
        EXPECT_FALSE(c.lineasCaja().join(u'\n').contains(QStringLiteral("Tarjeta"))) << cerrada;
        EXPECT_FALSE(c.lineasCaja().join(u'\n').contains(QStringLiteral("Cambio"))) << cerrada;
    }
    Caso c(4535, "en_US");
    c.imprimir(QString::fromLatin1(kPagos).arg(QStringLiteral("true"), QStringLiteral("MESA")));
    EXPECT_TRUE(c.contiene(lineaMonto(QStringLiteral("Tarjeta propina"), QStringLiteral("5,000"))));
    EXPECT_TRUE(c.contiene(lineaMonto(QStringLiteral(" Bono"), QStringLiteral("1,000"))));
    EXPECT_TRUE(c.contiene(lineaMonto(QStringLiteral("TOTAL PAGADO"), QStringLiteral("6,200"))));
    EXPECT_TRUE(
        c.contiene(lineaMonto(QStringLiteral("Efectivo Recibido"), QStringLiteral("53,000"))));
    EXPECT_TRUE(
        c.contiene(lineaMonto(QStringLiteral("Cambio Entregado"), QStringLiteral("3,000"))));
}

TEST(FacturaDriver, EventosPendientesUnaVezAntesDeLasUltimasLineas) {
    Caso c(4535, "es_CO", {itemConfig(QStringLiteral("Personas Factura"), QStringLiteral("1"))});
    int veces = 0;
    c.e.procesarEventosPendientes = [&] {
        ++veces;
        impresora(c.e).print({PrintItem::ofText(QStringLiteral("<eventos>"))});
    };
    c.imprimir(QStringLiteral(R"({"mesa":1,"pedido":[],"pieFactura":"gracias","nPersonas":3})"));
    EXPECT_EQ(veces, 1);
    const QStringList l = c.lineasCaja();
    const qsizetype i = l.indexOf(QStringLiteral("<eventos>").prepend(QStringLiteral("7|")));
    ASSERT_GT(i, 2);
    EXPECT_EQ(l[i - 1], QStringLiteral("7| "));
    EXPECT_EQ(l[i - 2], QStringLiteral("7|             GRACIAS"));
    EXPECT_EQ(l[i + 1], QStringLiteral("7|Personas 3"));
    // ten blank lines feed the paper past the cutter
    EXPECT_EQ(l.mid(l.size() - 10), QStringList(10, QStringLiteral("7| ")));
}

// ---- failures

TEST(FacturaFallas, UnaFacturaMalaSeCancelaSeAvisaYLasDemasSiguen) {
    BancoFactura b;
    b.agregar(QStringLiteral("Facturas"), 4535);
    b.configurar(configMinima());
    setComunicacion(parsear(QStringLiteral(R"({"config":)") + configMinima() + QStringLiteral(R"(,
        "comanda":[],"anulaciones":[],"abrirCajon":true,"idsLeidos":[1],
        "factura":[{"mesa":1,"nomMesa":"primera","pedido":[],"cliente":null},
                   {"mesa":2,"nomMesa":"mala","pedido":7,"cliente":null},
                   {"mesa":3,"nomMesa":"tercera","pedido":[],"cliente":null}]})")),
                    b.e);
    const QStringList tapes = b.sistema.tapesOf(QStringLiteral("Caja"));
    ASSERT_EQ(tapes.size(), 2);
    EXPECT_TRUE(tapes[0].contains(QStringLiteral("primera")));
    EXPECT_TRUE(tapes[1].contains(QStringLiteral("tercera")));
    EXPECT_FALSE(tapes[1].contains(QStringLiteral("mala")));  // cancelled, not merged
    ASSERT_EQ(b.avisos.globos.size(), 3u);
    EXPECT_EQ(b.avisos.globos[1],
              (Globo{2, QStringLiteral("Factura"), QStringLiteral("Object required")}));
    EXPECT_EQ(b.avisos.log, QStringList{QStringLiteral("Factura: Object required")});
    // the drawer still opens after the invoices
    EXPECT_EQ(b.sistema.outputs().back().kind, TapeOutput::Kind::Raw);
}

TEST(FacturaFallas, TablaDeImpuestosSoloSeLeeEnRegimenComun) {
    Caso simple;
    simple.imprimir(QStringLiteral(R"({"mesa":1,"pedido":[]})"));
    EXPECT_EQ(simple.sistema.tapesOf(QStringLiteral("Caja")).size(), 1);
    EXPECT_TRUE(simple.avisos.log.isEmpty());

    Caso comun(4535, "es_CO", {itemConfig(QStringLiteral("Regimen"), QStringLiteral("COMUN"))});
    comun.imprimir(QStringLiteral(R"({"mesa":1,"pedido":[]})"));
    EXPECT_TRUE(comun.sistema.outputs().empty());
    ASSERT_EQ(comun.avisos.globos.size(), 1u);
    EXPECT_EQ(comun.avisos.globos[0].titulo, QStringLiteral("Factura"));
    EXPECT_EQ(comun.avisos.log.size(), 1);
}

TEST(FacturaFallas, LogoIlegibleSaleSinLogoYConUnaLineaDeLog) {
    Caso c;
    c.ponerLogo(std::nullopt);
    c.imprimir(QStringLiteral(R"({"mesa":1,"pedido":[]})"));
    const QStringList l = c.lineasCaja();
    ASSERT_FALSE(l.isEmpty());
    EXPECT_EQ(l[0], QStringLiteral("7|=============================="));  // no picture, no spacers
    EXPECT_EQ(c.avisos.log.size(), 1);
    EXPECT_TRUE(c.avisos.log[0].contains(QStringLiteral("logo.bmp")));
    EXPECT_EQ(c.avisos.globos.back().titulo, QStringLiteral("Impresion de Factura"));

    Caso sinArchivo;
    sinArchivo.imprimir(QStringLiteral(R"({"mesa":1,"pedido":[]})"));
    EXPECT_EQ(sinArchivo.consultasLogo, 0);
    EXPECT_TRUE(sinArchivo.avisos.log.isEmpty());
}

TEST(FacturaFallas, ErrorDelDispositivoAlPintarElLogoFallaLaFactura) {
    BancoFactura b;
    TapePrinterSystem cintas;
    SistemaConFallas sistema(cintas, QStringLiteral("Caja"), 4535);
    b.e.impresoras = &sistema;
    b.configurar(configMinima());
    b.ponerLogo(QSizeF(5200, 2600));
    sistema.dispositivo.fallaPintura = true;
    imprimirFactura(b.e, parsear(QStringLiteral(R"({"mesa":1,"pedido":[],"cliente":null})")));
    EXPECT_TRUE(cintas.outputs().empty());
    ASSERT_EQ(b.avisos.globos.size(), 1u);
    EXPECT_EQ(b.avisos.globos[0],
              (Globo{2, QStringLiteral("Factura"), QStringLiteral("Sin papel")}));
}

TEST(FacturaFallas, PasosFinalesFallanCadaUnoPorSuCuenta) {
    // a missing customer on a delivery: rule and heading, then the form; nothing twice
    Caso domicilio(
        4535, "es_CO",
        {itemConfig(QStringLiteral("Imprimie Espacio Cliente Cuenta"), QStringLiteral("1")),
         itemConfig(QStringLiteral("Permanencia Factura"), QStringLiteral("1")),
         itemConfig(QStringLiteral("Personas Factura"), QStringLiteral("1"))});
    imprimirFactura(domicilio.e,
                    parsear(QStringLiteral(R"({"mesa":1,"idFacturaCuenta":9,"pedido":[],
        "tipoMesa":"DOMICILIO","permanencia":{"x":1},"nPersonas":2})")));
    const QStringList l = domicilio.lineasCaja();
    const qsizetype i = l.indexOf(QStringLiteral("7B|DATOS DOMICILIO"));
    ASSERT_GT(i, 0);
    EXPECT_EQ(l[i - 1], QStringLiteral("7|=============================="));
    EXPECT_EQ(l[i + 1], QStringLiteral("7| "));
    EXPECT_EQ(l[i + 2], QStringLiteral("7|NOMBRE: ________________________"));
    EXPECT_EQ(domicilio.cuenta(QStringLiteral("7|NOMBRE: ________________________")), 1);
    EXPECT_EQ(domicilio.cuenta(QStringLiteral("7B|DATOS DOMICILIO")), 1);
    EXPECT_TRUE(domicilio.contiene(QStringLiteral("7|Personas 2")));
    EXPECT_EQ(domicilio.cuenta(QStringLiteral("7|Software Zentilori")), 1);
    EXPECT_EQ(domicilio.avisos.log,
              (QStringList{QStringLiteral("Factura 9: datos del cliente omitido: Object required"),
                           QStringLiteral("Factura 9: permanencia omitido: Type mismatch")}));
    EXPECT_EQ(domicilio.avisos.globos.back().texto, QStringLiteral("Factura enviada a Caja"));

    // elsewhere a missing customer goes straight to the form
    Caso mesa(4535, "es_CO",
              {itemConfig(QStringLiteral("Imprimie Espacio Cliente Cuenta"), QStringLiteral("1"))});
    imprimirFactura(mesa.e, parsear(QStringLiteral(R"({"mesa":1,"pedido":[]})")));
    EXPECT_EQ(mesa.cuenta(QStringLiteral("7|NOMBRE: ________________________")), 1);
    EXPECT_EQ(mesa.avisos.log.size(), 1);
}

TEST(FacturaFallas, FinDeDocumentoFallidoSeCancelaYSeAvisa) {
    BancoFactura b;
    TapePrinterSystem cintas;
    SistemaConFallas sistema(cintas, QStringLiteral("Caja"), 4535);
    b.e.impresoras = &sistema;
    b.configurar(configMinima());
    sistema.dispositivo.fallaFinDoc = true;
    imprimirFactura(b.e, parsear(QStringLiteral(R"({"mesa":1,"pedido":[],"cliente":null})")));
    EXPECT_TRUE(cintas.outputs().empty());
    EXPECT_FALSE(cintas.find(QStringLiteral("Caja"))->documentOpen());
    ASSERT_EQ(b.avisos.globos.size(), 1u);
    EXPECT_EQ(b.avisos.globos[0],
              (Globo{2, QStringLiteral("Factura"), QStringLiteral("Sin papel")}));
    EXPECT_EQ(b.avisos.log, QStringList{QStringLiteral("Factura: Sin papel")});
}

TEST(FacturaFallas, UnPasoFinalConErrorDelDispositivoNoDetieneLosDemas) {
    BancoFactura b;
    TapePrinterSystem cintas;
    SistemaConFallas sistema(cintas, QStringLiteral("Caja"), 4535);
    b.e.impresoras = &sistema;
    b.configurar(configMinima());
    sistema.dispositivo.fallaAlImprimir = QStringLiteral("Zentilori");
    imprimirFactura(b.e, parsear(QStringLiteral(R"({"mesa":1,"pedido":[],"cliente":null})")));
    ASSERT_EQ(cintas.outputs().size(), 1u);
    const QString t = QString::fromUtf8(cintas.outputs()[0].content);
    EXPECT_FALSE(t.contains(QStringLiteral("Nit ")));  // the rest of the failed block is left out
    EXPECT_TRUE(t.endsWith(QStringLiteral("7| \n7| \n")));
    EXPECT_EQ(b.avisos.log.size(), 1);
    EXPECT_EQ(b.avisos.globos.back().titulo, QStringLiteral("Impresion de Factura"));
}

TEST(FacturaDespacho, SinImpresorasUnSoloAviso) {
    Banco b;
    setComunicacion(
        parsear(QStringLiteral(R"({"config":[],"comanda":[],"anulaciones":[],"idsLeidos":[1],
        "factura":[{"mesa":1},{"mesa":2}]})")),
        b.e);
    ASSERT_EQ(b.avisos.globos.size(), 1u);
    EXPECT_EQ(b.avisos.globos[0].texto, QStringLiteral("No hay impresoras instaladas"));

    Banco vacio;
    setComunicacion(
        parsear(QStringLiteral(R"({"config":[],"comanda":[],"anulaciones":[],"idsLeidos":[1],
        "factura":[{"mesa":""}]})")),
        vacio.e);
    EXPECT_TRUE(vacio.avisos.globos.empty());
}

TEST(FacturaDespacho, ImprimeEnLaPredeterminadaDespuesDeComandas) {
    BancoFactura b;
    b.agregar(QStringLiteral("Cocina"), 4535);
    setComunicacion(parsear(QStringLiteral(R"({"config":)") + configMinima() + QStringLiteral(R"(,
        "comanda":[{"area":"Cocina","mesa":"5","nomMesa":"M5","productos":[]}],"anulaciones":[],"idsLeidos":[1],
        "factura":[{"mesa":1,"nomMesa":"F1","pedido":[]},{"mesa":2,"nomMesa":"F2","pedido":[]}]})")),
                    b.e);
    const auto& out = b.sistema.outputs();
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out[0].printer, QStringLiteral("Cocina"));
    EXPECT_EQ(out[out.size() - 2].printer, QStringLiteral("Caja"));
    EXPECT_TRUE(out[out.size() - 2].content.contains("F1"));
    EXPECT_TRUE(out[out.size() - 1].content.contains("F2"));
}

}  // namespace
}  // namespace printing::test
