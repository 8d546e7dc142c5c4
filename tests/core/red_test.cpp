#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "aplicacion_prueba.h"
#include "core/buscador_https.h"
#include "core/conexion_tcp.h"
#include "core/servidor.h"
#include "fakes.h"
#include "printing/tape_device.h"
#include "servidores_prueba.h"

namespace {

const auto* const kAplicacion = pruebas::registrarAplicacion<QCoreApplication>("core_tests");

const QByteArray kDocumento =
    R"(XXXXX{"config":[],"comanda":[{"area":"Cocina","nomMesa":"Mesa 9","nPedido":"1",)"
    R"("responsable":"Ana","fecha":"2024-05-01 12:00:00","productos":[{"nombre":"Sopa",)"
    R"("cantidad":1,"valor":9000}]}],"anulaciones":[],"factura":[],"idsLeidos":[1]})";

class Red : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(certificados.isValid());
        QString error;
        ASSERT_TRUE(pruebas::crearCertificado(certificados.path(), &error)) << error.toStdString();
        impresoras.addPrinter("Cocina");
        impresoras.setDefaultPrinterName("Cocina");
        entorno.impresoras = &impresoras;
    }

    void crearServidor(const QString& hostNotificaciones, quint16 puerto,
                       const QString& hostTrabajos, bool confiar = true) {
        auto* buscador = new core::BuscadorHttps;
        buscador->setTiempoMaximo(2000);
        if (confiar) {
            ASSERT_TRUE(buscador->agregarCertificados(certificados.filePath("cert.pem")));
        }
        core::ConfigEnlace c;
        c.hostNotificaciones = hostNotificaciones;
        c.puertoNotificaciones = puerto;
        c.hostTrabajos = hostTrabajos;
        c.vigilanciaMs = 50;
        c.latidoMs = 150;
        conexion = new core::ConexionTcp;
        servidor = std::make_unique<core::Servidor>(conexion, buscador, entorno, c);
        conexion->setParent(servidor.get());
        buscador->setParent(servidor.get());
        servidor->registro().setSalida(nullptr);
        QObject::connect(&servidor->registro(), &core::Registro::lineaAgregada,
                         [this](const QString& l) { log << l; });
        servidor->setBandeja(&bandeja);
        servidor->codigoSucursalesAgencias = "123456789012345";
        servidor->conexionHabilitada = true;
        servidor->iniciarTemporizadores();
    }

    int lineas(const QString& inicio) const {
        int n = 0;
        for (const QString& l : log) n += l.startsWith(inicio);
        return n;
    }

    QTemporaryDir certificados;
    printing::TapePrinterSystem impresoras;
    printing::Entorno entorno;
    pruebas::BandejaFalsa bandeja;
    core::ConexionTcp* conexion = nullptr;
    std::unique_ptr<core::Servidor> servidor;
    QStringList log;
};

TEST_F(Red, IdentifiesBeatsFetchesPrintsAndReconnects) {
    pruebas::ServidorNotificaciones notificaciones;
    pruebas::ServicioTrabajos servicio;
    ASSERT_TRUE(notificaciones.escuchar());
    ASSERT_TRUE(servicio.iniciar(certificados.path()));
    servicio.respuestas = {kDocumento};
    crearServidor("127.0.0.1", notificaciones.puerto(), servicio.host());

    const QByteArray identificacion = R"({"idSyA":"123456789012345","type":"id"})";
    const QByteArray estado0 = R"({"idSyA":"123456789012345","status":"0"})";
    ASSERT_TRUE(
        pruebas::esperar([&] { return notificaciones.recibido.startsWith(identificacion); }));
    ASSERT_TRUE(pruebas::esperar([&] { return notificaciones.recibido.count(estado0) >= 2; }));

    notificaciones.recibido.clear();
    notificaciones.enviar("hay trabajo_endMes");
    notificaciones.enviar("sage_");
    ASSERT_TRUE(pruebas::esperar([&] { return !impresoras.outputs().empty(); }));
    EXPECT_TRUE(impresoras.tapesOf("Cocina").value(0).contains("Mesa 9", Qt::CaseInsensitive));
    ASSERT_TRUE(pruebas::esperar([&] { return notificaciones.recibido.contains(estado0); }));
    ASSERT_EQ(servicio.peticiones.size(), 1);
    EXPECT_EQ(servicio.peticiones[0],
              "GET /?r=servicio/getImpresiones&idSyA=123456789012345 HTTP/1.1");
    EXPECT_EQ(lineas("-------------------------------"), 2);
    EXPECT_TRUE(log.contains("Listo"));
    EXPECT_TRUE(log.contains("Conectando con " + servicio.host()));
    EXPECT_EQ(servidor->estadoTrabajo, 0);

    // The notification server drops the link: the close event, then a new identified link.
    notificaciones.recibido.clear();
    notificaciones.cerrarCliente();
    ASSERT_TRUE(pruebas::esperar([&] { return notificaciones.conexiones == 2; }));
    ASSERT_TRUE(
        pruebas::esperar([&] { return notificaciones.recibido.startsWith(identificacion); }));
    EXPECT_TRUE(bandeja.globos.contains(
        "1|Sistema de impresora|Servidor de impresoras desconectado|30000"));
    EXPECT_EQ(lineas("Error:"), 0);
}

