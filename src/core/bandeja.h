#pragma once

#include <QString>

namespace core {

/** The tray pictures of the link states. */
enum class IconoBandeja { Desconectado, OK, Conectado, Error };

/** The notification-area icon as the server drives it. */
class Bandeja {
  public:
    virtual ~Bandeja() = default;
    virtual void setIcon(IconoBandeja imagen, const QString& tip) = 0;
    virtual void showBalloonTip(const QString& mensaje, int icono, const QString& titulo,
                                int tiempoMs) = 0;
};

}  // namespace core
