#include "core/servidor.h"

#include <QFileInfo>
#include <QMap>
#include <exception>

#include "core/despacho_diario.h"
#include "core/diario.h"
#include "printing/punto_fallo.h"
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "json/parser.h"
#include "json/runtime_error.h"
#include "printing/despacho.h"
#include "printing/print_device.h"

namespace core {

namespace {

constexpr qsizetype kDocumentoGrande = 8 * 1024 * 1024;

}  // namespace

void devolverMemoriaLibre() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

Servidor::Servidor(Conexion* conexion, Buscador* buscador, printing::Entorno& entorno,
                   ConfigEnlace config, QObject* parent)
    : QObject(parent),
      conexion_(conexion),
      buscador_(buscador),
      entorno_(entorno),
      config_(std::move(config)) {
    entorno_.avisos = this;
    vigilancia_.setInterval(config_.vigilanciaMs);
    latido_.setInterval(config_.latidoMs);
    connect(&vigilancia_, &QTimer::timeout, this, &Servidor::alVigilar);
    connect(&latido_, &QTimer::timeout, this, &Servidor::alLatir);
    connect(conexion_, &Conexion::conectado, this, &Servidor::alConectar);
    connect(conexion_, &Conexion::datos, this, &Servidor::alRecibir);
    connect(conexion_, &Conexion::cerradoPorPar, this, &Servidor::alCerrarPar);
    connect(conexion_, &Conexion::error, this, &Servidor::alError);
    connect(buscador_, &Buscador::textoEstado, this, &Servidor::alTextoEstado);
    connect(buscador_, &Buscador::completo, this, &Servidor::alCompletar);
    connect(buscador_, &Buscador::fallo, this, &Servidor::alFallar);
    timerReintento_.setInterval(config_.reintentoMs);
    timerPoda_.setInterval(config_.podaMs);
    connect(&timerReintento_, &QTimer::timeout, this, &Servidor::reintentar);
    connect(&timerPoda_, &QTimer::timeout, this, [this] {
        // The list of tickets drops what went.
        if (diario_ && diario_->disponible() && diario_->podar(ahora()) > 0)
            emit ticketsCambiados();
    });
    connect(buscador_, &Buscador::falloGrave, this, &Servidor::alFallarGrave);
    // A power cut loses at most this much of the tickets' progress, never a document.
    aseguramiento_.setSingleShot(true);
    aseguramiento_.setInterval(kAseguramientoMs);
    connect(&aseguramiento_, &QTimer::timeout, this, &Servidor::asegurarDiario);
}

Servidor::~Servidor() = default;

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
    timerReintento_.stop();
    timerPoda_.stop();
    asegurarDiario();
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

void Servidor::alVigilar() {
    const int antes = conexion_->estado();
    // Never identify with an empty code: the link waits until the code is known.
    if (conexionHabilitada && !codigoSucursalesAgencias.isEmpty() && enlaceConfigurado() &&
        antes != estado_socket::Conectando && antes != estado_socket::Conectado)
        conectarServidor();
    emit etiquetaEstado(QStringLiteral("status ") + QString::number(conexion_->estado()));
}

void Servidor::alLatir() {
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
    buscando_ = true;
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
    buscando_ = false;
    encolar({true, texto});
}

void Servidor::alFallar(const QString& razon) {
    buscando_ = false;
    encolar({false, razon});
}

void Servidor::alFallarGrave(const QString& razon) {
    encolar({false, razon, true});
}

// A completion that arrives while a document is being dispatched (the invoice lets pending
// events run) waits with its own text and runs after it: tickets of two documents never mix.
void Servidor::encolar(Completado c) {
    pendientes_.append(std::move(c));
    drenar();
}

void Servidor::drenar() {
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
        const QString texto = QStringLiteral("Error al consultar trabajos: ") + c.texto;
        agregarLog(texto);
        if (c.avisar)
            showBalloonTip(texto, printing::kGloboError, kTituloGlobo, printing::kTiempoGlobo);
        terminarDocumento();
        return;
    }
    agregarLog(c.texto);
    // The status tab shows an excerpt: a text view given hundreds of MB fails.
    emit textoBuscado(Registro::extracto(c.texto));
    procesarRespuesta(c.texto);
    // A big document leaves the allocator holding its peak for good: once every copy is gone
    // (the fetcher's included, after this event), the free memory goes back to the system.
    if (c.texto.size() > kDocumentoGrande)
        QTimer::singleShot(0, this, [] { devolverMemoriaLibre(); });
}

