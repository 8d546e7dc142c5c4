// Runs a whole job document, from the reader through the dispatch, on tape printers.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "json/parser.h"
#include "json/runtime_error.h"
#include "printing/despacho.h"
#include "printing/entorno.h"
#include "printing/tape_device.h"

namespace {

class SilentAvisos : public printing::Avisos {
  public:
    void showBalloonTip(const QString&, int, const QString&, int) override {}
    void agregarLog(const QString&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto [root, errors] = json::parse(text);
    if (!errors.isEmpty()) return 0;  // the server logs the errors and prints nothing

    // Two kitchen areas of the examples and a cash desk, one of them narrow; the first
    // printer added is the default.
    printing::TapePrinterSystem printers;
    printers.addPrinter(QStringLiteral("Caja"));
    printers.addPrinter(QStringLiteral("Cocina"), 3000);
    printers.addPrinter(QStringLiteral("Bar"));
    printers.setDefaultPrinterName(QStringLiteral("Caja"));
    SilentAvisos avisos;
    printing::Entorno e;
    e.impresoras = &printers;
    e.avisos = &avisos;
    e.locale = QLocale(QStringLiteral("es_CO"));
    e.reloj = [] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); };
    e.tamanoImagen = [](const QString&) { return std::optional<QSizeF>(QSizeF(2000, 1000)); };
    try {
        // Twice: the kept settings and the current printer carry over to the next document.
        printing::setComunicacion(root, e);
        printing::setComunicacion(root, e);
    } catch (const json::RuntimeError&) {
        // a value of the wrong kind: the server logs the document as not processed
    } catch (const printing::DocumentoNoProcesado&) {
        // a missing or malformed member: logged the same way
    }
    return 0;
}
