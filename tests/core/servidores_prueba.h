#pragma once

// Loopback stand-ins for the notification server and the job service, shared by the
// network tests, the program's end-to-end test and the benchmark.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

namespace pruebas {

/** Runs the event loop until the condition holds or the time is up. */
inline bool esperar(const std::function<bool()>& condicion, int ms = 10000) {
    QDeadlineTimer limite(ms);
    while (!condicion()) {
        if (limite.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

/** A self-signed certificate for 127.0.0.1 made with openssl in a folder. */
inline bool crearCertificado(const QString& carpeta, QString* error = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(
        QStringLiteral("openssl"),
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
         "-keyout", QDir(carpeta).filePath("key.pem"), "-out", QDir(carpeta).filePath("cert.pem")});
    const bool ok = p.waitForFinished(30000) && p.exitCode() == 0;
    if (!ok && error) *error = QString::fromLocal8Bit(p.readAll());
    return ok;
}

/** Serves with the certificate and key crearCertificado() left in a folder. */
inline bool configurarTls(QSslServer& servidor, const QString& carpetaCertificado) {
    QFile c(QDir(carpetaCertificado).filePath("cert.pem"));
    QFile k(QDir(carpetaCertificado).filePath("key.pem"));
    if (!c.open(QIODevice::ReadOnly) || !k.open(QIODevice::ReadOnly)) return false;
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setLocalCertificate(QSslCertificate(c.readAll(), QSsl::Pem));
    conf.setPrivateKey(QSslKey(k.readAll(), QSsl::Ec, QSsl::Pem));
    conf.setPeerVerifyMode(QSslSocket::VerifyNone);
    servidor.setSslConfiguration(conf);
    return true;
}

/** The notification server: keeps the last client, records what it sent. */
class ServidorNotificaciones : public QObject {
  public:
    QTcpServer servidor;
    QPointer<QTcpSocket> cliente;
    QByteArray recibido;
    int conexiones = 0;
    std::function<void()> alRecibir;

    ServidorNotificaciones() {
        QObject::connect(&servidor, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = servidor.nextPendingConnection()) {
                ++conexiones;
                cliente = s;
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    recibido += s->readAll();
                    if (alRecibir) alRecibir();
                });
            }
        });
    }
    bool escuchar(quint16 puerto = 0) { return servidor.listen(QHostAddress::LocalHost, puerto); }
    quint16 puerto() const { return servidor.serverPort(); }
    void enviar(const QByteArray& datos) {
        if (cliente) {
            cliente->write(datos);
            cliente->flush();
        }
    }
    void cerrarCliente() {
        if (cliente) cliente->close();
    }
};

/** The job service over HTTPS: answers every GET with the next body of a list. */
class ServicioTrabajos : public QObject {
  public:
    QSslServer servidor;
    QList<QByteArray> respuestas;  // bodies, in order; the last one repeats
    QByteArray tipo = "text/plain; charset=utf-8";
    int estadoHttp = 200;
    QList<QByteArray> peticiones;  // request lines
    int erroresTls = 0;

    bool iniciar(const QString& carpetaCertificado) {
        if (!configurarTls(servidor, carpetaCertificado)) return false;
        QObject::connect(&servidor, &QSslServer::errorOccurred, this,
                         [this](QSslSocket*, QAbstractSocket::SocketError) { ++erroresTls; });
        QObject::connect(&servidor, &QSslServer::pendingConnectionAvailable, this, [this] {
            while (auto* s = qobject_cast<QSslSocket*>(servidor.nextPendingConnection())) {
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(s, &QSslSocket::disconnected, s, &QObject::deleteLater);
                QObject::connect(s, &QSslSocket::readyRead, this, [this, s, buffer] {
                    *buffer += s->readAll();
                    const qsizetype fin = buffer->indexOf("\r\n\r\n");
                    if (fin < 0) return;
                    peticiones << buffer->left(buffer->indexOf("\r\n"));
                    buffer->clear();
                    const QByteArray cuerpo =
                        respuestas.isEmpty()
                            ? QByteArray()
                            : (respuestas.size() > 1 ? respuestas.takeFirst() : respuestas.first());
                    s->write("HTTP/1.1 " + QByteArray::number(estadoHttp) +
                             (estadoHttp == 200 ? " OK" : " Error") + "\r\nContent-Type: " + tipo +
                             "\r\nContent-Length: " + QByteArray::number(cuerpo.size()) +
                             "\r\nConnection: close\r\n\r\n" + cuerpo);
                    s->disconnectFromHost();
                });
            }
        });
        return servidor.listen(QHostAddress::LocalHost, 0);
    }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(servidor.serverPort()); }
};

}  // namespace pruebas
