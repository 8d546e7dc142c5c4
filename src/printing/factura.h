#pragma once

#include "json/value.h"
#include "printing/entorno.h"

namespace printing {

/**
 * Prints one invoice, pre-invoice or quotation on the default printer, as one document,
 * and shows "Factura enviada a " + the printer when it has been sent. Never raises:
 * - nothing happens without printers, without `mesa`, or when no printer can be selected;
 * - a failure up to the payments cancels the document and is reported (warning balloon
 *   "Factura" with the error, one log line);
 * - from the customer data on, a failing step is left out with one log line and the next
 *   step follows; a failing end of document is reported like an early failure.
 */
/** Whether any entry of the list is an invoice with a `mesa`, so would print. */
bool hayFacturasPorImprimir(const json::JsonValue& facturas);

void imprimirFactura(const Entorno& e, const json::JsonValue& factura);

}  // namespace printing
