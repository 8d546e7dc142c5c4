#include "anulaciones.h"

#include "json/convert.h"
#include "json/runtime_error.h"
#include "primitives.h"
#include "ticket_comun.h"

namespace printing {

using json::JsonValue;

namespace {

void imprimirAnulacion(const Entorno& e, const JsonValue& anulacion) {
    PrintDevice& p = impresora(e);
    const int ancho = anchoLinea(e);
    // Every heading prints at the small size, whatever the printer was left at.
    p.setFontSize(tamanoChico(e));
    QString area = textoCampo(e, anulacion, "area");
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
        const QString nombre = textoCampo(e, producto, "nombre");
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

bool hayAnulacionesPorImprimir(const JsonValue& anulaciones) {
    try {
        return !elementos(anulaciones).isEmpty();
    } catch (const json::RuntimeError&) {
        return true;  // an unreadable list counts as one to print
    }
}

void imprimirAnulaciones(const Entorno& e, const JsonValue& anulaciones) {
    if (!hayImpresora(e)) {
        if (hayAnulacionesPorImprimir(anulaciones)) avisarSinImpresoras(e);
        return;
    }
    QList<JsonValue> entradas;
    try {
        impresora(e).setFontSize(tamanoChico(e));
        entradas = elementos(anulaciones);
    } catch (const json::RuntimeError& err) {
        reportarFallo(e, TipoTicket::Anulacion, err.description());
        return;
    }
    for (const JsonValue& anulacion : entradas) {
        // No "NN" test here: an entry without a printer prints on the default one.
        QString area;
        try {
            area = textoCampo(e, anulacion, "area");
        } catch (const json::RuntimeError& err) {
            reportarFallo(e, TipoTicket::Anulacion, err.description());
            continue;
        }
        imprimirTicket(e, TipoTicket::Anulacion, area, tituloMesa(e, anulacion),
                       [&] { imprimirAnulacion(e, anulacion); });
    }
}

}  // namespace printing
