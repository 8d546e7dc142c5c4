#pragma once

#include <QString>
#include <cstdint>

#include "entorno.h"

namespace printing {

// The branch's print settings travel with every job document as a list of items
// {Nombre, Descripcion, Visible}; the latest list is kept in the Entorno. Names match
// exactly (case and blanks count) and the first item of a name wins.

/**
 * The Descripcion of the first item named `nombre`, as text; "" when none matches.
 * RuntimeError "Object required" when no list is kept yet or an item is not an object.
 */
QString valorConfig(const Entorno& e, const QString& nombre);
/** True when the first item named `nombre` has Visible "1"; false otherwise or when none. */
bool configVisible(const Entorno& e, const QString& nombre);

/** The invoice settings, read in one pass by cargarConfiguracion with their defaults. */
struct ConfiguracionImpresion {
    QString nombreRepresentanteLegal;
    QString apellido1RepresentanteLegal;
    QString apellido2RepresentanteLegal;
    QString nombreEstablecimiento;
    QString actividadEconomica;
    QString tipoIdentificacion;
    QString numeroIdentificacion;
    QString codigoActividadEconomica;
    QString direccion;
    QString telefono1;
    QString facturaPrefijo;
    QString resolucionDianFacturacion;
    QString resolucionDianFecha;
    QString facturaInicial;
    QString facturaFinal;
    QString regimen;
    QString encabezadoFactura;
    QString pieFactura;
    bool imprimeLeyendaPropinaCuenta = false;
    bool imprimeEspacioClienteCuenta = false;
    bool horaFactura = false;
    bool permanenciaFactura = false;
    bool personasFactura = false;
    bool nombreMeseroFactura = false;
    bool resaltarTotalCuenta = false;
    bool opcionPropina5y10 = false;
    /** "1" or "Aplica". */
    bool propina = false;
    /** Numeric value rounded halves to even; 0 when not numeric; Overflow beyond 16 bits. */
    int16_t servicio = 0;
    /** "Mesero" when not configured. */
    QString tituloVendedor;
    /** "Factura" for the COMUN regime, else "Boleto Fiscal", when not configured. */
    QString nombreFacturaCerrada;
    /** "Domicilio" when not configured. */
    QString conceptoDomicilio;
};

/** Reads the record from the kept list; errors as valorConfig. */
ConfiguracionImpresion cargarConfiguracion(const Entorno& e);

}  // namespace printing
