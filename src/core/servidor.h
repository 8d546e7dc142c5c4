#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "core/bandeja.h"
#include "core/conexion.h"
#include "core/mensajes.h"
#include "core/registro.h"
#include "printing/entorno.h"

namespace json {
class JsonValue;
}

namespace core {

class Diario;
class DespachoDiario;
struct TicketDiario;

inline const QString kTituloGlobo = QStringLiteral("Sistema de impresora");

/** Gives the allocator's free memory back to the system (where the C library can). */
void devolverMemoriaLibre();

/** Where the link connects and how often it looks. */
struct ConfigEnlace {
    QString hostNotificaciones;
    quint16 puertoNotificaciones = 3002;
    /** HOST[:PORT] of the job service, always reached over HTTPS. */
    QString hostTrabajos;
    int watchdogMs = 1000;
    int heartbeatMs = 60000;
    /** A ticket that printed nowhere is retried this often, and fails after the limit. */
    int reintentoMs = 60000;
    int limiteReintentoMs = 1800000;
    /** Finished tickets past the journal's retention are pruned at start and this often. */
    int podaMs = 3600000;
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
    ~Servidor() override;

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
    /** Stops every timer; the journal's last state changes are flushed to the disk. */
    void detenerTemporizadores();

    /** How long a ticket's state change may wait before it is flushed to the disk. */
    static constexpr int kAseguramientoMs = 1000;

    void conectarServidor();
    void enviarEstado();
    void agregarLog(const QString& texto) override;
    void showBalloonTip(const QString& mensaje, int icono, const QString& titulo,
                        int tiempoMs) override;

    /** One fetched text: drop the prefix, parse, journal, dispatch, status. */
    void procesarRespuesta(const QString& texto);

    /**
     * Opens the journal in the application folder (balloon and log line when it cannot be
     * opened or was set aside), prunes it, and resumes every document with tickets still to
     * print, before the link connects. Without it the server prints as before, unjournaled.
     */
    void abrirDiario(const QString& carpetaAplicacion);
    Diario* diario() const { return diario_.get(); }
    /** Retries the tickets that printed nowhere; fails those past the limit. */
    void reintentar();
    /**
     * Prints a journal ticket again as a new ticket, on `impresora` ("" for its own).
     * Returns "" when accepted, else why not ("ticket desconocido", "impresora desconocida").
     */
    QString reimprimir(qint64 id, const QString& impresora);
    /** 1 while a fetch runs or a ticket waits in the journal, else 0. */
    int calcularEstado() const;

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
    void alFallarGrave(const QString& razon);

  signals:
    /** The journal changed: a document came in or a ticket moved. */
    void ticketsCambiados();
    /** "status " + the socket state, after every watchdog tick. */
    void etiquetaEstado(const QString& texto);
    /** An excerpt of the last fetched text (see Registro::extracto), for the status tab. */
    void textoBuscado(const QString& texto);

  private:
    struct Completado {
        bool ok;
        QString texto;
        bool avisar = false;  // a failure also shown in an error balloon
    };
    void encolar(Completado c);
    /** Runs every waiting completion, oldest first, unless a dispatch is under way. */
    void drenar();
    void ejecutar(const Completado& c);
    void terminarDocumento(bool ticketSinImprimir = false);
    void documentoIlegible(const QDateTime& recibido, const QString& texto, const QString& mensaje);
    void imprimirSinDiario(const json::JsonValue& raiz);
    void reanudar();
    void asegurarDiario();
    /** True when every ticket was sent. */
    bool imprimirTickets(const json::JsonValue& raiz, const QDateTime& recibido,
                         QList<TicketDiario> tickets, bool silencioso);
    void actualizarEstado();
    /** The clock the layouts print (tests set it). */
    QDateTime ahora() const;
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
    bool buscando_ = false;
    std::unique_ptr<Diario> diario_;
    std::unique_ptr<DespachoDiario> despacho_;
    QTimer timerReintento_;
    QTimer timerPoda_;
    QTimer aseguramiento_;  // flushes the journal's state changes soon after they are made
};

}  // namespace core
