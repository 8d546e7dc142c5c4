#include <gtest/gtest.h>

#include <QSignalSpy>

#include "core/mensajes.h"
#include "core/servidor.h"
#include "servidor_falso.h"

namespace {

using core::IconoBandeja;

TEST(Mensajes, AreWrittenByteForByte) {
    EXPECT_EQ(core::mensajeIdentificacion("123456789012345"),
              R"({"idSyA":"123456789012345","type":"id"})");
    EXPECT_EQ(core::mensajeEstado("123456789012345", 1),
              R"({"idSyA":"123456789012345","status":"1"})");
    EXPECT_EQ(core::mensajeIdentificacion(""), R"({"idSyA":"","type":"id"})");
}

TEST(Mensajes, CodeIsEscapedForJsonAndPercentEncodedInTheUrl) {
    const QString raro = QString::fromUtf8("1\"2\\3\n4ñ&5 6");
    EXPECT_EQ(core::mensajeEstado(raro, 0), R"({"idSyA":"1\"2\\3\n4\u00f1&5 6","status":"0"})");
    EXPECT_EQ(core::urlTrabajos("jobs.example:8443", "123456789012345"),
              "https://jobs.example:8443/?r=servicio/getImpresiones&idSyA=123456789012345");
    EXPECT_EQ(core::urlTrabajos("h", raro),
              "https://h/?r=servicio/getImpresiones&idSyA=1%222%5C3%0A4%C3%B1%265%206");
}

TEST(Terminador, OnlyATextEndingInTheTerminatorCompletesANotification) {
    core::DetectorNotificacion d;
    EXPECT_TRUE(d.entrega("abc_endMessage_"));
    EXPECT_TRUE(d.entrega("_endMessage_"));
    EXPECT_FALSE(d.entrega("abc_endMessage_\r\n"));
    EXPECT_FALSE(d.entrega("abc_ENDMESSAGE_"));
    EXPECT_TRUE(d.entrega("a_endMessage_b_endMessage_"));  // several in one: one fetch
}

TEST(Terminador, SplitAcrossDeliveriesCompletesExactlyOnce) {
    core::DetectorNotificacion d;
    EXPECT_FALSE(d.entrega("trabajo_endMes"));
    EXPECT_TRUE(d.entrega("sage_"));
    EXPECT_FALSE(d.entrega("x"));  // carried text is dropped after a complete notification
    EXPECT_FALSE(d.entrega("_"));
    EXPECT_FALSE(d.entrega("end"));
    EXPECT_FALSE(d.entrega("Message"));
    EXPECT_TRUE(d.entrega("_"));
    EXPECT_FALSE(d.entrega("_endMessage_!"));
    EXPECT_FALSE(d.entrega("?"));
    EXPECT_EQ(d.cola().size(), 11);
}

class Enlace : public pruebas::ConServidor {
  protected:
    Enlace() { servidor->conexionHabilitada = true; }
};

TEST_F(Enlace, WatchdogConnectsOnlyWhenLostAndShowsTheState) {
    QSignalSpy etiqueta(servidor.get(), &core::Servidor::etiquetaEstado);
    servidor->alVigilar();
    EXPECT_EQ(conexion.conexiones, 1);
    EXPECT_EQ(etiqueta.takeLast().at(0).toString(), "status 6");
    servidor->alVigilar();  // still connecting
    conexion.estadoActual = 7;
    servidor->alVigilar();
    EXPECT_EQ(conexion.conexiones, 1);
    EXPECT_EQ(etiqueta.takeLast().at(0).toString(), "status 7");
    for (int estado : {0, 4, 8, 9}) {
        conexion.estadoActual = estado;
        servidor->alVigilar();
    }
    EXPECT_EQ(conexion.conexiones, 5);
}

TEST_F(Enlace, NoConnectionWhileDisabledWithoutCodeOrWithoutHosts) {
    servidor->conexionHabilitada = false;
    servidor->alVigilar();
    servidor->conexionHabilitada = true;
    servidor->codigoSucursalesAgencias.clear();  // the code prompt is still open
    servidor->alVigilar();
    EXPECT_EQ(conexion.conexiones, 0);

    pruebas::ConexionFalsa otra;
    pruebas::BandejaFalsa otraBandeja;
    core::Servidor sinHosts(&otra, &buscador, entorno, core::ConfigEnlace{});
    sinHosts.registro().setSalida(nullptr);
    QStringList lineas;
    QObject::connect(&sinHosts.registro(), &core::Registro::lineaAgregada,
                     [&](const QString& l) { lineas << l; });
    sinHosts.setBandeja(&otraBandeja);
    sinHosts.conexionHabilitada = true;
    sinHosts.codigoSucursalesAgencias = "123456789012345";
    sinHosts.avisarFaltantes();
    sinHosts.alVigilar();
    EXPECT_EQ(otra.conexiones, 0);
    EXPECT_EQ(lineas,
              (QStringList{"Falta configurar --notify-host", "Falta configurar --job-host"}));
    EXPECT_EQ(otraBandeja.globos.size(), 2);
}

