#include <gtest/gtest.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "../core/servidores_prueba.h"
#include "aplicacion_prueba.h"
#include "core/diario.h"
#include "instancia.h"
#include "lista_tickets.h"
#include "opciones.h"

namespace {

const auto* const kAplicacion = pruebas::registrarAplicacion<QCoreApplication>("app_tests");

const QString kPrograma = QStringLiteral(SI_BINARY_DIR "/app/servidor-impresoras");

void escribir(const QString& ruta, const QByteArray& bytes) {
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

std::optional<QString> opciones(const QStringList& args, app::Opciones& o,
                                const QString& carpeta = {}) {
    QCommandLineParser p;
    app::declararOpciones(p);
    EXPECT_TRUE(p.parse(QStringList{"servidor-impresoras"} + args)) << p.errorText().toStdString();
    return app::leerOpciones(p, carpeta, o);
}

TEST(Opciones, PrinterOptions) {
    const auto a = app::leerImpresora("Cocina");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->nombre, "Cocina");
    EXPECT_EQ(a->ancho, 4535);
    EXPECT_FALSE(a->offline);
    const auto b = app::leerImpresora("Bar 2=3288:offline");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->nombre, "Bar 2");
    EXPECT_EQ(b->ancho, 3288);
    EXPECT_TRUE(b->offline);
    EXPECT_FALSE(app::leerImpresora("=3288"));
    EXPECT_FALSE(app::leerImpresora("Bar=ancho"));
}

TEST(Opciones, TheCommandLineWinsOverTheIniFile) {
    QTemporaryDir dir;
    escribir(dir.filePath("servidor.ini"),
             "[servidor]\nnotify_host=10.0.0.5\nnotify_port=4000\njob_host=jobs.test:8443\n"
             "ca_file=ca.pem\nprinters=virtual\nprinter=Cocina=3288, Bar:offline\n"
             "heartbeat_ms=500\npending_notice_ms=0\n[factura]\nnit_software=900.123.456-7\nweb_"
             "software=www.example.test\n");
    app::Opciones o;
    ASSERT_FALSE(opciones({"--app-dir", dir.path(), "--notify-port", "5000"}, o));
    EXPECT_EQ(o.notifyHost, "10.0.0.5");
    EXPECT_EQ(o.notifyPort, 5000);
    EXPECT_EQ(o.jobHost, "jobs.test:8443");
    EXPECT_EQ(o.caFile, dir.filePath("ca.pem"));
    EXPECT_EQ(o.printers, "virtual");
    ASSERT_EQ(o.printer.size(), 2);
    EXPECT_EQ(o.printer[0].ancho, 3288);
    EXPECT_TRUE(o.printer[1].offline);
    EXPECT_EQ(o.latidoMs, 500);
    EXPECT_EQ(o.vigilanciaMs, 1000);
    EXPECT_EQ(o.pendingNoticeMs, 0);  // 0 turns the late-job watch off
    EXPECT_EQ(o.printOutput, dir.filePath("tickets"));
    EXPECT_EQ(o.nitSoftware, "900.123.456-7");
    EXPECT_EQ(o.webSoftware, "www.example.test");

    app::Opciones mal;
    EXPECT_TRUE(opciones({"--app-dir", dir.path(), "--notify-host", "servidor.local"}, mal));
    EXPECT_TRUE(opciones({"--app-dir", dir.path(), "--printers", "lp"}, mal));
    EXPECT_TRUE(opciones({"--app-dir", dir.path(), "--watchdog-ms", "0"}, mal));
    EXPECT_TRUE(opciones({"--app-dir", dir.path(), "--pending-notice-ms", "-1"}, mal));
    app::Opciones porDefecto;
    ASSERT_FALSE(opciones({"--pending-notice-ms", "1500"}, porDefecto, dir.filePath("otra")));
    EXPECT_EQ(porDefecto.pendingNoticeMs, 1500);
}

