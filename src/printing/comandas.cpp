#include "comandas.h"

#include "configuracion.h"
#include "json/convert.h"
#include "json/runtime_error.h"
#include "primitives.h"
#include "ticket_comun.h"

namespace printing {

using json::JsonValue;

namespace {

QString campo(Entorno& e, const JsonValue& v, const char* clave) {
    return json::texto(v.item(QString::fromUtf8(clave)), e.locale);
}

bool sinImpresora(const QString& area) {
    return area == QStringLiteral("NN") || area.isEmpty();
}

// Whether any order of the list names a printer; an unreadable order counts as one.
bool hayAlgoQueImprimir(Entorno& e, const JsonValue& comandas) {
    try {
        for (const JsonValue& orden : elementos(comandas))
            if (!sinImpresora(campo(e, orden, "area"))) return true;
        return false;
    } catch (const json::RuntimeError&) {
        return true;
    }
}

// The product lines; returns the order total of the printed values.
double imprimirProductos(Entorno& e, const JsonValue& productos) {
    PrintDevice& p = impresora(e);
    double total = 0;
    bool algunoImpreso = false;
    for (const JsonValue& producto : elementos(productos)) {
        fuenteComanda(e);
        const QString nombre = campo(e, producto, "nombre");
        if (nombre.isEmpty()) continue;
        p.setFontSize(12);
        if (algunoImpreso) imprimirSeparador(e, QStringLiteral("-"));
        if (valorConfig(e, QStringLiteral("Valores En Comanda")) == QStringLiteral("1")) {
            const json::Decimal valor =
                json::numero(producto.item(QStringLiteral("valor")), e.locale);
            const QString textoValor = textoMonto(valor.toDouble(), e.locale);
            const int n = cortePalabras(nombre, escalarColumna(e, 18));
            const json::Decimal cantidad =
                json::numero(producto.item(QStringLiteral("cantidad")), e.locale).abs();
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

void imprimirComanda(Entorno& e, const JsonValue& orden) {
    PrintDevice& p = impresora(e);
    const int ancho = anchoLinea(e);
    const float chico = tamanoChico(e);

    const JsonValue titulo = orden.item(QStringLiteral("titulo"));
    if (!titulo.isNull()) {
        p.setFontSize(chico);
        QString t = json::texto(titulo, e.locale);
        imprimirTextoMedido(e, t, ancho, 2, 0);
        p.setFontSize(chico);
        imprimirSeparador(e, QStringLiteral("="));
    }
    p.setFontSize(chico);
    QString area = campo(e, orden, "area");
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
    p.print({PrintItem::ofText(QStringLiteral("Atiende: ") + campo(e, orden, "responsable"))});
    p.print({PrintItem::ofText(QStringLiteral("Pedido ") + campo(e, orden, "nPedido"))});
    p.print({PrintItem::ofText(QStringLiteral("Fecha\\Hora: "))});
    p.print({PrintItem::ofText(textoImpreso(orden.item(QStringLiteral("fecha")), e.locale))});
    p.setFontSize(chico);

    if (json::noVacio(orden.item(QStringLiteral("clienteNombre")))) {
        p.setFontSize(chico);
        imprimirSeparador(e, QStringLiteral("="));
        QString t = QStringLiteral("DATOS CLIENTE");
        imprimirTextoAjustado(e, t, ancho, 0, 0);
        t = QStringLiteral("Nombre: ") + campo(e, orden, "clienteNombre");
        imprimirTextoAjustado(e, t, ancho, 0, 0);
        t = QStringLiteral("Telefono: ") + campo(e, orden, "clienteTelefono");
        imprimirTextoAjustado(e, t, ancho, 0, 0);
        t = QStringLiteral("Direccion: ") + campo(e, orden, "clienteDireccion");
        imprimirTextoMedido(e, t, ancho, 0, 0);
    }
    p.setFontSize(12);
    if (json::noVacio(orden.item(QStringLiteral("codPlataforma")))) {
        p.setFontSize(12);
        imprimirSeparador(e, QStringLiteral("="));
        QString t = campo(e, orden, "codPlataforma");
        imprimirTextoAjustado(e, t, ancho, 0, 0);
    }
    p.print({PrintItem::ofText(QStringLiteral(" "))});
    p.print({PrintItem::ofText(QStringLiteral("."))});
}

}  // namespace

void imprimirComandas(Entorno& e, const JsonValue& comandas) {
    if (!hayImpresora(e)) {
        if (hayAlgoQueImprimir(e, comandas)) avisarSinImpresoras(e);
        return;
    }
    QList<JsonValue> ordenes;
    try {
        ordenes = elementos(comandas);
    } catch (const json::RuntimeError& err) {
        reportarFallo(e, QStringLiteral("Comanda"), err.description());
        return;
    }
    for (const JsonValue& orden : ordenes) {
        try {
            const QString area = campo(e, orden, "area");
            if (sinImpresora(area)) continue;
            if (!seleccionarImpresora(e, indiceImpresora(e, area), 0, area)) continue;
            imprimirComanda(e, orden);
            PrintDevice& p = impresora(e);
            p.endDoc();
            mostrarGlobo(e, QStringLiteral("Comanda enviada a ") + p.deviceName(), kGloboInfo,
                         QStringLiteral("Impresion de comanda"));
        } catch (const json::RuntimeError& err) {
            // One bad order is cancelled and reported; the orders after it still print.
            reportarFallo(e, QStringLiteral("Comanda"), err.description());
        }
    }
}

}  // namespace printing
