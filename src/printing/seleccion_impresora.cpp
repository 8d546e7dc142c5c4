#include "seleccion_impresora.h"

#include "json/runtime_error.h"
#include "primitives.h"

namespace printing {

using json::RuntimeError;

PrintDevice& SeleccionImpresora::actual(const Entorno& e) {
    if (actual_) return *actual_;
    if (!e.impresoras) throw RuntimeError::objectRequired();
    const QStringList lista = e.impresoras->printers();
    if (lista.isEmpty()) throw RuntimeError(json::err::PrinterError, kSinImpresoras);
    const int i = indiceImpresora(e, impresoraPredeterminada(e));
    actual_ = &e.impresoras->printer(i < 0 ? 0 : i);
    return *actual_;
}

bool SeleccionImpresora::disponible(const Entorno& e) {
    try {
        if (!e.impresoras || e.impresoras->printers().isEmpty()) return false;
        (void)actual(e).deviceName();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

bool SeleccionImpresora::seleccionar(const Entorno& e, int indice, int reintento,
                                     const QString& solicitada) {
    auto globoNoDisponible = [&](const QString& nombre, const QString& descripcion) {
        mostrarGlobo(e,
                     QStringLiteral("Error al imprimir, La impresora ") + nombre +
                         QStringLiteral(" no esta disponible. ") + QStringLiteral("\r\n") +
                         descripcion + u' ' + descripcion,
                     kGloboError, QStringLiteral("Error al imprimir"));
    };
    if (indice < 0) {
        globoNoDisponible(solicitada, kImpresoraNoEncontrada);
        return false;
    }
    if (!e.impresoras) throw RuntimeError::objectRequired();
    PrintDevice& p = e.impresoras->printer(indice);
    actual_ = &p;
    QString descripcion;
    try {
        p.print({});  // the probe: one empty line, never printed
        cancelarDocumento();
        return true;
    } catch (const RuntimeError& err) {
        descripcion = err.description();
    }
    bool resultado = false;
    if (reintento == 0) {
        const QString predeterminada = impresoraPredeterminada(e);
        resultado = seleccionar(e, indiceImpresora(e, predeterminada), 1, predeterminada);
    } else {
        globoNoDisponible(p.deviceName(), descripcion);
    }
    cancelarDocumento();
    return resultado;
}

void SeleccionImpresora::cancelarDocumento() noexcept {
    try {
        if (actual_) actual_->killDoc();
    } catch (...) {
    }
}

}  // namespace printing
