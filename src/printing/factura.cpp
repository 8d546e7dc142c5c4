#include "printing/factura.h"

#include <QFileInfo>
#include <functional>

#include "json/convert.h"
#include "json/runtime_error.h"
#include "printing/bloques_factura.h"
#include "printing/configuracion.h"
#include "printing/primitives.h"
#include "printing/productos_factura.h"
#include "printing/ticket_comun.h"
#include "printing/totales_factura.h"

namespace printing {

namespace {

const QString kDomicilio = QStringLiteral("DOMICILIO");

void linea(const Entorno& e, const QString& texto) {
    impresora(e).print({PrintItem::ofText(texto)});
}
void lineaVacia(const Entorno& e) {
    impresora(e).print({});
}

void centrado(const Entorno& e, const QString& texto) {
    QString t = texto;
    imprimirTextoAjustado(e, t, anchoLinea(e), 2, 0);
}

// A sum of document amounts above zero; a null part makes it not so.
bool sumaPositiva(const Entorno& e, const json::JsonValue& a, const json::JsonValue& b) {
    if (a.isNull() || b.isNull()) return false;
    return (json::toNumber(a, e.locale) + json::toNumber(b, e.locale)) > json::Decimal();
}

QString numeroFactura(const Entorno& e, const ConfiguracionImpresion& c,
                      const json::JsonValue& doc) {
    const QString& prefijo = c.facturaPrefijo;
    const json::JsonValue id = campo(doc, "idFacturaCuenta");
    if (!prefijo.isEmpty()) return prefijo + QStringLiteral("-") + json::toText(id, e.locale);
    return textoImpreso(id, e.locale);
}

void cabecera(const Entorno& e, const ConfiguracionImpresion& c, const json::JsonValue& doc) {
    PrintDevice& p = impresora(e);

    // an unreadable logo is left out like a missing one instead of stopping every invoice
    if (QFileInfo::exists(rutaLogo(e)) && !imprimirLogo(e))
        registrarLog(e, QStringLiteral("Factura sin logo: ") + rutaLogo(e) +
                            QStringLiteral(" no es una imagen legible"));

    p.setFontSize(tamanoChico(e));
    p.setFontName(kFuenteFactura);

    imprimirEncabezadoEmpresa(e, c);
    imprimirRegimenResolucion(e, c);

    const json::JsonValue titulo = campo(doc, "titulo");
    if (json::hasContent(titulo)) {
        lineaVacia(e);
        centrado(e, json::toText(titulo, e.locale));
    }
    if (!c.encabezadoFactura.isEmpty()) centrado(e, c.encabezadoFactura);

    const json::JsonValue tipoCuenta = campo(doc, "tipoCuenta");
    if (json::hasContent(tipoCuenta)) {
        centrado(e, json::toText(tipoCuenta, e.locale));
        linea(e, QStringLiteral(" "));
    }
    // a quotation has no number; a null kind compares as unknown and prints none either
    if (!tipoCuenta.isNull() &&
        json::toText(tipoCuenta, e.locale) != QStringLiteral("COTIZACION")) {
        p.print({PrintItem::ofText(c.nombreFacturaCerrada + QStringLiteral(" No ")),
                 PrintItem::ofText(numeroFactura(e, c, doc))});
    }

    p.print({PrintItem::ofText(textoImpreso(campo(doc, "nomMesa"), e.locale))});
    p.print({PrintItem::ofText(QStringLiteral("Fecha ")),
             PrintItem::ofText(textoImpreso(campo(doc, "fechaFactura"), e.locale)),
             PrintItem::ofText(c.horaFactura
                                   ? QStringLiteral(" Hora ") + textoCampo(e, doc, "horaFactura")
                                   : QString())});
    if (c.nombreMeseroFactura)
        linea(e, c.tituloVendedor + QStringLiteral("  ") + textoCampo(e, doc, "vendedor"));
}

void descuentos(const Entorno& e, const json::JsonValue& doc) {
    if (!json::isPositive(campo(doc, "descuento"), e.locale)) return;
    const json::Decimal individual = json::toNumber(campo(doc, "DescuentoIndividual"), e.locale);
    const json::Decimal total = json::toNumber(campo(doc, "totalPagar"), e.locale);
    const json::Decimal descuento = json::toNumber(campo(doc, "descuento"), e.locale);
    imprimirLineaMonto(e, QStringLiteral("SUB TOTAL"), (total - individual).toDouble());
    imprimirLineaMonto(e, QStringLiteral("Descuento en Ventas "),
                       -(descuento - individual).abs().toDouble());
    lineaVacia(e);
}

void pagos(const Entorno& e, const json::JsonValue& doc) {
    if (!json::isTrue(campo(doc, "cuentaCerrada"))) return;
    linea(e, QStringLiteral(" "));

    const bool domicilio = textoCampo(e, doc, "tipoMesa") == kDomicilio;
    const json::JsonValue medios = campo(doc, "mediosPago");
    const int cuenta = medios.count();
    for (int i = 1; i <= cuenta; ++i) {
        const json::JsonValue pago = medios.item(i);
        // the first 14 characters of the product name are the payment method's fixed prefix
        QString descripcion =
            json::toText(pago.item(QStringLiteral("Producto")), e.locale).mid(14) +
            QStringLiteral(" ") + json::toText(pago.item(QStringLiteral("Detalle")), e.locale);
        // on a delivery the "tip" paid is the delivery charge
        if (domicilio && mayusculas(descripcion).contains(QStringLiteral("PROPINA")))
            descripcion.replace(QStringLiteral("propina"), QStringLiteral("domicilio"));
        imprimirLineaMonto(
            e, descripcion,
            json::toNumber(pago.item(QStringLiteral("Valor")), e.locale).abs().toDouble());
    }

    const json::JsonValue pagado = campo(doc, "totalPagado");
    if (!pagado.isNull() && !json::toNumber(pagado, e.locale).isZero()) {
        lineaVacia(e);
        imprimirLineaMonto(e, QStringLiteral("TOTAL PAGADO"),
                           (json::toNumber(pagado, e.locale) +
                            json::toNumber(campo(doc, "totalPagadoPropina"), e.locale))
                               .toDouble());
    }
    if (json::isPositive(campo(doc, "pagoEfectivo"), e.locale)) {
        const json::Decimal cambio = json::toNumber(campo(doc, "cambioEfectivo"), e.locale);
        imprimirSeparador(e, QStringLiteral("="));
        imprimirLineaMonto(
            e, QStringLiteral("Efectivo Recibido"),
            (json::toNumber(campo(doc, "pagoEfectivo"), e.locale) + cambio).toDouble());
        imprimirLineaMonto(e, QStringLiteral("Cambio Entregado"), cambio.toDouble());
    }
}

void datosCliente(const Entorno& e, const json::JsonValue& doc) {
    const json::JsonValue cliente = campo(doc, "cliente");
    if (cliente.isNull()) return;
    PrintDevice& p = impresora(e);
    const auto dato = [&](const char* clave) {
        return json::toText(cliente.item(QString::fromLatin1(clave)), e.locale);
    };

    if (textoCampo(e, doc, "tipoMesa") == kDomicilio) {
        imprimirSeparador(e, QStringLiteral("="));
        p.setFontBold(true);
        linea(e, QStringLiteral("DATOS DOMICILIO"));
        p.setFontBold(false);
        linea(e, QStringLiteral("Nombre: ") + dato("Nombre"));
        linea(e, QStringLiteral("Documento: ") + mayusculas(dato("IdDocumento")));
        QString direccion = QStringLiteral("Direccion: ") + dato("Direccion");
        imprimirTextoMedido(e, direccion, anchoLinea(e), 0, 0);
        linea(e, QStringLiteral("Telefono: ") + dato("Telefono1"));
        QString detalle = textoCampo(e, doc, "detalleDomicilio");
        imprimirTextoMedido(e, detalle, anchoLinea(e), 0, 0);
        return;
    }

    if (!json::hasContent(cliente.item(QStringLiteral("Nombre")))) return;
    imprimirSeparador(e, QStringLiteral("="));
    linea(e, QStringLiteral("Nombre: ") + mayusculas(dato("Nombre")));
    linea(e, QStringLiteral("Documento: ") + mayusculas(dato("IdDocumento")));
    QString direccion = QStringLiteral(u"Dirección: ") + mayusculas(dato("Direccion"));
    imprimirTextoMedido(e, direccion, anchoLinea(e), 2, 0);
    linea(e, QStringLiteral("Telefono: ") + mayusculas(dato("Telefono1")));
    for (int i = 0; i < 4; ++i) linea(e, QStringLiteral(" "));
    linea(e, QStringLiteral("FIRMA: _____________________________"));
    linea(e, QStringLiteral("C.C.: ______________________________"));
}

void formularioCliente(const Entorno& e, const ConfiguracionImpresion& c,
                       const json::JsonValue& doc) {
    if (campo(doc, "cliente").isNull() || !c.imprimeEspacioClienteCuenta) return;
    linea(e, QStringLiteral(" "));
    if (esImpresoraAngosta(e)) {
        linea(e, QStringLiteral("NOMBRE: ________________________"));
        linea(e, QStringLiteral("CEDULA: ________________________"));
        linea(e, QStringLiteral("DIRECCION: _____________________"));
    } else {
        linea(e, QStringLiteral("NOMBRE: _____________________________"));
        linea(e, QStringLiteral("CEDULA: _____________________________"));
        linea(e, QStringLiteral("DIRECCION: __________________________"));
    }
}

void leyendaPropina(const Entorno& e, const ConfiguracionImpresion& c, const json::JsonValue& doc) {
    if (!c.imprimeLeyendaPropinaCuenta || !c.propina) return;
    // a delivery's charge is not a tip: no legend
    if (textoCampo(e, doc, "tipoMesa") == kDomicilio) return;
    if (!sumaPositiva(e, campo(doc, "propinaSugerida"), campo(doc, "totalPagadoPropina"))) return;
    imprimirLeyendaPropina(e);
}

void pieEstablecimiento(const Entorno& e, const ConfiguracionImpresion& c) {
    QString pie = recortar(c.pieFactura);
    if (pie.isEmpty()) return;
    lineaVacia(e);
    imprimirSeparador(e, QStringLiteral("="));
    imprimirTextoAjustado(e, pie, 35, 0, 0);
}

void pieDocumento(const Entorno& e, const json::JsonValue& doc) {
    const json::JsonValue pie = campo(doc, "pieFactura");
    if (!json::hasContent(pie)) return;
    lineaVacia(e);
    QString texto = json::toText(pie, e.locale);
    imprimirTextoAjustado(e, texto, 35, 2, 0);
}

void datosFinales(const Entorno& e, const ConfiguracionImpresion& c, const json::JsonValue& doc,
                  int paso) {
    switch (paso) {
        case 0:
            if (c.permanenciaFactura)
                linea(e, QStringLiteral("Permanencia  ") + textoCampo(e, doc, "permanencia") +
                             QStringLiteral("  Minutos "));
            break;
        case 1:
            if (c.personasFactura)
                linea(e, QStringLiteral("Personas ") + textoCampo(e, doc, "nPersonas"));
            break;
        default:
            if (json::hasContent(campo(doc, "fechaLimitePago")))
                linea(e,
                      QStringLiteral("Fecha para pago ") + textoCampo(e, doc, "fechaLimitePago"));
            break;
    }
}

QString descripcionFactura(const Entorno& e, const json::JsonValue& doc) {
    try {
        const QString id = recortar(json::toText(campo(doc, "idFacturaCuenta"), e.locale));
        if (!id.isEmpty()) return QStringLiteral("Factura ") + id;
    } catch (const json::RuntimeError&) {
    }
    return QStringLiteral("Factura");
}

}  // namespace

bool hayFacturasPorImprimir(const json::JsonValue& facturas) {
    for (const json::JsonValue& f : elementos(facturas))
        if (f.isObject() && json::hasContent(campo(f, "mesa"))) return true;
    return false;
}

void imprimirFactura(const Entorno& e, const json::JsonValue& doc) {
    ConfiguracionImpresion c;
    QString predeterminada;
    try {
        if (!hayImpresora(e)) return;
        c = cargarConfiguracion(e);  // afresh for every invoice
        if (!json::hasContent(campo(doc, "mesa"))) return;
        predeterminada = impresoraPredeterminada(e);
    } catch (const json::RuntimeError& error) {
        reportarFallo(e, TipoTicket::Factura, error.description());
        return;
    }

    QString titulo;
    try {
        titulo = recortar(json::toText(campo(doc, "tipoCuenta"), e.locale) + u' ' +
                          json::toText(campo(doc, "idFacturaCuenta"), e.locale));
    } catch (const json::RuntimeError&) {
    }
    imprimirTicket(e, TipoTicket::Factura, predeterminada, titulo, [&] {
        cabecera(e, c, doc);
        imprimirProductosFactura(e, campo(doc, "pedido"));
        descuentos(e, doc);
        imprimirTotalesFactura(e, c, doc);
        pagos(e, doc);

        // From the customer data on, each step stands on its own: a failing step is left
        // out with one log line and the next one follows, so nothing prints twice.
        const auto paso = [&](const char* nombre, const std::function<void()>& accion) {
            try {
                accion();
            } catch (const json::RuntimeError& error) {
                registrarLog(e, descripcionFactura(e, doc) + QStringLiteral(": ") +
                                    QString::fromLatin1(nombre) + QStringLiteral(" omitido: ") +
                                    error.description());
            }
        };
        paso("datos del cliente", [&] { datosCliente(e, doc); });
        paso("espacio del cliente", [&] { formularioCliente(e, c, doc); });
        paso("leyenda de propina", [&] { leyendaPropina(e, c, doc); });
        paso("pie de factura", [&] { pieEstablecimiento(e, c); });
        paso("pie del documento", [&] { pieDocumento(e, doc); });
        paso("linea final", [&] { linea(e, QStringLiteral(" ")); });
        // pending events run once here; the dispatcher holds back any document they bring
        if (e.procesarEventosPendientes) e.procesarEventosPendientes();
        paso("permanencia", [&] { datosFinales(e, c, doc, 0); });
        paso("personas", [&] { datosFinales(e, c, doc, 1); });
        paso("fecha para pago", [&] { datosFinales(e, c, doc, 2); });
        paso("pie del software", [&] { imprimirPieSoftware(e); });
        paso("avance de papel", [&] {
            for (int i = 0; i < 10; ++i) linea(e, QStringLiteral(" "));
        });
    });
}

}  // namespace printing
