// servidor-impresoras: the branch's print server.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "core/acceso.h"
#include "core/buscador_https.h"
#include "core/conexion_tcp.h"
#include "core/reimpresion.h"
#include "core/servidor.h"
#include "instancia.h"
#include "lista_tickets.h"
#include "opciones.h"
#include "printing/devices/cups_printer_system.h"
#include "printing/devices/picture_size.h"
#include "printing/devices/virtual_printer_system.h"
#include "printing/primitives.h"
#include "shell/dialogos_reales.h"
#include "shell/iconos.h"
#include "shell/ventana_principal.h"

namespace {

void error(const QString& texto) {
    const QByteArray b = texto.toUtf8() + '\n';
    std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
    std::fflush(stderr);
}

std::unique_ptr<printing::PrinterSystem> crearImpresoras(const app::Opciones& o, QString& fallo) {
    if (o.printers == QLatin1String("cups")) {
        auto cups = std::make_unique<printing::CupsPrinterSystem>(printing::FontTable{}, o.ajustes);
        // [servidor] default= names the default printer instead of CUPS's default destination.
        cups->setDefaultPrinterName(o.defaultPrinter);
        cups->setPendingNoticeMs(o.pendingNoticeMs);
        return cups;
    }
    const auto formatos = printing::VirtualPrinterSystem::parseFormats(o.printFormat);
    if (!formatos) {
        fallo = QStringLiteral("bad --print-format: ") + o.printFormat;
        return nullptr;
    }
    if (!QDir().mkpath(o.printOutput)) {
        fallo = QStringLiteral("cannot create ") + o.printOutput;
        return nullptr;
    }
    auto sistema = std::make_unique<printing::VirtualPrinterSystem>(o.printOutput, *formatos);
    sistema->setAjustes(o.ajustes);
    for (const auto& i : o.printer) sistema->addPrinter(i.nombre, i.ancho, i.offline);
    // A network printer of [impresoras] is one more virtual printer: nothing is ever sent.
    for (const QString& nombre : o.ajustes.nombres()) {
        const printing::AjustesImpresora a = o.ajustes.de(nombre);
        const bool listada = std::any_of(o.printer.begin(), o.printer.end(), [&](const auto& i) {
            return printing::recortar(printing::mayusculas(i.nombre)) ==
                   printing::recortar(printing::mayusculas(nombre));
        });
        if (!a.direccion.isEmpty() && !listada)
            sistema->addPrinter(nombre, a.anchoMm == 58 ? 3288 : 4535);
    }
    if (!o.defaultPrinter.isEmpty())
        sistema->setDefaultPrinterName(o.defaultPrinter);
    else if (!o.printer.isEmpty())
        sistema->setDefaultPrinterName(o.printer.first().nombre);
    return sistema;
}

}  // namespace

