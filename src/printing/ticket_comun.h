#pragma once

#include <QString>
#include <functional>

#include "entorno.h"
#include "json/value.h"

namespace printing {

// Pieces shared by the tickets: the frame every ticket prints in, and the lines kitchen and
// cancellation tickets have in common.

/** What a ticket is; its frame names it in balloons and reports. */
enum class TipoTicket { Comanda, Anulacion, Factura, Cajon };

/** How a ticket ended: sent to `impresora`, or not sent because of `motivo`. */
struct ResultadoTicket {
    bool enviado = false;
    QString impresora;
    QString motivo;
};

/**
 * One ticket, one document: selects `destino` (falling back to the default printer), prints
 * `cuerpo` on it, ends the document and shows the sent balloon ("Comanda enviada a " or
 * "Factura enviada a " + the printer). A RuntimeError from the body or the end of the
 * document cancels the document, so it never merges with the next ticket, and is reported
 * like reportarFallo under the ticket's kind. Never raises a RuntimeError. The Entorno's
 * observer, when there is one, sees the ticket first and may skip it.
 */
ResultadoTicket imprimirTicket(const Entorno& e, TipoTicket tipo, const QString& destino,
                               const QString& titulo, const std::function<void()>& cuerpo);

/** The title a journal shows for a kitchen order or cancellation: area + " " + table. */
QString tituloMesa(const Entorno& e, const json::JsonValue& orden);

/** Per-ticket failure: cancel the open document, warning balloon titled after the kind
 *  ("Comanda", "Anulacion", "Factura"), one log line. */
void reportarFallo(const Entorno& e, TipoTicket tipo, const QString& descripcion);

/** Bold and italic off, font "Courier 17 CPI". */
void fuenteComanda(const Entorno& e);
/** The notes of a product, "-> " + each non-blank entry of `detalle`, measured. */
void imprimirDetalle(const Entorno& e, const json::JsonValue& producto);
/** |cantidad| in plain form (no blanks), with the locale's decimal separator. */
QString textoCantidad(const Entorno& e, const json::JsonValue& producto);

}  // namespace printing
