#pragma once

#include "entorno.h"
#include "json/value.h"

namespace printing {

/**
 * Prints one kitchen ticket per order of the list, each on the printer its `area` names
 * (orders with area "NN" or "" have none), in list order. A failing order shows its
 * "Comanda" warning balloon, adds a log line, is cancelled, and the next order goes on.
 */
/** Whether any order names a printer (an unreadable list or order counts as one). */
bool hayComandasPorImprimir(const Entorno& e, const json::JsonValue& comandas);

void imprimirComandas(const Entorno& e, const json::JsonValue& comandas);

}  // namespace printing
