#pragma once

#include <QString>
#include <QStringList>
#include <optional>

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
inline const QString kMensajeAccesoNoNormal =
    QStringLiteral("El archivo Acceso no es un archivo normal");
constexpr int kLargoCodigo = 15;

/**
 * The lines of a text file, index 0 first, always followed by one extra empty entry
 * (n lines give n + 1 entries); a file that cannot be read, or is not a regular file (a
 * symbolic link included), gives a single empty entry. CR LF, LF and lone CR all end a line.
 */
QStringList leerLineasArchivo(const QString& ruta);

/**
 * True when something other than a regular file stands at the path: a symbolic link (even
 * to a regular file), a folder, a device. Such a file is never read nor written through.
 */
bool noEsArchivoNormal(const QString& ruta);

/**
 * The bytes of a regular file, opened without following a symbolic link; nothing when the
 * file is missing, unreadable or not a regular file.
 */
std::optional<QByteArray> leerArchivoNormal(const QString& ruta);

/**
 * Writes a file through a temporary file in the same folder renamed into place: a symbolic
 * link standing at the path is replaced itself, its target is never written.
 * The reason of a failure goes to `motivo` when given.
 */
bool reemplazarArchivo(const QString& ruta, const QByteArray& bytes, QString* motivo = nullptr);

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
