#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdio>

#include "core/bandeja.h"

class QSystemTrayIcon;
class QWidget;

namespace shell {

/**
 * The icon in the notification area on behalf of one window. Keeps the notification record:
 * texts are cut to their field widths (tooltip 128, balloon text 256, balloon title 64), and
 * fields a call does not name keep their last values. Every balloon is also written to
 * standard error, so nothing is lost where there is no tray. Removes its icon when released.
 */
class BandejaSistema : public QObject, public core::Bandeja {
    Q_OBJECT
  public:
    static constexpr int kAnchoTip = 128;
    static constexpr int kAnchoInfo = 256;
    static constexpr int kAnchoTitulo = 64;

    /** The notification record as last sent. */
    struct Registro {
        bool presente = false;
        QString szTip;
        QString szInfo;
        QString szInfoTitle;
        int uTimeout = 0;
        int dwInfoFlags = 0;
        QIcon hIcon;
    };

    explicit BandejaSistema(QObject* parent = nullptr);
    ~BandejaSistema() override;

    /** Adds the icon for the window and sets its tooltip. Always returns false. */
    bool init(QWidget* pfrm, const QString& pstrTooltip);
    /** Decodes one notification as the host window reports it and raises its event. */
    void MouseMove(int Button, int x, QWidget* pfrm);
    void setIcon(core::IconoBandeja image, const QString& tip) override;
    void setIcon(const QIcon& image, const QString& tip);
    void showBalloonTip(const QString& pstrMessage, int penIcon, const QString& pstrTitle,
                        int plngTimeout) override;
    QString tooltipText() const { return tooltip_; }
    void setTooltipText(const QString& texto);
    void delIcon();

    const Registro& registro() const { return registro_; }
    /** Where balloons are copied; stderr by default, null for none. */
    void setSalidaGlobos(FILE* salida) { salida_ = salida; }

    /** The standard-error line of a balloon, CR and LF escaped. */
    static QString lineaGlobo(int icono, const QString& titulo, const QString& texto);

  signals:
    void LeftClick();
    void RightClick();
    void DoubleClick();
    void BalloonHide();
    void BalloonTimeOut();
    void BalloonClicked();
    /** A notification of the real tray icon, as its shell code (513 left press, ...). */
    void notificacion(int codigo);

  private:
    void modificar();

    Registro registro_;
    QString tooltip_;
    QSystemTrayIcon* icono_ = nullptr;
    FILE* salida_ = stderr;
};

}  // namespace shell
