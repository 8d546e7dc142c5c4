#pragma once

#include <QByteArray>
#include <QString>

namespace core {

/** The branch code as a JSON string body: quotes, backslashes, controls and non-ASCII escaped. */
QString escaparJson(const QString& texto);

/** {"idSyA":"CODE","type":"id"} */
QString mensajeIdentificacion(const QString& codigo);
/** {"idSyA":"CODE","status":"N"} */
QString mensajeEstado(const QString& codigo, int estadoTrabajo);

/** https:// + host + "/?r=servicio/getImpresiones&idSyA=" + the percent-encoded code. */
QByteArray urlTrabajos(const QString& hostTrabajos, const QString& codigo);

inline const QString kTerminador = QStringLiteral("_endMessage_");

/**
 * Recognises complete notifications across deliveries. A delivery completes a notification
 * when the text received since the last complete one ends with the terminator; only the last
 * 11 characters need to be kept, so that a terminator split over deliveries is still seen.
 */
class DetectorNotificacion {
  public:
    /** Adds one delivery; true when it completes a notification. */
    bool entrega(const QString& datos);
    void reiniciar() { cola_.clear(); }
    const QString& cola() const { return cola_; }

  private:
    QString cola_;
};

}  // namespace core
