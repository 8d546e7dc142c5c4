// One kitchen ticket of 30 products: laid out on the tape printer and on the painter
// device, then rendered to PDF (what a print queue receives) and to a 203 dpi PNG, and the
// same ticket as ESC/POS bytes for a receipt printer's raw queue.
// Counters: the ticket's length on paper and its printing time at 300 mm/s.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QDate>
#include <QGuiApplication>
#include <QImage>
#include <optional>

#include "json/parser.h"
#include "printing/comandas.h"
#include "printing/devices/escpos_device.h"
#include "printing/devices/painter_device.h"
#include "printing/tape_device.h"
#include "soporte_bench.h"

namespace {

using printing::PaintedDocument;
using printing::PainterDevice;
using NoNotices = bench_render::SinAvisos;

json::JsonValue makeOrders(int count) {
    QString products;
    for (int i = 1; i <= count; ++i) {
        if (i > 1) products += u',';
        products += QStringLiteral(
                        R"({"nombre":"Producto de cocina numero %1","cantidad":%2,"valor":%3,
                                "detalle":[%4]})")
                        .arg(i)
                        .arg(i % 3 + 1)
                        .arg(1000 * i + 500)
                        .arg(i % 4 == 0 ? QStringLiteral(R"("sin sal")") : QString());
    }
    const QString doc =
        QStringLiteral(
            R"([{"area":"Cocina","titulo":"Salon","nomMesa":"Mesa 12","responsable":"Ana",
                "nPedido":4521,"fecha":"2024-03-05 14:02:11","productos":[%1],
                "clienteNombre":"","codPlataforma":""}])")
            .arg(products);
    return json::parse(doc).value;
}

const json::JsonValue& orders(int count = 30) {
    static const json::JsonValue thirty = makeOrders(30);
    static const json::JsonValue five = makeOrders(5);
    return count == 5 ? five : thirty;
}

const json::JsonValue& settings() {
    static const json::JsonValue config =
        json::parse(R"([{"Nombre":"Valores En Comanda","Descripcion":"1","Visible":"1"}])").value;
    return config;
}

printing::Entorno environment(printing::PrinterSystem& sys, printing::Avisos& notices) {
    printing::Entorno e;
    e.impresoras = &sys;
    e.avisos = &notices;
    e.locale = QLocale(QStringLiteral("es_CO"));
    e.reloj = [] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); };
    e.configuracion = settings();
    e.hayConfiguracion = true;
    return e;
}

// Lays the ticket out on a painter device and keeps the ended document.
PaintedDocument layOut(PainterDevice& device, int products = 30) {
    return bench_render::componer(device, environment, [products](printing::Entorno& e) {
        printing::imprimirComandas(e, orders(products));
    });
}

void BM_LayoutTape(benchmark::State& state) {
    printing::TapePrinterSystem tapes;
    tapes.addPrinter("Cocina", 4535);
    tapes.setDefaultPrinterName("Cocina");
    NoNotices notices;
    printing::Entorno e = environment(tapes, notices);
    for (auto _ : state) {
        printing::imprimirComandas(e, orders());
        tapes.clearOutputs();
    }
}
BENCHMARK(BM_LayoutTape)->Unit(benchmark::kMillisecond);

void BM_LayoutPainter(benchmark::State& state) {
    PainterDevice device("Cocina", 4535);
    for (auto _ : state) benchmark::DoNotOptimize(layOut(device));
    bench_render::contarPapel(state, layOut(device));
}
BENCHMARK(BM_LayoutPainter)->Unit(benchmark::kMillisecond);

void BM_RenderPdf(benchmark::State& state) {
    PainterDevice device("Cocina", 4535);
    const PaintedDocument doc = layOut(device);
    qint64 bytes = 0;
    for (auto _ : state) {
        QByteArray pdf;
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        doc.writePdf(&buffer, "Cocina");
        bytes = pdf.size();
    }
    state.counters["pdf_bytes"] = double(bytes);
    bench_render::contarPapel(state, doc);
}
BENCHMARK(BM_RenderPdf)->Unit(benchmark::kMillisecond);

void BM_RenderPng(benchmark::State& state) {
    PainterDevice device("Cocina", 4535);
    const PaintedDocument doc = layOut(device);
    for (auto _ : state) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        doc.toImage(203).convertToFormat(QImage::Format_Grayscale8).save(&buffer, "PNG", 80);
    }
    bench_render::contarPapel(state, doc);
}
BENCHMARK(BM_RenderPng)->Unit(benchmark::kMillisecond);

// The picture alone, before PNG encoding.
void BM_PaintImage(benchmark::State& state) {
    PainterDevice device("Cocina", 4535);
    const PaintedDocument doc = layOut(device);
    for (auto _ : state) benchmark::DoNotOptimize(doc.toImage(203));
}
BENCHMARK(BM_PaintImage)->Unit(benchmark::kMillisecond);

// What one ticket costs a print queue before it is sent: layout and PDF (30 products, and a
// short ticket of 5).
void BM_LayoutAndPdf(benchmark::State& state) {
    PainterDevice device("Cocina", 4535);
    const int products = int(state.range(0));
    for (auto _ : state) {
        const PaintedDocument doc = layOut(device, products);
        QByteArray pdf;
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        doc.writePdf(&buffer, "Cocina");
    }
    bench_render::contarPapel(state, layOut(device, products));
}
BENCHMARK(BM_LayoutAndPdf)->Arg(30)->Arg(5)->Unit(benchmark::kMillisecond);

// Bytes on the wire for the same ticket on a receipt printer's raw queue, with the layout
// and encoding it costs: in the printer's own fonts (target: under 3 KB) and as a raster
// picture (target: under 120 KB), on 80 mm (range 80) and 58 mm (range 58) paper. The raster
// is full-width rows in bands of 256: this ticket is about 470 mm long (3763 rows at 203
// dpi), 44% of them blank, so it takes 271 KB on 80 mm and 181 KB on 58 mm.

void escposTicket(benchmark::State& state, printing::AjustesImpresora::Clase clase) {
    printing::AjustesImpresora a;
    a.clase = clase;
    a.anchoMm = int(state.range(0));
    a.puntos = printing::AjustesImpresora::puntosDeAncho(a.anchoMm);
    printing::EscposDevice device("Cocina", a);
    qint64 bytes = 0;
    device.setSink([&bytes](const QByteArray& job) { bytes = job.size(); });
    bench_render::UnaImpresora sys(device);
    NoNotices notices;
    printing::Entorno e = environment(sys, notices);
    for (auto _ : state) printing::imprimirComandas(e, orders());
    state.counters["wire_bytes"] = double(bytes);
}

void BM_EscposText(benchmark::State& state) {
    escposTicket(state, printing::AjustesImpresora::Clase::EscposTexto);
}
BENCHMARK(BM_EscposText)->Arg(80)->Arg(58)->Unit(benchmark::kMillisecond);

void BM_EscposRaster(benchmark::State& state) {
    escposTicket(state, printing::AjustesImpresora::Clase::Escpos);
}
BENCHMARK(BM_EscposRaster)->Arg(80)->Arg(58)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
