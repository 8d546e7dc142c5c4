#include "cajon.h"

#include "json/runtime_error.h"
#include "primitives.h"
#include "ticket_comun.h"

namespace printing {

void imprimirAperturaCajon(const Entorno& e) {
    ResultadoTicket resultado;
    TicketEnCurso ticket{TipoTicket::Cajon, QStringLiteral("Facturas"), QStringLiteral("Cajon")};
    try {
        if (!hayImpresora(e)) return;
        if (e.observador && !e.observador->antesDeImprimir(ticket)) return;
        const QString& destino = ticket.destino;
        if (seleccionarImpresora(e, indiceImpresora(e, destino), 0, destino)) {
            const QString nombre = impresora(e).deviceName();
            if (e.observador) e.observador->alEnviar(ticket, nombre);
            e.impresoras->writeRaw(nombre, kPulsoCajon);
            resultado.enviado = true;
            resultado.impresora = nombre;
        }
    } catch (const json::RuntimeError& err) {
        // The drawer never reports: a pulse that cannot be sent is dropped.
        resultado.motivo = err.description();
    } catch (...) {
    }
    if (e.observador) e.observador->alTerminar(ticket, resultado);
}

}  // namespace printing
