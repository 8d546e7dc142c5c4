#include "printing/configuracion.h"

#include <gtest/gtest.h>

#include "banco.h"
#include "json/runtime_error.h"

namespace printing::test {
namespace {

QString item(const char* nombre, const char* descripcion, const char* visible = "1") {
    return QStringLiteral(R"({"Nombre":"%1","Descripcion":"%2","Visible":"%3"})")
        .arg(QString::fromUtf8(nombre), QString::fromUtf8(descripcion), QString::fromUtf8(visible));
}

QString lista(const QStringList& items) {
    return u'[' + items.join(u',') + u']';
}

TEST(Configuracion, LookupsMatchExactNamesAndTheFirstItemWins) {
    Banco b;
    b.configurar(lista({item("Valores En Comanda", "0"), item("Valores En Comanda", "1"),
                        item("Direccion", "Calle 5", "0"), item("Telefono 1", "555", ""),
                        item("Regimen", "Comun", " 1"),
                        R"({"Nombre":"Nombre Establecimiento","Descripcion":12.5,"Visible":1})"}));
    EXPECT_EQ(valorConfig(b.e, QStringLiteral("Valores En Comanda")), QStringLiteral("0"));
    EXPECT_EQ(valorConfig(b.e, QStringLiteral("valores en comanda")), QString());
    EXPECT_EQ(valorConfig(b.e, QStringLiteral("No existe")), QString());
    EXPECT_EQ(valorConfig(b.e, QStringLiteral("Nombre Establecimiento")), QStringLiteral("12,5"));
    EXPECT_TRUE(configVisible(b.e, QStringLiteral("Valores En Comanda")));
    EXPECT_TRUE(configVisible(b.e, QStringLiteral("Nombre Establecimiento")));
    EXPECT_FALSE(configVisible(b.e, QStringLiteral("Direccion")));
    EXPECT_FALSE(configVisible(b.e, QStringLiteral("Telefono 1")));
    EXPECT_FALSE(configVisible(b.e, QStringLiteral("Regimen")));
    EXPECT_FALSE(configVisible(b.e, QStringLiteral("No existe")));
}

TEST(Configuracion, WithoutAKeptListALookupFails) {
    Banco b;
    EXPECT_THROW(valorConfig(b.e, QStringLiteral("Regimen")), json::RuntimeError);
    b.configurar(QStringLiteral("{}"));
    EXPECT_EQ(valorConfig(b.e, QStringLiteral("Regimen")), QString());
}

TEST(Configuracion, RecordFlagsAndTransformations) {
    Banco b;
    b.configurar(
        lista({item("Hora Factura", "1"), item("Personas Factura", "true"),
               item("Permanencia Factura", " 1"), item("Propina", "Aplica"), item("Servicio", "10"),
               item("Regimen", "comun"), item("Opcion Propina 5% y 10%", "1"),
               item("Factura Prefijo", "FE"), item("Titulo del Vendedor", "Cajero")}));
    ConfiguracionImpresion c = cargarConfiguracion(b.e);
    EXPECT_TRUE(c.horaFactura);
    EXPECT_FALSE(c.personasFactura);
    EXPECT_FALSE(c.permanenciaFactura);
    EXPECT_TRUE(c.propina);
    EXPECT_TRUE(c.opcionPropina5y10);
    EXPECT_EQ(c.servicio, 10);
    EXPECT_EQ(c.nombreFacturaCerrada, QStringLiteral("Factura"));
    EXPECT_EQ(c.facturaPrefijo, QStringLiteral("FE"));
    EXPECT_EQ(c.tituloVendedor, QStringLiteral("Cajero"));

    const struct {
        const char* valor;
        int servicio;
    } servicios[] = {{"", 0}, {"diez", 0}, {"10,5", 10}, {"11,5", 12}, {" 8 ", 8}};
    for (const auto& s : servicios) {
        b.configurar(lista({item("Servicio", s.valor), item("Propina", "1"),
                            item("Nombre factura cerrada", "Cuenta de cobro")}));
        c = cargarConfiguracion(b.e);
        EXPECT_EQ(c.servicio, s.servicio) << s.valor;
        EXPECT_TRUE(c.propina);
        EXPECT_EQ(c.nombreFacturaCerrada, QStringLiteral("Cuenta de cobro"));
    }
    b.configurar(lista({item("Servicio", "40000")}));
    EXPECT_THROW(cargarConfiguracion(b.e), json::RuntimeError);
}

}  // namespace
}  // namespace printing::test
