#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "core/dialogos.h"
#include "core/servidor.h"
#include "shell/bandeja_sistema.h"
#include "shell/fondo.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace shell {

inline const QString kFiltroImagen =
    QStringLiteral("Imágenes Bmp,Gif, Jpg,jpeg)|*.bmp,*.gif,*.jpg,*jpeg|Todos|*.*");

inline const QString kMensajeLogoNoNormal =
    QStringLiteral("El archivo logo.bmp no es un archivo normal");

/** Loads a picture deciding its format by content; a null image when it cannot. */
QImage cargarImagen(const QString& ruta);
QImage cargarImagen(const QByteArray& bytes);

/**
 * The main window: shows the branch code, the logo, the log and the last fetched document,
 * and holds the buttons to change the code, load a logo, hide the window and stop the server.
 * It has no close button: closing only ever hides or stops through the buttons.
 */
class VentanaPrincipal : public QWidget {
    Q_OBJECT
  public:
    /** salir ends the program at once with a status (the buttons that stop the server). */
    VentanaPrincipal(core::Servidor& servidor, core::Dialogos& dialogos, QString carpeta,
                     std::function<void(int)> salir, QWidget* parent = nullptr);
    ~VentanaPrincipal() override;

    /**
     * The start-up after the single-instance check: the branch code (asking until one is
     * given), status 0, visible only with the support marker, logo, tray icon and balloon.
     */
    void iniciar();

    BandejaSistema* SysTray = nullptr;

    QTabWidget* SSTab1;
    QGroupBox* Frame1;
    QLabel* Label1;
    QLineEdit* txtCodigo;
    QPushButton* cmdCambiarCodigo;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    CajaImagen* pctLogo;
    QPushButton* Command1;
    QPlainTextEdit* txtlog;
    QPlainTextEdit* WebBrowser;
    QLabel* lblState;

  public slots:
    void cambiarCodigo();
    void cargarImagenLogo();
    void cerrarVentana();
    void apagarServidor();

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void mostrarImagen(const QImage& imagen);
    void notificacionBandeja(int codigo);

    core::Servidor& servidor_;
    core::Dialogos& dialogos_;
    QString carpeta_;
    std::function<void(int)> salir_;
    std::unique_ptr<PintorFondo> fondo_;  // created on first use, then reused
};

}  // namespace shell
