#include "ticket_comun.h"

#include "json/convert.h"
#include "primitives.h"

namespace printing {

using json::JsonValue;

void fuenteComanda(Entorno& e) {
    PrintDevice& p = impresora(e);
    p.setFontBold(false);
    p.setFontItalic(false);
    p.setFontName(kFuenteComanda);
}

void imprimirDetalle(Entorno& e, const JsonValue& producto) {
    const JsonValue detalle = producto.item(QStringLiteral("detalle"));
    if (detalle.isEmpty()) return;  // a product without notes
    for (const JsonValue& nota : elementos(detalle)) {
        const QString t = json::texto(nota, e.locale);
        if (recortar(t).isEmpty()) continue;
        QString linea = QStringLiteral("-> ") + t;
        imprimirTextoMedido(e, linea, anchoLinea(e), 0, 0);
    }
}

QString textoCantidad(Entorno& e, const JsonValue& producto) {
    const json::Decimal c = json::numero(producto.item(QStringLiteral("cantidad")), e.locale);
    const QString sep = e.locale.decimalPoint();
    return c.abs().toString(sep.isEmpty() ? QChar(u'.') : sep[0]);
}

void reportarFallo(Entorno& e, const QString& titulo, const QString& descripcion) {
    cancelarDocumento(e);
    mostrarGlobo(e, descripcion, kGloboAviso, titulo);
    registrarLog(e, titulo + QStringLiteral(": ") + descripcion);
}

}  // namespace printing
