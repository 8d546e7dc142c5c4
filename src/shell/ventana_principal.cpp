#include "shell/ventana_principal.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextCursor>
#include <QVBoxLayout>

#include "core/acceso.h"
#include "core/diario.h"
#include "printing/devices/picture_size.h"
#include "printing/print_device.h"
#include "shell/iconos.h"

namespace shell {

VentanaPrincipal::VentanaPrincipal(core::Servidor& servidor, core::Dialogos& dialogos,
                                   QString carpeta, std::function<void(int)> salir, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint |
                          Qt::WindowMinimizeButtonHint),
      servidor_(servidor),
      dialogos_(dialogos),
      carpeta_(std::move(carpeta)),
      salir_(std::move(salir)) {
    setObjectName(QStringLiteral("VentanaPrincipal"));
    setWindowTitle(QStringLiteral("Servidor de Impresoras"));
    setWindowIcon(iconoAplicacion());

    pestanas = new QTabWidget(this);
    auto* panel = new QWidget;
    auto* status = new QWidget;
    pestanas->addTab(panel, QStringLiteral("Panel"));
    pestanas->addTab(status, QStringLiteral("Status"));
    auto* lista = new QWidget;
    pestanas->addTab(lista, QStringLiteral("Tickets"));

    marcoSucursal = new QGroupBox(QStringLiteral("Frame1"), panel);
    etiquetaCodigo = new QLabel(QStringLiteral("Codigo Sucursal"));
    cajaCodigo = new QLineEdit;
    botonCambiarCodigo = new QPushButton(QStringLiteral("Cambiar codigo"));
    botonCargarImagen = new QPushButton(QStringLiteral("Cargar Imagen"));
    botonCerrarVentana = new QPushButton(QStringLiteral("Cerrar Ventana"));
    botonApagarServidor = new QPushButton(QStringLiteral("Apagar Servidor"));
    cajaLogo = new CajaImagen;
    cajaLogo->setFixedSize(280, 180);

    auto* codigo = new QHBoxLayout;
    codigo->addWidget(etiquetaCodigo);
    codigo->addWidget(cajaCodigo, 1);
    codigo->addWidget(botonCambiarCodigo);
    auto* botones = new QVBoxLayout;
    botones->addWidget(botonCargarImagen);
    botones->addWidget(botonCerrarVentana);
    botones->addWidget(botonApagarServidor);
    botones->addStretch(1);
    auto* logo = new QHBoxLayout;
    logo->addWidget(cajaLogo);
    logo->addLayout(botones);
    auto* columnaMarco = new QVBoxLayout(marcoSucursal);
    columnaMarco->addLayout(codigo);
    columnaMarco->addLayout(logo);
    auto* columnaPanel = new QVBoxLayout(panel);
    columnaPanel->addWidget(marcoSucursal);
    columnaPanel->addStretch(1);

    botonEnviarEstado = new QPushButton(QStringLiteral("Send Status Free"));
    cajaRegistro = new QPlainTextEdit;
    cajaRegistro->setReadOnly(true);
    cajaRegistro->setMaximumBlockCount(core::Registro::kLineasCaja);
    cajaRegistro->setLineWrapMode(QPlainTextEdit::NoWrap);
    cajaRespuesta = new QPlainTextEdit;
    cajaRespuesta->setReadOnly(true);
    auto* columnaStatus = new QVBoxLayout(status);
    auto* fila = new QHBoxLayout;
    fila->addWidget(botonEnviarEstado);
    fila->addStretch(1);
    columnaStatus->addLayout(fila);
    columnaStatus->addWidget(cajaRegistro, 2);
    columnaStatus->addWidget(cajaRespuesta, 1);

    tablaTickets = new QTableWidget(0, 5);
    tablaTickets->setHorizontalHeaderLabels({QStringLiteral("Hora"), QStringLiteral("Tipo"),
                                             QStringLiteral("Impresora"), QStringLiteral("Estado"),
                                             QStringLiteral("Titulo")});
    tablaTickets->setSelectionBehavior(QAbstractItemView::SelectRows);
    tablaTickets->setSelectionMode(QAbstractItemView::SingleSelection);
    tablaTickets->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tablaTickets->verticalHeader()->setVisible(false);
    tablaTickets->horizontalHeader()->setStretchLastSection(true);
    botonReimprimir = new QPushButton(QStringLiteral("Reimprimir"));
    botonReimprimirEn = new QPushButton(QStringLiteral("Reimprimir en..."));
    menuImpresoras = new QMenu(this);
    auto* columnaLista = new QVBoxLayout(lista);
    columnaLista->addWidget(tablaTickets, 1);
    auto* filaLista = new QHBoxLayout;
    filaLista->addWidget(botonReimprimir);
    filaLista->addWidget(botonReimprimirEn);
    filaLista->addStretch(1);
    columnaLista->addLayout(filaLista);
    menuBandeja = new QMenu(this);
    connect(menuBandeja->addAction(QStringLiteral("Reimprimir ultimo ticket")), &QAction::triggered,
            this, &VentanaPrincipal::reimprimirUltimo);

    etiquetaEstado = new QLabel(QStringLiteral("status 0"));
    auto* raiz = new QVBoxLayout(this);
    raiz->addWidget(pestanas, 1);
    raiz->addWidget(etiquetaEstado);
    resize(620, 420);

    connect(botonCambiarCodigo, &QPushButton::clicked, this, &VentanaPrincipal::cambiarCodigo);
    connect(botonCargarImagen, &QPushButton::clicked, this, &VentanaPrincipal::cargarImagenLogo);
    connect(botonCerrarVentana, &QPushButton::clicked, this, &VentanaPrincipal::cerrarVentana);
    connect(botonApagarServidor, &QPushButton::clicked, this, &VentanaPrincipal::apagarServidor);
    connect(botonEnviarEstado, &QPushButton::clicked, &servidor_, &core::Servidor::enviarEstado);
    connect(botonReimprimir, &QPushButton::clicked, this, [this] { reimprimirSeleccionado(); });
    connect(botonReimprimirEn, &QPushButton::clicked, this, [this] {
        menuImpresoras->clear();
        const printing::Entorno& e = servidor_.entorno();
        for (const QString& p : e.impresoras ? e.impresoras->printers() : QStringList()) {
            connect(menuImpresoras->addAction(p), &QAction::triggered, this,
                    [this, p] { reimprimirSeleccionado(p); });
        }
        menuImpresoras->popup(
            botonReimprimirEn->mapToGlobal(QPoint(0, botonReimprimirEn->height())));
    });
    // A busy kitchen changes the journal many times a second; the list is read once a
    // burst, and not at all while nobody can see it.
    refrescoTickets_.setSingleShot(true);
    refrescoTickets_.setInterval(kRefrescoTicketsMs);
    connect(&refrescoTickets_, &QTimer::timeout, this, &VentanaPrincipal::actualizarTickets);
    connect(&servidor_, &core::Servidor::ticketsCambiados, this,
            &VentanaPrincipal::pedirActualizacionTickets);
    connect(&servidor_, &core::Servidor::etiquetaEstado, etiquetaEstado, &QLabel::setText);
    connect(&servidor_, &core::Servidor::textoBuscado, this, [this](const QString& t) {
        // Only the last answer shows; a hidden window lays it out when it shows.
        if (isVisible()) {
            cajaRespuesta->setPlainText(t);
            respuestaEnEspera_.reset();
        } else {
            respuestaEnEspera_ = t;
        }
    });
    connect(&servidor_.registro(), &core::Registro::lineaAgregada, this, [this](const QString& t) {
        // Laying text out costs more than printing a ticket: while the window is hidden the
        // lines wait (as many as the box keeps) and go in when it shows.
        if (!isVisible()) {
            registroEnEspera_.append(t);
            if (registroEnEspera_.size() > core::Registro::kLineasCaja)
                registroEnEspera_.removeFirst();
            return;
        }
        // Appending costs only the new text; the caret goes to the end so the newest line shows.
        cajaRegistro->appendPlainText(t);
        cajaRegistro->moveCursor(QTextCursor::End);
    });
}

void VentanaPrincipal::pedirActualizacionTickets() {
    if (!isVisible()) {
        ticketsVencidos_ = true;
        return;
    }
    if (!refrescoTickets_.isActive()) refrescoTickets_.start();
}

void VentanaPrincipal::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!registroEnEspera_.isEmpty()) {
        for (const QString& linea : std::as_const(registroEnEspera_))
            cajaRegistro->appendPlainText(linea);
        registroEnEspera_.clear();
        cajaRegistro->moveCursor(QTextCursor::End);
    }
    if (respuestaEnEspera_) {
        cajaRespuesta->setPlainText(*respuestaEnEspera_);
        respuestaEnEspera_.reset();
    }
    if (ticketsVencidos_) actualizarTickets();
}

