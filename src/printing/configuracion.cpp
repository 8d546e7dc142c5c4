#include "configuracion.h"

#include "json/convert.h"
#include "json/runtime_error.h"
#include "primitives.h"

namespace printing {

using json::JsonValue;

namespace {

// The first item named `nombre`, or Empty when none.
JsonValue buscarItem(const Entorno& e, const QString& nombre) {
    if (!e.hayConfiguracion) throw json::RuntimeError::objectRequired();
    for (const JsonValue& item : elementos(e.configuracion)) {
        if (json::toText(item.item(QStringLiteral("Nombre")), e.locale) == nombre) return item;
    }
    return {};
}

}  // namespace

QString valorConfig(const Entorno& e, const QString& nombre) {
    const JsonValue item = buscarItem(e, nombre);
    if (item.isEmpty()) return {};
    return json::toText(item.item(QStringLiteral("Descripcion")), e.locale);
}

bool configVisible(const Entorno& e, const QString& nombre) {
    const JsonValue item = buscarItem(e, nombre);
    if (item.isEmpty()) return false;
    return json::toText(item.item(QStringLiteral("Visible")), e.locale) == QStringLiteral("1");
}

ConfiguracionImpresion cargarConfiguracion(const Entorno& e) {
    ConfiguracionImpresion c;
    auto v = [&e](const char* nombre) { return valorConfig(e, QString::fromUtf8(nombre)); };
    auto flag = [&v](const char* nombre) { return v(nombre) == QStringLiteral("1"); };

    c.nombreRepresentanteLegal = v("Nombre Representante Legal");
    c.apellido1RepresentanteLegal = v("Apellido 1 Representante Legal");
    c.apellido2RepresentanteLegal = v("Apellido 2 Representante Legal");
    c.nombreEstablecimiento = v("Nombre Establecimiento");
    c.actividadEconomica = v("Actividad Economica");
    c.tipoIdentificacion = v("Tipo Identificacion");
    c.numeroIdentificacion = v("Numero Identificacion");
    c.codigoActividadEconomica = v("Codigo Actividad Economica");
    c.direccion = v("Direccion");
    c.telefono1 = v("Telefono 1");
    c.facturaPrefijo = v("Factura Prefijo");
    c.resolucionDianFacturacion = v("Resolucion Dian Facturacion");
    c.resolucionDianFecha = v("Resolucion Dian Fecha");
    c.facturaInicial = v("Factura Inicial");
    c.facturaFinal = v("Factura Final");
    c.regimen = v("Regimen");
    c.encabezadoFactura = v("Encabezado de Factura");
    c.pieFactura = v("Pie de Factura");
    c.imprimeLeyendaPropinaCuenta = flag("Imprimie Leyenda Propina Cuenta");
    c.imprimeEspacioClienteCuenta = flag("Imprimie Espacio Cliente Cuenta");
    c.horaFactura = flag("Hora Factura");
    c.permanenciaFactura = flag("Permanencia Factura");
    c.personasFactura = flag("Personas Factura");
    c.nombreMeseroFactura = flag("Nombre Mesero Factura");
    c.resaltarTotalCuenta = flag("ResaltarTotal Cuenta");
    c.opcionPropina5y10 = flag("Opcion Propina 5% y 10%");
    c.propina = v("Propina") == QStringLiteral("1") || v("Propina") == QStringLiteral("Aplica");

    const QString servicio = v("Servicio");
    const JsonValue servicioTexto{servicio};
    if (json::isNumeric(servicioTexto, e.locale)) {
        const long long n = redondearPar(json::toNumber(servicioTexto, e.locale));
        if (n < INT16_MIN || n > INT16_MAX) throw json::RuntimeError::overflow();
        c.servicio = int16_t(n);
    }

    c.tituloVendedor = v("Titulo del Vendedor");
    if (c.tituloVendedor.isEmpty()) c.tituloVendedor = QStringLiteral("Mesero");
    c.nombreFacturaCerrada = v("Nombre factura cerrada");
    if (c.nombreFacturaCerrada.isEmpty())
        c.nombreFacturaCerrada = mayusculas(c.regimen) == QStringLiteral("COMUN")
                                     ? QStringLiteral("Factura")
                                     : QStringLiteral("Boleto Fiscal");
    c.conceptoDomicilio = v("Concepto Domicilio");
    if (c.conceptoDomicilio.isEmpty()) c.conceptoDomicilio = QStringLiteral("Domicilio");
    return c;
}

}  // namespace printing
