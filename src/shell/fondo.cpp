#include "shell/fondo.h"

#include <QPainter>
#include <cmath>

namespace shell {

CajaImagen::CajaImagen(QWidget* parent) : QWidget(parent) {}

QPixmap& CajaImagen::lienzo() {
    if (lienzo_.size() != size()) {
        QPixmap nuevo(size().expandedTo(QSize(1, 1)));
        nuevo.fill(palette().color(QPalette::Window));
        if (!lienzo_.isNull()) {
            QPainter p(&nuevo);
            p.drawPixmap(0, 0, lienzo_);
        }
        lienzo_ = nuevo;
    }
    return lienzo_;
}

void CajaImagen::limpiar() {
    lienzo().fill(palette().color(QPalette::Window));
    update();
}

void CajaImagen::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, lienzo());
}

QRect PintorFondo::geometria(QSize superficie, QSize imagen, int margen) {
    const double pw = imagen.width();
    const double ph = imagen.height();
    const double rx = superficie.width() / pw;
    const double ry = superficie.height() / ph;
    const double s = ry >= rx ? rx : ry;
    // Halves go to the even neighbour, as in the default floating-point rounding.
    const double dw = std::nearbyint(pw * s - margen);
    const double dh = std::nearbyint(ph * s - margen);
    const double x = std::nearbyint((superficie.width() - dw) / 2.0);
    const double y = std::nearbyint((superficie.height() - dh) / 2.0);
    return QRect(int(x), int(y), int(dw), int(dh));
}

void PintorFondo::pintar() {
    if (!caja_) return;
    caja_->limpiar();
    if (imagen_.isNull() || imagen_.width() <= 0 || imagen_.height() <= 0) return;
    const QRect r = geometria(caja_->size(), imagen_.size(), margen_);
    if (r.width() <= 0 || r.height() <= 0) return;
    QPainter p(&caja_->lienzo());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(r, imagen_);
    p.end();
    caja_->update();
}

}  // namespace shell
