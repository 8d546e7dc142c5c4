#pragma once

#include <QString>

#include "json/decimal.h"
#include "json/value.h"
#include "printing/configuracion.h"
#include "printing/entorno.h"

namespace printing {

/**
 * The invoice's money summary: subtotal, tip or delivery lines, the total (plain or
 * highlighted at 15 points bold) and, for the common tax regime only, the tax table.
 * Reads the settings record loaded for the invoice. Errors go to the caller.
 */
void imprimirTotalesFactura(const Entorno& e, const ConfiguracionImpresion& cfg,
                            const json::JsonValue& factura);

/** Tip per coupon: the numeric setting "Valor Propina Groupon", else 0. */
double propinaPorCupon(const Entorno& e);

}  // namespace printing