void VentanaPrincipal::actualizarTickets() {
    ticketsVencidos_ = false;
    refrescoTickets_.stop();
    core::Diario* diario = servidor_.diario();
    const QList<core::TicketDiario> tickets = diario && diario->disponible()
                                                  ? diario->ultimos(kTicketsVisibles)
                                                  : QList<core::TicketDiario>();
    tablaTickets->setRowCount(static_cast<int>(tickets.size()));
    for (int fila = 0; fila < tickets.size(); ++fila) {
        const core::TicketDiario& t = tickets[fila];
        const QStringList celdas{t.creado.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                 core::textoTipo(t.tipo), t.impresora, core::textoEstado(t.estado),
                                 t.titulo};
        for (int col = 0; col < celdas.size(); ++col) {
            auto* celda = new QTableWidgetItem(celdas[col]);
            celda->setData(Qt::UserRole, t.id);
            tablaTickets->setItem(fila, col, celda);
        }
    }
}

void VentanaPrincipal::reimprimirSeleccionado(const QString& impresora) {
    const QList<QTableWidgetItem*> elegidos = tablaTickets->selectedItems();
    if (elegidos.isEmpty()) return;
    reimprimir(elegidos.first()->data(Qt::UserRole).toLongLong(), impresora);
}

void VentanaPrincipal::reimprimirUltimo() {
    core::Diario* diario = servidor_.diario();
    if (!diario || !diario->disponible()) return;
    for (const core::TicketDiario& t : diario->ultimos(20)) {
        if (t.tipo == core::TipoTicket::Documento) continue;
        reimprimir(t.id, {});
        return;
    }
}

