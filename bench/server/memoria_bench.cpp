// Memory and time figures of big job answers, printed as text (not timed assertions):
// - resident memory after a 75 MB document was fetched over HTTPS and dispatched (the
//   allocator's free memory goes back to the system afterwards): target under 200 MB;
// - the time to strip the tags of a 4 MB HTML answer full of unclosed tags: target 0.5 s.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "../../tests/core/servidores_prueba.h"
#include "core/buscador_https.h"
#include "core/servidor.h"
#include "printing/tape_device.h"

namespace {

// VmRSS or VmHWM of this process, MB.
double memoria(const char* campo) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& linea : f.readAll().split('\n')) {
        if (linea.startsWith(campo)) {
            const QByteArray kb = linea.mid(qsizetype(std::strlen(campo))).trimmed().split(' ')[0];
            return kb.toDouble() / 1024.0;
        }
    }
    return -1;
}

/** A placeholder fetcher: the benchmark drives the real one itself. */
class ConexionQuieta : public core::Conexion {
  public:
    int estado() const override { return core::estado_socket::Cerrado; }
    void cerrar() override {}
    void conectar(const QString&, quint16) override {}
    void enviar(const QString&) override {}
    QString recibirTodo() override { return {}; }
};

int documentoGrande() {
    QTemporaryDir dir;
    pruebas::ServicioTrabajos servicio;
    if (!pruebas::crearCertificado(dir.path()) || !servicio.iniciar(dir.path())) {
        std::fprintf(stderr, "loopback HTTPS service could not start\n");
        return 1;
    }
    const qsizetype relleno = qsizetype(75) * 1024 * 1024;
    QByteArray cuerpo =
        R"(XXXXX{"config":[],"comanda":[{"area":"Cocina","nomMesa":"Mesa 9","nPedido":"1",)"
        R"("responsable":"Ana","fecha":"2024-05-01 12:00:00","productos":[{"nombre":"Sopa",)"
        R"("cantidad":1,"valor":9000}]}],"anulaciones":[],"factura":[],"idsLeidos":[1],)"
        R"("relleno":")";
    cuerpo += QByteArray(relleno, 'x') + "\"}";
    servicio.respuestas = {cuerpo};
    cuerpo.clear();

    printing::TapePrinterSystem impresoras;
    impresoras.addPrinter("Cocina");
    printing::Entorno entorno;
    entorno.impresoras = &impresoras;
    ConexionQuieta conexion;
    auto* buscador = new core::BuscadorHttps;
    buscador->agregarCertificados(dir.filePath("cert.pem"));
    buscador->setMaximoRespuesta(qint64(128) * 1024 * 1024);
    buscador->setTiempoMaximo(60000);
    core::ConfigEnlace c;
    c.hostTrabajos = servicio.host();
    core::Servidor servidor(&conexion, buscador, entorno, c);
    buscador->setParent(&servidor);
    servidor.registro().setSalida(nullptr);

    const double antes = memoria("VmRSS:");
    QElapsedTimer reloj;
    reloj.start();
    buscador->navegar(core::urlTrabajos(servicio.host(), "1"));
    if (!pruebas::esperar([&] { return !impresoras.outputs().empty(); }, 60000)) {
        std::fprintf(stderr, "the 75 MB document did not print\n");
        return 1;
    }
    const qint64 ms = reloj.elapsed();
    servicio.respuestas.clear();                  // the service's copy is not the server's memory
    pruebas::esperar([] { return false; }, 500);  // the memory is given back after the event
    std::printf("75 MB document: fetched and dispatched in %lld ms\n", static_cast<long long>(ms));
    std::printf("  resident before %.0f MB, peak %.0f MB, after %.0f MB (target < 200 MB)\n", antes,
                memoria("VmHWM:"), memoria("VmRSS:"));
    return 0;
}

void htmlGrande() {
    for (const char* pieza : {"<script>a", "<!--a", "<a b", "<p>texto &amp; m&aacute;s</p>"}) {
        QString html;
        while (html.size() < 4 * 1024 * 1024) html += QLatin1String(pieza);
        QElapsedTimer reloj;
        reloj.start();
        const QString t = core::textoVisibleHtml(html);
        std::printf("4 MB HTML of \"%s\": stripped in %lld ms (target < 500 ms), %lld chars\n",
                    pieza, static_cast<long long>(reloj.elapsed()),
                    static_cast<long long>(t.size()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    htmlGrande();
    return documentoGrande();
}
