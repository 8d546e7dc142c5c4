#include "cajon.h"

#include "primitives.h"

namespace printing {

void imprimirAperturaCajon(const Entorno& e) {
    try {
        if (!hayImpresora(e)) return;
        const QString facturas = QStringLiteral("Facturas");
        if (!seleccionarImpresora(e, indiceImpresora(e, facturas), 0, facturas)) return;
        e.impresoras->writeRaw(impresora(e).deviceName(), kPulsoCajon);
    } catch (...) {
        // The drawer never reports: a pulse that cannot be sent is dropped.
    }
}

}  // namespace printing
