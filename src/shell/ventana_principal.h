#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "core/dialogos.h"
#include "core/servidor.h"
#include "shell/bandeja_sistema.h"
#include "shell/fondo.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTableWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace shell {

inline const QString kFiltroImagen =
    QStringLiteral("Imágenes Bmp,Gif, Jpg,jpeg)|*.bmp,*.gif,*.jpg,*jpeg|Todos|*.*");

/**
 * The status the program ends with after a code change: the service manager starts it again
 * so the new code is read. "Apagar Servidor" ends with 0 and stays down.
 */
constexpr int kEstadoReinicio = 75;
inline const QString kMensajeLogoNoNormal =
    QStringLiteral("El archivo logo.bmp no es un archivo normal");

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

    BandejaSistema* bandeja = nullptr;

    QTabWidget* pestanas;
    QGroupBox* marcoSucursal;
    QLabel* etiquetaCodigo;
    QLineEdit* cajaCodigo;
    QPushButton* botonCambiarCodigo;
    QPushButton* botonCargarImagen;
    QPushButton* botonCerrarVentana;
    QPushButton* botonApagarServidor;
    CajaImagen* cajaLogo;
    QPushButton* botonEnviarEstado;
    QPlainTextEdit* cajaRegistro;
    QPlainTextEdit* cajaRespuesta;
    QLabel* etiquetaEstado;
    QTableWidget* tablaTickets;
    QPushButton* botonReimprimir;
    QPushButton* botonReimprimirEn;
    /** One entry a printer, shown by "Reimprimir en...". */
    QMenu* menuImpresoras;
    QMenu* menuBandeja;

    /** The journal's newest tickets, newest first. */
    static constexpr int kTicketsVisibles = 200;
    /** How long the list waits for more changes before it is read again. */
    static constexpr int kRefrescoTicketsMs = 300;

  public slots:
    void cambiarCodigo();
    /** Reads the list of tickets again from the journal. */
    void actualizarTickets();
    /**
     * The journal changed: the list is read again shortly while the window shows, once for
     * a burst of changes, and when the window is next shown otherwise.
     */
    void pedirActualizacionTickets();
    /** The selected ticket again, on its printer or on `impresora`. */
    void reimprimirSeleccionado(const QString& impresora = {});
    /** The newest ticket again, on its printer (the tray's entry). */
    void reimprimirUltimo();
    void cargarImagenLogo();
    void cerrarVentana();
    void apagarServidor();
    /** A click on the tray icon: the left button shows the window, the others do nothing. */
    void alActivarBandeja(QSystemTrayIcon::ActivationReason motivo);

  protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    void mostrarImagen(const QImage& imagen);
    void avisarCodigoNoGuardado(const QString& motivo);
    void reimprimir(qint64 id, const QString& impresora);

    core::Servidor& servidor_;
    core::Dialogos& dialogos_;
    QString carpeta_;
    std::function<void(int)> salir_;
    std::unique_ptr<PintorFondo> fondo_;  // created on first use, then reused
    QTimer refrescoTickets_;
    bool ticketsVencidos_ = false;              // changed while the window was hidden
    QStringList registroEnEspera_;              // log lines that came while the window was hidden
    std::optional<QString> respuestaEnEspera_;  // the last answer fetched while hidden
};

}  // namespace shell
