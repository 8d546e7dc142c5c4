#include <gtest/gtest.h>

#include "servidor_falso.h"

namespace {

using core::IconoBandeja;

// A kitchen order for one area, as the job service sends it (after the five-character prefix).
QString documento(const QString& area, const QString& mesa, const QString& extra = {}) {
    return QStringLiteral(
               R"(XXXXX{"config":[],"comanda":[{"area":"%1","nomMesa":"%2","nPedido":"7",)"
               R"("responsable":"Ana","fecha":"2024-05-01 12:00:00","productos":[)"
               R"({"nombre":"Arepa de queso","cantidad":2,"valor":5000}]}],)"
               R"("anulaciones":[],"factura":[],"idsLeidos":[1]%3})")
        .arg(area, mesa, extra);
}

class Despacho : public pruebas::ConServidor {
  protected:
    Despacho() {
        impresoras.addPrinter("Bar");
        entorno.locale = QLocale(QLocale::Spanish, QLocale::Colombia);
        conexion.estadoActual = 7;
        conexion.llegar("_endMessage_");
        log.clear();
    }
    QStringList tapes(const QString& impresora) const { return impresoras.tapesOf(impresora); }
};

TEST_F(Despacho, ADocumentPrintsAndTheStatusGoesBackToZero) {
    const QString doc = documento("Cocina", "Mesa 4");
    emit buscador.completo(doc);
    ASSERT_EQ(tapes("Cocina").size(), 1);
    EXPECT_TRUE(tapes("Cocina")[0].contains("Mesa 4", Qt::CaseInsensitive));
    EXPECT_EQ(log, (QStringList{doc, "Respuesta: ", "--",
                                R"({"idSyA":"123456789012345","status":"0"})"}));
    EXPECT_EQ(servidor->estadoTrabajo, 0);
    EXPECT_EQ(conexion.enviados.last(), R"({"idSyA":"123456789012345","status":"0"})");
    ASSERT_FALSE(bandeja.iconos.isEmpty());
    EXPECT_EQ(bandeja.iconos.last().imagen, IconoBandeja::Conectado);
    EXPECT_EQ(bandeja.iconos.last().tip, "Conectado");
}

// A ticket that printed nowhere (its printer and the default both down) is not reported as
// done; the other tickets of the document still print, and the next document starts afresh.
TEST_F(Despacho, ATicketPrintedNowhereEndsWithStatusOne) {
    impresoras.setOffline("Cocina", true, "Sin papel");
    const QString doc = QStringLiteral(R"(XXXXX{"config":[],"comanda":[)"
                                       R"({"area":"Cocina","nomMesa":"Mesa 4","productos":[]},)"
                                       R"({"area":"Bar","nomMesa":"Mesa 5","productos":[]}],)"
                                       R"("anulaciones":[],"factura":[],"idsLeidos":[1]})");
    emit buscador.completo(doc);
    EXPECT_EQ(tapes("Bar").size(), 1);
    EXPECT_EQ(servidor->estadoTrabajo, 1);
    EXPECT_EQ(conexion.enviados.last(), R"({"idSyA":"123456789012345","status":"1"})");

    impresoras.setOffline("Cocina", false);
    emit buscador.completo(documento("Cocina", "Mesa 6"));
    EXPECT_EQ(servidor->estadoTrabajo, 0);
    EXPECT_EQ(conexion.enviados.last(), R"({"idSyA":"123456789012345","status":"0"})");
}

TEST_F(Despacho, UnparseableTextsAndFailedFetchesEndWithStatusZero) {
    for (const QString& texto : {QStringLiteral("XXXXX{\"config\":"), QStringLiteral("12345")}) {
        servidor->estadoTrabajo = 1;
        log.clear();
        emit buscador.completo(texto);
        ASSERT_EQ(log.size(), 5) << log.join("\n").toStdString();
        EXPECT_FALSE(log[3].isEmpty());  // the parser's error text
        EXPECT_EQ(servidor->estadoTrabajo, 0);
        EXPECT_EQ(log[4], R"({"idSyA":"123456789012345","status":"0"})");
    }
    servidor->estadoTrabajo = 1;
    log.clear();
    emit buscador.fallo("HTTP 500 Internal Server Error");
    EXPECT_EQ(log, (QStringList{"Error al consultar trabajos: HTTP 500 Internal Server Error",
                                R"({"idSyA":"123456789012345","status":"0"})"}));
    EXPECT_EQ(bandeja.iconos.last().tip, "Conectado");
    EXPECT_TRUE(impresoras.outputs().empty());
}

TEST_F(Despacho, ADocumentThatCannotBeHandledSaysWhyAndKeepsStatusOne) {
    emit buscador.completo(R"(XXXXX{"comanda":[],"anulaciones":[],"factura":[],"idsLeidos":[1]})");
    ASSERT_EQ(log.size(), 4);
    EXPECT_TRUE(log[3].startsWith("Documento no procesado: ")) << log[3].toStdString();
    EXPECT_EQ(servidor->estadoTrabajo, 1);
    EXPECT_EQ(conexion.enviados.size(), 0);
    EXPECT_TRUE(bandeja.iconos.isEmpty());  // the tray stays as it was
}

TEST_F(Despacho, NoIdsReadPrintsNothingButKeepsTheSettings) {
    QString doc = documento("Cocina", "Mesa 4");
    doc.replace("\"idsLeidos\":[1]", "\"idsLeidos\":[]");
    doc.replace("\"config\":[]",
                R"("config":[{"Nombre":"Valores En Comanda","Descripcion":"1","Visible":"1"}])");
    emit buscador.completo(doc + "");
    EXPECT_TRUE(impresoras.outputs().empty());
    EXPECT_TRUE(entorno.hayConfiguracion);
    EXPECT_EQ(servidor->estadoTrabajo, 0);
}

// While a document prints, a second completion arrives (a pending-events pass) and a third
// one after it. Each is processed whole, in arrival order, with its own text.
TEST_F(Despacho, CompletionsDuringADispatchWaitAndKeepTheirOwnText) {
    const QString primero = documento("Cocina", "Mesa 1");
    const QString segundo = documento("Bar", "Mesa 2");
    const QString tercero = documento("Cocina", "Mesa 3");
    QStringList orden;
    int nivel = 0;
    impresoras.setListener([&](const printing::TapeOutput& o) {
        orden << o.printer;
        if (orden.size() == 1) {
            ++nivel;
            EXPECT_TRUE(servidor->despachando());
            emit buscador.completo(segundo);
            emit buscador.completo(tercero);
            EXPECT_EQ(servidor->completadosEnEspera(), 2);
            --nivel;
        }
    });
    emit buscador.completo(primero);
    EXPECT_EQ(nivel, 0);
    EXPECT_EQ(orden, (QStringList{"Cocina", "Bar", "Cocina"}));
    EXPECT_TRUE(tapes("Cocina")[0].contains("Mesa 1", Qt::CaseInsensitive));
    EXPECT_TRUE(tapes("Bar")[0].contains("Mesa 2", Qt::CaseInsensitive));
    EXPECT_TRUE(tapes("Cocina")[1].contains("Mesa 3", Qt::CaseInsensitive));
    EXPECT_EQ(log.count("Respuesta: "), 3);
    EXPECT_EQ(log.count(R"({"idSyA":"123456789012345","status":"0"})"), 3);
    EXPECT_FALSE(servidor->despachando());
}

}  // namespace