TEST(Opciones, RetriesAndReprint) {
    QTemporaryDir dir;
    escribir(dir.filePath("servidor.ini"), "[servidor]\nretry_ms=5000\nretry_limit_ms=60000\n");
    app::Opciones o;
    ASSERT_FALSE(opciones({"--app-dir", dir.path(), "--retry-limit-ms", "9000"}, o));
    EXPECT_EQ(o.retryMs, 5000);
    EXPECT_EQ(o.retryLimitMs, 9000);
    EXPECT_FALSE(o.tickets);
    EXPECT_FALSE(o.reprint);

    app::Opciones r;
    ASSERT_FALSE(opciones({"--app-dir", dir.path(), "--reprint", "17", "--to", " Bar "}, r));
    EXPECT_EQ(r.reprint, 17);
    EXPECT_EQ(r.reprintTo, "Bar");
    app::Opciones mal;
    EXPECT_TRUE(opciones({"--app-dir", dir.path(), "--reprint", "x"}, mal));
    EXPECT_TRUE(opciones({"--app-dir", dir.path(), "--reprint", "0"}, mal));
    EXPECT_TRUE(opciones({"--app-dir", dir.path(), "--to", "Bar"}, mal));
}

QByteArray listar(const QString& carpeta, int& codigo) {
    std::FILE* salida = std::tmpfile();
    std::FILE* errores = std::tmpfile();
    codigo = app::listarTickets(carpeta, salida, errores);
    QFile f;
    f.open(salida, QIODevice::ReadOnly);
    f.seek(0);
    const QByteArray texto = f.readAll();
    f.close();
    std::fclose(salida);
    std::fclose(errores);
    return texto;
}

TEST(ListaTickets, OneEscapedLinePerTicketOldestFirst) {
    QTemporaryDir dir;
    int codigo = -1;
    EXPECT_EQ(listar(dir.path(), codigo), "");
    EXPECT_EQ(codigo, 0) << "no journal: nothing listed";

    const QDateTime recibido(QDate(2026, 5, 2), QTime(9, 15, 0));
    {
        core::Diario d(dir.path());
        ASSERT_TRUE(d.abrir());
        const auto ids =
            d.registrarDocumento(recibido, "{}",
                                 {{core::TipoTicket::Comanda, "Cocina", "COCINA Mesa\t4", "c"},
                                  {core::TipoTicket::Cajon, "Caja", "Cajon", "d"}})
                .value();
        d.marcar(ids[0], core::EstadoTicket::Impreso, "001-Cocina.txt");
        d.registrarIlegible(recibido.addSecs(1), "<html>", "Error: se esperaba {");
    }
    EXPECT_EQ(listar(dir.path(), codigo),
              "1\t2026-05-02T09:15:00\tcomanda\tCocina\timpreso\tCOCINA Mesa\\t4\n"
              "2\t2026-05-02T09:15:00\tcajon\tCaja\tpendiente\tCajon\n"
              "3\t2026-05-02T09:15:01\tdocumento\t\tilegible\tError: se esperaba {\n");
    EXPECT_EQ(codigo, 0);

    QFile basura(core::Diario::rutaArchivo(dir.path()));
    ASSERT_TRUE(basura.open(QIODevice::WriteOnly));
    basura.write(QByteArray(4096, 'x'));
    basura.close();
    listar(dir.path(), codigo);
    EXPECT_EQ(codigo, 2) << "an unreadable journal is an I/O error, and is left as it is";
    EXPECT_EQ(QFileInfo(core::Diario::rutaArchivo(dir.path())).size(), 4096);
}

TEST(Opciones, AnswerLimitAndLinkTimeout) {
    QTemporaryDir dir;
    app::Opciones o;
    ASSERT_FALSE(opciones({"--app-dir", dir.path()}, o));
    EXPECT_EQ(o.maxAnswerMb, 64);
    EXPECT_EQ(o.linkTimeoutMs, 60000);
    escribir(dir.filePath("servidor.ini"),
             "[servidor]\nmax_answer_mb=1024\nlink_timeout_ms=5000\n");
    app::Opciones ini;
    ASSERT_FALSE(opciones({"--app-dir", dir.path()}, ini));
    EXPECT_EQ(ini.maxAnswerMb, 1024);
    EXPECT_EQ(ini.linkTimeoutMs, 5000);
    app::Opciones linea;
    ASSERT_FALSE(opciones(
        {"--app-dir", dir.path(), "--max-answer-mb", "200", "--link-timeout-ms", "3000"}, linea));
    EXPECT_EQ(linea.maxAnswerMb, 200);
    EXPECT_EQ(linea.linkTimeoutMs, 3000);
    app::Opciones mal;
    EXPECT_TRUE(opciones({"--app-dir", dir.path(), "--max-answer-mb", "0"}, mal));
    EXPECT_TRUE(opciones({"--app-dir", dir.path(), "--max-answer-mb", "9999"}, mal));
    EXPECT_TRUE(opciones({"--app-dir", dir.path(), "--link-timeout-ms", "x"}, mal));
}