TEST_F(Enlace, ConnectIdentifiesAndShowsTheOkIcon) {
    servidor->alVigilar();
    conexion.abrir();
    EXPECT_EQ(conexion.enviados, QStringList{R"({"idSyA":"123456789012345","type":"id"})"});
    EXPECT_EQ(log, conexion.enviados);
    ASSERT_EQ(bandeja.iconos.size(), 1);
    EXPECT_EQ(bandeja.iconos[0].imagen, IconoBandeja::OK);
    EXPECT_EQ(bandeja.iconos[0].tip, "Servidor de impresoras conextado correctamente");
    EXPECT_EQ(
        bandeja.globos,
        QStringList{"1|Sistema de impresora|Servidor de impresoras conextado correctamente|30000"});
}

TEST_F(Enlace, StatusGoesOutOnlyWhileConnected) {
    servidor->alLatir();
    servidor->enviarEstado();
    EXPECT_TRUE(conexion.enviados.isEmpty());
    EXPECT_TRUE(log.isEmpty());
    conexion.estadoActual = 7;
    servidor->alLatir();
    conexion.llegar("hay trabajo_endMessage_");  // a fetch is now running
    servidor->enviarEstado();                    // "Send Status Free"
    EXPECT_EQ(conexion.enviados, (QStringList{R"({"idSyA":"123456789012345","status":"0"})",
                                              R"({"idSyA":"123456789012345","status":"1"})"}));
}

TEST_F(Enlace, NotificationLogsAndStartsTheFetchWithTheCurrentCode) {
    conexion.estadoActual = 7;
    conexion.llegar("x_endMessage_\r\n");
    EXPECT_TRUE(buscador.urls.isEmpty());
    EXPECT_EQ(servidor->estadoTrabajo, 0);
    servidor->codigoSucursalesAgencias = "000000000000042";
    conexion.llegar("_endMess");
    conexion.llegar("age_");
    EXPECT_EQ(servidor->estadoTrabajo, 1);
    EXPECT_EQ(
        buscador.urls,
        QList<QByteArray>{"https://jobs.test/?r=servicio/getImpresiones&idSyA=000000000000042"});
    EXPECT_EQ(log, (QStringList{"x_endMessage_\n", "_endMess", "age_"}));  // as the box shows it
}

TEST_F(Enlace, ErrorAndPeerCloseShowTheDisconnectedIcon) {
    conexion.estadoActual = 9;
    servidor->alError(10061, "Connection refused");
    EXPECT_EQ(log, QStringList{"Error: 10061-Connection refused"});
    EXPECT_EQ(conexion.estadoActual, 0);
    EXPECT_EQ(bandeja.globos, QStringList{"1|Sistema de impresora|10061-Connection refused|30000"});

    conexion.estadoActual = 7;
    emit conexion.cerradoPorPar();
    EXPECT_EQ(log.size(), 1);  // a peer close is not an error
    EXPECT_EQ(conexion.estadoActual, 0);
    ASSERT_EQ(bandeja.iconos.size(), 2);
    for (const auto& i : bandeja.iconos) {
        EXPECT_EQ(i.imagen, IconoBandeja::Desconectado);
        EXPECT_EQ(i.tip, "DesConectando");
    }
    EXPECT_EQ(bandeja.globos.last(),
              "1|Sistema de impresora|Servidor de impresoras desconectado|30000");
}

TEST_F(Enlace, FetchStatusTextsFollowADashedLine) {
    emit buscador.textoEstado("Conectando con jobs.test");
    EXPECT_EQ(log, (QStringList{"-------------------------------", "Conectando con jobs.test"}));
    EXPECT_EQ(log[0].size(), 31);
}

TEST(Registro, BoxAndStandardErrorGetTheSameExcerpt) {
    core::Registro r;
    FILE* salida = std::tmpfile();
    r.setSalida(salida);
    QStringList caja;
    QObject::connect(&r, &core::Registro::lineaAgregada, [&](const QString& l) { caja << l; });
    const QString largo = QString(70000, u'x');
    r.agregar(largo);
    r.agregar("a\r\nb");
    ASSERT_EQ(caja.size(), 2);
    EXPECT_TRUE(caja[0].startsWith(QString(65536, u'x') + "\n["));
    EXPECT_TRUE(caja[0].contains("4464"));
    EXPECT_EQ(caja[1], "a\nb");
    std::rewind(salida);
    QByteArray todo(80000, '\0');
    todo.resize(qsizetype(std::fread(todo.data(), 1, size_t(todo.size()), salida)));
    std::fclose(salida);
    EXPECT_EQ(todo, QString(65536, u'x').toUtf8() +
                        "\n[... 4464 caracteres más no se muestran aquí]\na\r\nb\n");
}

}  // namespace