TEST_F(Red, EveryFailedAttemptLogsOneErrorLine) {
    quint16 puerto = 0;
    {
        QTcpServer libre;
        ASSERT_TRUE(libre.listen(QHostAddress::LocalHost, 0));
        puerto = libre.serverPort();
    }
    crearServidor("127.0.0.1", puerto, "127.0.0.1:1");
    ASSERT_TRUE(pruebas::esperar([&] { return lineas("Error: ") >= 3; }));
    for (const QString& l : log) EXPECT_EQ(l, "Error: 10061-Connection refused");
    EXPECT_EQ(bandeja.iconos.last().tip, "DesConectando");
}

TEST_F(Red, AnUntrustedCertificateRefusesTheFetch) {
    pruebas::ServicioTrabajos servicio;
    ASSERT_TRUE(servicio.iniciar(certificados.path()));
    servicio.respuestas = {kDocumento};
    crearServidor("127.0.0.1", 1, servicio.host(), /*confiar=*/false);
    servidor->detenerTemporizadores();
    auto* buscador = servidor->findChild<core::BuscadorHttps*>();
    ASSERT_NE(buscador, nullptr);
    buscador->navegar(core::urlTrabajos(servicio.host(), "123456789012345"));
    ASSERT_TRUE(pruebas::esperar([&] { return lineas("Error al consultar trabajos: ") == 1; }));
    EXPECT_TRUE(impresoras.outputs().empty());
    EXPECT_TRUE(servicio.peticiones.isEmpty());
}

TEST_F(Red, FailuresOfTheServiceAreReportedOnce) {
    pruebas::ServicioTrabajos servicio;
    ASSERT_TRUE(servicio.iniciar(certificados.path()));
    QTcpServer mudo;  // accepts and never answers
    ASSERT_TRUE(mudo.listen(QHostAddress::LocalHost, 0));
    crearServidor("127.0.0.1", 1, servicio.host());
    servidor->detenerTemporizadores();
    auto* buscador = servidor->findChild<core::BuscadorHttps*>();
    buscador->setTiempoMaximo(300);

    servicio.estadoHttp = 500;
    buscador->navegar(core::urlTrabajos(servicio.host(), "1"));
    ASSERT_TRUE(pruebas::esperar([&] { return lineas("Error al consultar trabajos: ") == 1; }));
    EXPECT_EQ(log.filter("Error al consultar").first(),
              "Error al consultar trabajos: HTTP 500 Error");

    buscador->navegar(
        core::urlTrabajos(QStringLiteral("127.0.0.1:%1").arg(mudo.serverPort()), "1"));
    ASSERT_TRUE(pruebas::esperar([&] { return lineas("Error al consultar trabajos: ") == 2; }));
    EXPECT_EQ(log.filter("Error al consultar").last(),
              "Error al consultar trabajos: tiempo de espera agotado (300 ms)");

    // A fetch asked for while one runs waits for it: the running one ends (here by its
    // time-out), then the new one runs once, however many times it was asked for.
    log.clear();
    servicio.estadoHttp = 200;
    servicio.respuestas = {kDocumento, kDocumento};
    const auto peticionesAntes = servicio.peticiones.size();
    buscador->navegar(
        core::urlTrabajos(QStringLiteral("127.0.0.1:%1").arg(mudo.serverPort()), "1"));
    buscador->navegar(core::urlTrabajos(servicio.host(), "1"));
    buscador->navegar(core::urlTrabajos(servicio.host(), "1"));
    ASSERT_TRUE(pruebas::esperar([&] { return !impresoras.outputs().empty(); }));
    QTest::qWait(400);
    EXPECT_EQ(lineas("Error al consultar"), 1);
    EXPECT_EQ(impresoras.outputs().size(), 1u);
    EXPECT_EQ(servicio.peticiones.size(), peticionesAntes + 1);
}

