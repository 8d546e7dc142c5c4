// The server with its journal: every ticket stored before it prints, resumed after a crash,
// retried while its printers are down, reprinted on demand.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <utility>

#include "core/despacho_diario.h"
#include "core/diario.h"
#include "json/parser.h"
#include "servidor_falso.h"

namespace {

using core::EstadoTicket;
using core::TipoTicket;

const QDateTime kRecibido(QDate(2026, 12, 8), QTime(12, 30, 0));

// Two kitchen orders (Cocina, Bar), a cancellation (Bar) and the drawer.
QString documento(int n) {
    return QStringLiteral(
               R"(XXXXX{"config":[],"comanda":[)"
               R"({"area":"Cocina","nomMesa":"Mesa %1","nPedido":"7","responsable":"Ana",)"
               R"("fecha":"2024-05-01 12:00:00","productos":[{"nombre":"Arepa","cantidad":2,"valor":5000}]},)"
               R"({"area":"Bar","nomMesa":"Barra %1","nPedido":"8","responsable":"Ana",)"
               R"("fecha":"2024-05-01 12:00:00","productos":[{"nombre":"Jugo","cantidad":1,"valor":3000}]}],)"
               R"("anulaciones":[{"area":"Bar","nomMesa":"Mesa %1","productos":[{"nombre":"Jugo","cantidad":-1}]}],)"
               R"("factura":[],"abrirCajon":true,"idsLeidos":[1]})")
        .arg(n);
}

class DiarioServidor : public pruebas::ConServidor {
  protected:
    DiarioServidor() {
        impresoras.addPrinter("Bar");
        entorno.locale = QLocale(QLocale::Spanish, QLocale::Colombia);
        entorno.reloj = [this] { return reloj; };
        conexion.estadoActual = 7;
    }

    void recibir(const QString& texto) {
        conexion.llegar("_endMessage_");
        emit buscador.completo(texto);
    }
    QStringList tapes(const QString& impresora) const { return impresoras.tapesOf(impresora); }
    QList<core::TicketDiario> tickets() { return servidor->diario()->todos(); }
    QString ultimoEstado() const { return conexion.enviados.value(conexion.enviados.size() - 1); }

