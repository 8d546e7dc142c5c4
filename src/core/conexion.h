#pragma once

#include <QObject>
#include <QString>

namespace core {

/** Socket state numbers as the link reads them. */
namespace estado_socket {
constexpr int Cerrado = 0;
constexpr int Resolviendo = 4;
constexpr int Conectando = 6;
constexpr int Conectado = 7;
constexpr int Cerrando = 8;
constexpr int Error = 9;
}  // namespace estado_socket

/**
 * The link's TCP client. Events arrive on the user-interface thread: conectado after a
 * successful connect, datos with what has arrived, cerradoPorPar when the peer closed the
 * connection (never for a close of our own), error with a number and a description.
 */
class Conexion : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    virtual int estado() const = 0;
    virtual void cerrar() = 0;
    virtual void conectar(const QString& host, quint16 puerto) = 0;
    virtual void enviar(const QString& texto) = 0;
    /** Everything that has arrived and not been read yet. */
    virtual QString recibirTodo() = 0;

  signals:
    void conectado();
    void datos();
    void cerradoPorPar();
    void error(int numero, const QString& descripcion);
};

/**
 * The job fetcher: fetches one URL at a time (a fetch asked for while one runs waits for it
 * and then runs once) and reports status texts and the completion with the page's text, or a
 * failure with a reason. A serious failure (an answer refused for its size) is also shown to
 * the operator.
 */
class Buscador : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    virtual void navegar(const QByteArray& url) = 0;

  signals:
    void textoEstado(const QString& texto);
    void completo(const QString& texto);
    void fallo(const QString& razon);
    void falloGrave(const QString& razon);
};

}  // namespace core
