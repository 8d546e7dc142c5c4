#include "printing/bloques_factura.h"

#include <QDir>
#include <cmath>
#include <functional>

#include "json/runtime_error.h"
#include "printing/configuracion.h"
#include "printing/primitives.h"

namespace printing {

namespace {

void centrado(const Entorno& e, const QString& texto) {
    QString t = texto;
    imprimirTextoAjustado(e, t, anchoLinea(e), 2, 0);
}

void centradoMedido(const Entorno& e, const QString& texto) {
    QString t = texto;
    imprimirTextoMedido(e, t, anchoLinea(e), 2, 0);
}

// One header line; whatever fails in it is left out and the header goes on.
void lineaIndependiente(const std::function<void()>& linea) {
    try {
        linea();
    } catch (const json::RuntimeError&) {
    }
}

}  // namespace

QString rutaLogo(const Entorno& e) {
    return QDir(e.carpetaAplicacion).filePath(QStringLiteral("logo.bmp"));
}

bool imprimirLogo(const Entorno& e) {
    const QString ruta = rutaLogo(e);
    // picture size in hundredths of a millimetre; none when the file is not a picture
    const std::optional<QSizeF> tamano = e.tamanoImagen ? e.tamanoImagen(ruta) : std::nullopt;
    if (!tamano || tamano->width() <= 0 || tamano->height() <= 0) return false;

    PrintDevice& p = impresora(e);
    const double altoLinea =
        static_cast<double>(redondearPar(p.textHeight(QStringLiteral("HOLA"))));
    const double disponible = anchoReferencia(e) - 40;

    double ancho = 0;
    double alto = 0;
    if (tamano->width() > 12999) {
        ancho = disponible;
        alto = tamano->height() * disponible / tamano->width();
    } else {
        ancho = tamano->width() * 500 / 1300;
        alto = tamano->height() * 500 / 1300;
    }
    const double izquierda =
        ancho >= disponible ? 0 : static_cast<double>(redondearPar((disponible - ancho) / 2));

    p.paintPicture(ruta, static_cast<int>(izquierda), 20, static_cast<int>(redondearPar(ancho)),
                   static_cast<int>(redondearPar(alto)));
    if (altoLinea > 0) {
        const long lineas = static_cast<long>(std::floor(alto / altoLinea));
        for (long i = 0; i <= lineas; ++i) p.print({});
    }
    return true;
}

void imprimirEncabezadoEmpresa(const Entorno& e, const ConfiguracionImpresion& c) {
    const auto visible = [&e](const char* item) {
        return configVisible(e, QString::fromLatin1(item));
    };
    lineaIndependiente([&] { imprimirSeparador(e, QStringLiteral("=")); });
    lineaIndependiente([&] {
        if (visible("Nombre Establecimiento") && !c.nombreEstablecimiento.isEmpty())
            centradoMedido(e, c.nombreEstablecimiento);
    });
    lineaIndependiente([&] {
        if (visible("Actividad Economica") && !c.actividadEconomica.isEmpty())
            centradoMedido(e, c.actividadEconomica);
    });
    lineaIndependiente([&] {
        if (visible("Codigo Actividad Economica") && !c.codigoActividadEconomica.isEmpty())
            centradoMedido(
                e, QStringLiteral("Codigo Actividad Economica ") + c.codigoActividadEconomica);
    });
    lineaIndependiente([&] {
        if (visible("Numero Identificacion") && !c.numeroIdentificacion.isEmpty())
            centradoMedido(e, c.tipoIdentificacion + QStringLiteral(" ") + c.numeroIdentificacion);
    });
    lineaIndependiente([&] {
        // the joined name always holds its two blanks, so the line prints whenever visible
        if (visible("Nombre Representante Legal"))
            centradoMedido(e, c.nombreRepresentanteLegal + QStringLiteral(" ") +
                                  c.apellido1RepresentanteLegal + QStringLiteral(" ") +
                                  c.apellido2RepresentanteLegal);
    });
    lineaIndependiente([&] {
        if (visible("Direccion") && !c.direccion.isEmpty()) centradoMedido(e, c.direccion);
    });
    lineaIndependiente([&] {
        if (visible("Telefono 1") && !c.telefono1.isEmpty())
            centradoMedido(e, QStringLiteral("Tel ") + c.telefono1);
    });
}

void imprimirRegimenResolucion(const Entorno& e, const ConfiguracionImpresion& c) {
    const QString prefijo =
        c.facturaPrefijo.isEmpty() ? QString() : c.facturaPrefijo + QStringLiteral("-");
    impresora(e).print({PrintItem::ofText(QStringLiteral(" "))});

    if (configVisible(e, QStringLiteral("Regimen"))) {
        const QString nombre = valorConfig(e, QStringLiteral("Nombre Regimen"));
        if (nombre == QStringLiteral("Comun") || nombre == QStringLiteral("Simple") ||
            nombre.isEmpty())
            centrado(e, QStringLiteral("Responsable de Impuesto Nacional al Consumo"));
        else
            centrado(e, nombre);
    }
    if (configVisible(e, QStringLiteral("Resolucion Dian Facturacion"))) {
        centrado(e, QStringLiteral("Resolucion DIAN ") + c.resolucionDianFacturacion);
        centrado(e, QStringLiteral(" Del ") + c.resolucionDianFecha);
    }
    if (configVisible(e, QStringLiteral("Factura Inicial"))) {
        centrado(e, QStringLiteral("Desde ") + prefijo + c.facturaInicial +
                        QStringLiteral(" Hasta ") + prefijo + c.facturaFinal);
    }
    imprimirSeparador(e, QStringLiteral("="));
}

void imprimirLeyendaPropina(const Entorno& e) {
    imprimirSeparador(e, QStringLiteral("="));
    QString leyenda = QStringLiteral(
        u"Por disposición de la Superintendencia "
        u"de Industria y Comercio, se informa que  "
        u"en este establecimiento la propina es  "
        u"sugerida al consumidor y corresponde  "
        u"al 10% del total de la factura, el cual  "
        u"puede ser aceptado, modificado o  "
        u"rechazado por usted de acuerdo con  "
        u"valoración del servicio prestado, si no  "
        u"desea cancelar este valor, haga caso  "
        u"omiso del mismo.");
    imprimirTextoMedido(e, leyenda, anchoLinea(e), 0, 0);
}

void imprimirPieSoftware(const Entorno& e) {
    PrintDevice& p = impresora(e);
    imprimirSeparador(e, QStringLiteral("="));
    p.print({PrintItem::ofText(QStringLiteral("Software Zentilori"))});
    p.print({PrintItem::ofText(QStringLiteral("Nit ") + e.nitSoftware)});
    p.print({PrintItem::ofText(e.webSoftware)});
    imprimirSeparador(e, QStringLiteral("="));
}

}  // namespace printing
