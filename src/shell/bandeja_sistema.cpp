#include "shell/bandeja_sistema.h"

#include <QSystemTrayIcon>
#include <QWidget>

#include "printing/entorno.h"
#include "shell/iconos.h"

namespace shell {

BandejaSistema::BandejaSistema(QObject* parent) : QObject(parent) {}

BandejaSistema::~BandejaSistema() {
    delIcon();
}

QString BandejaSistema::lineaGlobo(int icono, const QString& titulo, const QString& texto) {
    return printing::lineaGlobo(icono, titulo, texto);
}

bool BandejaSistema::init(QWidget* pfrm, const QString& pstrTooltip) {
    registro_.presente = true;
    registro_.hIcon = pfrm ? pfrm->windowIcon() : QIcon();
    if (!icono_ && QSystemTrayIcon::isSystemTrayAvailable()) {
        icono_ = new QSystemTrayIcon(this);
        // Shell codes: 513 left button down, 515 double click, 517 right button up,
        // 1029 balloon clicked.
        connect(icono_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason r) {
                    switch (r) {
                        case QSystemTrayIcon::Trigger:
                            emit notificacion(513);
                            break;
                        case QSystemTrayIcon::DoubleClick:
                            emit notificacion(515);
                            break;
                        case QSystemTrayIcon::Context:
                            emit notificacion(517);
                            break;
                        case QSystemTrayIcon::MiddleClick:
                            emit notificacion(520);
                            break;
                        default:
                            break;
                    }
                });
        connect(icono_, &QSystemTrayIcon::messageClicked, this,
                [this] { emit notificacion(1029); });
        icono_->show();
    }
    setTooltipText(pstrTooltip);
    return false;
}

void BandejaSistema::MouseMove(int Button, int x, QWidget* pfrm) {
    Q_UNUSED(Button);
    Q_UNUSED(pfrm);
    switch (x) {
        case 514:
            emit LeftClick();
            break;
        case 515:
            emit DoubleClick();
            break;
        case 517:
            emit RightClick();
            break;
        case 1027:
            emit BalloonHide();
            break;
        case 1028:
            emit BalloonTimeOut();
            break;
        case 7695:
            emit BalloonClicked();
            break;
        default:
            break;
    }
}

void BandejaSistema::modificar() {
    if (!icono_ || !registro_.presente) return;
    icono_->setIcon(registro_.hIcon);
    icono_->setToolTip(registro_.szTip);
}

void BandejaSistema::setTooltipText(const QString& texto) {
    tooltip_ = texto;
    registro_.szTip = texto.left(kAnchoTip);
    modificar();
}

void BandejaSistema::setIcon(core::IconoBandeja image, const QString& tip) {
    setIcon(iconoEstado(image), tip);
}

void BandejaSistema::setIcon(const QIcon& image, const QString& tip) {
    // The tooltip shown changes; the text read back through TooltipText does not.
    registro_.hIcon = image;
    registro_.szTip = tip.left(kAnchoTip);
    modificar();
}

void BandejaSistema::showBalloonTip(const QString& pstrMessage, int penIcon,
                                    const QString& pstrTitle, int plngTimeout) {
    registro_.szInfo = pstrMessage.left(kAnchoInfo);
    registro_.szInfoTitle = pstrTitle.left(kAnchoTitulo);
    registro_.uTimeout = plngTimeout;
    registro_.dwInfoFlags = penIcon;
    if (salida_) {
        const QByteArray b = lineaGlobo(penIcon, pstrTitle, pstrMessage).toUtf8() + '\n';
        std::fwrite(b.constData(), 1, size_t(b.size()), salida_);
        std::fflush(salida_);
    }
    if (icono_ && registro_.presente) {
        QSystemTrayIcon::MessageIcon tipo = QSystemTrayIcon::NoIcon;
        switch (penIcon) {
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
        icono_->showMessage(registro_.szInfoTitle, registro_.szInfo, tipo, plngTimeout);
    }
}

void BandejaSistema::delIcon() {
    registro_.presente = false;
    if (icono_) {
        icono_->hide();
        delete icono_;
        icono_ = nullptr;
    }
}

}  // namespace shell