struct Resultado {
    int codigo = -1;
    QByteArray salida;
};

Resultado correr(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(kPrograma, args);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll()};
}

TEST(Programa, SetCodeValidatesAndWritesTheAccessFile) {
    QTemporaryDir dir;
    auto r = correr({"--app-dir", dir.path(), "--set-code", "ABCDEFGHIJKLMNO"});
    EXPECT_EQ(r.codigo, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("Acceso")));
    r = correr({"--app-dir", dir.path(), "--set-code", "123456789012345"});
    EXPECT_EQ(r.codigo, 0) << r.salida.constData();
    QFile f(dir.filePath("Acceso"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "123456789012345\r\n");
}

TEST(Programa, SetCodeThatCannotBeWrittenSaysWhyAndFails) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("Acceso"));  // a folder in its place: no write succeeds
    const auto r = correr({"--app-dir", dir.path(), "--set-code", "123456789012345"});
    EXPECT_EQ(r.codigo, 2);
    EXPECT_TRUE(r.salida.contains("No se pudo guardar el codigo: ")) << r.salida.constData();
}

// The user unit: a code change (status 75) is restarted at once and counts as a clean end,
// "Apagar Servidor" (status 0) is not restarted, and the unit starts without a desktop.
TEST(Paquete, TheServiceUnitRestartsAfterACodeChangeAndStartsAtBoot) {
    const QString unidad = QStringLiteral(SI_SOURCE_DIR "/packaging/servidor-impresoras.service");
    QFile f(unidad);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList claves;
    for (const QByteArray& linea : f.readAll().split('\n'))
        if (!linea.startsWith('#') && linea.contains('='))
            claves << QString::fromUtf8(linea.trimmed());
    EXPECT_TRUE(claves.contains("Restart=on-failure")) << claves.join(' ').toStdString();
    EXPECT_TRUE(claves.contains("SuccessExitStatus=75"));
    EXPECT_TRUE(claves.contains("RestartForceExitStatus=75"));
    EXPECT_TRUE(claves.contains("WantedBy=default.target"));

    const QString analizador = QStandardPaths::findExecutable("systemd-analyze");
    if (analizador.isEmpty()) GTEST_SKIP() << "systemd-analyze not installed: unit not verified";
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(analizador, {"verify", "--man=no", unidad});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString salida = QString::fromUtf8(p.readAll());
    if (salida.contains("Failed to initialize manager"))
        GTEST_SKIP() << "systemd-analyze cannot run here: " << salida.toStdString();
    // The program itself need not be installed here; anything else is a fault of the unit.
    QStringList problemas;
    for (const QString& linea : salida.split(u'\n', Qt::SkipEmptyParts))
        if (!linea.contains("Command servidor-impresoras is not executable")) problemas << linea;
    EXPECT_TRUE(problemas.isEmpty()) << problemas.join('\n').toStdString();
}

TEST(Programa, WithoutAScreenAMissingCodeEndsWithStatusTwo) {
    QTemporaryDir dir;
    escribir(dir.filePath("Acceso"), "12345\r\n");
    const auto r = correr({"--app-dir", dir.path(), "--printers", "virtual"});
    EXPECT_EQ(r.codigo, 2);
    EXPECT_TRUE(r.salida.contains("Falta el codigo de sucursal")) << r.salida.constData();
    EXPECT_EQ(correr({"--app-dir", dir.path(), "--bogus"}).codigo, 2);
}

