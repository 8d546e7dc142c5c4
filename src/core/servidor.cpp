#include "core/servidor.h"

#include <exception>

#include "json/parser.h"
#include "json/runtime_error.h"
#include "printing/despacho.h"

namespace core {

Servidor::Servidor(Conexion* conexion, Buscador* buscador, printing::Entorno& entorno,
                   ConfigEnlace config, QObject* parent)
    : QObject(parent),
      conexion_(conexion),
      buscador_(buscador),
      entorno_(entorno),
      config_(std::move(config)) {
    entorno_.avisos = this;
    vigilancia_.setInterval(config_.watchdogMs);
    latido_.setInterval(config_.heartbeatMs);
    connect(&vigilancia_, &QTimer::timeout, this, &Servidor::tickWatchdog);
    connect(&latido_, &QTimer::timeout, this, &Servidor::tickHeartbeat);
    connect(conexion_, &Conexion::conectado, this, &Servidor::alConectar);
    connect(conexion_, &Conexion::datos, this, &Servidor::alRecibir);
    connect(conexion_, &Conexion::cerradoPorPar, this, &Servidor::alCerrarPar);
    connect(conexion_, &Conexion::error, this, &Servidor::alError);
    connect(buscador_, &Buscador::textoEstado, this, &Servidor::alTextoEstado);
    connect(buscador_, &Buscador::completo, this, &Servidor::alCompletar);
    connect(buscador_, &Buscador::fallo, this, &Servidor::alFallar);
}

QStringList Servidor::faltantes() const {
    QStringList f;
    if (config_.hostNotificaciones.isEmpty()) f << QStringLiteral("--notify-host");
    if (config_.hostTrabajos.isEmpty()) f << QStringLiteral("--job-host");
    return f;
}

bool Servidor::enlaceConfigurado() const {
    return !config_.hostNotificaciones.isEmpty() && !config_.hostTrabajos.isEmpty();
}

void Servidor::avisarFaltantes() {
    for (const QString& opcion : faltantes()) {
        const QString texto = QStringLiteral("Falta configurar ") + opcion;
        agregarLog(texto);
        showBalloonTip(texto, printing::kGloboAviso, kTituloGlobo, printing::kTiempoGlobo);
    }
}

void Servidor::iniciarTemporizadores() {
    vigilancia_.start();
    latido_.start();
}

void Servidor::detenerTemporizadores() {
    vigilancia_.stop();
    latido_.stop();
}

void Servidor::icono(IconoBandeja imagen, const QString& tip) {
    if (bandeja_) bandeja_->setIcon(imagen, tip);
}

void Servidor::showBalloonTip(const QString& mensaje, int icono, const QString& titulo,
                              int tiempoMs) {
    if (bandeja_) bandeja_->showBalloonTip(mensaje, icono, titulo, tiempoMs);
}

void Servidor::agregarLog(const QString& texto) {
    registro_.agregar(texto);
}

void Servidor::conectarServidor() {
    conexion_->cerrar();
    conexion_->conectar(config_.hostNotificaciones, config_.puertoNotificaciones);
}

void Servidor::enviarEstado() {
    if (conexion_->estado() != estado_socket::Conectado) return;
    const QString m = mensajeEstado(codigoSucursalesAgencias, estadoTrabajo);
    conexion_->enviar(m);
    agregarLog(m);
}

void Servidor::tickWatchdog() {
    const int antes = conexion_->estado();
    // Never identify with an empty code: the link waits until the code is known.
    if (conexionHabilitada && !codigoSucursalesAgencias.isEmpty() && enlaceConfigurado() &&
        antes != estado_socket::Conectando && antes != estado_socket::Conectado)
        conectarServidor();
    emit etiquetaEstado(QStringLiteral("status ") + QString::number(conexion_->estado()));
}

void Servidor::tickHeartbeat() {
    enviarEstado();
}

void Servidor::alConectar() {
    const QString m = mensajeIdentificacion(codigoSucursalesAgencias);
    agregarLog(m);
    conexion_->enviar(m);
    const QString texto = QStringLiteral("Servidor de impresoras conextado correctamente");
    icono(IconoBandeja::OK, texto);
    showBalloonTip(texto, printing::kGloboInfo, kTituloGlobo, printing::kTiempoGlobo);
}

void Servidor::alRecibir() {
    const QString llegado = conexion_->recibirTodo();
    if (llegado.isEmpty()) return;
    agregarLog(llegado);
    if (!detector_.entrega(llegado)) return;
    estadoTrabajo = 1;
    buscador_->navegar(urlTrabajos(config_.hostTrabajos, codigoSucursalesAgencias));
}

void Servidor::alCerrarPar() {
    conexion_->cerrar();
    detector_.reiniciar();
    icono(IconoBandeja::Desconectado, QStringLiteral("DesConectando"));
    showBalloonTip(QStringLiteral("Servidor de impresoras desconectado"), printing::kGloboInfo,
                   kTituloGlobo, printing::kTiempoGlobo);
}

void Servidor::alError(int numero, const QString& descripcion) {
    const QString texto = QString::number(numero) + QLatin1Char('-') + descripcion;
    agregarLog(QStringLiteral("Error: ") + texto);
    conexion_->cerrar();
    detector_.reiniciar();
    icono(IconoBandeja::Desconectado, QStringLiteral("DesConectando"));
    showBalloonTip(texto, printing::kGloboInfo, kTituloGlobo, printing::kTiempoGlobo);
}

void Servidor::alTextoEstado(const QString& texto) {
    agregarLog(QString(31, u'-'));
    agregarLog(texto);
}

void Servidor::alCompletar(const QString& texto) {
    encolar({true, texto});
}

void Servidor::alFallar(const QString& razon) {
    encolar({false, razon});
}

// A completion that arrives while a document is being dispatched (the invoice lets pending
// events run) waits with its own text and runs after it: tickets of two documents never mix.
void Servidor::encolar(Completado c) {
    pendientes_.append(std::move(c));
    if (despachando_) return;
    despachando_ = true;
    while (!pendientes_.isEmpty()) {
        const Completado siguiente = pendientes_.takeFirst();
        ejecutar(siguiente);
    }
    despachando_ = false;
}

void Servidor::ejecutar(const Completado& c) {
    if (!c.ok) {
        // A failed fetch ends like a text that does not parse.
        agregarLog(QStringLiteral("Error al consultar trabajos: ") + c.texto);
        terminarDocumento();
        return;
    }
    agregarLog(c.texto);
    emit textoBuscado(c.texto);
    procesarRespuesta(c.texto);
}

void Servidor::procesarRespuesta(const QString& texto) {
    const QString documento = texto.mid(5);
    agregarLog(QStringLiteral("Respuesta: "));
    agregarLog(QStringLiteral("--"));
    try {
        const auto [raiz, errores] = json::parse(documento);
        if (!errores.isEmpty())
            agregarLog(errores);
        else
            printing::setComunicacion(raiz, entorno_);
    } catch (const json::RuntimeError& e) {
        agregarLog(QStringLiteral("Documento no procesado: ") + e.description());
        return;
    } catch (const std::exception& e) {
        agregarLog(QStringLiteral("Documento no procesado: ") + QString::fromUtf8(e.what()));
        return;
    } catch (...) {
        agregarLog(QStringLiteral("Documento no procesado: error desconocido"));
        return;
    }
    terminarDocumento();
}

void Servidor::terminarDocumento() {
    estadoTrabajo = 0;
    enviarEstado();
    icono(IconoBandeja::Conectado, QStringLiteral("Conectado"));
}

}  // namespace core
