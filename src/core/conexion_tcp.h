#pragma once

#include <QAbstractSocket>
#include <QStringDecoder>

#include "core/conexion.h"

class QTcpSocket;

namespace core {

/** The Windows socket error number that stands for a Qt socket error. */
int numeroErrorSocket(QAbstractSocket::SocketError error);

/** The link's socket over QTcpSocket; text goes out and comes in as UTF-8. */
class ConexionTcp : public Conexion {
    Q_OBJECT
  public:
    explicit ConexionTcp(QObject* parent = nullptr);
    int estado() const override;
    void cerrar() override;
    void conectar(const QString& host, quint16 puerto) override;
    void enviar(const QString& texto) override;
    QString recibirTodo() override;

  private:
    QTcpSocket* socket_;
    QStringDecoder decoder_{QStringDecoder::Utf8};
    bool enError_ = false;
    bool cerrandoNosotros_ = false;
};

}  // namespace core
