#include "printing/despacho.h"

#include <gtest/gtest.h>

#include "banco.h"
#include "printing/configuracion.h"

namespace printing::test {
namespace {

class DespachoTest : public ::testing::Test {
  protected:
    Banco b;
    void SetUp() override {
        b.agregar(QStringLiteral("Facturas"), 5669);
        b.agregar(QStringLiteral("Cocina"), 4535);
        b.agregar(QStringLiteral("Bar"), 3288);
    }
    static QString doc(const QString& comanda, const QString& anulaciones,
                       const QString& extra = QString(),
                       const QString& ids = QStringLiteral("[1]")) {
        return QStringLiteral(R"({"config":[{"Nombre":"Valores En Comanda","Descripcion":"1"}],
            "comanda":%1,"anulaciones":%2,"factura":[],"idsLeidos":%3%4})")
            .arg(comanda, anulaciones, ids, extra);
    }
    QStringList orden() const {
        QStringList r;
        for (const auto& o : b.sistema.outputs())
            r.append((o.kind == TapeOutput::Kind::Raw ? QStringLiteral("raw:")
                                                      : QStringLiteral("tape:")) +
                     o.printer);
        return r;
    }
    QString motivo(const QString& texto) {
        try {
            setComunicacion(parsear(texto), b.e);
        } catch (const DocumentoNoProcesado& d) {
            return d.motivo();
        }
        return QStringLiteral("<procesado>");
    }
};

const QString kComandas = QStringLiteral(
    R"([{"area":"Bar","nomMesa":"1","productos":[]},{"area":"Cocina","nomMesa":"1","productos":[]}])");
const QString kAnulaciones = QStringLiteral(R"([{"area":"Cocina","nomMesa":"1","productos":[]}])");

TEST_F(DespachoTest, KitchenThenCancellationsThenTheDrawerLast) {
    setComunicacion(parsear(doc(kComandas, kAnulaciones, QStringLiteral(R"(,"abrirCajon":true)"))),
                    b.e);
    EXPECT_EQ(orden(), QStringList({"tape:Bar", "tape:Cocina", "tape:Cocina", "raw:Facturas"}));
    EXPECT_EQ(valorConfig(b.e, QStringLiteral("Valores En Comanda")), QStringLiteral("1"));
}

TEST_F(DespachoTest, NoIdsReadMeansNothingPrintsButTheSettingsAreKept) {
    setComunicacion(parsear(doc(kComandas, kAnulaciones, QStringLiteral(R"(,"abrirCajon":true)"),
                                QStringLiteral("[]"))),
                    b.e);
    EXPECT_TRUE(b.sistema.outputs().empty());
    EXPECT_TRUE(b.e.hayConfiguracion);
}

TEST_F(DespachoTest, AbsentOrNullDrawerFlagCountsAsFalse) {
    setComunicacion(parsear(doc(QStringLiteral("[]"), QStringLiteral("[]"))), b.e);
    setComunicacion(parsear(doc(QStringLiteral("[]"), QStringLiteral("[]"),
                                QStringLiteral(R"(,"abrirCajon":null)"))),
                    b.e);
    setComunicacion(parsear(doc(QStringLiteral("[]"), QStringLiteral("[]"),
                                QStringLiteral(R"(,"abrirCajon":false)"))),
                    b.e);
    EXPECT_TRUE(b.sistema.outputs().empty());
    setComunicacion(parsear(doc(QStringLiteral("[]"), QStringLiteral("{}"),
                                QStringLiteral(R"(,"abrirCajon":1)"))),
                    b.e);
    EXPECT_EQ(orden(), QStringList({"raw:Facturas"}));
}

TEST_F(DespachoTest, BadCancellationEntryLosesNeitherTheOthersNorTheDrawer) {
    const QString anulaciones = QStringLiteral(
        R"([{"area":"Cocina","nomMesa":"1"},{"area":"Bar","nomMesa":"2","productos":[]}])");
    setComunicacion(
        parsear(doc(QStringLiteral("[]"), anulaciones, QStringLiteral(R"(,"abrirCajon":true)"))),
        b.e);
    EXPECT_EQ(orden(), QStringList({"tape:Bar", "raw:Facturas"}));
    ASSERT_FALSE(b.avisos.globos.empty());
    EXPECT_EQ(b.avisos.globos[0], (Globo{2, "Anulacion", "Object required"}));
}

TEST_F(DespachoTest, MissingOrWrongMembersStopTheDocumentWhereTheyAre) {
    EXPECT_EQ(motivo(QStringLiteral("[1]")),
              QStringLiteral("la raiz del documento no es un objeto"));
    EXPECT_EQ(
        motivo(QStringLiteral(R"({"comanda":[],"anulaciones":[],"factura":[],"idsLeidos":[1]})")),
        QStringLiteral("falta el miembro 'config'"));
    EXPECT_FALSE(b.e.hayConfiguracion);
    EXPECT_EQ(motivo(QStringLiteral(R"({"config":5})")),
              QStringLiteral("el miembro 'config' no es una lista"));

    // The settings are replaced before the first missing list is noticed.
    EXPECT_EQ(
        motivo(QStringLiteral(R"({"config":[],"anulaciones":[],"factura":[],"idsLeidos":[1]})")),
        QStringLiteral("falta el miembro 'comanda'"));
    EXPECT_TRUE(b.e.hayConfiguracion);
    EXPECT_EQ(motivo(doc(QStringLiteral(R"({"a":{"area":"Bar"}})"), QStringLiteral("[]"))),
              QStringLiteral("el miembro 'comanda' no es una lista"));
    EXPECT_EQ(motivo(doc(kComandas, QStringLiteral("7"))),
              QStringLiteral("el miembro 'anulaciones' no es una lista"));
    EXPECT_EQ(motivo(doc(kComandas, QStringLiteral("[]"), QString(), QStringLiteral("{}"))),
              QStringLiteral("el miembro 'idsLeidos' no es una lista"));
    EXPECT_EQ(motivo(doc(kComandas, QStringLiteral("[]"), QStringLiteral(R"(,"abrirCajon":[])"))),
              QStringLiteral("el miembro 'abrirCajon' no es un booleano"));
    // Every check comes before the first ticket.
    EXPECT_TRUE(b.sistema.outputs().empty());
    EXPECT_EQ(motivo(doc(kComandas, QStringLiteral("{}"))), QStringLiteral("<procesado>"));
}

TEST(DespachoSinImpresoras, ToldOncePerDocumentWhateverItHolds) {
    Banco b;  // no printer installed
    const QString completo = QStringLiteral(
        R"({"config":[],"comanda":[{"area":"Cocina","nomMesa":"1","productos":[]}],
            "anulaciones":[{"area":"Bar","nomMesa":"2","productos":[]}],
            "factura":[{"mesa":"3","pedido":[]}],"abrirCajon":true,"idsLeidos":[1]})");
    const Globo sinImpresoras{3, "Error al imprimir", "No hay impresoras instaladas"};

    setComunicacion(parsear(completo), b.e);
    EXPECT_EQ(b.avisos.globos, std::vector<Globo>({sinImpresoras}));
    EXPECT_EQ(b.avisos.log, QStringList({"No hay impresoras instaladas"}));

    // The next document is told again, once.
    setComunicacion(parsear(completo), b.e);
    EXPECT_EQ(b.avisos.globos.size(), 2u);
    EXPECT_EQ(b.avisos.log.size(), 2);

    // Nothing that would print (orders without a printer, an invoice without a table): silence.
    setComunicacion(parsear(QStringLiteral(
                        R"({"config":[],"comanda":[{"area":"NN"},{"area":""}],"anulaciones":[],
                            "factura":[{"pedido":[]}],"idsLeidos":[1]})")),
                    b.e);
    EXPECT_EQ(b.avisos.globos.size(), 2u);
}

}  // namespace
}  // namespace printing::test