// The real program, headless, against loopback servers: identify, heartbeat, a split
// notification, the fetch over HTTPS, the ticket file and the status "0"; a second
// instance on the same folder is refused.
TEST(Programa, PrintsAJobEndToEnd) {
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(pruebas::crearCertificado(dir.path(), &error)) << error.toStdString();
    escribir(dir.filePath("Acceso"), "123456789012345\r\n");
    pruebas::ServidorNotificaciones notificaciones;
    pruebas::ServicioTrabajos servicio;
    ASSERT_TRUE(notificaciones.escuchar());
    ASSERT_TRUE(servicio.iniciar(dir.path()));
    servicio.respuestas = {
        R"(XXXXX{"config":[],"comanda":[{"area":"Bar","nomMesa":"Mesa 12","nPedido":"3",)"
        R"("responsable":"Luis","fecha":"2024-05-01 12:00:00","productos":[{"nombre":"Limonada",)"
        R"("cantidad":2,"valor":4000}]}],"anulaciones":[],"factura":[],"idsLeidos":[5]})"};

    QProcess servidor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    servidor.setProcessEnvironment(env);
    const QString salida = dir.filePath("tickets");
    servidor.start(kPrograma, {"--app-dir",      dir.path(),
                               "--notify-host",  "127.0.0.1",
                               "--notify-port",  QString::number(notificaciones.puerto()),
                               "--job-host",     servicio.host(),
                               "--ca-file",      dir.filePath("cert.pem"),
                               "--printers",     "virtual",
                               "--printer",      "Cocina",
                               "--printer",      "Bar=3288",
                               "--default",      "Cocina",
                               "--print-output", salida,
                               "--watchdog-ms",  "100",
                               "--heartbeat-ms", "300",
                               "--locale",       "es_CO"});
    ASSERT_TRUE(servidor.waitForStarted());
    const QByteArray identificacion = R"({"idSyA":"123456789012345","type":"id"})";
    const QByteArray estado0 = R"({"idSyA":"123456789012345","status":"0"})";
    ASSERT_TRUE(pruebas::esperar([&] {
        return notificaciones.recibido.startsWith(identificacion);
    })) << servidor.readAllStandardError().constData();
    ASSERT_TRUE(pruebas::esperar([&] { return notificaciones.recibido.contains(estado0); }));

    const auto otra = correr({"--app-dir", dir.path()});
    EXPECT_EQ(otra.codigo, 1);
    EXPECT_TRUE(otra.salida.contains("La Aplicación ya esta en ejecución"));

    notificaciones.recibido.clear();
    notificaciones.enviar("nuevo_endMe");
    QTest::qWait(50);
    notificaciones.enviar("ssage_");
    const QString ticket = QDir(salida).filePath("001-Bar.txt");
    ASSERT_TRUE(pruebas::esperar([&] { return QFile::exists(ticket); }))
        << servidor.readAllStandardError().constData();
    ASSERT_TRUE(pruebas::esperar([&] { return notificaciones.recibido.contains(estado0); }));
    QFile f(ticket);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().toUpper().contains("LIMONADA"));
    EXPECT_EQ(servicio.peticiones.size(), 1);
    EXPECT_EQ(QDir(salida).entryList(QDir::Files).size(), 1);

    servidor.terminate();
    servidor.waitForFinished(5000);
    const QByteArray err = servidor.readAllStandardError();
    EXPECT_TRUE(
        err.contains("balloon 1 Sistema de impresora: Conectando al servidor de impresion \n"));
    EXPECT_TRUE(err.contains("-------------------------------\nConectando con " +
                             servicio.host().toUtf8()));
    EXPECT_TRUE(err.contains("Respuesta: \n--\n"));
}

TEST(Programa, MissingHostsAreReportedAndNothingConnects) {
    QTemporaryDir dir;
    escribir(dir.filePath("Acceso"), "123456789012345\r\n");
    QProcess servidor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    servidor.setProcessEnvironment(env);
    servidor.start(kPrograma,
                   {"--app-dir", dir.path(), "--printers", "virtual", "--watchdog-ms", "50"});
    ASSERT_TRUE(servidor.waitForStarted());
    QByteArray err;
    ASSERT_TRUE(pruebas::esperar([&] {
        err += servidor.readAllStandardError();
        return err.contains("balloon 2 Sistema de impresora: Falta configurar --job-host");
    })) << err.constData();
    EXPECT_TRUE(err.contains("Falta configurar --notify-host\n"));
    QTest::qWait(300);
    err += servidor.readAllStandardError();
    EXPECT_FALSE(err.contains("Error:"));
    servidor.terminate();
    servidor.waitForFinished(5000);
}

// Sets an environment variable for the life of a test, then puts the old value back.
class Variable {
  public:
    Variable(const char* nombre, const QByteArray* valor) : nombre_(nombre) {
        habia_ = qEnvironmentVariableIsSet(nombre);
        antes_ = qgetenv(nombre);
        if (valor)
            qputenv(nombre, *valor);
        else
            qunsetenv(nombre);
    }
    ~Variable() {
        if (habia_)
            qputenv(nombre_, antes_);
        else
            qunsetenv(nombre_);
    }
    Variable(const Variable&) = delete;
    Variable& operator=(const Variable&) = delete;

