// Answers of hundreds of MB: memory- and time-hungry, so they run in the dev pass only.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "aplicacion_prueba.h"
#include "core/buscador_https.h"
#include "core/servidor.h"
#include "fakes.h"
#include "printing/tape_device.h"
#include "servidores_prueba.h"

namespace {

const auto* const kAplicacion = pruebas::registrarAplicacion<QCoreApplication>("core_long_tests");

/** Answers a GET with a chunked body of `total` bytes (no Content-Length), sent as it drains. */
class ServicioInterminable : public QObject {
  public:
    QSslServer servidor;
    qint64 total = 0;
    qint64 enviado = 0;

    bool iniciar(const QString& carpetaCertificado) {
        if (!pruebas::configurarTls(servidor, carpetaCertificado)) return false;
        QObject::connect(&servidor, &QSslServer::pendingConnectionAvailable, this, [this] {
            while (auto* s = qobject_cast<QSslSocket*>(servidor.nextPendingConnection())) {
                QObject::connect(s, &QSslSocket::disconnected, s, &QObject::deleteLater);
                QObject::connect(s, &QSslSocket::readyRead, this, [this, s] {
                    // The request may arrive in several pieces: answer it once, when whole.
                    pedido_ += s->readAll();
                    if (respondido_ || !pedido_.contains("\r\n\r\n")) return;
                    respondido_ = true;
                    s->write(
                        "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                        "Transfer-Encoding: chunked\r\n\r\n");
                    seguir(s);
                });
                QObject::connect(s, &QSslSocket::encryptedBytesWritten, this,
                                 [this, s] { seguir(s); });
            }
        });
        return servidor.listen(QHostAddress::LocalHost, 0);
    }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(servidor.serverPort()); }

  private:
    bool terminado_ = false;
    bool respondido_ = false;
    QByteArray pedido_;

    void seguir(QSslSocket* s) {
        // The handshake writes too: nothing of the body goes before the answer's head.
        if (!respondido_) return;
        // Keeps a few MB in flight, never the whole body.
        const QByteArray trozo(1024 * 1024, 'x');
        while (enviado < total && s->state() == QAbstractSocket::ConnectedState &&
               s->encryptedBytesToWrite() + s->bytesToWrite() < 4 * trozo.size()) {
            s->write(QByteArray::number(trozo.size(), 16) + "\r\n" + trozo + "\r\n");
            enviado += trozo.size();
        }
        if (enviado >= total && !terminado_) {
            terminado_ = true;
            s->write("0\r\n\r\n");
        }
    }
};

// A 600 MB answer without Content-Length is cut off at the default limit of 64 MB while it
// is read: nothing prints, the log and an error balloon say why, the status goes back to 0.
TEST(Respuesta, AnAnswerOfSixHundredMegabytesIsCutOffAtTheLimit) {
    QTemporaryDir certificados;
    QString error;
    ASSERT_TRUE(pruebas::crearCertificado(certificados.path(), &error)) << error.toStdString();
    ServicioInterminable servicio;
    servicio.total = qint64(600) * 1024 * 1024;
    ASSERT_TRUE(servicio.iniciar(certificados.path()));

    printing::TapePrinterSystem impresoras;
    impresoras.addPrinter("Cocina");
    printing::Entorno entorno;
    entorno.impresoras = &impresoras;
    pruebas::ConexionFalsa conexion;
    pruebas::BandejaFalsa bandeja;
    auto* buscador = new core::BuscadorHttps;
    buscador->setTiempoMaximo(50000);
    ASSERT_TRUE(buscador->agregarCertificados(certificados.filePath("cert.pem")));
    core::ConfigEnlace c;
    c.hostNotificaciones = "127.0.0.1";
    c.hostTrabajos = servicio.host();
    core::Servidor servidor(&conexion, buscador, entorno, c);
    buscador->setParent(&servidor);
    servidor.registro().setSalida(nullptr);
    servidor.setBandeja(&bandeja);
    QStringList log;
    QObject::connect(&servidor.registro(), &core::Registro::lineaAgregada,
                     [&](const QString& l) { log << l; });

    servidor.estadoTrabajo = 1;
    buscador->navegar(core::urlTrabajos(servicio.host(), "1"));
    ASSERT_TRUE(pruebas::esperar(
        [&] { return !log.filter("Error al consultar trabajos: ").isEmpty(); }, 55000));
    EXPECT_EQ(log.filter("Error al consultar trabajos: "),
              QStringList{"Error al consultar trabajos: respuesta de mas de 64 MB"});
    EXPECT_TRUE(bandeja.globos.contains(
        "3|Sistema de impresora|Error al consultar trabajos: respuesta de mas de 64 MB|30000"));
    EXPECT_TRUE(impresoras.outputs().empty());
    EXPECT_EQ(servidor.estadoTrabajo, 0);
    EXPECT_LT(servicio.enviado, qint64(100) * 1024 * 1024);  // the read stopped early
    servidor.setBandeja(nullptr);
}

}  // namespace
