#include "shell/iconos.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace shell {

namespace {

// A small ticket printer with the paper coming out on top, laid out on a 16-unit grid so
// the 16 px version stays crisp.
void dibujarImpresora(QPainter& p, const QColor& cuerpo) {
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 0.5, 7, 5));  // paper
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.drawLine(QPointF(5, 2.5), QPointF(9, 2.5));
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(cuerpo);
    p.drawRoundedRect(QRectF(0.5, 4.5, 13, 7), 1.5, 1.5);  // body
    p.setBrush(QColor(30, 30, 30));
    p.drawRect(QRectF(2.5, 7.5, 6, 1));  // paper slot
}

// The state badge: a 10-unit disc in the lower right corner, its colour alone telling the
// state at 16 px, its white mark telling it at larger sizes.
void dibujarInsignia(QPainter& p, core::IconoBandeja estado) {
    QColor color;
    switch (estado) {
        case core::IconoBandeja::Desconectado:
            color = QColor(110, 110, 110);
            break;
        case core::IconoBandeja::OK:
            color = QColor(0, 150, 60);
            break;
        case core::IconoBandeja::Conectado:
            color = QColor(20, 100, 210);
            break;
        case core::IconoBandeja::Error:
            color = QColor(210, 30, 30);
            break;
    }
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(color);
    p.drawEllipse(QRectF(5.5, 5.5, 10, 10));
    QPen trazo(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(trazo);
    p.setBrush(Qt::NoBrush);
    switch (estado) {
        case core::IconoBandeja::Desconectado:  // a cross
            p.drawLine(QPointF(8.5, 8.5), QPointF(12.5, 12.5));
            p.drawLine(QPointF(12.5, 8.5), QPointF(8.5, 12.5));
            break;
        case core::IconoBandeja::OK: {  // a tick
            QPainterPath c;
            c.moveTo(8, 10.8);
            c.lineTo(9.9, 12.6);
            c.lineTo(13, 8.6);
            p.drawPath(c);
            break;
        }
        case core::IconoBandeja::Conectado:  // two bars: linked
            p.drawLine(QPointF(8.3, 9.3), QPointF(12.7, 9.3));
            p.drawLine(QPointF(8.3, 11.7), QPointF(12.7, 11.7));
            break;
        case core::IconoBandeja::Error:  // an exclamation mark
            p.drawLine(QPointF(10.5, 8), QPointF(10.5, 10.8));
            p.drawPoint(QPointF(10.5, 13));
            break;
    }
}

QPixmap pintar(int lado, const std::function<void(QPainter&)>& dibujo) {
    QPixmap pm(lado, lado);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(lado / 16.0, lado / 16.0);
    dibujo(p);
    return pm;
}

}  // namespace

QIcon iconoEstado(core::IconoBandeja estado) {
    QIcon icono;
    for (int lado : {16, 22, 24, 32, 48, 64, 128})
        icono.addPixmap(pintar(lado, [estado](QPainter& p) {
            dibujarImpresora(p, QColor(220, 220, 215));
            dibujarInsignia(p, estado);
        }));
    return icono;
}

QIcon iconoAplicacion() {
    QIcon icono;
    for (int lado : {16, 22, 24, 32, 48, 64, 128, 256})
        icono.addPixmap(
            pintar(lado, [](QPainter& p) { dibujarImpresora(p, QColor(20, 100, 210)); }));
    return icono;
}

}  // namespace shell
