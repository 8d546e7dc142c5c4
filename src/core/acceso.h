#pragma once

#include <QString>
#include <QStringList>

#include "core/dialogos.h"

namespace core {

inline const QString kPromptCodigo = QStringLiteral(
    "No tiene registrado un codigo para esta sucursal, registrelo en el siguiente campo.\r\n"
    "El codigo de sucursal tiene 15 digitos");
inline const QString kTituloCodigo = QStringLiteral("Codigo de sucursal");
inline const QString kPromptCambiar =
    QStringLiteral("Escribe codigo de la sucursal y presiona Aceptar para iniciar");
inline const QString kTituloCambiar = QStringLiteral("Sistema de impresion");
inline const QString kMensajeCodigoActualizado = QStringLiteral(
    "El codigo se ha actualizado correctamente, se va cerrar el servidor de impresoras, "
    "porfavor vuelvelo a abrir.");
inline const QString kMensajeCodigoNoGuardado = QStringLiteral("No se pudo guardar el codigo: ");
constexpr int kLargoCodigo = 15;

/**
 * The lines of a text file, index 0 first, always followed by one extra empty entry
 * (n lines give n + 1 entries); a file that cannot be read gives a single empty entry.
 * CR LF, LF and lone CR all end a line.
 */
QStringList leerLineasArchivo(const QString& ruta);

/** True when a file or folder exists; a trailing separator is ignored. */
bool existeRuta(const QString& ruta);

/** The access file of an application folder. */
QString rutaAcceso(const QString& carpeta);

/** Start-up rule: at least 15 characters, nothing else checked. */
bool codigoValidoInicio(const QString& codigo);
/** "Cambiar codigo" rule: at least 15 characters and numeric from the second one on. */
bool codigoValidoCambio(const QString& codigo);
/** The general number test: optional blanks and sign, digits with separators, decimals, exponent.
 */
bool esNumerico(const QString& texto);

/**
 * Writes the access file as one line, the code followed by CR LF (UTF-8), atomically. On a
 * failure the old file stays and motivo, when given, receives the reason.
 */
bool escribirAcceso(const QString& carpeta, const QString& codigo, QString* motivo = nullptr);

/** The second line of the access file ("" when it has one line or none). */
QString leerSegundaLinea(const QString& carpeta);

/**
 * The branch code from the access file. Asks until one of at least 15 characters is given
 * and then writes it; a valid code in the file is returned as it is. The code given is
 * returned even when it could not be written; motivo, when given, receives the reason
 * ("" when nothing failed).
 */
QString leerCodigoSucursal(const QString& carpeta, Dialogos& dialogos, QString* motivo = nullptr);

/**
 * Asks for a new code the way "Cambiar codigo" does. The access file is only written once a
 * valid code has been obtained, so an interrupted prompt never loses the stored one.
 * Returns the code written ("" when writing failed, with the reason in motivo when given).
 */
QString pedirCodigoNuevo(const QString& carpeta, Dialogos& dialogos, QString* motivo = nullptr);

}  // namespace core