    QTemporaryDir dir;
    QDateTime reloj = kRecibido;
    const QString estado0 = R"({"idSyA":"123456789012345","status":"0"})";
    const QString estado1 = R"({"idSyA":"123456789012345","status":"1"})";
};

TEST_F(DiarioServidor, EveryTicketIsJournaledWithItsKindTitlePrinterAndState) {
    servidor->abrirDiario(dir.path());
    ASSERT_TRUE(servidor->diario()->disponible());
    recibir(documento(4));
    const auto t = tickets();
    ASSERT_EQ(t.size(), 4);
    QStringList filas;
    for (const auto& x : t)
        filas << core::textoTipo(x.tipo) + "|" + x.impresora + "|" + core::textoEstado(x.estado) +
                     "|" + x.titulo;
    EXPECT_EQ(filas, (QStringList{
                         "comanda|Cocina|impreso|Cocina Mesa 4", "comanda|Bar|impreso|Bar Barra 4",
                         "anulacion|Bar|impreso|Bar Mesa 4", "cajon|Cocina|impreso|Cajon"}));
    EXPECT_EQ(t[0].recibido, kRecibido);
    EXPECT_EQ(servidor->diario()->documento(t[0].documento)->texto, documento(4).mid(5));
    EXPECT_EQ(ultimoEstado(), estado0);
    EXPECT_EQ(tapes("Cocina").size(), 1);
    EXPECT_EQ(tapes("Bar").size(), 2);
}

TEST_F(DiarioServidor, TheTicketsProgressIsFlushedSoonAfterADocumentAndAtTheEnd) {
    servidor->abrirDiario(dir.path());
    recibir(documento(4));
    // The document was flushed before its first ticket; its tickets' progress follows soon.
    EXPECT_TRUE(servidor->diario()->sinAsegurar());
    QElapsedTimer espera;
    espera.start();
    while (servidor->diario()->sinAsegurar() &&
           espera.elapsed() < 10 * core::Servidor::kAseguramientoMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(servidor->diario()->sinAsegurar());
    EXPECT_GE(espera.elapsed(), core::Servidor::kAseguramientoMs / 2) << "one flush for a burst";

    recibir(documento(5));
    EXPECT_TRUE(servidor->diario()->sinAsegurar());
    servidor->detenerTemporizadores();  // the server is closing
    EXPECT_FALSE(servidor->diario()->sinAsegurar());
}

TEST_F(DiarioServidor, ATicketThatPrintedNowhereWaitsIsRetriedQuietlyAndPrintsAsItWouldHave) {
    // The same document printed with every printer up, for comparison.
    recibir(documento(5));
    const QStringList esperado = tapes("Bar");
    impresoras.clearOutputs();

    servidor->abrirDiario(dir.path());
    impresoras.setOffline("Bar", true, "Sin papel");
    impresoras.setOffline("Cocina", true, "Sin papel");
    recibir(documento(5));
    EXPECT_EQ(ultimoEstado(), estado1) << "tickets wait: the status stays 1";
    EXPECT_EQ(servidor->estadoTrabajo, 1);
    auto t = tickets();
    EXPECT_EQ(t[1].estado, EstadoTicket::Pendiente);
    EXPECT_EQ(t[3].estado, EstadoTicket::Fallido) << "a drawer never opens late";

    // A retry that fails again: no balloon, one log line a ticket.
    bandeja.globos.clear();
    log.clear();
    reloj = reloj.addSecs(120);
    servidor->reintentar();
    EXPECT_TRUE(bandeja.globos.isEmpty()) << bandeja.globos.join("\n").toStdString();
    EXPECT_EQ(log.filter("Reintento sin exito").size(), 3) << log.join("\n").toStdString();

    impresoras.setOffline("Bar", false);
    impresoras.setOffline("Cocina", false);
    const int enviados = static_cast<int>(conexion.enviados.size());
    reloj = reloj.addSecs(600);
    servidor->reintentar();
    EXPECT_EQ(tapes("Bar"), esperado) << "same text, same time printed on it";
    for (const auto& x : tickets()) EXPECT_NE(x.estado, EstadoTicket::Pendiente);
    EXPECT_EQ(servidor->estadoTrabajo, 0);
    ASSERT_GT(conexion.enviados.size(), enviados) << "status 0 sent at once";
    EXPECT_EQ(ultimoEstado(), estado0);
}

TEST_F(DiarioServidor, PastTheLimitATicketFailsWithItsBalloon) {
    servidor->abrirDiario(dir.path());
    impresoras.setOffline("Bar", true, "Sin papel");
    impresoras.setOffline("Cocina", true, "Sin papel");
    recibir(documento(6));
    bandeja.globos.clear();
    reloj = reloj.addMSecs(1800000);
    servidor->reintentar();
    EXPECT_TRUE(bandeja.globos.contains(
        "3|Sistema de impresora|No se pudo imprimir el ticket de Bar. Reimprimalo desde la lista "
        "de tickets.|30000"))
        << bandeja.globos.join("\n").toStdString();
    for (const auto& x : tickets()) EXPECT_EQ(x.estado, EstadoTicket::Fallido);
    EXPECT_EQ(servidor->estadoTrabajo, 0);
    EXPECT_EQ(ultimoEstado(), estado0);
}

TEST_F(DiarioServidor, AtStartWhatACrashLeftPrintsOnceInOrder) {
    QString yaEscrito = dir.filePath("001-Cocina.txt");
    {
        core::Diario d(dir.path());
        ASSERT_TRUE(d.abrir());
        core::DespachoDiario despacho(d, entorno);
        const auto [raiz, errores] = json::parse(documento(7).mid(5));
        const auto plan = despacho.planear(raiz);
        ASSERT_EQ(plan.size(), 4);
        const auto ids = d.registrarDocumento(kRecibido, documento(7).mid(5), plan).value();
        // Cocina's file was written before the crash; Bar's order was sent somewhere that
        // cannot be asked; the rest never left.
        QFile f(yaEscrito);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        d.marcar(QList<core::CambioEstado>{{ids[0], EstadoTicket::Enviado, yaEscrito, {}},
                                           {ids[1], EstadoTicket::Enviado, "", {}}});
    }
    impresoras.clearOutputs();
    reloj = kRecibido.addSecs(3600);
    servidor->abrirDiario(dir.path());
    EXPECT_TRUE(log.contains("Reanudando documento de 2026-12-08 12:30:00"))
        << log.join("\n").toStdString();
    EXPECT_EQ(log.filter("posible duplicado en Bar").size(), 1);
    EXPECT_TRUE(tapes("Cocina").isEmpty()) << "its file exists: not sent again";
    ASSERT_EQ(tapes("Bar").size(), 2);
    EXPECT_TRUE(tapes("Bar")[0].contains("BARRA 7", Qt::CaseInsensitive));
    for (const auto& x : tickets()) EXPECT_EQ(x.estado, EstadoTicket::Impreso);
    EXPECT_EQ(servidor->estadoTrabajo, 0);
}

TEST_F(DiarioServidor, AnUnreadableDocumentIsKeptAndTold) {
    servidor->abrirDiario(dir.path());
    recibir("XXXXX{\"config\":");
    const auto t = tickets();
    ASSERT_EQ(t.size(), 1);
    EXPECT_EQ(t[0].estado, EstadoTicket::Ilegible);
    EXPECT_FALSE(t[0].titulo.isEmpty());
    EXPECT_EQ(servidor->diario()->documento(t[0].documento)->texto, "{\"config\":");
    EXPECT_TRUE(
        bandeja.globos.contains("3|Documento no procesado|Un documento de trabajos no se "
                                "pudo leer; quedo guardado en la lista de tickets.|30000"));
    EXPECT_EQ(ultimoEstado(), estado0);
}

TEST_F(DiarioServidor, AReprintIsANewTicketOnItsPrinterOrTheOneAskedFor) {
    servidor->abrirDiario(dir.path());
    recibir(documento(8));
    const qint64 comanda = tickets()[0].id;
    impresoras.clearOutputs();
    EXPECT_EQ(servidor->reimprimir(comanda, ""), "");
    EXPECT_EQ(servidor->reimprimir(comanda, " bar "), "");
    EXPECT_EQ(servidor->reimprimir(999, ""), "ticket desconocido");
    EXPECT_EQ(servidor->reimprimir(comanda, "Parrilla"), "impresora desconocida");
    QCoreApplication::processEvents();
    ASSERT_EQ(tapes("Cocina").size(), 1);
    ASSERT_EQ(tapes("Bar").size(), 1);
    EXPECT_EQ(tapes("Bar")[0], tapes("Cocina")[0]) << "the paper is not marked";
    const auto t = tickets();
    ASSERT_EQ(t.size(), 6);
    EXPECT_EQ(t[4].copiaDe, comanda);
    EXPECT_EQ(t[5].impresora, "Bar");
    EXPECT_EQ(t[5].estado, EstadoTicket::Impreso);
    EXPECT_EQ(log.filter("Reimpresion del ticket").size(), 2);
}

TEST_F(DiarioServidor, WithoutAJournalItPrintsAndSaysSoForEveryDocument) {
    QFile estorbo(dir.filePath("diario"));  // a file where the journal's folder goes
    ASSERT_TRUE(estorbo.open(QIODevice::WriteOnly));
    estorbo.close();
    servidor->abrirDiario(dir.path());
    EXPECT_FALSE(servidor->diario()->disponible());
    EXPECT_EQ(bandeja.globos.filter("No se pudo abrir el diario").size(), 1);
    for (int n = 0; n < 2; ++n) recibir(documento(9));
    EXPECT_EQ(log.filter("Sin diario de trabajos").size(), 2);
    EXPECT_EQ(tapes("Cocina").size(), 2);
    EXPECT_EQ(ultimoEstado(), estado0);
}

TEST_F(DiarioServidor, FinishedTicketsArePrunedAtStartAndThenByTheTimer) {
    {
        core::Diario d(dir.path());
        ASSERT_TRUE(d.abrir());
        const auto viejo =
            d.registrarDocumento(kRecibido.addDays(-30), "{}",
                                 {{TipoTicket::Comanda, "Cocina", "Cocina Mesa 1", "comanda:1"}});
        ASSERT_TRUE(d.marcar(viejo.value()[0], EstadoTicket::Impreso));
    }
    crear([](core::ConfigEnlace& c) { c.podaMs = 20; });
    servidor->abrirDiario(dir.path());
    EXPECT_TRUE(tickets().isEmpty()) << "pruned at start";

    recibir(documento(4));  // printed
    impresoras.setOffline("Bar", true, "Sin papel");
    impresoras.setOffline("Cocina", true, "Sin papel");
    recibir(documento(5));  // three tickets wait, the drawer failed
    ASSERT_EQ(tickets().size(), 8);
    QSignalSpy cambios(servidor.get(), &core::Servidor::ticketsCambiados);

    // A week later, with no restart, the timer's pass takes what finished.
    reloj = reloj.addDays(core::Diario::kDiasRetencion + 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tickets().size() == 3; }, 5000)) << tickets().size();
    for (const auto& t : tickets()) EXPECT_EQ(t.estado, EstadoTicket::Pendiente);
    EXPECT_GE(cambios.count(), 1) << "the list of tickets refreshes";
}

