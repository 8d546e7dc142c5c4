#pragma once

#include <QList>
#include <QString>

#include "entorno.h"
#include "json/decimal.h"
#include "print_device.h"

namespace printing {

// Printer access and the layout primitives every ticket prints through. All act on the
// current printer of the Entorno; errors are json::RuntimeError.

/** The current printer; RuntimeError when none is installed or selected. */
PrintDevice& impresora(Entorno& e);

bool hayImpresora(Entorno& e);
bool esImpresoraAngosta(Entorno& e);
int anchoLinea(Entorno& e);
int escalarColumna(Entorno& e, int columna);
int cortePalabras(const QString& texto, int limite);
int espaciosFaltantes(const QString& texto, int ancho);
QString impresoraPredeterminada(Entorno& e);
/** Index of the printer with that device name, else of the default printer; -1 when neither. */
int indiceImpresora(Entorno& e, const QString& nombre);
/** Selects and probes; falls back once to the default printer; balloon when both fail. */
bool seleccionarImpresora(Entorno& e, int indice, int reintento);
void imprimirTextoAjustado(Entorno& e, QString& texto, int ancho, int alineacion, int columna);
void imprimirTextoMedido(Entorno& e, QString& texto, int ancho, int alineacion, int columna);
void imprimirSeparador(Entorno& e, const QString& tipo);
int anchoReferencia(Entorno& e);

/** Upper-cases the Unicode way (ñ gives Ñ). */
QString mayusculas(const QString& s);

/** A number as Print shows it: a blank (or "-") before, a blank after. */
QString textoNumeroImpreso(const json::Decimal& d, const QLocale& locale);
/** An amount rounded to a whole number (halves away from zero), grouped by the locale. */
QString textoMonto(double valor, const QLocale& locale);
/** Prints a label and right-aligns the amount text to the line width. */
void imprimirLineaMonto(Entorno& e, const QString& etiqueta, double valor);

/** Cancels the open document of the current printer, ignoring any error. */
void cancelarDocumento(Entorno& e);

}  // namespace printing