TEST(Html, BodyTextIsTheVisibleTextWithEntitiesDecoded) {
    EXPECT_EQ(core::textoVisibleHtml(
                  "<html><head><title>t</title></head><body>\n<pre>XXXXX{&quot;a&quot;: "
                  "&lt;1&gt; &amp; &#241;&#xF1;}</pre>  <!-- c --></body></html>"),
              QString::fromUtf8("\nXXXXX{\"a\": <1> & ññ}  "));
    EXPECT_EQ(core::textoVisibleHtml("a &unknown; b"), "a &unknown; b");
    EXPECT_EQ(core::decodificarCuerpo("\xf1", "text/plain; charset=ISO-8859-1"),
              QString::fromUtf8("ñ"));
    EXPECT_EQ(core::decodificarCuerpo("\xc3\xb1", "text/plain"), QString::fromUtf8("ñ"));
}

// One MB is 1,048,576 bytes: an answer of exactly the limit prints, one byte more is refused
// while it is read, with a log line and an error balloon, and nothing prints.
TEST_F(Red, AnAnswerOverTheLimitIsRefusedAndOneUpToItPrints) {
    pruebas::ServicioTrabajos servicio;
    ASSERT_TRUE(servicio.iniciar(certificados.path()));
    const qsizetype mb = 1024 * 1024;
    QByteArray exacto = kDocumento.chopped(1);
    exacto += QByteArray(mb - exacto.size() - 1, ' ') + '}';
    ASSERT_EQ(exacto.size(), mb);
    servicio.respuestas = {exacto, exacto + ' '};
    crearServidor("127.0.0.1", 1, servicio.host());
    servidor->detenerTemporizadores();
    auto* buscador = servidor->findChild<core::BuscadorHttps*>();
    buscador->setMaximoRespuesta(mb);

    buscador->navegar(core::urlTrabajos(servicio.host(), "1"));
    ASSERT_TRUE(pruebas::esperar([&] { return impresoras.outputs().size() == 1; }));
    log.clear();
    servidor->estadoTrabajo = 1;
    buscador->navegar(core::urlTrabajos(servicio.host(), "1"));
    ASSERT_TRUE(pruebas::esperar([&] { return lineas("Error al consultar trabajos: ") == 1; }));
    EXPECT_EQ(log.filter("Error al consultar").first(),
              "Error al consultar trabajos: respuesta de mas de 1 MB");
    EXPECT_TRUE(bandeja.globos.contains(
        "3|Sistema de impresora|Error al consultar trabajos: respuesta de mas de 1 MB|30000"));
    EXPECT_EQ(impresoras.outputs().size(), 1u);
    EXPECT_EQ(servidor->estadoTrabajo, 0);
}

