// One invoice of 40 product lines with the logo: laid out on the tape printer and on the
// painter device, then rendered to PDF and to a 203 dpi PNG.
// Counters: the ticket's length on paper and its printing time at 300 mm/s.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <optional>

#include "json/parser.h"
#include "printing/devices/painter_device.h"
#include "printing/devices/picture_size.h"
#include "printing/factura.h"
#include "printing/tape_device.h"
#include "soporte_bench.h"

namespace {

using bench_render::SinAvisos;
using printing::PaintedDocument;
using printing::PainterDevice;

// A 600 x 250 logo at 200 dpi in a folder of its own.
const QString& carpetaLogo() {
    static QTemporaryDir dir;
    static const bool hecho = [] {
        QImage logo(600, 250, QImage::Format_RGB32);
        logo.fill(Qt::white);
        logo.setDotsPerMeterX(7874);
        logo.setDotsPerMeterY(7874);
        QPainter p(&logo);
        p.setBrush(Qt::black);
        p.drawEllipse(20, 20, 210, 210);
        p.drawRect(260, 90, 320, 70);
        p.end();
        return logo.save(dir.filePath(QStringLiteral("logo.bmp")), "BMP");
    }();
    (void)hecho;
    static const QString ruta = dir.path();
    return ruta;
}

const json::JsonValue& documento() {
    static const json::JsonValue doc = [] {
        QString pedido;
        for (int i = 1; i <= 40; ++i) {
            if (i > 1) pedido += u',';
            pedido +=
                QStringLiteral(R"({"NombreProducto":"Plato de la carta numero %1","Cantidad":%2,
                                         "Valor":%3,"Detalle":"%4"})")
                    .arg(i)
                    .arg(i % 3 + 1)
                    .arg(1000 * i + 500)
                    .arg(i % 5 == 0 ? QStringLiteral("sin sal<br/>bien asado") : QString());
        }
        return json::
            parse(QStringLiteral(
                      R"({"mesa":12,"tipoCuenta":"Factura de venta","idFacturaCuenta":4521,"nomMesa":"Mesa 12",
                "fechaFactura":"2026-12-08","horaFactura":"13:45","vendedor":"Carlos","pedido":[%1],
                "descuento":0,"totalPagar":840000,"cuentaCerrada":true,"propinaSugerida":84000,
                "totalPagado":840000,"totalPagadoPropina":84000,"tipoMesa":"MESA",
                "mediosPago":[{"Producto":"FORMA DE PAGO Tarjeta","Detalle":"Visa","Valor":924000}],
                "pagoEfectivo":0,"cambioEfectivo":0,"cliente":null,
                "impuestos":[{"nombre":"Impoconsumo 8%","base":777777.78,"valor":62222.22}],
                "pieFactura":"","permanencia":60,"nPersonas":4,"fechaLimitePago":""})")
                      .arg(pedido))
                .value;
    }();
    return doc;
}

const json::JsonValue& ajustes() {
    static const json::JsonValue config = json::parse(QStringLiteral(R"([
        {"Nombre":"Nombre Establecimiento","Descripcion":"Restaurante El Fogon","Visible":"1"},
        {"Nombre":"Numero Identificacion","Descripcion":"900.123.456-7","Visible":"1"},
        {"Nombre":"Tipo Identificacion","Descripcion":"NIT","Visible":"1"},
        {"Nombre":"Direccion","Descripcion":"Calle 10 # 43A-25","Visible":"1"},
        {"Nombre":"Regimen","Descripcion":"Comun","Visible":"1"},
        {"Nombre":"Resolucion Dian Facturacion","Descripcion":"18764012345678","Visible":"1"},
        {"Nombre":"Factura Inicial","Descripcion":"1","Visible":"1"},
        {"Nombre":"Factura Final","Descripcion":"50000","Visible":"1"},
        {"Nombre":"Imprimie Leyenda Propina Cuenta","Descripcion":"1","Visible":"1"},
        {"Nombre":"Propina","Descripcion":"Aplica","Visible":"1"},
        {"Nombre":"Servicio","Descripcion":"10","Visible":"1"}])"))
                                              .value;
    return config;
}

printing::Entorno entorno(printing::PrinterSystem& sys, printing::Avisos& avisos) {
    printing::Entorno e;
    e.impresoras = &sys;
    e.avisos = &avisos;
    e.locale = QLocale(QStringLiteral("es_CO"));
    e.configuracion = ajustes();
    e.hayConfiguracion = true;
    e.carpetaAplicacion = carpetaLogo();
    e.tamanoImagen = printing::pictureSize;
    return e;
}

PaintedDocument componer(PainterDevice& dispositivo) {
    return bench_render::componer(dispositivo, entorno, [](printing::Entorno& e) {
        printing::imprimirFactura(e, documento());
    });
}

void BM_FacturaCinta(benchmark::State& state) {
    printing::TapePrinterSystem cintas;
    cintas.addPrinter("Facturas", 4535);
    cintas.setDefaultPrinterName("Facturas");
    SinAvisos avisos;
    printing::Entorno e = entorno(cintas, avisos);
    for (auto _ : state) {
        printing::imprimirFactura(e, documento());
        cintas.clearOutputs();
    }
}
BENCHMARK(BM_FacturaCinta)->Unit(benchmark::kMillisecond);

void BM_FacturaComposicionYPdf(benchmark::State& state) {
    PainterDevice dispositivo("Facturas", 4535);
    for (auto _ : state) {
        const PaintedDocument doc = componer(dispositivo);
        QByteArray pdf;
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        doc.writePdf(&buffer, "Facturas");
    }
    bench_render::contarPapel(state, componer(dispositivo));
}
BENCHMARK(BM_FacturaComposicionYPdf)->Unit(benchmark::kMillisecond);

void BM_FacturaPng(benchmark::State& state) {
    PainterDevice dispositivo("Facturas", 4535);
    const PaintedDocument doc = componer(dispositivo);
    for (auto _ : state) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        doc.toImage(203).save(&buffer, "PNG");
    }
    bench_render::contarPapel(state, doc);
}
BENCHMARK(BM_FacturaPng)->Unit(benchmark::kMillisecond);

}  // namespace