TEST_F(DiarioServidor, DocumentsFetchedDuringARetryPrintAfterItInTheOrderTheyCame) {
    servidor->abrirDiario(dir.path());
    impresoras.setOffline("Bar", true, "Sin papel");
    impresoras.setOffline("Cocina", true, "Sin papel");
    recibir(documento(5));
    impresoras.setOffline("Bar", false);
    impresoras.setOffline("Cocina", false);
    impresoras.clearOutputs();

    // Two fetches complete while the retry prints (a layout lets events run).
    bool llegaron = false;
    impresoras.setListener([&](const printing::TapeOutput&) {
        if (std::exchange(llegaron, true)) return;
        emit buscador.completo(documento(20));
        emit buscador.completo(documento(21));
    });
    servidor->reintentar();
    impresoras.setListener({});
    ASSERT_TRUE(llegaron);

    QStringList mesas;
    for (const QString& t : tapes("Cocina")) {
        for (const char* m : {"MESA 5", "MESA 20", "MESA 21"})
            if (t.contains(m, Qt::CaseInsensitive)) mesas << m;
    }
    EXPECT_EQ(mesas, (QStringList{"MESA 5", "MESA 20", "MESA 21"}));
    EXPECT_EQ(servidor->completadosEnEspera(), 0);
    EXPECT_EQ(ultimoEstado(), estado0);
}