// A peer that vanishes without a word (here: the only interface goes down) is seen within
// the link time-out: a socket error, the tray shows it, and once the network is back the
// watchdog reconnects and identifies. Runs in a network namespace of its own.
TEST_F(Red, ASilentlyDroppedLinkIsSeenWithinTheLinkTimeout) {
    auto ip = [](const QStringList& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("ip"), args);
        const bool ok = p.waitForFinished(10000) && p.exitCode() == 0;
        EXPECT_TRUE(ok) << "ip " << args.join(' ').toStdString() << ": "
                        << p.readAll().toStdString();
        return ok;
    };
    if (!qEnvironmentVariableIsSet("SI_RED_AISLADA")) {
        // Outside: run this very test again inside a new network namespace.
        QProcess prueba;
        prueba.setProcessChannelMode(QProcess::MergedChannels);
        prueba.start(QStringLiteral("unshare"), {"-n", "true"});
        if (!prueba.waitForFinished(10000) || prueba.exitStatus() != QProcess::NormalExit ||
            prueba.exitCode() != 0)
            GTEST_SKIP() << "unshare -n is refused here: " << prueba.readAll().toStdString()
                         << prueba.errorString().toStdString();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SI_RED_AISLADA", "1");
        prueba.setProcessEnvironment(env);
        prueba.start(QStringLiteral("unshare"),
                     {"-n", "--", QCoreApplication::applicationFilePath(),
                      "--gtest_filter=Red.ASilentlyDroppedLinkIsSeenWithinTheLinkTimeout"});
        ASSERT_TRUE(prueba.waitForFinished(55000));
        const QByteArray salida = prueba.readAll();
        EXPECT_EQ(prueba.exitCode(), 0) << salida.toStdString();
        EXPECT_TRUE(salida.contains("[  PASSED  ] 1 test")) << salida.toStdString();
        return;
    }
    ASSERT_TRUE(ip({"link", "set", "lo", "up"}));
    pruebas::ServidorNotificaciones notificaciones;
    ASSERT_TRUE(notificaciones.escuchar());
    crearServidor("127.0.0.1", notificaciones.puerto(), "127.0.0.1:1");
    conexion->setTiempoEnlace(2000);
    const QByteArray identificacion = R"({"idSyA":"123456789012345","type":"id"})";
    ASSERT_TRUE(
        pruebas::esperar([&] { return notificaciones.recibido.startsWith(identificacion); }));
    servidor->detenerTemporizadores();  // nothing is sent: only the keep-alive can notice
    ASSERT_EQ(lineas("Error: "), 0);

    QElapsedTimer reloj;
    reloj.start();
    ASSERT_TRUE(ip({"link", "set", "lo", "down"}));
    ASSERT_TRUE(pruebas::esperar([&] { return lineas("Error: ") >= 1; }, 6000))
        << "the drop was not seen in " << reloj.elapsed() << " ms";
    EXPECT_EQ(bandeja.iconos.last().tip, "DesConectando");
    EXPECT_NE(conexion->estado(), core::estado_socket::Conectado);

    notificaciones.recibido.clear();
    ASSERT_TRUE(ip({"link", "set", "lo", "up"}));
    servidor->iniciarTemporizadores();
    ASSERT_TRUE(pruebas::esperar([&] { return notificaciones.conexiones >= 2; }));
    ASSERT_TRUE(
        pruebas::esperar([&] { return notificaciones.recibido.startsWith(identificacion); }));
}

// The keep-alive probes end within the link time-out, and the user time-out is the link's.
TEST(TiemposEnlace, ProbesFitWithinTheLinkTimeout) {
    for (int ms : {2000, 5000, 60000, 3600000}) {
        const core::TiemposEnlace t = core::tiemposEnlace(ms);
        EXPECT_GE(t.inactivoS, 1);
        EXPECT_GE(t.intervaloS, 1);
        EXPECT_GE(t.sondas, 1);
        EXPECT_LE((t.inactivoS + t.intervaloS * t.sondas) * 1000, ms) << ms;
        EXPECT_EQ(t.usuarioMs, ms);
    }
}

// An extra CA file adds to the system's authorities (it never replaces them), and peers are
// always verified.
TEST_F(Red, ACaFileAddsToTheSystemAuthorities) {
    const auto sistema = QSslConfiguration::systemCaCertificates();
    if (sistema.isEmpty()) GTEST_SKIP() << "no system certificate authorities installed";
    core::BuscadorHttps buscador;
    ASSERT_TRUE(buscador.agregarCertificados(certificados.filePath("cert.pem")));
    const auto cas = buscador.configuracionSsl().caCertificates();
    const auto propios = QSslCertificate::fromPath(certificados.filePath("cert.pem"));
    ASSERT_EQ(propios.size(), 1);
    EXPECT_TRUE(cas.contains(propios.first()));
    for (const QSslCertificate& c : sistema) EXPECT_TRUE(cas.contains(c));
    EXPECT_EQ(buscador.configuracionSsl().peerVerifyMode(), QSslSocket::VerifyPeer);
}

