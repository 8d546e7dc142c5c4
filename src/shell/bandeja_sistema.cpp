#include "shell/bandeja_sistema.h"

#include <QWidget>

#include "printing/entorno.h"
#include "shell/iconos.h"

namespace shell {

BandejaSistema::BandejaSistema(QObject* parent) : QObject(parent) {}

BandejaSistema::~BandejaSistema() {
    quitarIcono();
}

QString BandejaSistema::lineaGlobo(int icono, const QString& titulo, const QString& texto) {
    return printing::lineaGlobo(icono, titulo, texto);
}

bool BandejaSistema::init(QWidget* ventana, const QString& tooltip) {
    datos_.presente = true;
    datos_.imagen = ventana ? ventana->windowIcon() : QIcon();
    if (!iconoSistema_ && QSystemTrayIcon::isSystemTrayAvailable()) {
        iconoSistema_ = new QSystemTrayIcon(this);
        connect(iconoSistema_, &QSystemTrayIcon::activated, this, &BandejaSistema::activada);
        iconoSistema_->show();
    }
    setTooltipText(tooltip);
    return false;
}

void BandejaSistema::setMenu(QMenu* menu) {
    if (iconoSistema_) iconoSistema_->setContextMenu(menu);
}

void BandejaSistema::modificar() {
    if (!iconoSistema_ || !datos_.presente) return;
    iconoSistema_->setIcon(datos_.imagen);
    iconoSistema_->setToolTip(datos_.tip);
}

void BandejaSistema::setTooltipText(const QString& texto) {
    tooltip_ = texto;
    datos_.tip = texto.left(kAnchoTip);
    modificar();
}

void BandejaSistema::setIcon(core::IconoBandeja imagen, const QString& tip) {
    // The state changes with every document; its picture is drawn the first time only.
    const int clave = static_cast<int>(imagen);
    auto it = iconos_.find(clave);
    if (it == iconos_.end()) it = iconos_.insert(clave, iconoEstado(imagen));
    setIcon(*it, tip);
}

void BandejaSistema::setIcon(const QIcon& imagen, const QString& tip) {
    // The tooltip shown changes; the text read back through tooltipText does not.
    datos_.imagen = imagen;
    datos_.tip = tip.left(kAnchoTip);
    modificar();
}

void BandejaSistema::showBalloonTip(const QString& mensaje, int icono, const QString& titulo,
                                    int tiempoMs) {
    datos_.mensaje = mensaje.left(kAnchoMensaje);
    datos_.titulo = titulo.left(kAnchoTitulo);
    datos_.tiempoMs = tiempoMs;
    datos_.icono = icono;
    if (salida_) {
        const QByteArray b = lineaGlobo(icono, titulo, mensaje).toUtf8() + '\n';
        std::fwrite(b.constData(), 1, size_t(b.size()), salida_);
        std::fflush(salida_);
    }
    if (iconoSistema_ && datos_.presente) {
        QSystemTrayIcon::MessageIcon tipo = QSystemTrayIcon::NoIcon;
        switch (icono) {
            case 1:
                tipo = QSystemTrayIcon::Information;
                break;
            case 2:
                tipo = QSystemTrayIcon::Warning;
                break;
            case 3:
                tipo = QSystemTrayIcon::Critical;
                break;
            default:
                break;
        }
        iconoSistema_->showMessage(datos_.titulo, datos_.mensaje, tipo, tiempoMs);
    }
}

void BandejaSistema::quitarIcono() {
    datos_.presente = false;
    if (iconoSistema_) {
        iconoSistema_->hide();
        delete iconoSistema_;
        iconoSistema_ = nullptr;
    }
}

}  // namespace shell
