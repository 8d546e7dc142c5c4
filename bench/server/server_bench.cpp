// Time from a notification's arrival to the last ticket of a job document ended, on text and
// PNG virtual printers, with the notification server and the job service on loopback.
// "own" is the server's time without the HTTPS fetch itself (arrival to fetch start, plus
// fetch end to status "0"); the fetch is reported as a counter.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <ctime>

#include "../../tests/core/servidores_prueba.h"
#include "core/buscador_https.h"
#include "core/conexion_tcp.h"
#include "core/servidor.h"
#include "printing/devices/virtual_printer_system.h"

namespace {

qint64 cpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Entorno {
    QTemporaryDir dir;
    pruebas::ServidorNotificaciones notificaciones;
    pruebas::ServicioTrabajos servicio;
    bool listo = false;

    Entorno() {
        listo = pruebas::crearCertificado(dir.path()) && notificaciones.escuchar() &&
                servicio.iniciar(dir.path());
    }
};

Entorno& entorno() {
    static Entorno e;
    return e;
}

void correr(benchmark::State& state, const QString& archivo, const char* formato) {
    Entorno& red = entorno();
    if (!red.listo) {
        state.SkipWithError("loopback servers could not start");
        return;
    }
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly)) {
        state.SkipWithError("example missing");
        return;
    }
    const QByteArray documento = "XXXXX" + f.readAll();
    red.servicio.respuestas = {documento};

    QTemporaryDir salida;
    printing::VirtualPrinterSystem impresoras(
        salida.path(), *printing::VirtualPrinterSystem::parseFormats(formato));
    for (const char* nombre : {"Cocina", "Bar", "Facturas", "Caja"}) impresoras.addPrinter(nombre);
    impresoras.setDefaultPrinterName("Facturas");
    printing::Entorno e;
    e.impresoras = &impresoras;
    e.locale = QLocale(QLocale::Spanish, QLocale::Colombia);
    e.procesarEventosPendientes = [] { QCoreApplication::processEvents(); };

    auto* conexion = new core::ConexionTcp;
    auto* buscador = new core::BuscadorHttps;
    buscador->agregarCertificados(red.dir.filePath("cert.pem"));
    core::ConfigEnlace c;
    c.hostNotificaciones = "127.0.0.1";
    c.puertoNotificaciones = red.notificaciones.puerto();
    c.hostTrabajos = red.servicio.host();
    core::Servidor servidor(conexion, buscador, e, c);
    conexion->setParent(&servidor);
    buscador->setParent(&servidor);
    servidor.registro().setSalida(nullptr);
    servidor.codigoSucursalesAgencias = "123456789012345";
    servidor.conexionHabilitada = true;

    QElapsedTimer reloj;
    qint64 llegada = 0, inicioFetch = 0, finFetch = 0, fin = 0;
    qint64 cpuLlegada = 0, cpuInicio = 0, cpuFinFetch = 0, cpuFin = 0;
    bool terminado = false;
    QObject::connect(&servidor.registro(), &core::Registro::lineaAgregada, [&](const QString& l) {
        const qint64 t = reloj.nsecsElapsed();
        const qint64 cpu = cpuNs();
        if (l.endsWith("_endMessage_")) {
            llegada = t;
            cpuLlegada = cpu;
        } else if (l.startsWith("Conectando con")) {
            inicioFetch = t;
            cpuInicio = cpu;
        } else if (l == "Listo") {
            finFetch = t;
            cpuFinFetch = cpu;
        } else if (l.contains("\"status\":\"0\"") && finFetch) {
            fin = t;
            cpuFin = cpu;
            terminado = true;
        }
    });
    const int conexionesAntes = red.notificaciones.conexiones;
    red.notificaciones.recibido.clear();
    servidor.alVigilar();
    if (!pruebas::esperar([&] {
            return red.notificaciones.conexiones > conexionesAntes &&
                   red.notificaciones.recibido.contains("\"type\":\"id\"");
        })) {
        state.SkipWithError("no connection");
        return;
    }

    double fetchTotal = 0;
    double cpuPropio = 0;
    int tickets = 0;
    for (auto _ : state) {
        llegada = inicioFetch = finFetch = fin = 0;
        terminado = false;
        const auto antes = impresoras.writtenFiles().size();
        reloj.start();
        red.notificaciones.enviar("trabajo_endMessage_");
        if (!pruebas::esperar([&] { return terminado; }, 20000)) {
            state.SkipWithError("no status 0 after the notification");
            break;
        }
        tickets = int(impresoras.writtenFiles().size() - antes);
        const double propio = double((inicioFetch - llegada) + (fin - finFetch)) / 1e9;
        fetchTotal += double(finFetch - inicioFetch) / 1e9;
        cpuPropio += double((cpuInicio - cpuLlegada) + (cpuFin - cpuFinFetch)) / 1e9;
        state.SetIterationTime(propio);
    }
    state.counters["fetch_ms"] =
        benchmark::Counter(fetchTotal * 1000, benchmark::Counter::kAvgIterations);
    state.counters["own_cpu_ms"] =
        benchmark::Counter(cpuPropio * 1000, benchmark::Counter::kAvgIterations);
    state.counters["files"] = tickets;
    state.counters["doc_bytes"] = double(documento.size() - 5);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir ejemplos(QStringLiteral(SI_SOURCE_DIR "/examples"));
    for (const QString& nombre : ejemplos.entryList({"*.json"}, QDir::Files, QDir::Name)) {
        for (const char* formato : {"text", "png"}) {
            const std::string etiqueta = "server/" + nombre.toStdString() + "/" + formato;
            const QString ruta = ejemplos.filePath(nombre);
            benchmark::RegisterBenchmark(
                etiqueta.c_str(),
                [ruta, formato](benchmark::State& s) { correr(s, ruta, formato); })
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->Iterations(20);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
