#pragma once

#include <QSettings>
#include <QString>
#include <optional>

#include "print_device.h"

namespace printing {

/** A virtual printer as given on the command line: NAME[=WIDTH][:offline]. */
struct ImpresoraPedida {
    QString nombre;
    int ancho = kRollWidth;
    bool offline = false;
};

/**
 * Reads NAME[=WIDTH][:offline], as ticket-render and the server both take it. WIDTH is a
 * positive number of twips; the name is trimmed, must not be empty and holds no "=".
 */
std::optional<ImpresoraPedida> leerOpcionImpresora(QString texto);

/** A servidor.ini value as text: a value with commas (read as a list) joined back with ", ". */
QString valorIni(const QSettings& ini, const QString& clave);

}  // namespace printing
