#include "ticket_comun.h"

#include <optional>

#include "json/convert.h"
#include "json/runtime_error.h"
#include "primitives.h"
#include "seleccion_impresora.h"

namespace printing {

using json::JsonValue;

void fuenteComanda(const Entorno& e) {
    PrintDevice& p = impresora(e);
    p.setFontBold(false);
    p.setFontItalic(false);
    p.setFontName(kFuenteComanda);
}

void imprimirDetalle(const Entorno& e, const JsonValue& producto) {
    const JsonValue detalle = producto.item(QStringLiteral("detalle"));
    if (detalle.isEmpty()) return;  // a product without notes
    for (const JsonValue& nota : elementos(detalle)) {
        const QString t = json::toText(nota, e.locale);
        if (recortar(t).isEmpty()) continue;
        QString linea = QStringLiteral("-> ") + t;
        imprimirTextoMedido(e, linea, anchoLinea(e), 0, 0);
    }
}

QString textoCantidad(const Entorno& e, const JsonValue& producto) {
    const json::Decimal c = json::toNumber(producto.item(QStringLiteral("cantidad")), e.locale);
    const QString sep = e.locale.decimalPoint();
    return c.abs().toString(sep.isEmpty() ? QChar(u'.') : sep[0]);
}

namespace {

QString tituloFallo(TipoTicket tipo) {
    switch (tipo) {
        case TipoTicket::Comanda:
            return QStringLiteral("Comanda");
        case TipoTicket::Anulacion:
            return QStringLiteral("Anulacion");
        case TipoTicket::Cajon:
            return QStringLiteral("Cajon");
        case TipoTicket::Factura:
            break;
    }
    return QStringLiteral("Factura");
}

}  // namespace

void reportarFallo(const Entorno& e, TipoTicket tipo, const QString& descripcion) {
    const QString titulo = tituloFallo(tipo);
    cancelarDocumento(e);
    mostrarGlobo(e, descripcion, kGloboAviso, titulo);
    registrarLog(e, titulo + QStringLiteral(": ") + descripcion);
}

QString tituloMesa(const Entorno& e, const JsonValue& orden) {
    try {
        return textoCampo(e, orden, "area") + u' ' + textoCampo(e, orden, "nomMesa");
    } catch (const json::RuntimeError&) {
        return {};
    }
}

namespace {

// A ticket that went to the default printer because its own installed printer failed.
void avisarRespaldo(const Entorno& e, const SeleccionImpresora::Fallo& fallo,
                    const QString& usada) {
    const QString texto = QStringLiteral("La impresora ") + fallo.impresora +
                          QStringLiteral(" no esta disponible (") + fallo.motivo +
                          QStringLiteral("). El ticket se imprimio en ") + usada + u'.';
    mostrarGlobo(e, texto, kGloboAviso, QStringLiteral("Impresora no disponible"));
    registrarLog(e, texto);
}

}  // namespace

ResultadoTicket imprimirTicket(const Entorno& e, TipoTicket tipo, const QString& destinoPedido,
                               const QString& titulo, const std::function<void()>& cuerpo) {
    ResultadoTicket resultado;
    TicketEnCurso ticket{tipo, destinoPedido, titulo};
    if (e.observador && !e.observador->antesDeImprimir(ticket)) return resultado;
    const QString& destino = ticket.destino;
    const auto terminar = [&] {
        if (e.observador) e.observador->alTerminar(ticket, resultado);
        return resultado;
    };
    // Only a printer installed under the ticket's own name, other than the default, falls
    // back with a warning: areas without a printer of their own rely on the quiet fall-back.
    const int propia = indiceInstalada(e, destino);
    const bool respaldoVisible =
        propia >= 0 && propia != indiceInstalada(e, impresoraPredeterminada(e));
    std::optional<SeleccionImpresora::Fallo> fallo;
    auto sinImpresora = [&] {
        resultado.motivo = QStringLiteral("Error al imprimir");  // its balloon is shown
        ++*e.ticketsSinImprimir;
        return terminar();
    };
    try {
        if (!seleccionarImpresora(e, indiceImpresora(e, destino), 0, destino))
            return sinImpresora();
        if (respaldoVisible) fallo = e.seleccion->ultimoFallo();
        cuerpo();
        PrintDevice* p = &impresora(e);
        if (e.observador) e.observador->alEnviar(ticket, p->deviceName());
        try {
            p->endDoc();
        } catch (const json::RuntimeError& err) {
            // Refused when submitted (a format it does not take, a queue gone, a printer that
            // does not answer): the ticket prints once on the default printer instead.
            if (!respaldoVisible || fallo) throw;
            fallo = SeleccionImpresora::Fallo{p->deviceName(), err.description()};
            cancelarDocumento(e);
            const QString predeterminada = impresoraPredeterminada(e);
            if (!seleccionarImpresora(e, indiceImpresora(e, predeterminada), 1, predeterminada))
                return sinImpresora();
            cuerpo();
            p = &impresora(e);
            if (e.observador) e.observador->alEnviar(ticket, p->deviceName());
            p->endDoc();
        }
        const QString nombre = p->deviceName();
        resultado.enviado = true;
        resultado.impresora = nombre;
        if (tipo == TipoTicket::Factura)
            mostrarGlobo(e, QStringLiteral("Factura enviada a ") + resultado.impresora, kGloboInfo,
                         QStringLiteral("Impresion de Factura"));
        else
            mostrarGlobo(e, QStringLiteral("Comanda enviada a ") + resultado.impresora, kGloboInfo,
                         QStringLiteral("Impresion de comanda"));
        if (fallo) avisarRespaldo(e, *fallo, nombre);
    } catch (const json::RuntimeError& err) {
        resultado.enviado = false;
        resultado.motivo = err.description();
        ++*e.ticketsSinImprimir;
        reportarFallo(e, tipo, resultado.motivo);
    }
    return terminar();
}

}  // namespace printing
