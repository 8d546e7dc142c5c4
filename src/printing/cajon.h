#pragma once

#include <QByteArray>

#include "entorno.h"

namespace printing {

/** The drawer pulse: ESC p, pin 2, 120 ms on, 480 ms off. */
inline const QByteArray kPulsoCajon = QByteArray("\x1B\x70\x00\x3C\xF0", 5);

/**
 * Sends the drawer pulse as one raw job to the printer "Facturas", or to the default
 * printer when there is none or it fails its probe. Failures are silent (only the
 * selection's own balloon can appear).
 */
void imprimirAperturaCajon(const Entorno& e);

}  // namespace printing
