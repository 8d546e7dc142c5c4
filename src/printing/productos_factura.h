#pragma once

#include <QString>

#include "json/value.h"
#include "printing/entorno.h"

namespace printing {

/** Printer font of the whole invoice. */
inline const QString kFuenteFactura = QStringLiteral("Courier 14 CPI");

/**
 * The invoice's product table: header, one block per product whose value is above 0
 * (quantity, name, value; the rest of a long name below at column 5; notes as arrow
 * lines), between two rules. Prints at the current position of the current printer.
 * Errors (a `pedido` that is not an array, a product that is not an object) go to the caller.
 */
void imprimirProductosFactura(const Entorno& e, const json::JsonValue& pedido);

}  // namespace printing
