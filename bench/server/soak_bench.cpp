// Soak: 2,000 job documents through the server's dispatch onto text virtual printers, once
// with the job journal and once without, in one run on one machine. Prints the throughput
// of each, their ratio, the journal's size at the end and the resident memory drift.
//   soak_bench [DOCUMENTS]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "../../tests/core/fakes.h"
#include "../../tests/e2e/harness.h"
#include "core/diario.h"
#include "core/servidor.h"
#include "printing/devices/virtual_printer_system.h"

namespace {

struct Resultado {
    double porSegundo = 0;
    qint64 memoriaInicio = 0;
    qint64 memoriaFin = 0;
    qint64 diarioBytes = 0;
    int tickets = 0;
};

// Every run's folders live until the end: files deleted between runs make the file system
// hunt for free inodes while the next run creates its own, which would bill one run for the
// other's clean-up.
Resultado correr(const QList<QString>& documentos, int cuantos, bool conDiario,
                 const QTemporaryDir& app, const QTemporaryDir& salida) {
    printing::VirtualPrinterSystem impresoras(salida.path(), {true, false, false});
    for (const char* nombre : {"Cocina", "Bar", "Facturas", "Caja"}) impresoras.addPrinter(nombre);
    impresoras.setDefaultPrinterName("Facturas");
    printing::Entorno e;
    e.impresoras = &impresoras;
    e.locale = QLocale(QLocale::Spanish, QLocale::Colombia);
    pruebas::ConexionFalsa conexion;
    pruebas::BuscadorFalso buscador;
    core::ConfigEnlace c;
    c.hostNotificaciones = "127.0.0.1";
    c.hostTrabajos = "jobs.test";
    core::Servidor servidor(&conexion, &buscador, e, c);
    servidor.registro().setSalida(nullptr);
    if (conDiario) servidor.abrirDiario(app.path());

    Resultado r;
    QElapsedTimer reloj;
    for (int n = 0; n < cuantos; ++n) {
        if (n == cuantos / 10) {  // after the warm-up
            r.memoriaInicio = e2e::residentKiB(QCoreApplication::applicationPid());
            reloj.start();
        }
        servidor.procesarRespuesta(documentos[n % documentos.size()]);
        if (n % 50 == 0) QCoreApplication::processEvents();
    }
    const double segundos = double(reloj.nsecsElapsed()) / 1e9;
    r.porSegundo = double(cuantos - cuantos / 10) / segundos;
    r.memoriaFin = e2e::residentKiB(QCoreApplication::applicationPid());
    r.tickets = static_cast<int>(impresoras.writtenFiles().size());
    if (conDiario) r.diarioBytes = e2e::folderBytes(core::Diario::rutaCarpeta(app.path()));
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication aplicacion(argc, argv);
    const int cuantos = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;
    QList<QString> documentos;
    const QDir ejemplos(QStringLiteral(SI_SOURCE_DIR "/examples"));
    for (const QString& nombre : ejemplos.entryList({"*.json"}, QDir::Files, QDir::Name)) {
        QFile f(ejemplos.filePath(nombre));
        if (f.open(QIODevice::ReadOnly))
            documentos.append(QStringLiteral("XXXXX") + QString::fromUtf8(f.readAll()));
    }
    if (documentos.isEmpty() || cuantos < 20) return 2;

    // Two runs of each, alternated, the better of each kept: a disk's or a neighbour's hiccup
    // then weighs on neither side alone.
    QTemporaryDir carpetas[8];
    Resultado sin;
    Resultado con;
    for (int vuelta = 0; vuelta < 2; ++vuelta) {
        const Resultado s =
            correr(documentos, cuantos, false, carpetas[4 * vuelta], carpetas[4 * vuelta + 1]);
        const Resultado c =
            correr(documentos, cuantos, true, carpetas[4 * vuelta + 2], carpetas[4 * vuelta + 3]);
        if (s.porSegundo > sin.porSegundo) sin = s;
        if (c.porSegundo > con.porSegundo) con = c;
    }
    std::printf("documents: %d (%d tickets a run)\n", cuantos, con.tickets);
    std::printf("without journal: %.1f documents/s, memory %lld -> %lld KiB\n", sin.porSegundo,
                sin.memoriaInicio, sin.memoriaFin);
    std::printf("with journal:    %.1f documents/s, memory %lld -> %lld KiB\n", con.porSegundo,
                con.memoriaInicio, con.memoriaFin);
    std::printf("throughput with the journal: %.1f %% of without\n",
                100.0 * con.porSegundo / sin.porSegundo);
    std::printf("journal on disk: %.2f MB for %d tickets (%.0f bytes a ticket)\n",
                double(con.diarioBytes) / 1e6, con.tickets,
                con.tickets ? double(con.diarioBytes) / con.tickets : 0.0);
    return 0;
}
