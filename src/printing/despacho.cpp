#include "despacho.h"

#include "anulaciones.h"
#include "cajon.h"
#include "comandas.h"
#include "factura.h"
#include "json/convert.h"
#include "json/runtime_error.h"
#include "primitives.h"

namespace printing {

using json::JsonValue;

DocumentoNoProcesado::DocumentoNoProcesado(QString motivo)
    : motivo_(std::move(motivo)), what_(motivo_.toUtf8()) {}

namespace {

JsonValue miembro(const JsonValue& doc, const QString& clave) {
    JsonValue v = doc.item(clave);
    if (v.isEmpty()) throw DocumentoNoProcesado(QStringLiteral("falta el miembro '%1'").arg(clave));
    return v;
}

[[noreturn]] void tipoIncorrecto(const QString& clave, const char* esperado) {
    throw DocumentoNoProcesado(
        QStringLiteral("el miembro '%1' no es %2").arg(clave, QString::fromUtf8(esperado)));
}

// A job list: present, a container, and an array once it has elements.
JsonValue lista(const JsonValue& doc, const QString& clave) {
    JsonValue v = miembro(doc, clave);
    if (!v.isContainer() || (v.count() > 0 && !v.isArray())) tipoIncorrecto(clave, "una lista");
    return v;
}

// Absent and null count as false.
bool abrirCajon(const JsonValue& doc) {
    const JsonValue v = doc.item(QStringLiteral("abrirCajon"));
    switch (v.kind()) {
        case JsonValue::Kind::Empty:
        case JsonValue::Kind::Null:
            return false;
        case JsonValue::Kind::Boolean:
            return v.boolean();
        case JsonValue::Kind::Number:
            return !v.number().isZero();
        case JsonValue::Kind::String: {
            const QString s = v.string().trimmed();
            if (s.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) return true;
            if (s.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0) return false;
            if (json::isNumeric(v)) return !json::toNumber(v).isZero();
            break;
        }
        default:
            break;
    }
    tipoIncorrecto(QStringLiteral("abrirCajon"), "un booleano");
}

// Invoices: one document each, in array order. A failing invoice is cancelled and
// reported by the invoice layout itself, so the next one and the drawer still follow.
void imprimirFacturas(const Entorno& e, const JsonValue& facturas) {
    for (const JsonValue& f : elementos(facturas)) imprimirFactura(e, f);
}

}  // namespace

void setComunicacion(const JsonValue& doc, Entorno& e) {
    if (!doc.isObject())
        throw DocumentoNoProcesado(QStringLiteral("la raiz del documento no es un objeto"));
    const JsonValue config = miembro(doc, QStringLiteral("config"));
    if (!config.isContainer()) tipoIncorrecto(QStringLiteral("config"), "una lista");
    e.configuracion = config;
    e.hayConfiguracion = true;

    const JsonValue comanda = lista(doc, QStringLiteral("comanda"));
    const JsonValue anulaciones = lista(doc, QStringLiteral("anulaciones"));
    const JsonValue factura = lista(doc, QStringLiteral("factura"));
    const bool cajon = abrirCajon(doc);
    const JsonValue ids = miembro(doc, QStringLiteral("idsLeidos"));
    if (!ids.isArray()) tipoIncorrecto(QStringLiteral("idsLeidos"), "una lista");
    if (ids.count() == 0) return;

    const auto otraPasada = [&] {
        if (e.otraPasada) e.otraPasada(doc, e);
    };
    try {
        // Without printers the document is told once, whatever it holds.
        const bool hayTickets =
            comanda.count() > 0 || anulaciones.count() > 0 || factura.count() > 0;
        if (hayTickets && !hayImpresora(e)) {
            if ((comanda.count() > 0 && hayComandasPorImprimir(e, comanda)) ||
                (anulaciones.count() > 0 && hayAnulacionesPorImprimir(anulaciones)) ||
                (factura.count() > 0 && hayFacturasPorImprimir(factura)))
                avisarSinImpresoras(e);
            return;
        }
        if (comanda.count() > 0) imprimirComandas(e, comanda);
        if (anulaciones.count() > 0) imprimirAnulaciones(e, anulaciones);
        if (factura.count() > 0) imprimirFacturas(e, factura);
        if (cajon) imprimirAperturaCajon(e);
    } catch (const json::RuntimeError& err) {
        otraPasada();
        throw DocumentoNoProcesado(err.description());
    }
    otraPasada();
}

}  // namespace printing
