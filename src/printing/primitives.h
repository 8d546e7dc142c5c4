#pragma once

#include <QList>
#include <QString>

#include "entorno.h"
#include "json/decimal.h"
#include "json/value.h"
#include "print_device.h"

namespace printing {

// Printer access and the layout primitives every ticket prints through. All act on the
// current printer of the Entorno; errors are json::RuntimeError.

/** Printer font of kitchen and cancellation tickets. */
inline const QString kFuenteComanda = QStringLiteral("Courier 17 CPI");
/** Description used when neither the requested nor the default printer is installed. */
inline const QString kImpresoraNoEncontrada = QStringLiteral("Impresora no encontrada");
/** Balloon and log text when a layout has tickets to print and no printer is installed. */
inline const QString kSinImpresoras = QStringLiteral("No hay impresoras instaladas");

/**
 * The current printer. Before the first selection it is the default printer (the first
 * printer when the default is not installed); RuntimeError when no printer is installed.
 */
PrintDevice& impresora(const Entorno& e);

bool hayImpresora(const Entorno& e);
bool esImpresoraAngosta(const Entorno& e);
/** The small size of headings, rules and invoices: 7 points on a narrow printer, 10 otherwise. */
float tamanoChico(const Entorno& e);
int anchoLinea(const Entorno& e);
int escalarColumna(const Entorno& e, int columna);
int cortePalabras(const QString& texto, int limite);
int espaciosFaltantes(const QString& texto, int ancho);
QString impresoraPredeterminada(const Entorno& e);
/** Index of the printer with that device name, else of the default printer; -1 when neither. */
int indiceImpresora(const Entorno& e, const QString& nombre);
/**
 * Selects and probes; falls back once to the default printer; balloon when both fail.
 * An index of -1 (nothing installed under the name nor the default's name) shows the
 * balloon naming `solicitada` and returns false without touching the current printer.
 */
bool seleccionarImpresora(const Entorno& e, int indice, int reintento,
                          const QString& solicitada = QString());
void imprimirTextoAjustado(const Entorno& e, QString& texto, int ancho, int alineacion,
                           int columna);
void imprimirTextoMedido(const Entorno& e, QString& texto, int ancho, int alineacion, int columna);
void imprimirSeparador(const Entorno& e, const QString& tipo);
int anchoReferencia(const Entorno& e);

/** Upper-cases the Unicode way (ñ gives Ñ), one character for one. */
QString mayusculas(const QString& s);
/** Trims blanks (only U+0020) at both ends. */
QString recortar(const QString& s);
/** Rounds to the nearest integer, halves to even. */
long long redondearPar(double v);
/** Rounds a decimal to the nearest integer, halves to even. */
long long redondearPar(const json::Decimal& d);

/** A number as Print shows it: a blank (or "-") before, a blank after. */
QString textoNumeroImpreso(const json::Decimal& d, const QLocale& locale);
/** A document value as Print shows it: a number with its blanks, anything else as text. */
QString textoImpreso(const json::JsonValue& v, const QLocale& locale);
/**
 * A double in plain form: up to 15 significant digits, never an exponent, the locale's
 * decimal separator and no grouping ("0,3" for 0.1 + 0.2 in es_CO).
 */
QString textoNumeroPlano(double valor, const QLocale& locale);
/** An amount rounded to a whole number (halves away from zero), grouped by the locale. */
QString textoMonto(double valor, const QLocale& locale);
/** Prints a label and right-aligns the amount text to the line width. */
void imprimirLineaMonto(const Entorno& e, const QString& etiqueta, double valor);

/** Cancels the open document of the current printer, ignoring any error. */
void cancelarDocumento(const Entorno& e);

/** Shows a balloon through the Entorno's reporting interface (time-out 30000 ms). */
void mostrarGlobo(const Entorno& e, const QString& texto, int icono, const QString& titulo);
/** Adds one line to the log through the Entorno's reporting interface. */
void registrarLog(const Entorno& e, const QString& linea);
/** The "No hay impresoras instaladas" error balloon and its log line. */
void avisarSinImpresoras(const Entorno& e);

/** A member of a document object (Empty when absent). */
json::JsonValue campo(const json::JsonValue& objeto, const char* clave);
/** A member of a document object as text, numbers in the locale's format. */
QString textoCampo(const Entorno& e, const json::JsonValue& objeto, const char* clave);
/** A member of a document object as a number. */
json::Decimal numeroCampo(const Entorno& e, const json::JsonValue& objeto, const char* clave);

/** The elements of a list: an array's items, or an object's values in order; anything else
 *  raises "Object required". */
QList<json::JsonValue> elementos(const json::JsonValue& lista);

}  // namespace printing