namespace {

const QString kTituloDocumento = QStringLiteral("Documento no procesado");

QString primeraLinea(const QString& texto) {
    for (const QString& l : texto.split(u'\n')) {
        if (!l.trimmed().isEmpty()) return l.trimmed();
    }
    return texto.trimmed();
}

// A failed retry tells nobody but the log, in one line of its own; a ticket that prints at
// last says so as any ticket does.
class AvisosReintento : public printing::Avisos {
  public:
    explicit AvisosReintento(printing::Avisos* real) : real_(real) {}
    void showBalloonTip(const QString& mensaje, int icono, const QString& titulo,
                        int tiempoMs) override {
        if (real_ && icono == printing::kGloboInfo)
            real_->showBalloonTip(mensaje, icono, titulo, tiempoMs);
    }
    void agregarLog(const QString&) override {}

  private:
    printing::Avisos* real_;
};

}  // namespace

void Servidor::procesarRespuesta(const QString& texto) {
    const QString documento = texto.mid(5);
    agregarLog(QStringLiteral("Respuesta: "));
    agregarLog(QStringLiteral("--"));
    bool sinImprimir = false;
    const QDateTime recibido = ahora();
    try {
        const auto [raiz, errores] = json::parse(documento);
        if (!errores.isEmpty()) {
            agregarLog(errores);
            documentoIlegible(recibido, documento, primeraLinea(errores));
        } else if (!diario_) {
            printing::setComunicacion(raiz, entorno_);
            sinImprimir = *entorno_.ticketsSinImprimir > 0;
        } else if (!diario_->disponible()) {
            const QString aviso = QStringLiteral(
                                      "Sin diario de trabajos: el documento se imprime "
                                      "sin guardarse (") +
                                  diario_->error() + u')';
            agregarLog(aviso);
            showBalloonTip(aviso, printing::kGloboAviso, kTituloGlobo, printing::kTiempoGlobo);
            printing::setComunicacion(raiz, entorno_);
            sinImprimir = *entorno_.ticketsSinImprimir > 0;
        } else {
            const QList<TicketPlan> plan = despacho_->planear(raiz);
            if (!plan.isEmpty()) {
                const auto ids = diario_->registrarDocumento(recibido, documento, plan);
                if (!ids) {
                    const QString aviso =
                        QStringLiteral("No se pudo guardar el documento en el diario: ") +
                        diario_->error();
                    agregarLog(aviso);
                    showBalloonTip(aviso, printing::kGloboError, kTituloGlobo,
                                   printing::kTiempoGlobo);
                    printing::setComunicacion(raiz, entorno_);
                    sinImprimir = *entorno_.ticketsSinImprimir > 0;
                } else {
                    printing::puntoFallo("diario");
                    emit ticketsCambiados();
                    const qint64 doc = diario_->ticket(ids->first())->documento;
                    // Printers that work again take what waits for them.
                    if (imprimirTickets(raiz, recibido, diario_->ticketsDe(doc), false) &&
                        diario_->hayPendientes())
                        QTimer::singleShot(0, this, [this] { reintentar(); });
                }
            }
        }
    } catch (const printing::DocumentoNoProcesado& e) {
        agregarLog(QStringLiteral("Documento no procesado: ") + e.motivo());
        return;
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
    terminarDocumento(sinImprimir);
}

void Servidor::documentoIlegible(const QDateTime& recibido, const QString& texto,
                                 const QString& mensaje) {
    if (!diario_) return;
    if (!diario_->disponible() || !diario_->registrarIlegible(recibido, texto, mensaje)) {
        const QString aviso = QStringLiteral(
                                  "Un documento de trabajos no se pudo leer ni "
                                  "guardar en el diario: ") +
                              diario_->error();
        agregarLog(aviso);
        showBalloonTip(aviso, printing::kGloboError, kTituloDocumento, printing::kTiempoGlobo);
        return;
    }
    emit ticketsCambiados();
    showBalloonTip(QStringLiteral("Un documento de trabajos no se pudo leer; quedo guardado en la "
                                  "lista de tickets."),
                   printing::kGloboError, kTituloDocumento, printing::kTiempoGlobo);
}

bool Servidor::imprimirTickets(const json::JsonValue& raiz, const QDateTime& recibido,
                               QList<TicketDiario> tickets, bool silencioso) {
    bool todos = true;
    printing::Avisos* antes = entorno_.avisos;
    AvisosReintento reintento(antes);
    if (silencioso) entorno_.avisos = &reintento;
    // One place of the document prints once a pass; a copy of it waits for the next pass.
    while (!tickets.isEmpty()) {
        QList<TicketDiario> pasada;
        QList<TicketDiario> despues;
        for (const TicketDiario& t : tickets) {
            bool ocupado = false;
            for (const TicketDiario& p : pasada) ocupado = ocupado || p.clave == t.clave;
            (ocupado ? despues : pasada).append(t);
        }
        try {
            const auto r = despacho_->imprimir(raiz, recibido, pasada);
            todos = todos && r.fallidos.isEmpty();
            if (silencioso) {
                for (const TicketDiario& f : r.fallidos) {
                    agregarLog(QStringLiteral("Reintento sin exito del ticket %1 (%2) en %3: %4")
                                   .arg(f.id)
                                   .arg(f.titulo, f.impresora, f.envio));
                }
            }
        } catch (...) {
            entorno_.avisos = antes;
            throw;
        }
        tickets = despues;
    }
    entorno_.avisos = antes;
    emit ticketsCambiados();
    return todos;
}

void Servidor::abrirDiario(const QString& carpetaAplicacion) {
    diario_ = std::make_unique<Diario>(carpetaAplicacion);
    diario_->setAlQuedarSinAsegurar([this] {
        if (!aseguramiento_.isActive()) aseguramiento_.start();
    });
    despacho_ = std::make_unique<DespachoDiario>(*diario_, entorno_);
    if (!diario_->abrir()) {
        const QString aviso =
            QStringLiteral("No se pudo abrir el diario de trabajos; se imprime sin el: ") +
            diario_->error();
        agregarLog(aviso);
        showBalloonTip(aviso, printing::kGloboError, kTituloGlobo, printing::kTiempoGlobo);
        return;
    }
    if (!diario_->apartado().isEmpty()) {
        const QString aviso =
            QStringLiteral("El diario de trabajos estaba danado; se aparto como ") +
            diario_->apartado() + QStringLiteral(" y se empezo uno nuevo (") + diario_->error() +
            u')';
        agregarLog(aviso);
        showBalloonTip(aviso, printing::kGloboError, kTituloGlobo, printing::kTiempoGlobo);
    }
    diario_->podar(ahora());
    reanudar();
    actualizarEstado();
    timerReintento_.start();
    timerPoda_.start();
}

void Servidor::asegurarDiario() {
    aseguramiento_.stop();
    if (!diario_ || !diario_->disponible() || diario_->asegurar()) return;
    const QString aviso =
        QStringLiteral("No se pudo escribir el diario de trabajos: ") + diario_->error();
    agregarLog(aviso);
    showBalloonTip(aviso, printing::kGloboError, kTituloGlobo, printing::kTiempoGlobo);
}

void Servidor::reanudar() {
    // Every ticket left `enviado` is settled before anything prints again: a file written now
    // may take the name an unwritten one was given, and would then pass for it.
    QMap<qint64, QList<TicketDiario>> porDocumento;
    QMap<qint64, DocumentoDiario> documentos;
    QList<CambioEstado> cambios;
    for (TicketDiario t : diario_->sinTerminar()) {
        if (!documentos.contains(t.documento)) {
            const auto doc = diario_->documento(t.documento);
            if (!doc) continue;
            documentos.insert(t.documento, *doc);
            agregarLog(QStringLiteral("Reanudando documento de ") +
                       doc->recibido.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        }
        if (t.estado == EstadoTicket::Enviado) {
            if (!t.envio.isEmpty() && QFileInfo::exists(t.envio)) {
                // Its file is there, and files only appear whole: it printed.
                cambios.append({t.id, EstadoTicket::Impreso, {}, {}});
                continue;
            }
            if (t.envio.isEmpty()) {
                // CUPS knows its jobs by name; a printer that cannot be asked may have
                // the ticket already.
                const QString nombre = diario_->nombreTrabajo(t.id);
                const auto destino = entorno_.impresoras->jobFate(t.impresora, nombre);
                if (destino == printing::PrinterSystem::JobFate::Done ||
                    destino == printing::PrinterSystem::JobFate::Waiting) {
                    cambios.append({t.id, EstadoTicket::Impreso, {}, {}});
                    continue;
                }
                if (destino == printing::PrinterSystem::JobFate::Unsent)
                    entorno_.impresoras->cancelJobs(nombre);
                if (destino == printing::PrinterSystem::JobFate::Unknown) {
                    agregarLog(QStringLiteral("Ticket %1 enviado de nuevo, posible duplicado en ")
                                   .arg(t.id) +
                               t.impresora);
                }
            }
            t.estado = EstadoTicket::Pendiente;
        }
        porDocumento[t.documento].append(t);
    }
    diario_->marcar(cambios);
    for (auto it = porDocumento.begin(); it != porDocumento.end(); ++it) {
        const DocumentoDiario& doc = documentos[it.key()];
        const auto [raiz, errores] = json::parse(doc.texto);
        try {
            imprimirTickets(raiz, doc.recibido, it.value(), false);
        } catch (const printing::DocumentoNoProcesado& e) {
            agregarLog(QStringLiteral("Documento no procesado: ") + e.motivo());
        } catch (const std::exception& e) {
            agregarLog(QStringLiteral("Documento no procesado: ") + QString::fromUtf8(e.what()));
        }
    }
}

void Servidor::reintentar() {
    if (!diario_ || !diario_->disponible() || despachando_) return;
    const QDateTime momento = ahora();
    QMap<qint64, QList<TicketDiario>> porDocumento;
    bool habia = false;
    for (const TicketDiario& t : diario_->sinTerminar()) {
        if (t.estado != EstadoTicket::Pendiente) continue;
        habia = true;
        if (t.creado.msecsTo(momento) >= config_.limiteReintentoMs) {
            diario_->marcar(t.id, EstadoTicket::Fallido);
            const QString aviso = QStringLiteral("No se pudo imprimir el ticket de ") +
                                  t.impresora +
                                  QStringLiteral(". Reimprimalo desde la lista de tickets.");
            agregarLog(aviso);
            showBalloonTip(aviso, printing::kGloboError, kTituloGlobo, printing::kTiempoGlobo);
            emit ticketsCambiados();
            continue;
        }
        porDocumento[t.documento].append(t);
    }
    const int antes = estadoTrabajo;
    if (habia) {
        despachando_ = true;
        for (auto it = porDocumento.begin(); it != porDocumento.end(); ++it) {
            const auto doc = diario_->documento(it.key());
            if (!doc) continue;
            const auto [raiz, errores] = json::parse(doc->texto);
            try {
                imprimirTickets(raiz, doc->recibido, it.value(), true);
            } catch (...) {
                agregarLog(QStringLiteral("Reintento sin exito: el documento no se pudo leer"));
            }
        }
        despachando_ = false;
    }
    actualizarEstado();
    // The last waiting ticket printed: said at once, not at the next heartbeat.
    if (antes == 1 && estadoTrabajo == 0) enviarEstado();
    // Completions that came in meanwhile run now, in the order they came.
    drenar();
}

QString Servidor::reimprimir(qint64 id, const QString& impresora) {
    if (!diario_ || !diario_->disponible()) return QStringLiteral("sin diario de trabajos");
    const auto original = diario_->ticket(id);
    if (!original || original->tipo == TipoTicket::Documento)
        return QStringLiteral("ticket desconocido");
    QString destino = original->impresora;
    if (!impresora.trimmed().isEmpty()) {
        destino.clear();
        for (const QString& p : entorno_.impresoras->printers()) {
            if (p.trimmed().compare(impresora.trimmed(), Qt::CaseInsensitive) == 0) destino = p;
        }
        if (destino.isEmpty()) return QStringLiteral("impresora desconocida");
    }
    const auto copia = diario_->registrarCopia(id, destino, ahora());
    if (!copia) return QStringLiteral("no se pudo guardar en el diario");
    agregarLog(QStringLiteral("Reimpresion del ticket %1 en %2 (copia, ticket %3)")
                   .arg(id)
                   .arg(destino)
                   .arg(*copia));
    emit ticketsCambiados();
    // Printed from the event loop, never inside another dispatch.
    QTimer::singleShot(0, this, [this] { reintentar(); });
    return {};
}

QDateTime Servidor::ahora() const {
    return entorno_.reloj ? entorno_.reloj() : QDateTime::currentDateTime();
}

int Servidor::calcularEstado() const {
    if (buscando_) return 1;
    return diario_ && diario_->disponible() && diario_->hayPendientes() ? 1 : 0;
}

void Servidor::actualizarEstado() {
    estadoTrabajo = calcularEstado();
}

void Servidor::terminarDocumento(bool ticketSinImprimir) {
    actualizarEstado();
    // Without the journal, a ticket that printed nowhere is not reported as done either.
    if (ticketSinImprimir) estadoTrabajo = 1;
    enviarEstado();
    icono(IconoBandeja::Conectado, QStringLiteral("Conectado"));
}

}  // namespace core
