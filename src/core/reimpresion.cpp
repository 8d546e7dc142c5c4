#include "reimpresion.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace core {

QString rutaSocket(const QString& carpetaEjecucion, const QString& carpetaAplicacion) {
    const QString canonica = QFileInfo(carpetaAplicacion).canonicalFilePath();
    const QByteArray hash =
        QCryptographicHash::hash((canonica.isEmpty() ? carpetaAplicacion : canonica).toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return QDir(carpetaEjecucion)
        .filePath(QStringLiteral("servidor-impresoras-") + QString::fromLatin1(hash) +
                  QStringLiteral(".sock"));
}

ServicioReimpresion::ServicioReimpresion(Atender atender, QObject* parent)
    : QObject(parent), atender_(std::move(atender)), servidor_(new QLocalServer(this)) {
    servidor_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(servidor_, &QLocalServer::newConnection, this, &ServicioReimpresion::atenderConexion);
}

ServicioReimpresion::~ServicioReimpresion() = default;

bool ServicioReimpresion::escuchar(const QString& ruta) {
    QLocalServer::removeServer(ruta);
    return servidor_->listen(ruta);
}

QString ServicioReimpresion::error() const {
    return servidor_->errorString();
}

void ServicioReimpresion::atenderConexion() {
    while (QLocalSocket* s = servidor_->nextPendingConnection()) {
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QLocalSocket::readyRead, s, [this, s] {
            if (!s->canReadLine()) {
                if (s->bytesAvailable() > 4096) s->abort();  // not one of our requests
                return;
            }
            const QString linea = QString::fromUtf8(s->readLine(4096)).trimmed();
            QString respuesta = QStringLiteral("no pedido no valido");
            const QString orden = QStringLiteral("reimprimir ");
            if (linea.startsWith(orden)) {
                const QString resto = linea.mid(orden.size());
                const qsizetype tab = resto.indexOf(u'\t');
                bool ok = false;
                const qint64 id = resto.left(tab).toLongLong(&ok);
                const QString impresora = tab < 0 ? QString() : resto.mid(tab + 1);
                if (ok) {
                    const QString motivo = atender_(id, impresora);
                    respuesta =
                        motivo.isEmpty() ? QStringLiteral("ok") : QStringLiteral("no ") + motivo;
                }
            }
            s->write(respuesta.toUtf8() + '\n');
            s->flush();
            s->disconnectFromServer();
        });
    }
}

RespuestaReimpresion pedirReimpresion(const QString& ruta, qint64 id, const QString& impresora,
                                      QString& respuesta, int esperaMs) {
    QLocalSocket s;
    s.connectToServer(ruta);
    if (!s.waitForConnected(esperaMs)) return RespuestaReimpresion::SinServidor;
    QString limpia = impresora;
    limpia.replace(u'\n', u' ').replace(u'\r', u' ').replace(u'\t', u' ');
    s.write(QStringLiteral("reimprimir %1\t%2\n").arg(id).arg(limpia).toUtf8());
    s.flush();
    QByteArray linea;
    while (!linea.contains('\n')) {
        if (s.bytesAvailable() == 0 && !s.waitForReadyRead(esperaMs)) break;
        linea += s.readAll();
    }
    respuesta = QString::fromUtf8(linea).trimmed();
    if (respuesta == u"ok") return RespuestaReimpresion::Aceptada;
    if (respuesta.isEmpty()) return RespuestaReimpresion::SinServidor;
    return RespuestaReimpresion::Rechazada;
}

}  // namespace core
