#pragma once

#include <QString>

#include "printing/configuracion.h"
#include "printing/entorno.h"

namespace printing {

// The blocks only the invoice prints. Each prints at the current position of the current
// printer, in the font the invoice has set, and leaves the document open.

/** Path of the logo picture in the application folder. */
QString rutaLogo(const Entorno& e);

/**
 * Paints the logo at the top, centred under the reference rule (or as wide as it for a
 * large picture), then feeds empty lines past it. Returns false, printing nothing, when the
 * file cannot be read as a picture; a device error while painting is raised.
 */
bool imprimirLogo(const Entorno& e);

/** Rule, then the establishment's visible data centred; each line stands on its own. */
void imprimirEncabezadoEmpresa(const Entorno& e, const ConfiguracionImpresion& c);

/** Tax regime, billing resolution and numbering range, then a rule. */
void imprimirRegimenResolucion(const Entorno& e, const ConfiguracionImpresion& c);

/** The legal notice that the tip is only suggested. */
void imprimirLeyendaPropina(const Entorno& e);

/** The software vendor's name, tax number and web address between two rules. */
void imprimirPieSoftware(const Entorno& e);

}  // namespace printing
