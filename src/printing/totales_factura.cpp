#include "printing/totales_factura.h"

#include "json/convert.h"
#include "printing/configuracion.h"
#include "printing/primitives.h"

namespace printing {

namespace {

const QString kDomicilio = QStringLiteral("DOMICILIO");

bool positivo(const Entorno& e, const json::JsonValue& doc, const char* clave) {
    return json::isPositive(campo(doc, clave), e.locale);
}

void tamanoFactura(const Entorno& e) {
    PrintDevice& p = impresora(e);
    p.setFontSize(tamanoChico(e));
    p.setFontBold(false);
}

void totalResaltado(const Entorno& e, const QString& texto) {
    PrintDevice& p = impresora(e);
    p.setFontSize(15);
    p.setFontBold(true);
    p.print({PrintItem::ofText(texto)});
    tamanoFactura(e);
}

void tablaImpuestos(const Entorno& e, const json::JsonValue& impuestos) {
    PrintDevice& p = impresora(e);
    const int ancho = anchoLinea(e);
    const int colBase = escalarColumna(e, 30);
    p.print({PrintItem::ofText(QStringLiteral(" "))});
    imprimirSeparador(e, QStringLiteral("="));
    p.print({PrintItem::ofText(QStringLiteral("IMPUESTO")),
             PrintItem::tabTo(espaciosFaltantes(QStringLiteral("BASE"), colBase)),
             PrintItem::ofText(QStringLiteral("BASE")),
             PrintItem::tabTo(espaciosFaltantes(QStringLiteral("VALOR"), ancho)),
             PrintItem::ofText(QStringLiteral("VALOR"))});
    const int cuenta = impuestos.count();
    for (int i = 1; i <= cuenta; ++i) {
        const json::JsonValue fila = impuestos.item(i);
        const QString nombre =
            mayusculas(json::toText(fila.item(QStringLiteral("nombre")), e.locale));
        const QString base = textoMonto(numeroCampo(e, fila, "base").toDouble(), e.locale);
        const QString valor = textoMonto(numeroCampo(e, fila, "valor").toDouble(), e.locale);
        p.print({PrintItem::ofText(nombre), PrintItem::tabTo(espaciosFaltantes(base, colBase)),
                 PrintItem::ofText(base), PrintItem::tabTo(espaciosFaltantes(valor, ancho)),
                 PrintItem::ofText(valor)});
    }
}

}  // namespace

double propinaPorCupon(const Entorno& e) {
    const json::JsonValue valor(valorConfig(e, QStringLiteral("Valor Propina Groupon")));
    if (!json::isNumeric(valor, e.locale)) return 0;
    return json::toNumber(valor, e.locale).toDouble();
}

void imprimirTotalesFactura(const Entorno& e, const ConfiguracionImpresion& cfg,
                            const json::JsonValue& doc) {
    PrintDevice& p = impresora(e);

    const bool cerrada = json::isTrue(doc.item(QStringLiteral("cuentaCerrada")));
    const bool domicilio =
        json::toText(doc.item(QStringLiteral("tipoMesa")), e.locale) == kDomicilio;
    const bool aplicaPropina = cfg.servicio > 0 && cfg.propina;
    const QString concepto = mayusculas(cfg.conceptoDomicilio);

    const bool bloquePropina =
        (positivo(e, doc, "propinaSugerida") || positivo(e, doc, "totalPagadoPropina") ||
         positivo(e, doc, "CntGroupon")) &&
        (aplicaPropina || domicilio);

    if (bloquePropina) {
        double total = 0;
        if (cerrada) {
            if (positivo(e, doc, "totalPagadoPropina")) {
                const json::Decimal propina = numeroCampo(e, doc, "totalPagadoPropina");
                imprimirLineaMonto(e, QStringLiteral("SUB TOTAL"),
                                   numeroCampo(e, doc, "totalPagado").toDouble());
                if (domicilio) {
                    imprimirLineaMonto(e, concepto, propina.toDouble());
                } else if (positivo(e, doc, "CntGroupon")) {
                    const double cupones =
                        numeroCampo(e, doc, "CntGroupon").toDouble() * propinaPorCupon(e);
                    imprimirLineaMonto(e, QStringLiteral("PROPINA GROUPON "), cupones);
                    imprimirLineaMonto(e, QStringLiteral("PROPINA  "),
                                       propina.toDouble() - cupones);
                } else {
                    imprimirLineaMonto(e, QStringLiteral("PROPINA"), propina.toDouble());
                }
            }
            total = (numeroCampo(e, doc, "totalPagado") + numeroCampo(e, doc, "totalPagadoPropina"))
                        .toDouble();
        } else {
            const json::Decimal sugerida = numeroCampo(e, doc, "propinaSugerida");
            imprimirLineaMonto(
                e, QStringLiteral("SUB TOTAL"),
                (numeroCampo(e, doc, "totalPagar") - numeroCampo(e, doc, "descuento")).toDouble());
            const json::JsonValue mesa = doc.item(QStringLiteral("mesa"));
            const json::Decimal numeroMesa =
                json::isNumeric(mesa, e.locale) ? json::toNumber(mesa, e.locale) : json::Decimal();
            // open delivery orders are numbered above 2000; their "tip" is the delivery charge
            if (numeroMesa > json::Decimal::fromInt(2000)) {
                imprimirLineaMonto(e, concepto + QStringLiteral(" "), sugerida.toDouble());
            } else if (cfg.opcionPropina5y10) {
                imprimirLineaMonto(e, QStringLiteral("__ APRUEBA PROPINA 10% "),
                                   sugerida.toDouble());
                imprimirLineaMonto(e, QStringLiteral("__ APRUEBA PROPINA 5% "),
                                   sugerida.toDouble() / 2);
                const QString enBlanco = QStringLiteral("_____________");
                p.print({PrintItem::ofText(QStringLiteral("__ OTRO VALOR ")),
                         PrintItem::tabTo(espaciosFaltantes(enBlanco, anchoLinea(e))),
                         PrintItem::ofText(enBlanco)});
            } else if (positivo(e, doc, "CntGroupon")) {
                imprimirLineaMonto(e, QStringLiteral("PROPINA SUGERIDA "), sugerida.toDouble());
                imprimirLineaMonto(
                    e, QStringLiteral("PROPINA GROUPON "),
                    numeroCampo(e, doc, "CntGroupon").toDouble() * propinaPorCupon(e));
            } else {
                imprimirLineaMonto(e, QStringLiteral("PROPINA SUGERIDA "), sugerida.toDouble());
            }
            total =
                (numeroCampo(e, doc, "totalPagar") + sugerida - numeroCampo(e, doc, "descuento"))
                    .toDouble();
        }

        if (cfg.opcionPropina5y10) {
            // the customer marks the tip by hand: no total to print
        } else if (cfg.resaltarTotalCuenta) {
            totalResaltado(e, QStringLiteral("** TOTAL ") + textoMonto(total, e.locale) +
                                  QStringLiteral(" **"));
        } else {
            imprimirLineaMonto(e, QStringLiteral("TOTAL"), total);
        }
    } else {
        const double aPagar =
            (numeroCampo(e, doc, "totalPagar") - numeroCampo(e, doc, "descuento")).toDouble();
        if (cfg.resaltarTotalCuenta) {
            totalResaltado(e, QStringLiteral(" ** TOTAL ") + textoMonto(aPagar, e.locale) +
                                  QStringLiteral(" **"));
        } else if (cerrada) {
            imprimirLineaMonto(e, QStringLiteral("TOTAL "),
                               numeroCampo(e, doc, "totalPagado").toDouble());
        } else {
            imprimirLineaMonto(e, QStringLiteral("TOTAL "), aPagar);
        }
    }

    // the tax table exists only under the common regime; other regimes never read `impuestos`
    if (mayusculas(cfg.regimen) == QStringLiteral("COMUN")) {
        const json::JsonValue impuestos = doc.item(QStringLiteral("impuestos"));
        if (impuestos.count() > 0) tablaImpuestos(e, impuestos);
    }
}

}  // namespace printing
