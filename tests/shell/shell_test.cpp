#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include "../core/fakes.h"
#include "aplicacion_prueba.h"
#include "core/acceso.h"
#include "json/script.h"
#include "printing/tape_device.h"
#include "shell/bandeja_sistema.h"
#include "shell/dialogos_reales.h"
#include "shell/fondo.h"
#include "shell/iconos.h"
#include "shell/ventana_principal.h"

namespace {

const auto* const kAplicacion =
    pruebas::registrarAplicacion<QApplication>("shell_tests", "Servidor de Impresoras");

using shell::BandejaSistema;

TEST(Bandeja, RecordFieldsAreCutAndTheTooltipReadBackStays) {
    BandejaSistema t;
    t.setSalidaGlobos(nullptr);
    t.init(nullptr, "Sincronizador Zentil");
    t.setIcon(core::IconoBandeja::OK, QString(200, u't'));
    EXPECT_EQ(t.datos().tip, QString(128, u't'));
    EXPECT_EQ(t.tooltipText(), "Sincronizador Zentil");
    t.showBalloonTip(QString(300, u'm'), 3, QString(70, u'T'), 30000);
    EXPECT_EQ(t.datos().mensaje.size(), 256);
    EXPECT_EQ(t.datos().titulo, QString(64, u'T'));
    EXPECT_EQ(t.datos().icono, 3);
    EXPECT_EQ(t.datos().tiempoMs, 30000);
    t.setTooltipText("otro");
    EXPECT_EQ(t.tooltipText(), "otro");
    EXPECT_EQ(t.datos().tip, "otro");
    EXPECT_TRUE(t.datos().presente);
    t.quitarIcono();
    EXPECT_FALSE(t.datos().presente);
}

TEST(Bandeja, BalloonsGoToStandardErrorEscaped) {
    EXPECT_EQ(BandejaSistema::lineaGlobo(2, "Comanda", "linea 1\r\nlinea 2"),
              "balloon 2 Comanda: linea 1\\r\\nlinea 2");
    BandejaSistema t;
    FILE* salida = std::tmpfile();
    t.setSalidaGlobos(salida);
    t.showBalloonTip("Conectando al servidor de impresion ", 1, "Sistema de impresora", 30000);
    std::rewind(salida);
    char linea[200] = {};
    ASSERT_NE(std::fgets(linea, sizeof linea, salida), nullptr);
    std::fclose(salida);
    EXPECT_STREQ(linea, "balloon 1 Sistema de impresora: Conectando al servidor de impresion \n");
}

TEST(Iconos, FourDistinctStatesReadableAtSixteenPixels) {
    QList<QImage> imagenes;
    for (auto e : {core::IconoBandeja::Desconectado, core::IconoBandeja::OK,
                   core::IconoBandeja::Conectado, core::IconoBandeja::Error}) {
        const QImage i = shell::iconoEstado(e).pixmap(16, 16).toImage();
        ASSERT_EQ(i.size(), QSize(16, 16));
        for (const QImage& otra : imagenes) EXPECT_NE(i, otra);
        imagenes << i;
    }
}

TEST(Fondo, GeometryFitsCentresAndTakesTheMargin) {
    using shell::PintorFondo;
    // Twice as wide as the surface, same height, no margin: half size across the width.
    EXPECT_EQ(PintorFondo::geometria({200, 100}, {400, 100}, 0), QRect(0, 25, 200, 50));
    // Smaller than the surface: enlarged until it fits the limiting direction.
    EXPECT_EQ(PintorFondo::geometria({200, 100}, {50, 50}, 0), QRect(50, 0, 100, 100));
    // The window's logo box with its margin of 32: 16 pixels free on each side.
    EXPECT_EQ(PintorFondo::geometria({280, 180}, {100, 100}, 32), QRect(66, 16, 148, 148));
    // Halves go to the even neighbour.
    EXPECT_EQ(PintorFondo::geometria({101, 100}, {100, 100}, 0).x(), 0);
    EXPECT_EQ(PintorFondo::geometria({103, 100}, {100, 100}, 0).x(), 2);
    EXPECT_EQ(PintorFondo::geometria({100, 100}, {100, 100}, 3).width(), 97);
}

TEST(Fondo, RefreshPaintsIntoThePersistentDrawing) {
    shell::CajaImagen caja;
    caja.resize(100, 50);
    QImage rojo(50, 50, QImage::Format_RGB32);
    rojo.fill(Qt::red);
    shell::PintorFondo fondo;
    fondo.setCaja(&caja);
    fondo.setImagen(rojo);
    fondo.pintar();
    const QImage pintado = caja.lienzo().toImage();
    EXPECT_EQ(QColor(pintado.pixel(50, 25)), QColor(Qt::red));
    EXPECT_NE(QColor(pintado.pixel(10, 25)), QColor(Qt::red));
    fondo.setImagen(QImage());
    fondo.pintar();  // no picture: cleared, nothing raised
    EXPECT_NE(QColor(caja.lienzo().toImage().pixel(50, 25)), QColor(Qt::red));
}

TEST(Dialogos, FilterTurnsIntoQtForm) {
    EXPECT_EQ(
        shell::filtroQt(shell::kFiltroImagen),
        QString::fromUtf8("Imágenes Bmp,Gif, Jpg,jpeg) (*.bmp *.gif *.jpg *jpeg);;Todos (*.*)"));
}

// The script evaluator's alert and input open real dialogs; the timer answers them.
TEST(Dialogos, ScriptAlertAndInputUseRealDialogs) {
    shell::DialogosReales dialogos;
    QStringList vistos;
    QTimer responder;
    QObject::connect(&responder, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
            vistos << d->windowTitle() + "|" + d->labelText();
            d->setTextValue("respuesta");
            d->accept();
        } else if (auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            vistos << m->windowTitle() + "|" + m->text();
            m->accept();
        }
    });
    responder.start(20);
    json::JsonScript script(&dialogos);
    const QString salida = script.eval(
        R"([{"alert":{"message":"Hola","title":"Aviso"}},{"input":{"prompt":"Nombre","title":"Pregunta"}}])");
    EXPECT_EQ(salida, "respuesta");
    EXPECT_EQ(vistos, (QStringList{"Aviso|Hola", "Pregunta|Nombre"}));
    EXPECT_EQ(dialogos.inputBox("p", "t"), "respuesta");
}