  private:
    const char* nombre_;
    bool habia_ = false;
    QByteArray antes_;
};

TEST(Instancia, TheLockLivesInTheRuntimeFolderElseInTheApplicationFolder) {
    QTemporaryDir runtime;
    QTemporaryDir carpeta;
    {
        const QByteArray valor = runtime.path().toUtf8();
        Variable v("XDG_RUNTIME_DIR", &valor);
        EXPECT_EQ(app::carpetaEjecucion(carpeta.path()), runtime.path());
        EXPECT_EQ(QFileInfo(app::rutaBloqueo(carpeta.path())).absolutePath(), runtime.path());
    }
    {
        Variable v("XDG_RUNTIME_DIR", nullptr);
        EXPECT_EQ(app::carpetaEjecucion(carpeta.path()), carpeta.path());
        EXPECT_EQ(QFileInfo(app::rutaBloqueo(carpeta.path())).absolutePath(), carpeta.path());
    }
}

TEST(Instancia, AnUnreadableLockIsTakenAtOnceAndALiveOneNever) {
    QTemporaryDir carpeta;
    const QString ruta = app::rutaBloqueo(carpeta.path());
    escribir(ruta, "basura sin sentido");  // fresh, and no owner to be read
    QLockFile bloqueo(ruta);
    ASSERT_TRUE(app::tomarBloqueo(bloqueo));
    QLockFile otro(ruta);
    EXPECT_FALSE(app::tomarBloqueo(otro));  // held by this live process
    bloqueo.unlock();
    EXPECT_TRUE(app::tomarBloqueo(otro));
}

// A garbage lock left in the runtime folder does not keep the server from starting; the
// running server's lock still refuses a second one.
TEST(Programa, AGarbageLockDoesNotBlockTheStart) {
    QTemporaryDir dir;
    QTemporaryDir runtime;
    const QByteArray valor = runtime.path().toUtf8();
    Variable v("XDG_RUNTIME_DIR", &valor);
    escribir(dir.filePath("Acceso"), "123456789012345\r\n");
    escribir(app::rutaBloqueo(dir.path()), "\x01\x02 garbage");
    QProcess servidor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    servidor.setProcessEnvironment(env);
    servidor.setProcessChannelMode(QProcess::MergedChannels);
    servidor.start(kPrograma, {"--app-dir", dir.path(), "--printers", "virtual"});
    ASSERT_TRUE(servidor.waitForStarted());
    QByteArray salida;
    EXPECT_TRUE(pruebas::esperar([&] {
        salida += servidor.readAll();
        return salida.contains("Falta configurar --job-host") ||
               servidor.state() == QProcess::NotRunning;
    })) << salida.constData();
    salida += servidor.readAll();
    EXPECT_FALSE(salida.contains("ya esta en ejecuc")) << salida.constData();
    EXPECT_EQ(servidor.state(), QProcess::Running);
    const auto otra = correr({"--app-dir", dir.path(), "--printers", "virtual"});
    EXPECT_EQ(otra.codigo, 1);
    EXPECT_TRUE(otra.salida.contains("La Aplicación ya esta en ejecución"));
    servidor.terminate();
    servidor.waitForFinished(5000);
}

// --set-code never writes through a link planted as the access file, and a start never
// reads the branch code from one.
TEST(Programa, TheAccessFileIsNeverFollowedThroughALink) {
    QTemporaryDir dir;
    QTemporaryDir fuera;
    const QString destino = fuera.filePath("ajeno");
    escribir(destino, "999999999999999\r\n");
    ASSERT_TRUE(QFile::link(destino, dir.filePath("Acceso")));
    const auto inicio = correr({"--app-dir", dir.path(), "--printers", "virtual"});
    EXPECT_EQ(inicio.codigo, 2);
    EXPECT_TRUE(inicio.salida.contains("El archivo Acceso no es un archivo normal"))
        << inicio.salida.constData();
    EXPECT_TRUE(inicio.salida.contains("Falta el codigo de sucursal"));

    const auto r = correr({"--app-dir", dir.path(), "--set-code", "123456789012345"});
    EXPECT_EQ(r.codigo, 0) << r.salida.constData();
    QFile f(destino);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "999999999999999\r\n");
    EXPECT_FALSE(QFileInfo(dir.filePath("Acceso")).isSymLink());
}

}  // namespace
