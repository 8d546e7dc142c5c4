#pragma once

#include <QString>

namespace printing {

struct Entorno;
class PrintDevice;

/**
 * The current printer: one selection per process that carries over from one ticket to the
 * next (a ticket prints on the printer the previous one left selected until its own
 * selection), so the font and size it was left at show on paper. Until the first selection
 * it is the default printer, or the first one when the default is not installed.
 */
class SeleccionImpresora {
  public:
    /** The current printer; RuntimeError when no printer is installed. */
    PrintDevice& actual(const Entorno& e);
    /** Whether a printer is installed and can be made current. */
    bool disponible(const Entorno& e);
    /**
     * Selects the printer at `indice` and probes it; falls back once to the default printer;
     * an error balloon when both fail. An index of -1 (nothing installed under the name nor
     * the default's name) shows the balloon naming `solicitada` and returns false without
     * touching the current printer.
     */
    bool seleccionar(const Entorno& e, int indice, int reintento, const QString& solicitada);
    /** Makes `dispositivo` current without a probe; null forgets the selection. */
    void fijar(PrintDevice* dispositivo) { actual_ = dispositivo; }
    /** The printer made current so far, without choosing one; null before any. */
    PrintDevice* fijada() const { return actual_; }
    /** Cancels the open document of the current printer, ignoring any error. */
    void cancelarDocumento() noexcept;

  private:
    PrintDevice* actual_ = nullptr;
};

}  // namespace printing
