// Answers of hundreds of MB: memory- and time-hungry, so they run in the dev pass only.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <cstdio>

#include "../core/fakes.h"
#include "aplicacion_prueba.h"
#include "core/servidor.h"
#include "printing/tape_device.h"
#include "shell/ventana_principal.h"

namespace {

const auto* const kAplicacion = pruebas::registrarAplicacion<QApplication>("shell_long_tests");

qint64 tamano(FILE* f) {
    std::fseek(f, 0, SEEK_END);
    return std::ftell(f);
}

// A job answer of one 160 MB line (a kitchen order with a long member nobody reads) still
// prints, and the log box, the status tab and standard error each get a bounded excerpt.
TEST(Respuesta, AnAnswerOfOneHugeLinePrintsAndEveryViewGetsAnExcerpt) {
    printing::TapePrinterSystem impresoras;
    impresoras.addPrinter("Cocina");
    printing::Entorno entorno;
    entorno.impresoras = &impresoras;
    pruebas::ConexionFalsa conexion;
    pruebas::BuscadorFalso buscador;
    pruebas::DialogosFalsos dialogos;
    core::ConfigEnlace c;
    c.hostNotificaciones = "127.0.0.1";
    c.hostTrabajos = "jobs.test";
    core::Servidor servidor(&conexion, &buscador, entorno, c);
    FILE* salida = std::tmpfile();
    ASSERT_NE(salida, nullptr);
    servidor.registro().setSalida(salida);
    QTemporaryDir dir;
    shell::VentanaPrincipal ventana(servidor, dialogos, dir.path(), [](int) {});

    const qsizetype relleno = qsizetype(160) * 1024 * 1024;
    QString texto = QStringLiteral(
        R"(XXXXX{"config":[],"comanda":[{"area":"Cocina","nomMesa":"Mesa 9","nPedido":"1",)"
        R"("responsable":"Ana","fecha":"2024-05-01 12:00:00","productos":[{"nombre":"Sopa",)"
        R"("cantidad":1,"valor":9000}]}],"anulaciones":[],"factura":[],"idsLeidos":[1],)"
        R"("relleno":")");
    texto.reserve(texto.size() + relleno + 2);
    texto += QString(relleno, u'x');
    texto += QStringLiteral("\"}");
    const qsizetype largo = texto.size();
    emit buscador.completo(texto);
    texto.clear();

    ASSERT_EQ(impresoras.tapesOf("Cocina").size(), 1);
    EXPECT_TRUE(impresoras.tapesOf("Cocina")[0].contains("Mesa 9", Qt::CaseInsensitive));
    const QString nota =
        QStringLiteral("\n[... %1 caracteres más no se muestran aquí]").arg(largo - 65536);
    ventana.show();  // a hidden window lays the answer and the log out when it shows
    const QString vista = ventana.cajaRespuesta->toPlainText();
    EXPECT_EQ(vista.size(), 65536 + nota.size());
    EXPECT_TRUE(vista.endsWith(nota));
    EXPECT_LT(ventana.cajaRegistro->toPlainText().size(), 200000);
    EXPECT_TRUE(ventana.cajaRegistro->toPlainText().contains(nota));
    EXPECT_LT(tamano(salida), 200000);
    std::fclose(salida);
}

}  // namespace