int main(int argc, char* argv[]) {
    // With no display at all, run headless instead of failing to start.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication aplicacion(argc, argv);
    QApplication::setApplicationName(QStringLiteral("servidor-impresoras"));
    QApplication::setApplicationDisplayName(QStringLiteral("Servidor de Impresoras"));
    QApplication::setApplicationVersion(QStringLiteral(SI_VERSION));
    QApplication::setWindowIcon(shell::iconoAplicacion());
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    app::declararOpciones(parser);
    if (!parser.parse(QCoreApplication::arguments())) {
        error(parser.errorText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();

    app::Opciones o;
    const QString predeterminada =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (const auto fallo = app::leerOpciones(parser, predeterminada, o)) {
        error(*fallo);
        return 2;
    }
    if (!QDir().mkpath(o.carpeta)) {
        error(QStringLiteral("cannot create the application folder ") + o.carpeta);
        return 2;
    }

    // Nobody can answer a dialog on these platforms.
    const QString plataforma = QGuiApplication::platformName();
    const bool sinPantalla =
        plataforma == QLatin1String("offscreen") || plataforma == QLatin1String("minimal");

    if (o.setCode) {
        if (!core::codigoValidoCambio(*o.setCode)) {
            error(QStringLiteral(
                "Codigo no valido: al menos 15 caracteres, numerico desde el segundo"));
            return 1;
        }
        QString motivo;
        if (!core::escribirAcceso(o.carpeta, *o.setCode, &motivo)) {
            error(core::kMensajeCodigoNoGuardado + motivo);
            return 2;
        }
        return 0;
    }

    // Both work beside a running server: they never take its lock.
    if (o.tickets) return app::listarTickets(o.carpeta, stdout, stderr);
    if (o.reprint) {
        QString respuesta;
        const auto r =
            core::pedirReimpresion(core::rutaSocket(app::carpetaEjecucion(o.carpeta), o.carpeta),
                                   *o.reprint, o.reprintTo, respuesta);
        if (r == core::RespuestaReimpresion::SinServidor)
            error(QStringLiteral("No hay un servidor en ejecucion para ") + o.carpeta);
        else if (r == core::RespuestaReimpresion::Rechazada)
            error(respuesta);
        return static_cast<int>(r);
    }

    shell::DialogosReales dialogos;
    QLockFile bloqueo(app::rutaBloqueo(o.carpeta));
    if (!app::tomarBloqueo(bloqueo)) {
        const QString texto = QStringLiteral("La Aplicación ya esta en ejecución");
        error(texto);
        if (!sinPantalla) dialogos.msgBox(texto, core::IconoMensaje::Exclamacion);
        return 1;
    }

    // Headless, nobody sees the window's log: the refusal of a linked access file goes here.
    if (sinPantalla && core::noEsArchivoNormal(core::rutaAcceso(o.carpeta)))
        error(core::kMensajeAccesoNoNormal);
    if (sinPantalla &&
        !core::codigoValidoInicio(core::leerLineasArchivo(core::rutaAcceso(o.carpeta)).value(0))) {
        error(QStringLiteral("Falta el codigo de sucursal"));
        return 2;
    }

    QString fallo;
    auto impresoras = crearImpresoras(o, fallo);
    if (!impresoras) {
        error(fallo);
        return 2;
    }

    printing::Entorno entorno;
    entorno.impresoras = impresoras.get();
    if (!o.locale.isEmpty()) {
        entorno.locale = QLocale(o.locale);
        QLocale::setDefault(entorno.locale);
    }
    entorno.carpetaAplicacion = o.carpeta;
    entorno.procesarEventosPendientes = [] { QCoreApplication::processEvents(); };
    entorno.nitSoftware = o.nitSoftware;
    entorno.webSoftware = o.webSoftware;
    entorno.tamanoImagen = printing::pictureSize;
    if (auto* virtuales = dynamic_cast<printing::VirtualPrinterSystem*>(impresoras.get()))
        virtuales->attach(entorno);

    auto* conexion = new core::ConexionTcp(&aplicacion);
    conexion->setTiempoEnlace(o.linkTimeoutMs);
    auto* buscador = new core::BuscadorHttps(&aplicacion);
    buscador->setTiempoMaximo(o.fetchTimeoutMs);
    buscador->setMaximoRespuesta(qint64(o.maxAnswerMb) * 1024 * 1024);
    core::ConfigEnlace enlace;
    enlace.hostNotificaciones = o.notifyHost;
    enlace.puertoNotificaciones = o.notifyPort;
    enlace.hostTrabajos = o.jobHost;
    enlace.watchdogMs = o.watchdogMs;
    enlace.heartbeatMs = o.heartbeatMs;
    enlace.reintentoMs = o.retryMs;
    enlace.limiteReintentoMs = o.retryLimitMs;
    core::Servidor servidor(conexion, buscador, entorno, enlace);
    for (const QString& linea : o.avisosAjustes) servidor.agregarLog(linea);
    if (auto* cups = dynamic_cast<printing::CupsPrinterSystem*>(impresoras.get()))
        cups->setAvisos(entorno.avisos);  // late jobs and unknown characters are told there
    if (!o.caFile.isEmpty() && !buscador->agregarCertificados(o.caFile))
        servidor.agregarLog(QStringLiteral("No se pudieron leer certificados de ") + o.caFile);

    shell::VentanaPrincipal ventana(servidor, dialogos, o.carpeta,
                                    [](int codigo) { QCoreApplication::exit(codigo); });
    dialogos.setVentana(&ventana);
    ventana.iniciar();
    // Before the link connects: what a crash left unprinted prints first.
    // The switch exists for the benchmark that weighs the journal; a branch never sets it.
    if (qEnvironmentVariableIsEmpty("SERVIDOR_IMPRESORAS_SIN_DIARIO"))
        servidor.abrirDiario(o.carpeta);
    ventana.actualizarTickets();
    core::ServicioReimpresion reimpresion([&servidor](qint64 id, const QString& impresora) {
        return servidor.reimprimir(id, impresora);
    });
    if (!reimpresion.escuchar(core::rutaSocket(app::carpetaEjecucion(o.carpeta), o.carpeta)))
        servidor.agregarLog(QStringLiteral("No se pudo abrir el canal de reimpresion: ") +
                            reimpresion.error());
    const int estado = QApplication::exec();
    servidor.detenerTemporizadores();
    return estado;
}
