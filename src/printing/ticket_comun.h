#pragma once

#include <QString>

#include "entorno.h"
#include "json/value.h"

namespace printing {

// Pieces shared by the kitchen and cancellation tickets.

/** Bold and italic off, font "Courier 17 CPI". */
void fuenteComanda(Entorno& e);
/** The notes of a product, "-> " + each non-blank entry of `detalle`, measured. */
void imprimirDetalle(Entorno& e, const json::JsonValue& producto);
/** |cantidad| in plain form (no blanks), with the locale's decimal separator. */
QString textoCantidad(Entorno& e, const json::JsonValue& producto);
/** Per-ticket failure: cancel the open document, warning balloon with `titulo`, log line. */
void reportarFallo(Entorno& e, const QString& titulo, const QString& descripcion);

}  // namespace printing
