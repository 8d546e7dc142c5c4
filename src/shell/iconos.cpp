#include "shell/iconos.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace shell {

namespace {

// A small ticket printer: body, paper coming out on top, and a state badge in the lower
// right corner. Everything is laid out on a 16-unit grid so the 16 px version stays crisp.
void dibujarImpresora(QPainter& p, const QColor& cuerpo)
{
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 0.5, 7, 6));  // paper
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.drawLine(QPointF(6, 2.5), QPointF(10, 2.5));
    p.drawLine(QPointF(6, 4.5), QPointF(10, 4.5));
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(cuerpo);
    p.drawRoundedRect(QRectF(0.5, 5.5, 15, 7), 1.5, 1.5);  // body
    p.setBrush(QColor(30, 30, 30));
    p.drawRect(QRectF(3.5, 8.5, 9, 1));  // paper slot
}

void dibujarInsignia(QPainter& p, core::IconoBandeja estado)
{
    QColor color;
    switch (estado) {
    case core::IconoBandeja::Desconectado: color = QColor(128, 128, 128); break;
    case core::IconoBandeja::OK: color = QColor(0, 150, 60); break;
    case core::IconoBandeja::Conectado: color = QColor(20, 100, 210); break;
    case core::IconoBandeja::Error: color = QColor(210, 30, 30); break;
    }
    const QRectF r(8.5, 8.5, 7, 7);
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(color);
    p.drawEllipse(r);
    QPen trazo(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(trazo);
    p.setBrush(Qt::NoBrush);
    switch (estado) {
    case core::IconoBandeja::Desconectado:  // a cross
        p.drawLine(QPointF(10.5, 10.5), QPointF(13.5, 13.5));
        p.drawLine(QPointF(13.5, 10.5), QPointF(10.5, 13.5));
        break;
    case core::IconoBandeja::OK: {  // a tick
        QPainterPath c;
        c.moveTo(10, 12.2);
        c.lineTo(11.5, 13.6);
        c.lineTo(14, 10.4);
        p.drawPath(c);
        break;
    }
    case core::IconoBandeja::Conectado:  // two arrows: linked
        p.drawLine(QPointF(10.3, 11), QPointF(13.7, 11));
        p.drawLine(QPointF(10.3, 13), QPointF(13.7, 13));
        break;
    case core::IconoBandeja::Error:  // an exclamation mark
        p.drawLine(QPointF(12, 10.2), QPointF(12, 12.4));
        p.drawPoint(QPointF(12, 14));
        break;
    }
}

QPixmap pintar(int lado, const std::function<void(QPainter&)>& dibujo)
{
    QPixmap pm(lado, lado);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, lado > 16);
    p.scale(lado / 16.0, lado / 16.0);
    dibujo(p);
    return pm;
}

}  // namespace

QIcon iconoEstado(core::IconoBandeja estado)
{
    QIcon icono;
    for (int lado : {16, 22, 24, 32, 48, 64, 128})
        icono.addPixmap(pintar(lado, [estado](QPainter& p) {
            dibujarImpresora(p, QColor(220, 220, 215));
            dibujarInsignia(p, estado);
        }));
    return icono;
}

QIcon iconoAplicacion()
{
    QIcon icono;
    for (int lado : {16, 22, 24, 32, 48, 64, 128, 256})
        icono.addPixmap(pintar(lado, [](QPainter& p) {
            dibujarImpresora(p, QColor(20, 100, 210));
        }));
    return icono;
}

}  // namespace shell
