// A 30-product kitchen ticket on a receipt printer: how soon its first byte reaches a network
// printer behind a raw CUPS queue when the server submits it, against `lp` sending the same
// bytes, alternated in one run. Target: first byte within 1.3 x lp's. (Its bytes on the wire
// in each mode are render_bench's BM_EscposText and BM_EscposRaster.)
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QDate>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <optional>

#include "../render/soporte_bench.h"
#include "json/parser.h"
#include "printing/ajustes_impresoras.h"
#include "printing/comandas.h"
#include "printing/devices/cups_printer_system.h"
#include "printing/devices/escpos_device.h"
#include "private_cups.h"

namespace {

json::JsonValue thirtyProducts() {
    QString products;
    for (int i = 1; i <= 30; ++i) {
        if (i > 1) products += u',';
        products += QStringLiteral(
                        R"({"nombre":"Producto de cocina numero %1","cantidad":%2,"valor":%3,
                            "detalle":[%4]})")
                        .arg(i)
                        .arg(i % 3 + 1)
                        .arg(1000 * i + 500)
                        .arg(i % 4 == 0 ? QStringLiteral(R"("sin sal")") : QString());
    }
    return json::parse(QStringLiteral(
                           R"([{"area":"Cocina","titulo":"Salon","nomMesa":"Mesa 12",
                               "responsable":"Ana","nPedido":4521,"fecha":"2024-03-05 14:02:11",
                               "productos":[%1],"clienteNombre":"","codPlataforma":""}])")
                           .arg(products))
        .value;
}

// The job bytes of the 30-product ticket on an 80 mm printer of that kind.
QByteArray kitchenJob(const QString& kind) {
    printing::AjustesImpresora ajustes;
    QString problem;
    printing::AjustesImpresoras::leerValor(kind, ajustes, problem);
    printing::EscposDevice device("Cocina", ajustes);
    QByteArray job;
    device.setSink([&](const QByteArray& bytes) { job = bytes; });
    bench_render::UnaImpresora system(device);
    bench_render::SinAvisos notices;
    printing::Entorno e;
    e.impresoras = &system;
    e.avisos = &notices;
    e.locale = QLocale(QStringLiteral("es_CO"));
    e.reloj = [] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); };
    e.configuracion =
        json::parse(R"([{"Nombre":"Valores En Comanda","Descripcion":"1","Visible":"1"}])").value;
    e.hayConfiguracion = true;
    static const json::JsonValue orders = thirtyProducts();
    printing::imprimirComandas(e, orders);
    return job;
}

// A network printer that notes when each job's first byte arrives.
class FirstByte {
  public:
    FirstByte() {
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* c = server_.nextPendingConnection()) {
                QObject::connect(c, &QTcpSocket::readyRead, c, [this, c] {
                    if (firstAt_ < 0) firstAt_ = clock_.nsecsElapsed();
                    c->readAll();
                });
                QObject::connect(c, &QTcpSocket::disconnected, c, [this, c] {
                    ++ended_;
                    c->deleteLater();
                });
            }
        });
        server_.listen(QHostAddress::LocalHost, 0);
        clock_.start();
    }
    quint16 port() const { return server_.serverPort(); }
    void arm() {
        firstAt_ = -1;
        startedAt_ = clock_.nsecsElapsed();
    }
    // Nanoseconds from arm() to the first byte, once the job has ended; -1 after 30 s.
    qint64 waitJob() {
        const int target = ended_ + 1;
        QElapsedTimer t;
        t.start();
        while (ended_ < target || firstAt_ < 0) {
            if (t.elapsed() > 30000) return -1;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::usleep(200);
        }
        return firstAt_ - startedAt_;
    }

  private:
    QTcpServer server_;
    QElapsedTimer clock_;
    qint64 firstAt_ = -1;
    qint64 startedAt_ = 0;
    int ended_ = 0;
};

void BM_FirstByteAgainstLp(benchmark::State& state) {
    if (geteuid() != 0) {
        state.SkipWithError("a private CUPS scheduler needs root");
        return;
    }
    static testing_cups::PrivateCups cups;
    static const QString started = cups.start();
    if (!started.isEmpty()) {
        state.SkipWithError(started.toUtf8().constData());
        return;
    }
    static FirstByte printer;
    static const QString added = cups.addRawSocketQueue("Cocina", printer.port());
    if (!added.isEmpty()) {
        state.SkipWithError(added.toUtf8().constData());
        return;
    }
    const QByteArray job = kitchenJob("escpos");
    QTemporaryDir dir;
    QFile file(dir.filePath("ticket.escpos"));
    file.open(QIODevice::WriteOnly);
    file.write(job);
    file.close();

    double ours = 0;
    double lp = 0;
    for (auto _ : state) {
        printer.arm();
        printing::CupsPrinterSystem::submitJob("Cocina", "Ticket", job, true);
        const qint64 a = printer.waitJob();
        printer.arm();
        QProcess::execute("lp", {"-s", "-d", "Cocina", "-o", "raw", file.fileName()});
        const qint64 b = printer.waitJob();
        if (a < 0 || b < 0) {
            state.SkipWithError("the printer got nothing");
            return;
        }
        ours += double(a) / 1e6;
        lp += double(b) / 1e6;
        state.SetIterationTime(double(a) / 1e9);
    }
    const double n = double(state.iterations());
    state.counters["ours_ms"] = ours / n;
    state.counters["lp_ms"] = lp / n;
    state.counters["ratio"] = lp > 0 ? ours / lp : 0;
    state.counters["bytes"] = double(job.size());
}
BENCHMARK(BM_FirstByteAgainstLp)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