// A file printed at start may take the name that a ticket left unwritten was given.
TEST_F(DiarioServidor, AtStartAFileOfAnotherTicketDoesNotPassForOneNeverWritten) {
    const QString nombre = dir.filePath("005-Cocina.txt");
    {
        core::Diario d(dir.path());
        ASSERT_TRUE(d.abrir());
        core::DespachoDiario despacho(d, entorno);
        const auto registrar = [&](int n) {
            const auto [raiz, errores] = json::parse(documento(n).mid(5));
            return d.registrarDocumento(kRecibido, documento(n).mid(5), despacho.planear(raiz))
                .value();
        };
        // An earlier document waits for Cocina; the next one was sending its Cocina ticket
        // to a file when the process ended.
        const auto espera = registrar(30);
        const auto enCurso = registrar(31);
        QList<core::CambioEstado> cambios;
        for (const qint64 id : espera.mid(1)) cambios.append({id, EstadoTicket::Impreso, {}, {}});
        cambios.append({enCurso[0], EstadoTicket::Enviado, nombre, {}});
        ASSERT_TRUE(d.marcar(cambios));
    }
    // The waiting ticket prints first, into the name the other one had been given.
    impresoras.setListener([&](const printing::TapeOutput& o) {
        if (o.printer != "Cocina" || QFileInfo::exists(nombre)) return;
        QFile f(nombre);
        if (f.open(QIODevice::WriteOnly)) f.write(o.content);
    });
    servidor->abrirDiario(dir.path());
    impresoras.setListener({});

    QStringList mesas;
    for (const QString& t : tapes("Cocina")) {
        for (const char* m : {"MESA 30", "MESA 31"})
            if (t.contains(m, Qt::CaseInsensitive)) mesas << m;
    }
    EXPECT_EQ(mesas, (QStringList{"MESA 30", "MESA 31"}));
    for (const auto& x : tickets()) EXPECT_NE(x.estado, EstadoTicket::Pendiente);
}

}  // namespace
