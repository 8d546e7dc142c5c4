#include "comandas.h"

#include "configuracion.h"
#include "json/convert.h"
#include "json/runtime_error.h"
#include "primitives.h"
#include "ticket_comun.h"

namespace printing {

using json::JsonValue;

namespace {

bool sinImpresora(const QString& area) {
    return area == QStringLiteral("NN") || area.isEmpty();
}

// The product lines; returns the order total of the printed values.
double imprimirProductos(const Entorno& e, const JsonValue& productos) {
    PrintDevice& p = impresora(e);
    double total = 0;
    bool algunoImpreso = false;
    for (const JsonValue& producto : elementos(productos)) {
        fuenteComanda(e);
        const QString nombre = textoCampo(e, producto, "nombre");
        if (nombre.isEmpty()) continue;
        p.setFontSize(12);
        if (algunoImpreso) imprimirSeparador(e, QStringLiteral("-"));
        if (valorConfig(e, QStringLiteral("Valores En Comanda")) == QStringLiteral("1")) {
            const json::Decimal valor =
                json::toNumber(producto.item(QStringLiteral("valor")), e.locale);
            const QString textoValor = textoMonto(valor.toDouble(), e.locale);
            const int n = cortePalabras(nombre, escalarColumna(e, 18));
            const json::Decimal cantidad =
                json::toNumber(producto.item(QStringLiteral("cantidad")), e.locale).abs();
            // The first part of the name keeps its case; the rest wraps upper-cased.
            p.print({PrintItem::ofText(textoNumeroImpreso(cantidad, e.locale)),
                     PrintItem::tabTo(escalarColumna(e, 7)), PrintItem::ofText(nombre.left(n)),
                     PrintItem::tabTo(espaciosFaltantes(textoValor, anchoLinea(e))),
                     PrintItem::ofText(textoValor)});
            if (nombre.size() > n) {
                QString resto = nombre.mid(n);
                imprimirTextoAjustado(e, resto, anchoLinea(e), 0, 5);
            }
            total += valor.toDouble();
        } else {
            QString linea = textoCantidad(e, producto) + QStringLiteral("   ") + nombre;
            imprimirTextoMedido(e, linea, anchoLinea(e), 0, 0);
        }
        imprimirDetalle(e, producto);
        algunoImpreso = true;
    }
    return total;
}

void imprimirComanda(const Entorno& e, const JsonValue& orden) {
    PrintDevice& p = impresora(e);
    const int ancho = anchoLinea(e);
    const float chico = tamanoChico(e);

    const JsonValue titulo = orden.item(QStringLiteral("titulo"));
    if (!titulo.isNull()) {
        p.setFontSize(chico);
        QString t = json::toText(titulo, e.locale);
        imprimirTextoMedido(e, t, ancho, 2, 0);
        p.setFontSize(chico);
        imprimirSeparador(e, QStringLiteral("="));
    }
    p.setFontSize(chico);
    QString area = textoCampo(e, orden, "area");
    imprimirTextoMedido(e, area, ancho, 2, 0);
    fuenteComanda(e);
    imprimirSeparador(e, QStringLiteral("="));
    p.setFontSize(16);
    p.print({PrintItem::ofText(textoImpreso(orden.item(QStringLiteral("nomMesa")), e.locale))});
    imprimirSeparador(e, QStringLiteral("="));

    p.setFontSize(12);
    const double total = imprimirProductos(e, orden.item(QStringLiteral("productos")));
    if (valorConfig(e, QStringLiteral("Valores En Comanda")) == QStringLiteral("1")) {
        p.setFontSize(12);
        QString linea = QStringLiteral("TOTAL   ") + textoNumeroPlano(total, e.locale);
        imprimirTextoAjustado(e, linea, ancho, 0, 0);
    }
    p.setFontSize(12);
    imprimirSeparador(e, QStringLiteral("="));
    p.print({PrintItem::ofText(QStringLiteral("Atiende: ") + textoCampo(e, orden, "responsable"))});
    p.print({PrintItem::ofText(QStringLiteral("Pedido ") + textoCampo(e, orden, "nPedido"))});
    p.print({PrintItem::ofText(QStringLiteral("Fecha\\Hora: "))});
    p.print({PrintItem::ofText(textoImpreso(orden.item(QStringLiteral("fecha")), e.locale))});
    p.setFontSize(chico);

    if (json::hasContent(orden.item(QStringLiteral("clienteNombre")))) {
        p.setFontSize(chico);
        imprimirSeparador(e, QStringLiteral("="));
        QString t = QStringLiteral("DATOS CLIENTE");
        imprimirTextoAjustado(e, t, ancho, 0, 0);
        t = QStringLiteral("Nombre: ") + textoCampo(e, orden, "clienteNombre");
        imprimirTextoAjustado(e, t, ancho, 0, 0);
        t = QStringLiteral("Telefono: ") + textoCampo(e, orden, "clienteTelefono");
        imprimirTextoAjustado(e, t, ancho, 0, 0);
        t = QStringLiteral("Direccion: ") + textoCampo(e, orden, "clienteDireccion");
        imprimirTextoMedido(e, t, ancho, 0, 0);
    }
    p.setFontSize(12);
    if (json::hasContent(orden.item(QStringLiteral("codPlataforma")))) {
        p.setFontSize(12);
        imprimirSeparador(e, QStringLiteral("="));
        QString t = textoCampo(e, orden, "codPlataforma");
        imprimirTextoAjustado(e, t, ancho, 0, 0);
    }
    p.print({PrintItem::ofText(QStringLiteral(" "))});
    p.print({PrintItem::ofText(QStringLiteral("."))});
}

}  // namespace

bool hayComandasPorImprimir(const Entorno& e, const JsonValue& comandas) {
    try {
        for (const JsonValue& orden : elementos(comandas))
            if (!sinImpresora(textoCampo(e, orden, "area"))) return true;
        return false;
    } catch (const json::RuntimeError&) {
        return true;  // an unreadable order counts as one to print
    }
}

void imprimirComandas(const Entorno& e, const JsonValue& comandas) {
    if (!hayImpresora(e)) {
        if (hayComandasPorImprimir(e, comandas)) avisarSinImpresoras(e);
        return;
    }
    QList<JsonValue> ordenes;
    try {
        ordenes = elementos(comandas);
    } catch (const json::RuntimeError& err) {
        reportarFallo(e, TipoTicket::Comanda, err.description());
        return;
    }
    // One bad order is cancelled and reported; the orders after it still print.
    for (const JsonValue& orden : ordenes) {
        QString area;
        try {
            area = textoCampo(e, orden, "area");
        } catch (const json::RuntimeError& err) {
            reportarFallo(e, TipoTicket::Comanda, err.description());
            continue;
        }
        if (sinImpresora(area)) continue;
        imprimirTicket(e, TipoTicket::Comanda, area, tituloMesa(e, orden),
                       [&] { imprimirComanda(e, orden); });
    }
}

}  // namespace printing
