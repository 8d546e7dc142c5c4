#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace shell {

/** A picture box that keeps what was painted into it (persistent drawing). */
class CajaImagen : public QWidget {
    Q_OBJECT
  public:
    explicit CajaImagen(QWidget* parent = nullptr);
    /** The persistent drawing, the size of the box. */
    QPixmap& lienzo();
    void limpiar();

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QPixmap lienzo_;
};

/**
 * Paints one picture into a picture box, scaled to fit with its proportions kept, centred,
 * and margen pixels smaller than the fit in both directions.
 */
class PintorFondo {
  public:
    CajaImagen* caja() const { return caja_; }
    void setCaja(CajaImagen* caja) { caja_ = caja; }
    const QImage& imagen() const { return imagen_; }
    void setImagen(const QImage& imagen) { imagen_ = imagen; }
    int margen() const { return margen_; }
    void setMargen(int margen) { margen_ = margen; }

    void pintar();

    /** Where a picture of size imagen lands in a surface of size superficie. */
    static QRect geometria(QSize superficie, QSize imagen, int margen);

  private:
    QPointer<CajaImagen> caja_;
    QImage imagen_;
    int margen_ = 0;
};

}  // namespace shell
