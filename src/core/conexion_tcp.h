#pragma once

#include <QAbstractSocket>
#include <QStringDecoder>

#include "core/conexion.h"

class QTcpSocket;

namespace core {

/** The Windows socket error number that stands for a Qt socket error. */
int numeroErrorSocket(QAbstractSocket::SocketError error);

/** Keep-alive settings that drop a silent link within a time-out. */
struct TiemposEnlace {
    int inactivoS;   // idle time before the first probe
    int intervaloS;  // time between probes
    int sondas;      // unanswered probes that drop the link
    int usuarioMs;   // longest time sent data (or a probe) may stay unacknowledged
};

/** The keep-alive settings for a link time-out in milliseconds. */
TiemposEnlace tiemposEnlace(int tiempoEnlaceMs);

/**
 * The link's socket over QTcpSocket; text goes out and comes in as UTF-8. TCP keep-alive and
 * a user time-out are set on every connection, so that a peer gone silent (cable out, host
 * down) is reported as a socket error within the link time-out instead of after TCP's own
 * retries.
 */
class ConexionTcp : public Conexion {
    Q_OBJECT
  public:
    explicit ConexionTcp(QObject* parent = nullptr);
    int estado() const override;
    void cerrar() override;
    void conectar(const QString& host, quint16 puerto) override;
    void enviar(const QString& texto) override;
    QString recibirTodo() override;
    /** The longest silence of the peer before the link is dropped (60 s by default). */
    void setTiempoEnlace(int ms) { tiempoEnlace_ = ms; }

  private:
    void vigilarSilencio();

    QTcpSocket* socket_;
    QStringDecoder decoder_{QStringDecoder::Utf8};
    bool enError_ = false;
    bool cerrandoNosotros_ = false;
    int tiempoEnlace_ = 60000;
};

}  // namespace core
