#include "anulaciones.h"

#include "json/convert.h"
#include "json/runtime_error.h"
#include "primitives.h"
#include "ticket_comun.h"

namespace printing {

using json::JsonValue;

namespace {

void imprimirAnulacion(Entorno& e, const JsonValue& anulacion) {
    PrintDevice& p = impresora(e);
    const int ancho = anchoLinea(e);
    // Every heading prints at the small size, whatever the printer was left at.
    p.setFontSize(tamanoChico(e));
    QString area = json::texto(anulacion.item(QStringLiteral("area")), e.locale);
    imprimirTextoMedido(e, area, ancho, 2, 0);
    fuenteComanda(e);
    imprimirSeparador(e, QStringLiteral("="));
    p.setFontSize(16);
    p.print({PrintItem::ofText(QStringLiteral("A N U L A C I O N!!"))});
    p.print({PrintItem::ofText(textoImpreso(anulacion.item(QStringLiteral("nomMesa")), e.locale))});
    imprimirSeparador(e, QStringLiteral("="));

    p.setFontSize(12);
    bool algunoImpreso = false;
    for (const JsonValue& producto : elementos(anulacion.item(QStringLiteral("productos")))) {
        fuenteComanda(e);
        const QString nombre = json::texto(producto.item(QStringLiteral("nombre")), e.locale);
        if (nombre.isEmpty()) continue;
        p.setFontSize(12);
        if (algunoImpreso) imprimirSeparador(e, QStringLiteral("-"));
        QString linea = textoCantidad(e, producto) + QStringLiteral("   ") + nombre;
        imprimirTextoMedido(e, linea, ancho, 0, 0);
        imprimirDetalle(e, producto);
        algunoImpreso = true;
    }

    p.setFontSize(12);
    imprimirSeparador(e, QStringLiteral("="));
    p.print({PrintItem::ofText(QStringLiteral("Fecha\\Hora: "))});
    p.print({PrintItem::ofText(e.reloj().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))});
    p.setFontSize(tamanoChico(e));
    p.print({PrintItem::ofText(QStringLiteral(" "))});
    p.print({PrintItem::ofText(QStringLiteral("."))});
}

}  // namespace

void imprimirAnulaciones(Entorno& e, const JsonValue& anulaciones) {
    if (!hayImpresora(e)) {
        bool algo = true;
        try {
            algo = !elementos(anulaciones).isEmpty();
        } catch (const json::RuntimeError&) {
        }
        if (algo) avisarSinImpresoras(e);
        return;
    }
    QList<JsonValue> entradas;
    try {
        impresora(e).setFontSize(tamanoChico(e));
        entradas = elementos(anulaciones);
    } catch (const json::RuntimeError& err) {
        reportarFallo(e, QStringLiteral("Anulacion"), err.description());
        return;
    }
    for (const JsonValue& anulacion : entradas) {
        try {
            // No "NN" test here: an entry without a printer prints on the default one.
            const QString area = json::texto(anulacion.item(QStringLiteral("area")), e.locale);
            if (!seleccionarImpresora(e, indiceImpresora(e, area), 0, area)) continue;
            imprimirAnulacion(e, anulacion);
            PrintDevice& p = impresora(e);
            p.endDoc();
            mostrarGlobo(e, QStringLiteral("Comanda enviada a ") + p.deviceName(), kGloboInfo,
                         QStringLiteral("Impresion de comanda"));
        } catch (const json::RuntimeError& err) {
            reportarFallo(e, QStringLiteral("Anulacion"), err.description());
        }
    }
}

}  // namespace printing
