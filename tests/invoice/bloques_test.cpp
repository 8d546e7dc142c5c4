// The invoice's own blocks: logo, establishment header, regime and resolution, legends.
#include <gtest/gtest.h>

#include "banco_factura.h"
#include "printing/bloques_factura.h"

namespace printing::test {
namespace {

struct Bloques : BancoFactura {
    explicit Bloques(const QStringList& config = {}, int ancho = 4535) : BancoFactura(ancho) {
        configurar(u'[' + config.join(u',') + u']');
    }
    QStringList imprimir(
        const std::function<void(Entorno&, const ConfiguracionImpresion&)>& bloque) {
        bloque(e, cargarConfiguracion(e));
        impresora(e).endDoc();
        return lineasCaja();
    }
};

TEST(Logo, PequenoSeReduceYSeCentra) {
    Bloques ancha({}, 5669);
    ancha.ponerLogo(QSizeF(5200, 2600));
    EXPECT_EQ(ancha.imprimir([](Entorno& e, const auto&) { imprimirLogo(e); })[0],
              QStringLiteral("PICTURE|1080,20,2000,1000"));

    // the spacing follows the font in force before the logo; the rule leaves 7 points
    Bloques angosta;
    angosta.ponerLogo(QSizeF(5200, 2600));
    const QStringList l = angosta.imprimir([](Entorno& e, const auto&) {
        impresora(e).setFontSize(12.5f);
        imprimirLogo(e);
    });
    EXPECT_EQ(l[0], QStringLiteral("PICTURE|240,20,2000,1000"));
    EXPECT_EQ(l.size(), 1 + 1000 / 300 + 1);
    EXPECT_EQ(l.last(), QStringLiteral("7|"));
}

TEST(EncabezadoEmpresa, UnaLineaQueFallaNoDetieneLasDemas) {
    BancoFactura b;
    TapePrinterSystem cintas;
    SistemaConFallas sistema(cintas, QStringLiteral("Caja"), 4535);
    b.e.impresoras = &sistema;
    b.configurar(
        u'[' +
        QStringList{itemConfig(QStringLiteral("Nombre Establecimiento"), QStringLiteral("uno")),
                    itemConfig(QStringLiteral("Direccion"), QStringLiteral("dos")),
                    itemConfig(QStringLiteral("Telefono 1"), QStringLiteral("tres"))}
            .join(u',') +
        u']');
    sistema.dispositivo.fallaAlImprimir = QStringLiteral("DOS");
    imprimirEncabezadoEmpresa(b.e, cargarConfiguracion(b.e));
    impresora(b.e).endDoc();
    EXPECT_EQ(
        QString::fromUtf8(cintas.outputs().at(0).content),
        QStringLiteral(
            "7|==============================\n10|             UNO\n10|           TEL TRES\n"));
}

QStringList regimen(const QStringList& config) {
    Bloques b(config);
    return b.imprimir([](Entorno& e, const auto& c) { imprimirRegimenResolucion(e, c); });
}

TEST(RegimenResolucion, NombreDelRegimen) {
    const QString consumo = QStringLiteral("10|RESPONSABLE DE IMPUESTO NACIONAL");
    for (const char* nombre : {"", "Comun", "Simple"}) {
        const QStringList l =
            regimen({itemConfig(QStringLiteral("Regimen"), QStringLiteral("x")),
                     itemConfig(QStringLiteral("Nombre Regimen"), QString::fromLatin1(nombre))});
        ASSERT_EQ(l.size(), 4) << nombre;
        EXPECT_EQ(l[1], consumo) << nombre;
        EXPECT_EQ(l[2], QStringLiteral("10|          AL CONSUMO")) << nombre;
    }
    EXPECT_EQ(regimen({itemConfig(QStringLiteral("Regimen"), QStringLiteral("x")),
                       itemConfig(QStringLiteral("Nombre Regimen"), QStringLiteral("COMUN"))})[1],
              QStringLiteral("10|             COMUN"));  // 13.5 rounds to 14
    EXPECT_EQ(
        regimen({itemConfig(QStringLiteral("Regimen"), QStringLiteral("x"), QStringLiteral("0"))}),
        (QStringList{QStringLiteral("10| "), QStringLiteral("7|==============================")}));
}

}  // namespace
}  // namespace printing::test
