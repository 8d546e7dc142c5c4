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
    QStringList imprimir(const std::function<void(Entorno&, const ConfiguracionImpresion&)>& bloque) {
        bloque(e, cargarConfiguracion(e));
        impresora(e).EndDoc();
        return lineasCaja();
    }
};

TEST(Logo, GrandeOcupaElAnchoDeLaRegla) {
    Bloques b({}, 5669);
    b.ponerLogo(QSizeF(20000, 10000));
    const QStringList l = b.imprimir([](Entorno& e, const auto&) { EXPECT_TRUE(imprimirLogo(e)); });
    // 35 "=" at 10 points are 4200 twips; 4160 wide and half as high, then 2080 / 240 + 1 lines
    ASSERT_EQ(l.size(), 10);
    EXPECT_EQ(l[0], QStringLiteral("PICTURE|0,20,4160,2080"));
    EXPECT_EQ(l[9], QStringLiteral("10|"));
}

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

TEST(Logo, IlegibleNoImprimeNada) {
    Bloques b;
    b.ponerLogo(std::nullopt);
    const QStringList l = b.imprimir([](Entorno& e, const auto&) {
        EXPECT_FALSE(imprimirLogo(e));
        impresora(e).Print({PrintItem::Text(QStringLiteral("x"))});
    });
    EXPECT_EQ(l, QStringList{QStringLiteral("10|x")});
}

QStringList encabezado(const QStringList& config, int ancho = 4535) {
    Bloques b(config, ancho);
    return b.imprimir([](Entorno& e, const auto& c) { imprimirEncabezadoEmpresa(e, c); });
}

TEST(EncabezadoEmpresa, SoloLoVisibleYConValor) {
    const QStringList l = encabezado({
        itemConfig(QStringLiteral("Nombre Establecimiento"), QStringLiteral("la esquina")),
        itemConfig(QStringLiteral("Actividad Economica"), QStringLiteral("bar"), QStringLiteral("0")),
        itemConfig(QStringLiteral("Codigo Actividad Economica"), QStringLiteral("5630"), QStringLiteral(" 1")),
        itemConfig(QStringLiteral("Tipo Identificacion"), QStringLiteral("CC"), QStringLiteral("0")),
        itemConfig(QStringLiteral("Numero Identificacion"), QStringLiteral("123")),
        itemConfig(QStringLiteral("Direccion"), QStringLiteral("")),
        itemConfig(QStringLiteral("Telefono 1"), QStringLiteral("555")),
    });
    // rules at the small size; centred at (32 - length) / 2, halves to even
    EXPECT_EQ(l, (QStringList{QStringLiteral("7|=============================="),
                              QStringLiteral("10|          LA ESQUINA"),
                              QStringLiteral("10|            CC 123"),
                              QStringLiteral("10|           TEL 555")}));
}

TEST(EncabezadoEmpresa, RepresentanteVisibleSinNombreImprimeLineaEnBlanco) {
    const QStringList l = encabezado({itemConfig(QStringLiteral("Nombre Representante Legal"), QString())});
    ASSERT_EQ(l.size(), 2);
    EXPECT_EQ(l[1], QStringLiteral("10|") + QString(15, u' '));
}

TEST(EncabezadoEmpresa, UnaLineaQueFallaNoDetieneLasDemas) {
    BancoFactura b;
    TapePrinterSystem cintas;
    SistemaConFallas sistema(cintas, QStringLiteral("Caja"), 4535);
    b.e.impresoras = &sistema;
    b.configurar(u'[' +
                 QStringList{itemConfig(QStringLiteral("Nombre Establecimiento"), QStringLiteral("uno")),
                             itemConfig(QStringLiteral("Direccion"), QStringLiteral("dos")),
                             itemConfig(QStringLiteral("Telefono 1"), QStringLiteral("tres"))}
                     .join(u',') +
                 u']');
    sistema.dispositivo.fallaAlImprimir = QStringLiteral("DOS");
    imprimirEncabezadoEmpresa(b.e, cargarConfiguracion(b.e));
    impresora(b.e).EndDoc();
    EXPECT_EQ(QString::fromUtf8(cintas.outputs().at(0).content),
              QStringLiteral("7|==============================\n10|             UNO\n10|           TEL TRES\n"));
}

QStringList regimen(const QStringList& config) {
    Bloques b(config);
    return b.imprimir([](Entorno& e, const auto& c) { imprimirRegimenResolucion(e, c); });
}

TEST(RegimenResolucion, NombreDelRegimen) {
    const QString consumo = QStringLiteral("10|RESPONSABLE DE IMPUESTO NACIONAL");
    for (const char* nombre : {"", "Comun", "Simple"}) {
        const QStringList l = regimen({itemConfig(QStringLiteral("Regimen"), QStringLiteral("x")),
                                       itemConfig(QStringLiteral("Nombre Regimen"), QString::fromLatin1(nombre))});
        ASSERT_EQ(l.size(), 4) << nombre;
        EXPECT_EQ(l[1], consumo) << nombre;
        EXPECT_EQ(l[2], QStringLiteral("10|          AL CONSUMO")) << nombre;
    }
    EXPECT_EQ(regimen({itemConfig(QStringLiteral("Regimen"), QStringLiteral("x")),
                       itemConfig(QStringLiteral("Nombre Regimen"), QStringLiteral("COMUN"))})[1],
              QStringLiteral("10|             COMUN"));  // 13.5 rounds to 14
    EXPECT_EQ(regimen({itemConfig(QStringLiteral("Regimen"), QStringLiteral("x"), QStringLiteral("0"))}),
              (QStringList{QStringLiteral("10| "), QStringLiteral("7|==============================")}));
}

TEST(RegimenResolucion, ResolucionYRangoConYSinPrefijo) {
    const QStringList base = {itemConfig(QStringLiteral("Resolucion Dian Facturacion"), QStringLiteral("187")),
                              itemConfig(QStringLiteral("Resolucion Dian Fecha"), QStringLiteral("2026-01-15")),
                              itemConfig(QStringLiteral("Factura Inicial"), QStringLiteral("1")),
                              itemConfig(QStringLiteral("Factura Final"), QStringLiteral("900"), QStringLiteral("0"))};
    EXPECT_EQ(regimen(base), (QStringList{QStringLiteral("10| "), QStringLiteral("10|     RESOLUCION DIAN 187"),
                                          QStringLiteral("10|        DEL 2026-01-15"),
                                          QStringLiteral("10|       DESDE 1 HASTA 900"),
                                          QStringLiteral("7|==============================")}));
    QStringList conPrefijo = base;
    conPrefijo.prepend(itemConfig(QStringLiteral("Factura Prefijo"), QStringLiteral("fe")));
    EXPECT_EQ(regimen(conPrefijo)[3], QStringLiteral("10|   DESDE FE-1 HASTA FE-900"));
}

TEST(PieSoftware, DatosDelProveedorDesdeLaConfiguracionDelServidor) {
    Bloques b;
    b.e.nitSoftware = QStringLiteral("800.1");
    b.e.webSoftware = QStringLiteral("soporte.example.com");
    EXPECT_EQ(b.imprimir([](Entorno& e, const auto&) { imprimirPieSoftware(e); }),
              (QStringList{QStringLiteral("7|=============================="),
                           QStringLiteral("10|Software Zentilori"), QStringLiteral("10|Nit 800.1"),
                           QStringLiteral("10|soporte.example.com"),
                           QStringLiteral("7|==============================")}));
}

}  // namespace
}  // namespace printing::test
