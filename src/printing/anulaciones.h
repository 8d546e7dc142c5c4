#pragma once

#include "entorno.h"
#include "json/value.h"

namespace printing {

/**
 * Prints one cancellation ticket per entry on the printer its `area` names (the default
 * printer when none matches), stamped with the clock's time. A failing entry shows its
 * "Anulacion" warning balloon, adds a log line, is cancelled, and the next entry goes on.
 */
/** Whether the list has an entry (an unreadable list counts as one). */
bool hayAnulacionesPorImprimir(const json::JsonValue& anulaciones);

void imprimirAnulaciones(const Entorno& e, const json::JsonValue& anulaciones);

}  // namespace printing
