#pragma once

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <cstdio>

#include "core/bandeja.h"

class QMenu;
class QWidget;

namespace shell {

/**
 * The icon in the notification area on behalf of one window. Keeps the notification record:
 * texts are cut to their field widths (tooltip 128, balloon text 256, balloon title 64), and
 * fields a call does not name keep their last values. Every balloon is also written to
 * standard error, so nothing is lost where there is no tray. Removes its icon when released.
 * Clicks on the icon arrive through activada, as the icon reports them.
 */
class BandejaSistema : public QObject, public core::Bandeja {
    Q_OBJECT
  public:
    static constexpr int kAnchoTip = 128;
    static constexpr int kAnchoMensaje = 256;
    static constexpr int kAnchoTitulo = 64;

    /** The notification record as last sent. */
    struct Datos {
        bool presente = false;
        QString tip;
        QString mensaje;
        QString titulo;
        int tiempoMs = 0;
        int icono = 0;
        QIcon imagen;
    };

    explicit BandejaSistema(QObject* parent = nullptr);
    ~BandejaSistema() override;

    /** Adds the icon for the window and sets its tooltip. Always returns false. */
    bool init(QWidget* ventana, const QString& tooltip);
    void setIcon(core::IconoBandeja imagen, const QString& tip) override;
    void setIcon(const QIcon& imagen, const QString& tip);
    void showBalloonTip(const QString& mensaje, int icono, const QString& titulo,
                        int tiempoMs) override;
    QString tooltipText() const { return tooltip_; }
    void setTooltipText(const QString& texto);
    void quitarIcono();
    /** The icon's context menu (kept by its owner). */
    void setMenu(QMenu* menu);

    const Datos& datos() const { return datos_; }
    /** Where balloons are copied; stderr by default, null for none. */
    void setSalidaGlobos(FILE* salida) { salida_ = salida; }

    /** The standard-error line of a balloon, CR and LF escaped. */
    static QString lineaGlobo(int icono, const QString& titulo, const QString& texto);

  signals:
    /** A click on the icon (left, double, right or middle button). */
    void activada(QSystemTrayIcon::ActivationReason motivo);

  private:
    void modificar();

    Datos datos_;
    QHash<int, QIcon> iconos_;  // each state's picture, drawn once
    QString tooltip_;
    QSystemTrayIcon* iconoSistema_ = nullptr;
    FILE* salida_ = stderr;
};

}  // namespace shell
