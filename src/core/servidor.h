#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include "core/bandeja.h"
#include "core/conexion.h"
#include "core/mensajes.h"
#include "core/registro.h"
#include "printing/entorno.h"

namespace json {
class JsonValue;
}

namespace core {

inline const QString kTituloGlobo = QStringLiteral("Sistema de impresora");

/** Where the link connects and how often it looks. */
struct ConfigEnlace {
    QString hostNotificaciones;
    quint16 puertoNotificaciones = 3002;
    /** HOST[:PORT] of the job service, always reached over HTTPS. */
    QString hostTrabajos;
    int watchdogMs = 1000;
    int heartbeatMs = 60000;
};

/**
 * The print server's state and behaviour: the notification link with its watchdog and
 * heartbeat, the job fetch, the dispatch of each fetched document and the status cycle.
 * The window shows what it reports; the socket, fetcher and tray are replaceable.
 */
class Servidor : public QObject, public printing::Avisos {
    Q_OBJECT
  public:
    Servidor(Conexion* conexion, Buscador* buscador, printing::Entorno& entorno,
             ConfigEnlace config, QObject* parent = nullptr);

    // Main-window state.
    QString codigoSucursalesAgencias;
    bool conexionHabilitada = false;
    int estadoTrabajo = 0;

    void setBandeja(Bandeja* bandeja) { bandeja_ = bandeja; }
    Bandeja* bandeja() const { return bandeja_; }
    Registro& registro() { return registro_; }
    printing::Entorno& entorno() { return entorno_; }
    const ConfigEnlace& config() const { return config_; }

    /** The options whose absence keeps the link closed ("--notify-host", "--job-host"). */
    QStringList faltantes() const;
    /** Logs and shows "Falta configurar " + each missing option. */
    void avisarFaltantes();

    /** Starts the watchdog and the heartbeat. */
    void iniciarTemporizadores();
    void detenerTemporizadores();

    void conectarServidor();
    void enviarEstado();
    void agregarLog(const QString& texto) override;
    void showBalloonTip(const QString& mensaje, int icono, const QString& titulo,
                        int tiempoMs) override;

    /** One fetched text: drop the prefix, parse, dispatch, status back to 0. */
    void procesarRespuesta(const QString& texto);

    /** True while a document is being dispatched. */
    bool despachando() const { return despachando_; }
    int completadosEnEspera() const { return int(pendientes_.size()); }

  public slots:
    void tickWatchdog();
    void tickHeartbeat();
    void alConectar();
    void alRecibir();
    void alCerrarPar();
    void alError(int numero, const QString& descripcion);
    void alTextoEstado(const QString& texto);
    void alCompletar(const QString& texto);
    void alFallar(const QString& razon);

  signals:
    /** "status " + the socket state, after every watchdog tick. */
    void etiquetaEstado(const QString& texto);
    /** The last fetched text, for the status tab. */
    void textoBuscado(const QString& texto);

  private:
    struct Completado {
        bool ok;
        QString texto;
    };
    void encolar(Completado c);
    void ejecutar(const Completado& c);
    void terminarDocumento();
    void icono(IconoBandeja imagen, const QString& tip);
    bool enlaceConfigurado() const;

    Conexion* conexion_;
    Buscador* buscador_;
    printing::Entorno& entorno_;
    ConfigEnlace config_;
    Bandeja* bandeja_ = nullptr;
    Registro registro_;
    DetectorNotificacion detector_;
    QTimer vigilancia_;
    QTimer latido_;
    QList<Completado> pendientes_;
    bool despachando_ = false;
};

}  // namespace core
