#pragma once

// What the ticket benchmarks share: a silent tray, one printer as a whole printer system,
// the laying out of one ticket on a painter printer, and the paper counters.
#include <benchmark/benchmark.h>

#include <optional>
#include <utility>

#include "printing/devices/painter_device.h"
#include "printing/entorno.h"

namespace bench_render {

class SinAvisos : public printing::Avisos {
  public:
    void showBalloonTip(const QString&, int, const QString&, int) override {}
    void agregarLog(const QString&) override {}
};

// One device as a whole printer system, the default and only printer.
class UnaImpresora : public printing::PrinterSystem {
  public:
    explicit UnaImpresora(printing::PrintDevice& d) : d_(d) {}
    QStringList printers() override { return {d_.deviceName()}; }
    printing::PrintDevice& printer(int) override { return d_; }
    QString defaultPrinterName() override { return d_.deviceName(); }
    void writeRaw(const QString&, const QByteArray&) override {}

  private:
    printing::PrintDevice& d_;
};

// Lays one ticket out on the painter device and keeps the ended document. `entorno` builds
// the environment over a printer system and a tray; `imprimir` prints the ticket.
template <typename Entorno, typename Imprimir>
printing::PaintedDocument componer(printing::PainterDevice& dispositivo, Entorno entorno,
                                   Imprimir imprimir) {
    std::optional<printing::PaintedDocument> hecho;
    dispositivo.setEndHook([&](const printing::PaintedDocument& d) { hecho = d; });
    UnaImpresora sys(dispositivo);
    SinAvisos avisos;
    printing::Entorno e = entorno(sys, avisos);
    imprimir(e);
    return std::move(*hecho);
}

// The ticket's length on paper and its printing time at 300 mm/s.
inline void contarPapel(benchmark::State& state, const printing::PaintedDocument& doc) {
    const double mm = doc.renderedHeight(0) / 1440.0 * 25.4;
    state.counters["ticket_mm"] = mm;
    state.counters["paper_ms"] = mm / 300.0 * 1000.0;
}

}  // namespace bench_render