void VentanaPrincipal::reimprimir(qint64 id, const QString& impresora) {
    const QString motivo = servidor_.reimprimir(id, impresora);
    if (motivo.isEmpty()) return;
    const QString texto = QStringLiteral("No se pudo reimprimir el ticket %1: ").arg(id) + motivo;
    servidor_.agregarLog(texto);
    servidor_.showBalloonTip(texto, printing::kGloboAviso, core::kTituloGlobo,
                             printing::kTiempoGlobo);
}

VentanaPrincipal::~VentanaPrincipal() {
    // The tray icon goes with the window; the server must not reach it afterwards.
    if (servidor_.bandeja() == bandeja) servidor_.setBandeja(nullptr);
}

void VentanaPrincipal::iniciar() {
    // Files that are not regular files (a symbolic link above all) are never read: each is
    // logged now and shown in a balloon once the tray icon is up.
    QStringList rechazados;
    auto rechazar = [&](const QString& texto) {
        servidor_.agregarLog(texto);
        rechazados << texto;
    };
    if (core::noEsArchivoNormal(core::rutaAcceso(carpeta_))) rechazar(core::kMensajeAccesoNoNormal);
    servidor_.conexionHabilitada = true;
    servidor_.iniciarTemporizadores();
    QString fallo;
    const QString codigo = core::leerCodigoSucursal(carpeta_, dialogos_, &fallo);
    servidor_.codigoSucursalesAgencias = codigo;
    servidor_.estadoTrabajo = 0;
    setVisible(core::leerSegundaLinea(carpeta_).toUpper() == QLatin1String("TECNICO"));

    const QString logo = QDir(carpeta_).filePath(QStringLiteral("logo.bmp"));
    if (core::noEsArchivoNormal(logo)) {
        rechazar(kMensajeLogoNoNormal);
    } else if (const auto bytes = core::leerArchivoNormal(logo)) {
        mostrarImagen(printing::readPicture(*bytes));
    }

    // The code just read or given: a code that could not be written is not asked for twice.
    cajaCodigo->setText(codigo);

    bandeja = new BandejaSistema(this);
    connect(bandeja, &BandejaSistema::activada, this, &VentanaPrincipal::alActivarBandeja);
    bandeja->init(this, QStringLiteral("Sincronizador Zentil"));
    bandeja->setIcon(core::IconoBandeja::Desconectado, QStringLiteral("Conectando"));
    bandeja->showBalloonTip(QStringLiteral("Conectando al servidor de impresion "),
                            printing::kGloboInfo, core::kTituloGlobo, printing::kTiempoGlobo);
    bandeja->setMenu(menuBandeja);
    servidor_.setBandeja(bandeja);
    for (const QString& texto : rechazados)
        bandeja->showBalloonTip(texto, printing::kGloboAviso, core::kTituloGlobo,
                                printing::kTiempoGlobo);
    if (!fallo.isEmpty()) avisarCodigoNoGuardado(fallo);
    servidor_.avisarFaltantes();
}

