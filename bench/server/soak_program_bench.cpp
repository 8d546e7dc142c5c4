// Soak of the whole program: the suite simulator queues DOCUMENTS job documents of three
// tickets each (two kitchen orders and a cancellation), one notification hands them to the
// real servidor-impresoras on 127.0.0.1 over TCP and HTTPS, and the server prints them on text
// virtual printers. Run once with the job journal and once without it (the server's
// SERVIDOR_IMPRESORAS_SIN_DIARIO switch, for benchmarks only), alternated ROUNDS times; the
// best run of each side is kept. Prints documents per second for each, their ratio, the
// journal's size at the end and the server's resident memory drift.
//   soak_program_bench [DOCUMENTS] [ROUNDS]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "../../tests/e2e/harness.h"

namespace {

struct Resultado {
    bool ok = false;
    double porSegundo = 0;
    qint64 memoriaInicio = 0;
    qint64 memoriaFin = 0;
    qint64 diarioBytes = 0;
    int tickets = 0;
};

// The folder lives until the end of the bench: files deleted between runs make the file
// system hunt for free inodes while the next run creates its own.
Resultado correr(int documentos, bool conDiario, const QString& raiz) {
    Resultado r;
    QElapsedTimer reloj;
    reloj.start();
    for (const char* d : {"cert", "app", "out", "docs"}) QDir(raiz).mkpath(QLatin1String(d));
    if (!e2e::makeCertificate(raiz + QStringLiteral("/cert"))) return r;
    QFile acceso(raiz + QStringLiteral("/app/Acceso"));
    if (!acceso.open(QIODevice::WriteOnly)) return r;
    acceso.write(e2e::kCode.toUtf8() + "\r\n");
    acceso.close();

    e2e::Child sim(QStringLiteral("suite-sim"), reloj);
    const e2e::SimPorts puertos =
        e2e::startSim(sim, QStringLiteral(SI_SIM_BIN), raiz + QStringLiteral("/cert"));
    if (puertos.notify.isEmpty()) return r;
    const auto linea = [](const e2e::Child& c, const QString& patron) {
        return c.find(QRegularExpression(patron));
    };
    for (int n = 1; n <= documentos; ++n) {
        const QString ruta = raiz + QStringLiteral("/docs/%1.json").arg(n);
        QFile f(ruta);
        if (!f.open(QIODevice::WriteOnly)) return r;
        f.write(e2e::threeTicketDocument(n));
        f.close();
        sim.write(QStringLiteral("queue ") + ruta + u' ' + e2e::kCode);
    }
    if (!e2e::waitUntil(
            [&] { return linea(sim, QStringLiteral(" waiting=%1$").arg(documentos)) >= 0; },
            120000))
        return r;

    e2e::Child servidor(QStringLiteral("servidor-impresoras"), reloj);
    QStringList entorno;
    if (!conDiario) entorno << QStringLiteral("SERVIDOR_IMPRESORAS_SIN_DIARIO=1");
    servidor.start(QStringLiteral(SI_SERVER_BIN),
                   {QStringLiteral("--app-dir"),      raiz + QStringLiteral("/app"),
                    QStringLiteral("--notify-host"),  QStringLiteral("127.0.0.1"),
                    QStringLiteral("--notify-port"),  puertos.notify,
                    QStringLiteral("--job-host"),     QStringLiteral("127.0.0.1:") + puertos.jobs,
                    QStringLiteral("--ca-file"),      raiz + QStringLiteral("/cert/cert.pem"),
                    QStringLiteral("--locale"),       QStringLiteral("es_CO"),
                    QStringLiteral("--printers"),     QStringLiteral("virtual"),
                    QStringLiteral("--printer"),      QStringLiteral("Cocina"),
                    QStringLiteral("--printer"),      QStringLiteral("Bar"),
                    QStringLiteral("--printer"),      QStringLiteral("Facturas"),
                    QStringLiteral("--default"),      QStringLiteral("Facturas"),
                    QStringLiteral("--print-output"), raiz + QStringLiteral("/out"),
                    QStringLiteral("--print-format"), QStringLiteral("text")},
                   entorno);
    if (!e2e::waitUntil([&] { return linea(sim, QStringLiteral(" identify ")) >= 0; }, 20000))
        return r;

    const QDir salida(raiz + QStringLiteral("/out"));
    const auto impresos = [&] {
        return static_cast<int>(salida.entryList({QStringLiteral("*.txt")}, QDir::Files).size());
    };
    const int esperados = 3 * documentos;
    QElapsedTimer corrida;
    corrida.start();
    sim.write(QStringLiteral("notify ") + e2e::kCode);
    // The first tenth warms up; the rate counts the rest.
    if (!e2e::waitUntil([&] { return impresos() >= esperados / 10; }, 120000)) return r;
    const qint64 inicio = corrida.elapsed();
    r.memoriaInicio = e2e::residentKiB(servidor.pid());
    if (!e2e::waitUntil([&] { return impresos() >= esperados; }, 1200000)) return r;
    const double segundos = static_cast<double>(corrida.elapsed() - inicio) / 1000.0;
    r.porSegundo = (documentos - documentos / 10) / segundos;
    r.memoriaFin = e2e::residentKiB(servidor.pid());
    r.tickets = impresos();
    if (conDiario) r.diarioBytes = e2e::folderBytes(raiz + QStringLiteral("/app/diario"));
    servidor.stop();
    sim.stop(QStringLiteral("quit"));
    r.ok = true;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication aplicacion(argc, argv);
    const int documentos = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;
    const int vueltas = argc > 2 ? QByteArray(argv[2]).toInt() : 1;
    if (documentos < 20 || vueltas < 1) return 2;
    QTemporaryDir carpeta;
    Resultado sin;
    Resultado con;
    for (int vuelta = 0; vuelta < vueltas; ++vuelta) {
        const QString base = carpeta.path() + QStringLiteral("/%1").arg(vuelta);
        const Resultado c = correr(documentos, true, base + QStringLiteral("-con"));
        const Resultado s = correr(documentos, false, base + QStringLiteral("-sin"));
        if (!c.ok || !s.ok) {
            std::fprintf(stderr, "a run did not finish\n");
            return 1;
        }
        if (s.porSegundo > sin.porSegundo) sin = s;
        if (c.porSegundo > con.porSegundo) con = c;
    }
    std::printf("documents: %d of 3 tickets, whole program, best of %d\n", documentos, vueltas);
    std::printf("without journal: %.1f documents/s, server memory %lld -> %lld KiB\n",
                sin.porSegundo, sin.memoriaInicio, sin.memoriaFin);
    std::printf("with journal:    %.1f documents/s, server memory %lld -> %lld KiB\n",
                con.porSegundo, con.memoriaInicio, con.memoriaFin);
    std::printf("throughput with the journal: %.1f %% of without\n",
                100.0 * con.porSegundo / sin.porSegundo);
    std::printf("journal on disk: %.2f MB for %d tickets (%.0f bytes a ticket)\n",
                static_cast<double>(con.diarioBytes) / 1e6, con.tickets,
                con.tickets ? static_cast<double>(con.diarioBytes) / con.tickets : 0.0);
    return 0;
}
