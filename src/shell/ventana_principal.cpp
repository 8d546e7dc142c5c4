#include "shell/ventana_principal.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>

#include "core/acceso.h"
#include "shell/iconos.h"

namespace shell {

QImage cargarImagen(const QString& ruta) {
    QImageReader lector(ruta);
    lector.setDecideFormatFromContent(true);
    return lector.read();
}

QImage cargarImagen(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader lector(&buffer);
    lector.setDecideFormatFromContent(true);
    return lector.read();
}

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

    SSTab1 = new QTabWidget(this);
    auto* panel = new QWidget;
    auto* status = new QWidget;
    SSTab1->addTab(panel, QStringLiteral("Panel"));
    SSTab1->addTab(status, QStringLiteral("Status"));

    Frame1 = new QGroupBox(QStringLiteral("Frame1"), panel);
    Label1 = new QLabel(QStringLiteral("Codigo Sucursal"));
    txtCodigo = new QLineEdit;
    cmdCambiarCodigo = new QPushButton(QStringLiteral("Cambiar codigo"));
    Command2 = new QPushButton(QStringLiteral("Cargar Imagen"));
    Command3 = new QPushButton(QStringLiteral("Cerrar Ventana"));
    Command4 = new QPushButton(QStringLiteral("Apagar Servidor"));
    pctLogo = new CajaImagen;
    pctLogo->setFixedSize(280, 180);

    auto* codigo = new QHBoxLayout;
    codigo->addWidget(Label1);
    codigo->addWidget(txtCodigo, 1);
    codigo->addWidget(cmdCambiarCodigo);
    auto* botones = new QVBoxLayout;
    botones->addWidget(Command2);
    botones->addWidget(Command3);
    botones->addWidget(Command4);
    botones->addStretch(1);
    auto* logo = new QHBoxLayout;
    logo->addWidget(pctLogo);
    logo->addLayout(botones);
    auto* marco = new QVBoxLayout(Frame1);
    marco->addLayout(codigo);
    marco->addLayout(logo);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(Frame1);
    panelLayout->addStretch(1);

    Command1 = new QPushButton(QStringLiteral("Send Status Free"));
    txtlog = new QPlainTextEdit;
    txtlog->setReadOnly(true);
    txtlog->setMaximumBlockCount(core::Registro::kLineasCaja);
    txtlog->setLineWrapMode(QPlainTextEdit::NoWrap);
    WebBrowser = new QPlainTextEdit;
    WebBrowser->setReadOnly(true);
    auto* statusLayout = new QVBoxLayout(status);
    auto* fila = new QHBoxLayout;
    fila->addWidget(Command1);
    fila->addStretch(1);
    statusLayout->addLayout(fila);
    statusLayout->addWidget(txtlog, 2);
    statusLayout->addWidget(WebBrowser, 1);

    lblState = new QLabel(QStringLiteral("status 0"));
    auto* raiz = new QVBoxLayout(this);
    raiz->addWidget(SSTab1, 1);
    raiz->addWidget(lblState);
    resize(620, 420);

    connect(cmdCambiarCodigo, &QPushButton::clicked, this, &VentanaPrincipal::cambiarCodigo);
    connect(Command2, &QPushButton::clicked, this, &VentanaPrincipal::cargarImagenLogo);
    connect(Command3, &QPushButton::clicked, this, &VentanaPrincipal::cerrarVentana);
    connect(Command4, &QPushButton::clicked, this, &VentanaPrincipal::apagarServidor);
    connect(Command1, &QPushButton::clicked, &servidor_, &core::Servidor::enviarEstado);
    connect(&servidor_, &core::Servidor::etiquetaEstado, lblState, &QLabel::setText);
    connect(&servidor_, &core::Servidor::textoBuscado, WebBrowser, &QPlainTextEdit::setPlainText);
    connect(&servidor_.registro(), &core::Registro::lineaAgregada, this, [this](const QString& t) {
        // Appending costs only the new text; the caret goes to the end so the newest line shows.
        txtlog->appendPlainText(t);
        txtlog->moveCursor(QTextCursor::End);
    });
}

VentanaPrincipal::~VentanaPrincipal() {
    // The tray icon goes with the window; the server must not reach it afterwards.
    if (servidor_.bandeja() == SysTray) servidor_.setBandeja(nullptr);
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
    servidor_.codigoSucursalesAgencias = core::leerCodigoSucursal(carpeta_, dialogos_);
    servidor_.estadoTrabajo = 0;
    setVisible(core::leerSegundaLinea(carpeta_).toUpper() == QLatin1String("TECNICO"));

    const QString logo = QDir(carpeta_).filePath(QStringLiteral("logo.bmp"));
    if (core::noEsArchivoNormal(logo)) {
        rechazar(kMensajeLogoNoNormal);
    } else if (const auto bytes = core::leerArchivoNormal(logo)) {
        mostrarImagen(cargarImagen(*bytes));
    }

    txtCodigo->setText(core::leerCodigoSucursal(carpeta_, dialogos_));

    SysTray = new BandejaSistema(this);
    connect(SysTray, &BandejaSistema::notificacion, this, &VentanaPrincipal::notificacionBandeja);
    connect(SysTray, &BandejaSistema::BalloonClicked, this, [this] {
        show();
        raise();
        activateWindow();
    });
    SysTray->init(this, QStringLiteral("Sincronizador Zentil"));
    SysTray->setIcon(core::IconoBandeja::Desconectado, QStringLiteral("Conectando"));
    SysTray->showBalloonTip(QStringLiteral("Conectando al servidor de impresion "),
                            printing::kGloboInfo, core::kTituloGlobo, printing::kTiempoGlobo);
    servidor_.setBandeja(SysTray);
    for (const QString& texto : rechazados)
        SysTray->showBalloonTip(texto, printing::kGloboAviso, core::kTituloGlobo,
                                printing::kTiempoGlobo);
    servidor_.avisarFaltantes();
}

// The window measures in twips (15 to the pixel) when it relays a tray notification, so of
// all notifications only the left-button press decodes, as BalloonClicked.
void VentanaPrincipal::notificacionBandeja(int codigo) {
    if (SysTray) SysTray->MouseMove(1, codigo * 15, this);
}

void VentanaPrincipal::mostrarImagen(const QImage& imagen) {
    if (!fondo_) fondo_ = std::make_unique<PintorFondo>();
    fondo_->setForm(pctLogo);
    fondo_->setImagen(imagen);
    fondo_->setScaleMargin(32);
    fondo_->refresh();
}

void VentanaPrincipal::cambiarCodigo() {
    const QString codigo = core::pedirCodigoNuevo(carpeta_, dialogos_);
    if (codigo.isEmpty()) {
        dialogos_.msgBox(QStringLiteral("No se pudo guardar el codigo"),
                         core::IconoMensaje::Critico);
        return;
    }
    txtCodigo->setText(codigo);
    dialogos_.msgBox(core::kMensajeCodigoActualizado, core::IconoMensaje::Informacion);
    if (SysTray) SysTray->delIcon();
    servidor_.detenerTemporizadores();
    salir_(0);
}

void VentanaPrincipal::cargarImagenLogo() {
    const QString ruta = dialogos_.abrirArchivo(kFiltroImagen);
    if (ruta.isEmpty()) return;
    const QImage imagen = cargarImagen(ruta);
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
    if (SysTray) SysTray->delIcon();
    servidor_.detenerTemporizadores();
    salir_(0);
}

void VentanaPrincipal::closeEvent(QCloseEvent* e) {
    e->ignore();
}

}  // namespace shell