void VentanaPrincipal::alActivarBandeja(QSystemTrayIcon::ActivationReason motivo) {
    if (motivo != QSystemTrayIcon::Trigger) return;
    show();
    raise();
    activateWindow();
}

// Without this the operator would only see the code asked for again at the next start.
void VentanaPrincipal::avisarCodigoNoGuardado(const QString& motivo) {
    const QString texto = core::kMensajeCodigoNoGuardado + motivo;
    servidor_.agregarLog(texto);
    servidor_.showBalloonTip(texto, printing::kGloboError, core::kTituloGlobo,
                             printing::kTiempoGlobo);
}

void VentanaPrincipal::mostrarImagen(const QImage& imagen) {
    if (!fondo_) fondo_ = std::make_unique<PintorFondo>();
    fondo_->setCaja(cajaLogo);
    fondo_->setImagen(imagen);
    fondo_->setMargen(32);
    fondo_->pintar();
}

void VentanaPrincipal::cambiarCodigo() {
    QString fallo;
    const QString codigo = core::pedirCodigoNuevo(carpeta_, dialogos_, &fallo);
    if (codigo.isEmpty()) {
        avisarCodigoNoGuardado(fallo);
        dialogos_.msgBox(QStringLiteral("No se pudo guardar el codigo"),
                         core::IconoMensaje::Critico);
        return;
    }
    cajaCodigo->setText(codigo);
    dialogos_.msgBox(core::kMensajeCodigoActualizado, core::IconoMensaje::Informacion);
    if (bandeja) bandeja->quitarIcono();
    servidor_.detenerTemporizadores();
    salir_(kEstadoReinicio);
}

void VentanaPrincipal::cargarImagenLogo() {
    const QString ruta = dialogos_.abrirArchivo(kFiltroImagen);
    if (ruta.isEmpty()) return;
    const QImage imagen = printing::readPicture(ruta);
    bool copiado = false;
    if (!imagen.isNull()) {
        // The chosen picture may be anywhere; the stored logo replaces whatever stands at
        // logo.bmp (a link included) and never writes through it.
        QFile origen(ruta);
        if (origen.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = origen.readAll();
            copiado =
                origen.error() == QFileDevice::NoError &&
                core::reemplazarArchivo(QDir(carpeta_).filePath(QStringLiteral("logo.bmp")), bytes);
        }
    }
    // A picture that cannot be read or stored changes nothing: the old logo stays.
    if (!copiado) {
        dialogos_.msgBox(QStringLiteral("No se pudo cargar la imagen"),
                         core::IconoMensaje::Critico);
        return;
    }
    mostrarImagen(imagen);
    dialogos_.msgBox(QStringLiteral("Imagen Cargada"), core::IconoMensaje::Informacion);
}

void VentanaPrincipal::cerrarVentana() {
    hide();
}

void VentanaPrincipal::apagarServidor() {
    if (bandeja) bandeja->quitarIcono();
    servidor_.detenerTemporizadores();
    salir_(0);
}

void VentanaPrincipal::closeEvent(QCloseEvent* e) {
    e->ignore();
}

}  // namespace shell
