#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace core {

/**
 * The local socket of the server running on an application folder, in the folder of its
 * running files (beside its instance lock).
 */
QString rutaSocket(const QString& carpetaEjecucion, const QString& carpetaAplicacion);

/** What a reprint request got: accepted, refused (unknown id or printer), or no server. */
enum class RespuestaReimpresion { Aceptada = 0, Rechazada = 1, SinServidor = 3 };

/**
 * The server's end of `--reprint`: one line "reimprimir ID\tPRINTER" in, one line out
 * ("ok" or "no " + the reason). Only the user who runs the server can connect.
 */
class ServicioReimpresion : public QObject {
    Q_OBJECT
  public:
    /** Takes the id and the printer ("" for its own); returns "" when accepted, else why not. */
    using Atender = std::function<QString(qint64 id, const QString& impresora)>;

    explicit ServicioReimpresion(Atender atender, QObject* parent = nullptr);
    ~ServicioReimpresion() override;

    /** Listens on `ruta`; a socket left by a dead server is replaced (the caller holds the lock).
     */
    bool escuchar(const QString& ruta);
    QString error() const;

  private:
    void atenderConexion();

    Atender atender_;
    QLocalServer* servidor_;
};

/** The client's end: blocks up to `esperaMs`; `respuesta` gets the server's line. */
RespuestaReimpresion pedirReimpresion(const QString& ruta, qint64 id, const QString& impresora,
                                      QString& respuesta, int esperaMs = 10000);

}  // namespace core