class Ventana : public ::testing::Test {
  protected:
    Ventana() {
        impresoras.addPrinter("Cocina");
        entorno.impresoras = &impresoras;
        core::ConfigEnlace c;
        c.hostNotificaciones = "127.0.0.1";
        c.hostTrabajos = "jobs.test";
        servidor = std::make_unique<core::Servidor>(&conexion, &buscador, entorno, c);
        servidor->registro().setSalida(nullptr);
    }
    void acceso(const QByteArray& contenido) {
        QFile f(core::rutaAcceso(dir.path()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(contenido);
    }
    QByteArray leer(const QString& nombre) {
        QFile f(dir.filePath(nombre));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    std::unique_ptr<shell::VentanaPrincipal> ventana() {
        auto v = std::make_unique<shell::VentanaPrincipal>(*servidor, dialogos, dir.path(),
                                                           [this](int c) { salidas << c; });
        return v;
    }

    QTemporaryDir dir;
    printing::TapePrinterSystem impresoras;
    printing::Entorno entorno;
    pruebas::ConexionFalsa conexion;
    pruebas::BuscadorFalso buscador;
    pruebas::DialogosFalsos dialogos;
    std::unique_ptr<core::Servidor> servidor;
    QList<int> salidas;
};

TEST_F(Ventana, HasEveryControlWithItsCaption) {
    auto v = ventana();
    EXPECT_EQ(v->windowTitle(), "Servidor de Impresoras");
    EXPECT_EQ(v->pestanas->tabText(0), "Panel");
    EXPECT_EQ(v->pestanas->tabText(1), "Status");
    EXPECT_EQ(v->etiquetaCodigo->text(), "Codigo Sucursal");
    EXPECT_EQ(v->botonCambiarCodigo->text(), "Cambiar codigo");
    EXPECT_EQ(v->botonEnviarEstado->text(), "Send Status Free");
    EXPECT_EQ(v->botonCargarImagen->text(), "Cargar Imagen");
    EXPECT_EQ(v->botonCerrarVentana->text(), "Cerrar Ventana");
    EXPECT_EQ(v->botonApagarServidor->text(), "Apagar Servidor");
    EXPECT_TRUE(v->cajaRegistro->isReadOnly());
    EXPECT_TRUE(v->cajaRespuesta->isReadOnly());
    EXPECT_EQ(v->cajaRegistro->maximumBlockCount(), 5000);
    EXPECT_FALSE(v->windowFlags() & Qt::WindowCloseButtonHint);
    v->show();
    EXPECT_FALSE(v->close());  // the close event is ignored
    EXPECT_TRUE(v->isVisible());
}

TEST_F(Ventana, TheTicketsTabListsTheJournalAndReprints) {
    impresoras.addPrinter("Bar");
    servidor->abrirDiario(dir.path());
    auto v = ventana();
    EXPECT_EQ(v->pestanas->tabText(2), "Tickets");
    EXPECT_EQ(v->botonReimprimir->text(), "Reimprimir");
    EXPECT_EQ(v->botonReimprimirEn->text(), "Reimprimir en...");
    EXPECT_EQ(v->menuBandeja->actions().value(0)->text(), "Reimprimir ultimo ticket");

    conexion.estadoActual = 7;
    conexion.llegar("_endMessage_");
    emit buscador.completo(
        R"(XXXXX{"config":[],"comanda":[{"area":"Cocina","nomMesa":"Mesa 4","productos":[]},)"
        R"({"area":"Bar","nomMesa":"Barra","productos":[]}],"anulaciones":[],"factura":[],)"
        R"("idsLeidos":[1]})");
    EXPECT_EQ(v->tablaTickets->rowCount(), 0) << "a hidden window reads nothing";
    v->show();
    ASSERT_EQ(v->tablaTickets->rowCount(), 2) << "shown, the list follows the journal";
    EXPECT_EQ(v->tablaTickets->item(0, 4)->text(), "Bar Barra") << "newest first";
    EXPECT_EQ(v->tablaTickets->item(1, 1)->text(), "comanda");
    EXPECT_EQ(v->tablaTickets->item(1, 2)->text(), "Cocina");
    EXPECT_EQ(v->tablaTickets->item(1, 3)->text(), "impreso");
    impresoras.clearOutputs();

    v->tablaTickets->selectRow(1);
    v->botonReimprimir->click();
    v->botonReimprimirEn->click();
    ASSERT_EQ(v->menuImpresoras->actions().size(), 2);
    v->menuImpresoras->actions()[1]->trigger();  // Bar
    v->menuImpresoras->hide();
    v->menuBandeja->actions()[0]->trigger();  // the newest: Bar's order again
    QCoreApplication::processEvents();
    EXPECT_EQ(impresoras.tapesOf("Cocina").size(), 1);
    EXPECT_EQ(impresoras.tapesOf("Bar").size(), 2);
    // Three changes while it shows: the list is read once, shortly after.
    QElapsedTimer espera;
    espera.start();
    while (v->tablaTickets->rowCount() != 5 && espera.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(v->tablaTickets->rowCount(), 5);
}

TEST_F(Ventana, StartUpHidesUnlessTheSupportMarkerAndShowsTheTray) {
    for (const QByteArray& marca :
         {QByteArray("tecnico"), QByteArray("TECNICO"), QByteArray("otro")}) {
        acceso("123456789012345\r\n" + marca + "\r\n");
        auto v = ventana();
        v->iniciar();
        EXPECT_EQ(v->isVisible(), marca != "otro") << marca.constData();
        EXPECT_EQ(v->cajaCodigo->text(), "123456789012345");
        EXPECT_EQ(servidor->codigoSucursalesAgencias, "123456789012345");
        EXPECT_TRUE(servidor->conexionHabilitada);
        ASSERT_NE(v->bandeja, nullptr);
        EXPECT_EQ(v->bandeja->tooltipText(), "Sincronizador Zentil");
        EXPECT_EQ(v->bandeja->datos().tip, "Conectando");
        EXPECT_EQ(v->bandeja->datos().mensaje, "Conectando al servidor de impresion ");
        EXPECT_EQ(v->bandeja->datos().titulo, "Sistema de impresora");
        EXPECT_EQ(servidor->bandeja(), v->bandeja);
        servidor->setBandeja(nullptr);
        servidor->detenerTemporizadores();
    }
    EXPECT_TRUE(dialogos.preguntas.isEmpty());
    EXPECT_TRUE(dialogos.mensajes.isEmpty());
}

TEST_F(Ventana, OnlyALeftClickOnTheTrayShowsTheWindow) {
    acceso("123456789012345\r\n");
    auto v = ventana();
    v->iniciar();
    EXPECT_FALSE(v->isVisible());
    for (auto motivo : {QSystemTrayIcon::Context, QSystemTrayIcon::DoubleClick,
                        QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown}) {
        emit v->bandeja->activada(motivo);
        EXPECT_FALSE(v->isVisible()) << int(motivo);
    }
    emit v->bandeja->activada(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(v->isVisible());
    v->botonCerrarVentana->click();
    EXPECT_FALSE(v->isVisible());
    servidor->setBandeja(nullptr);
}

TEST_F(Ventana, ChangingTheCodeWritesItAndEndsForARestart) {
    acceso("123456789012345\r\nTECNICO\r\n");
    auto v = ventana();
    v->iniciar();
    dialogos.respuestas = {"", "A98765432109876"};
    v->botonCambiarCodigo->click();
    EXPECT_EQ(leer("Acceso"), "A98765432109876\r\n");
    EXPECT_EQ(v->cajaCodigo->text(), "A98765432109876");
    EXPECT_EQ(dialogos.mensajes, QStringList{core::kMensajeCodigoActualizado});
    EXPECT_FALSE(v->bandeja->datos().presente);
    EXPECT_EQ(salidas, QList<int>{shell::kEstadoReinicio});
    EXPECT_EQ(shell::kEstadoReinicio, 75);  // the service unit restarts on this status
    servidor->setBandeja(nullptr);
}

// An access file that cannot be written (here a folder stands in its place, which even the
// superuser cannot overwrite) is reported with its reason, in the log and a balloon.
TEST_F(Ventana, AnAccessFileThatCannotBeWrittenIsReported) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("Acceso"));
    QStringList lineas;
    QObject::connect(&servidor->registro(), &core::Registro::lineaAgregada,
                     [&](const QString& t) { lineas << t; });
    dialogos.respuestas = {"123456789012345"};
    auto v = ventana();
    v->iniciar();
    // Asked once; the code given is used for this run although it could not be kept.
    EXPECT_EQ(dialogos.preguntas.size(), 1);
    EXPECT_EQ(v->cajaCodigo->text(), "123456789012345");
    EXPECT_EQ(servidor->codigoSucursalesAgencias, "123456789012345");
    // A folder standing at Acceso is refused for reading too: that comes first.
    ASSERT_EQ(lineas.size(), 2) << lineas.join('|').toStdString();
    EXPECT_EQ(lineas.first(), "El archivo Acceso no es un archivo normal");
    EXPECT_TRUE(lineas.last().startsWith("No se pudo guardar el codigo: "))
        << lineas.last().toStdString();
    EXPECT_GT(lineas.last().size(), QString("No se pudo guardar el codigo: ").size());
    EXPECT_EQ(v->bandeja->datos().mensaje, lineas.last());
    EXPECT_EQ(v->bandeja->datos().icono, printing::kGloboError);

    lineas.clear();
    dialogos.respuestas = {"A98765432109876"};
    v->botonCambiarCodigo->click();
    EXPECT_EQ(salidas, QList<int>{});  // nothing changed: the server keeps running
    EXPECT_EQ(dialogos.mensajes, QStringList{"No se pudo guardar el codigo"});
    ASSERT_EQ(lineas.size(), 1);
    EXPECT_TRUE(lineas.first().startsWith("No se pudo guardar el codigo: "))
        << lineas.first().toStdString();
    EXPECT_EQ(v->bandeja->datos().mensaje, lineas.first());
    EXPECT_TRUE(v->bandeja->datos().presente);
    servidor->setBandeja(nullptr);
    servidor->detenerTemporizadores();
}

TEST_F(Ventana, StopRemovesTheTrayAndEnds) {
    acceso("123456789012345\r\n");
    auto v = ventana();
    v->iniciar();
    v->botonApagarServidor->click();
    EXPECT_FALSE(v->bandeja->datos().presente);
    EXPECT_EQ(salidas, QList<int>{0});  // stopped for good: no restart
    servidor->setBandeja(nullptr);
}

TEST_F(Ventana, LoadingALogoCopiesTheFileAndAFailureChangesNothing) {
    acceso("123456789012345\r\n");
    auto v = ventana();
    v->iniciar();
    EXPECT_TRUE(dialogos.mensajes.isEmpty());  // no logo yet: nothing shown, no message

    dialogos.archivo.clear();  // cancelled
    v->botonCargarImagen->click();
    EXPECT_EQ(dialogos.filtro, shell::kFiltroImagen);
    EXPECT_TRUE(dialogos.mensajes.isEmpty());
    EXPECT_EQ(leer("logo.bmp"), "<missing>");

    QImage verde(40, 20, QImage::Format_RGB32);
    verde.fill(Qt::green);
    const QString gif = dir.filePath("logo-nuevo.gif");
    ASSERT_TRUE(verde.save(dir.filePath("logo-nuevo.png"), "PNG"));
    QFile::rename(dir.filePath("logo-nuevo.png"), gif);  // the content decides the format
    dialogos.archivo = gif;
    v->botonCargarImagen->click();
    EXPECT_EQ(dialogos.mensajes, QStringList{"Imagen Cargada"});
    QFile original(gif);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(leer("logo.bmp"), original.readAll());
    EXPECT_EQ(QColor(v->cajaLogo->lienzo().toImage().pixel(140, 90)), QColor(Qt::green));

    const QByteArray antes = leer("logo.bmp");
    QFile roto(dir.filePath("roto.bmp"));
    ASSERT_TRUE(roto.open(QIODevice::WriteOnly));
    roto.write("not a picture");
    roto.close();
    dialogos.archivo = roto.fileName();
    v->botonCargarImagen->click();
    EXPECT_EQ(dialogos.mensajes.last(), "No se pudo cargar la imagen");
    EXPECT_EQ(leer("logo.bmp"), antes);
    servidor->setBandeja(nullptr);
}

TEST_F(Ventana, StartUpShowsAStoredLogoAndTheLogAndFetchedText) {
    acceso("123456789012345\r\n");
    QImage azul(30, 30, QImage::Format_RGB32);
    azul.fill(Qt::blue);
    ASSERT_TRUE(azul.save(dir.filePath("logo.bmp"), "BMP"));
    auto v = ventana();
    v->iniciar();
    EXPECT_EQ(QColor(v->cajaLogo->lienzo().toImage().pixel(140, 90)), QColor(Qt::blue));
    servidor->agregarLog("una linea");
    EXPECT_EQ(v->cajaRegistro->toPlainText(), "") << "hidden, the log waits";
    v->show();
    EXPECT_EQ(v->cajaRegistro->toPlainText(), "una linea");
    servidor->agregarLog("otra linea");
    EXPECT_EQ(v->cajaRegistro->toPlainText(), "una linea\notra linea");
    v->hide();
    for (int i = 0; i < core::Registro::kLineasCaja + 10; ++i) servidor->agregarLog("linea");
    v->show();
    EXPECT_EQ(v->cajaRegistro->blockCount(), core::Registro::kLineasCaja) << "bounded";
    EXPECT_EQ(v->cajaRegistro->document()->lastBlock().text(), "linea");
    emit buscador.completo("XXXXX[");
    EXPECT_EQ(v->cajaRespuesta->toPlainText(), "XXXXX[");
    servidor->alVigilar();
    EXPECT_EQ(v->etiquetaEstado->text(), "status 6");
    servidor->setBandeja(nullptr);
}

// Neither the access file nor the logo is read or written through a symbolic link: the code
// is asked for as if there were none, the logo is not shown, and storing either replaces
// the link, never its target.
TEST_F(Ventana, LinksAsAccessFileOrLogoAreRefusedAndReplaced) {
    QTemporaryDir fuera;
    const QString codigoAjeno = fuera.filePath("codigo");
    const QString logoAjeno = fuera.filePath("logo.bmp");
    {
        QFile f(codigoAjeno);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("999999999999999\r\nTECNICO\r\n");
    }
    QImage rojo(30, 30, QImage::Format_RGB32);
    rojo.fill(Qt::red);
    ASSERT_TRUE(rojo.save(logoAjeno, "BMP"));
    ASSERT_TRUE(QFile::link(codigoAjeno, core::rutaAcceso(dir.path())));
    ASSERT_TRUE(QFile::link(logoAjeno, dir.filePath("logo.bmp")));
    QStringList log;
    QObject::connect(&servidor->registro(), &core::Registro::lineaAgregada,
                     [&](const QString& l) { log << l; });

    auto v = ventana();
    dialogos.respuestas = {"123456789012345"};
    v->iniciar();
    EXPECT_EQ(dialogos.preguntas.size(), 1);
    EXPECT_EQ(servidor->codigoSucursalesAgencias, "123456789012345");
    EXPECT_FALSE(v->isVisible());  // the target's support marker is not read either
    EXPECT_TRUE(log.contains("El archivo Acceso no es un archivo normal"))
        << log.join('|').toStdString();
    EXPECT_TRUE(log.contains("El archivo logo.bmp no es un archivo normal"))
        << log.join('|').toStdString();
    EXPECT_TRUE(v->bandeja->datos().mensaje.contains("no es un archivo normal"));
    EXPECT_NE(QColor(v->cajaLogo->lienzo().toImage().pixel(140, 90)), QColor(Qt::red));
    EXPECT_FALSE(QFileInfo(core::rutaAcceso(dir.path())).isSymLink());
    EXPECT_EQ(leer("Acceso"), "123456789012345\r\n");

    QImage verde(40, 20, QImage::Format_RGB32);
    verde.fill(Qt::green);
    ASSERT_TRUE(verde.save(dir.filePath("nuevo.png"), "PNG"));
    dialogos.archivo = dir.filePath("nuevo.png");
    v->botonCargarImagen->click();
    EXPECT_EQ(dialogos.mensajes, QStringList{"Imagen Cargada"});
    EXPECT_FALSE(QFileInfo(dir.filePath("logo.bmp")).isSymLink());
    EXPECT_EQ(leer("logo.bmp"), leer("nuevo.png"));
    QFile ajeno(logoAjeno);
    ASSERT_TRUE(ajeno.open(QIODevice::ReadOnly));
    EXPECT_EQ(QImage::fromData(ajeno.readAll()).pixel(1, 1), QColor(Qt::red).rgb());
    QFile codigo(codigoAjeno);
    ASSERT_TRUE(codigo.open(QIODevice::ReadOnly));
    EXPECT_EQ(codigo.readAll(), "999999999999999\r\nTECNICO\r\n");
    servidor->setBandeja(nullptr);
    servidor->detenerTemporizadores();
}

}  // namespace

namespace {

// Writes pictures of both tabs when SI_SCREENSHOT_DIR names a folder (run under xvfb-run
// with QT_QPA_PLATFORM=xcb to refresh the documentation's screenshots).
TEST_F(Ventana, Screenshots) {
    const QString destino = qEnvironmentVariable("SI_SCREENSHOT_DIR");
    if (destino.isEmpty()) GTEST_SKIP() << "SI_SCREENSHOT_DIR not set";
    acceso("123456789012345\r\nTECNICO\r\n");
    QImage logo(320, 160, QImage::Format_RGB32);
    logo.fill(QColor(250, 245, 235));
    {
        QPainter p(&logo);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(200, 60, 40));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPoint(80, 80), 60, 60);
        p.setPen(QColor(60, 40, 30));
        QFont f = p.font();
        f.setPointSize(20);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(150, 0, 170, 160), Qt::AlignVCenter, "La Fonda");
    }
    ASSERT_TRUE(logo.save(dir.filePath("logo.bmp"), "BMP"));
    auto v = ventana();
    v->iniciar();
    conexion.estadoActual = 7;
    servidor->alVigilar();
    for (const char* l : {R"({"idSyA":"123456789012345","type":"id"})",
                          R"({"idSyA":"123456789012345","status":"0"})", "nuevo_endMessage_",
                          "-------------------------------", "Conectando con pedidos.example:8443",
                          "-------------------------------", "Listo"})
        servidor->agregarLog(l);
    emit buscador.completo(
        R"(XXXXX{"config":[],"comanda":[],"anulaciones":[],"factura":[],"idsLeidos":[]})");
    v->show();
    QApplication::processEvents();
    v->pestanas->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_TRUE(v->grab().save(QDir(destino).filePath("screenshot-panel.png")));
    v->pestanas->setCurrentIndex(1);
    QApplication::processEvents();
    EXPECT_TRUE(v->grab().save(QDir(destino).filePath("screenshot-status.png")));

    // The four tray states at 16 px and at 48 px.
    QImage iconos(4 * 56, 72, QImage::Format_ARGB32);
    iconos.fill(QColor(236, 236, 236));
    QPainter p(&iconos);
    int i = 0;
    for (auto e : {core::IconoBandeja::Desconectado, core::IconoBandeja::OK,
                   core::IconoBandeja::Conectado, core::IconoBandeja::Error}) {
        p.drawPixmap(i * 56 + 20, 4, shell::iconoEstado(e).pixmap(16, 16));
        p.drawPixmap(i * 56 + 4, 22, shell::iconoEstado(e).pixmap(48, 48));
        ++i;
    }
    p.end();
    EXPECT_TRUE(iconos.save(QDir(destino).filePath("screenshot-tray-icons.png")));
    servidor->setBandeja(nullptr);
}

}  // namespace
