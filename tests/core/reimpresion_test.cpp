#include "core/reimpresion.h"

#include <gtest/gtest.h>

#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString preguntar(const QString& ruta, const QByteArray& pedido) {
    QLocalSocket s;
    s.connectToServer(ruta);
    if (!QTest::qWaitFor([&] { return s.state() == QLocalSocket::ConnectedState; }, 5000))
        return QStringLiteral("<sin conexion>");
    s.write(pedido);
    if (!QTest::qWaitFor([&] { return s.canReadLine(); }, 5000))
        return QStringLiteral("<sin respuesta>");
    return QString::fromUtf8(s.readLine()).trimmed();
}

TEST(Reimpresion, OneSocketPerApplicationFolderInItsRunningFolder) {
    QTemporaryDir app;
    QTemporaryDir otra;
    QTemporaryDir runtime;
    EXPECT_TRUE(core::rutaSocket(runtime.path(), app.path())
                    .startsWith(runtime.path() + "/servidor-impresoras-"));
    EXPECT_NE(core::rutaSocket(runtime.path(), app.path()),
              core::rutaSocket(runtime.path(), otra.path()));
}

TEST(Reimpresion, ServiceAnswersEachRequestAndRefusesGarbage) {
    QTemporaryDir dir;
    const QString ruta = dir.filePath("s.sock");
    QString respuesta;
    EXPECT_EQ(core::pedirReimpresion(ruta, 1, {}, respuesta, 500),
              core::RespuestaReimpresion::SinServidor);

    QList<QPair<qint64, QString>> pedidos;
    core::ServicioReimpresion servicio([&](qint64 id, const QString& impresora) {
        pedidos.append({id, impresora});
        return id == 7 ? QString() : QStringLiteral("ticket desconocido");
    });
    ASSERT_TRUE(servicio.escuchar(ruta)) << servicio.error().toStdString();
    EXPECT_EQ(preguntar(ruta, "reimprimir 7\tBar 2\n"), "ok");
    EXPECT_EQ(preguntar(ruta, "reimprimir 8\t\n"), "no ticket desconocido");
    EXPECT_EQ(preguntar(ruta, "hola\n"), "no pedido no valido");
    ASSERT_EQ(pedidos.size(), 2);
    EXPECT_EQ(pedidos[0], (QPair<qint64, QString>{7, "Bar 2"}));
    EXPECT_EQ(pedidos[1].second, "");

    // A socket left behind by a dead server does not stop the next one.
    core::ServicioReimpresion otro([](qint64, const QString&) { return QString(); });
    EXPECT_TRUE(otro.escuchar(ruta));
}

}  // namespace
