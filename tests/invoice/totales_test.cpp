// The money summary of the invoice: every branch of tips, delivery, coupons, totals and taxes.
#include <gtest/gtest.h>

#include "banco_factura.h"
#include "printing/totales_factura.h"

namespace printing::test {
namespace {

struct Totales : BancoFactura {
    explicit Totales(const QStringList& config, int ancho = 4535) : BancoFactura(ancho, "en_US") {
        configurar(u'[' + config.join(u',') + u']');
    }
    /** Prints the block alone, at the invoice size, and gives its tape lines. */
    QStringList imprimir(const QString& doc) {
        PrintDevice& p = impresora(e);
        p.setFontSize(esImpresoraAngosta(e) ? 7 : 10);
        imprimirTotalesFactura(e, cargarConfiguracion(e), parsear(doc));
        p.endDoc();
        return lineasCaja();
    }
};

QString propinaAplica() {
    return itemConfig(QStringLiteral("Servicio"), QStringLiteral("10"));
}
QString propinaSi() {
    return itemConfig(QStringLiteral("Propina"), QStringLiteral("1"));
}

// An amount line on the 32-character tape at 7 points.
QString lm(const QString& etiqueta, const QString& monto) {
    return QStringLiteral("7|") + etiqueta.leftJustified(31 - int(monto.size()), u' ') + monto;
}

TEST(TotalesCuentaAbierta, PropinaSugeridaYTotal) {
    Totales t({propinaAplica(), propinaSi()});
    EXPECT_EQ(t.imprimir(QStringLiteral(
                  R"({"totalPagar":50000,"descuento":0,"propinaSugerida":5000,"CntGroupon":0})")),
              (QStringList{lm(QStringLiteral("SUB TOTAL"), QStringLiteral("50,000")),
                           lm(QStringLiteral("PROPINA SUGERIDA "), QStringLiteral("5,000")),
                           lm(QStringLiteral("TOTAL"), QStringLiteral("55,000"))}));
}

TEST(TotalesCuentaAbierta, MesaSobre2000CobraDomicilio) {
    Totales t({propinaAplica(), propinaSi(),
               itemConfig(QStringLiteral("Opcion Propina 5% y 10%"), QStringLiteral("1"))});
    EXPECT_EQ(t.imprimir(QStringLiteral(
                  R"({"mesa":"2001","totalPagar":30000,"descuento":1000,"propinaSugerida":4000})")),
              (QStringList{lm(QStringLiteral("SUB TOTAL"), QStringLiteral("29,000")),
                           lm(QStringLiteral("DOMICILIO "), QStringLiteral("4,000"))}));
    // an unreadable table number counts as 0: a plain suggested tip
    Totales u({propinaAplica(), propinaSi()});
    EXPECT_EQ(u.imprimir(QStringLiteral(
                  R"({"mesa":"Barra","totalPagar":30000,"propinaSugerida":4000})"))[1],
              lm(QStringLiteral("PROPINA SUGERIDA "), QStringLiteral("4,000")));
}

TEST(TotalesCuentaCerrada, SinPropinaPagadaSoloElTotal) {
    Totales t({propinaAplica(), propinaSi()});
    EXPECT_EQ(
        t.imprimir(QStringLiteral(
            R"({"cuentaCerrada":true,"totalPagado":20000,"totalPagadoPropina":0,"propinaSugerida":2000})")),
        QStringList{lm(QStringLiteral("TOTAL"), QStringLiteral("20,000"))});
}

TEST(TotalesCuentaCerrada, PropinaPorCupones) {
    const QString doc = QStringLiteral(
        R"({"cuentaCerrada":true,"totalPagado":40000,"totalPagadoPropina":5000,"CntGroupon":2})");
    Totales conValor({propinaAplica(), propinaSi(),
                      itemConfig(QStringLiteral("Valor Propina Groupon"), QStringLiteral("1500"))});
    EXPECT_EQ(conValor.imprimir(doc),
              (QStringList{lm(QStringLiteral("SUB TOTAL"), QStringLiteral("40,000")),
                           lm(QStringLiteral("PROPINA GROUPON "), QStringLiteral("3,000")),
                           lm(QStringLiteral("PROPINA  "), QStringLiteral("2,000")),
                           lm(QStringLiteral("TOTAL"), QStringLiteral("45,000"))}));
    // without the setting a coupon carries no tip
    Totales sinValor({propinaAplica(), propinaSi()});
    const QStringList l = sinValor.imprimir(doc);
    EXPECT_EQ(l[1], lm(QStringLiteral("PROPINA GROUPON "), QStringLiteral("0")));
    EXPECT_EQ(l[2], lm(QStringLiteral("PROPINA  "), QStringLiteral("5,000")));
}

TEST(TotalesSinBloqueDePropina, TotalSimpleOResaltado) {
    Totales cerrada({});
    EXPECT_EQ(cerrada.imprimir(QStringLiteral(
                  R"({"cuentaCerrada":true,"totalPagado":20000,"totalPagar":25000})")),
              QStringList{lm(QStringLiteral("TOTAL "), QStringLiteral("20,000"))});
    // no service charge: no tip block even with a suggested tip
    Totales abierta({propinaSi()});
    EXPECT_EQ(abierta.imprimir(
                  QStringLiteral(R"({"totalPagar":25000,"descuento":500,"propinaSugerida":2500})")),
              QStringList{lm(QStringLiteral("TOTAL "), QStringLiteral("24,500"))});

    // the highlighted total shows what was to pay, also on a closed account
    Totales resaltada({itemConfig(QStringLiteral("ResaltarTotal Cuenta"), QStringLiteral("1"))});
    EXPECT_EQ(resaltada.imprimir(QStringLiteral(
                  R"({"cuentaCerrada":true,"totalPagado":20000,"totalPagar":25000})")),
              QStringList{QStringLiteral("15B| ** TOTAL 25,000 **")});
    PrintDevice& p = impresora(resaltada.e);
    EXPECT_EQ(p.fontSize(), 7.0f);
    EXPECT_FALSE(p.fontBold());
}

TEST(TotalesSinBloqueDePropina, ResaltadoTrasPropinaEnImpresoraAncha) {
    Totales t({propinaAplica(), propinaSi(),
               itemConfig(QStringLiteral("ResaltarTotal Cuenta"), QStringLiteral("1"))},
              5669);
    const QStringList l =
        t.imprimir(QStringLiteral(R"({"totalPagar":1000,"propinaSugerida":100})"));
    EXPECT_EQ(l.last(), QStringLiteral("15B|** TOTAL 1,100 **"));
    EXPECT_EQ(impresora(t.e).fontSize(), 10.0f);
}

TEST(TotalesImpuestos, TablaSoloEnRegimenComun) {
    const QString doc = QStringLiteral(
        R"({"totalPagar":10000,"impuestos":[{"nombre":"iva 19%","base":8403.36,"valor":1596.64},{"base":0}]})");
    Totales comun({itemConfig(QStringLiteral("Regimen"), QStringLiteral("comun"))});
    EXPECT_EQ(
        comun.imprimir(doc),
        (QStringList{lm(QStringLiteral("TOTAL "), QStringLiteral("10,000")), QStringLiteral("7| "),
                     QStringLiteral("7|=============================="),
                     QStringLiteral("7|IMPUESTO           BASE   VALOR"),
                     QStringLiteral("7|IVA 19%           8,403   1,597"),
                     QStringLiteral("7|                      0       0")}));

    Totales vacia({itemConfig(QStringLiteral("Regimen"), QStringLiteral("COMUN"))});
    EXPECT_EQ(vacia.imprimir(QStringLiteral(R"({"totalPagar":1,"impuestos":[]})")).size(), 1);

    // other regimes never look at the field, whatever it holds
    Totales simple({itemConfig(QStringLiteral("Regimen"), QStringLiteral("Simplificado"))});
    EXPECT_EQ(simple.imprimir(QStringLiteral(R"({"totalPagar":1,"impuestos":5})")).size(), 1);

    Totales roto({itemConfig(QStringLiteral("Regimen"), QStringLiteral("COMUN"))});
    EXPECT_THROW(roto.imprimir(QStringLiteral(R"({"totalPagar":1,"impuestos":null})")),
                 json::RuntimeError);
}

}  // namespace
}  // namespace printing::test