// The tag stripping as it reads, one pattern after another: the reference for the stripper.
QString referenciaHtml(const QString& html) {
    QString t = html;
    t.remove(QRegularExpression(QStringLiteral("<!--.*?-->"),
                                QRegularExpression::DotMatchesEverythingOption));
    const auto m = QRegularExpression(QStringLiteral("<body[^>]*>(.*?)(</body\\s*>|$)"),
                                      QRegularExpression::DotMatchesEverythingOption |
                                          QRegularExpression::CaseInsensitiveOption)
                       .match(t);
    if (m.hasMatch()) t = m.captured(1);
    t.remove(QRegularExpression(QStringLiteral("<(script|style)\\b[^>]*>.*?</\\1\\s*>"),
                                QRegularExpression::DotMatchesEverythingOption |
                                    QRegularExpression::CaseInsensitiveOption));
    t.remove(QRegularExpression(QStringLiteral("<[A-Za-z/!?][^>]*>")));
    return t;
}

TEST(Html, StrippingMatchesThePatternsOnTrickyPages) {
    // Pieces that open and close the constructs in every order, glued at random.
    const QStringList piezas = {
        "<",         ">",       "<!--",       "-->",       "<body",       "<BODY x>",  "</body>",
        "</BoDy >",  "<script", "<script>",   "</script>", "</SCRIPT\n>", "<style a>", "</style>",
        "<scripts>", "<a",      "<a href=x>", "</a>",      "<!x>",        "<?x?>",     "< b>",
        "<1>",       "texto",   " ",          "\n",        "&amp;",       "&#241;",    "&lt;",
        "<styles>",  "</>",     "-",          "!"};
    QRandomGenerator azar(13);
    for (int caso = 0; caso < 3000; ++caso) {
        QString html;
        const int n = 1 + int(azar.bounded(14));
        for (int i = 0; i < n; ++i) html += piezas.at(int(azar.bounded(int(piezas.size()))));
        EXPECT_EQ(core::sinEtiquetasHtml(html), referenciaHtml(html)) << html.toStdString();
    }
}

// Entities as the pattern reads them, decoded after the tags are gone.
TEST(Html, EntitiesDecodeAsThePatternReadsThem) {
    const QStringList piezas = {"&",  "#",    "x",   "X", "1",   "f", "g", ";", "amp",
                                "lt", "&amp", "&#2", "a", "&#x", " ", "Ñ", "<", "&&"};
    const QRegularExpression entidad(QStringLiteral("&(#[0-9]+|#[xX][0-9a-fA-F]+|[A-Za-z]+);"));
    QRandomGenerator azar(7);
    for (int caso = 0; caso < 3000; ++caso) {
        QString texto;
        const int n = 1 + int(azar.bounded(12));
        for (int i = 0; i < n; ++i) texto += piezas.at(int(azar.bounded(int(piezas.size()))));
        // Each entity the pattern finds is decoded on its own, the text between kept.
        QString esperado;
        qsizetype desde = 0;
        auto it = entidad.globalMatch(texto);
        while (it.hasNext()) {
            const auto m = it.next();
            esperado += texto.mid(desde, m.capturedStart() - desde);
            esperado += core::textoVisibleHtml(m.captured(0));
            desde = m.capturedEnd();
        }
        esperado += texto.mid(desde);
        const QString sinMenor = QString(texto).remove(u'<');
        if (sinMenor != texto) continue;  // "<" may open a tag: covered by the stripping test
        EXPECT_EQ(core::textoVisibleHtml(texto), esperado) << texto.toStdString();
    }
    EXPECT_EQ(core::textoVisibleHtml("&#x41;&#65;&AMP;&amp&#;&#x;&nbsp;"),
              QString::fromUtf8("AA&AMP;&amp&#;&#x;\u00a0"));
}

// 4 MB of unclosed script tags, comments, tags and bodies: stripped in linear time, well
// within the ordinary test time-out (the figure is in bench/).
TEST(Html, FourMegabytesOfUnclosedTagsStripQuickly) {
    for (const QString& pieza : {QStringLiteral("<script>a"), QStringLiteral("<!--a"),
                                 QStringLiteral("<a b"), QStringLiteral("<body x")}) {
        QString html;
        while (html.size() < 4 * 1024 * 1024) html += pieza;
        const QString t = core::textoVisibleHtml(html);
        EXPECT_FALSE(t.isEmpty());
    }
}

}  // namespace
