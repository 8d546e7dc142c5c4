#include "core/diario.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <csignal>

namespace {

using core::Diario;
using core::EstadoTicket;
using core::TicketPlan;
using core::TipoTicket;

const QDateTime kRecibido = QDateTime(QDate(2026, 3, 14), QTime(12, 30, 5));

QList<TicketPlan> plan() {
    return {{TipoTicket::Comanda, "Cocina", "COCINA Mesa 4", "comanda:1"},
            {TipoTicket::Anulacion, "Bar", "BAR Mesa 4", "anulacion:1"},
            {TipoTicket::Factura, "Caja", "Factura 1001", "factura:1"},
            {TipoTicket::Cajon, "Caja", "Cajon", "cajon"}};
}

// A later program's steps: the present ones and then `mas`.
Diario::Migraciones conPasos(const QList<QByteArray>& mas) {
    return Diario::migracionesPrograma() + mas;
}

const QByteArray kPasoNota =
    "ALTER TABLE tickets ADD COLUMN nota TEXT NOT NULL DEFAULT '';"
    "CREATE INDEX tickets_creado ON tickets(creado);";

class DiarioTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString archivo() const { return Diario::rutaArchivo(dir.path()); }

    // What the file says, read past the journal's own code.
    int versionEnArchivo() const {
        sqlite3* db = nullptr;
        int version = -1;
        if (sqlite3_open_v2(QFile::encodeName(archivo()).constData(), &db, SQLITE_OPEN_READONLY,
                            nullptr) == SQLITE_OK) {
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &s, nullptr);
            if (sqlite3_step(s) == SQLITE_ROW) version = sqlite3_column_int(s, 0);
            sqlite3_finalize(s);
        }
        sqlite3_close_v2(db);
        return version;
    }

    // A journal of this program with a document whose tickets are in every state, an
    // unreadable document and a reprint; returns every row as the listing and the resume
    // code see it.
    QStringList llenarDiario() {
        Diario d(dir.path());
        EXPECT_TRUE(d.abrir()) << d.error().toStdString();
        const auto ids = d.registrarDocumento(kRecibido, "{\"comanda\":[]}", plan()).value();
        d.marcar({{ids[1], EstadoTicket::Enviado, "17", {}},
                  {ids[2], EstadoTicket::Impreso, "003-Caja.txt", {}},
                  {ids[3], EstadoTicket::Fallido, {}, {}}});
        d.registrarIlegible(kRecibido.addSecs(5), "<html>", "Error en linea 1");
        d.registrarCopia(ids[2], "Bar", kRecibido.addSecs(9));
        return filas(d);
    }

    static QStringList filas(Diario& d) {
        QStringList out;
        for (const auto& t : d.todos()) {
            out << Diario::lineaListado(t) + "|" + t.clave + "|" + t.envio + "|" +
                       QString::number(t.copiaDe) + "|" + d.nombreTrabajo(t.id) + "|" +
                       d.documento(t.documento)->texto;
        }
        return out;
    }

    QStringList apartados() const {
        return QDir(Diario::rutaCarpeta(dir.path())).entryList({"*danado*"}, QDir::Files);
    }
};

TEST_F(DiarioTest, KeepsDocumentsAndStatesAcrossReopening) {
    QList<qint64> ids;
    QString nombre;
    {
        Diario d(dir.path());
        ASSERT_TRUE(d.abrir()) << d.error().toStdString();
        EXPECT_TRUE(d.error().isEmpty());
        EXPECT_FALSE(d.hayPendientes());
        ids = d.registrarDocumento(kRecibido, "{\"comanda\":[]}", plan()).value();
        ASSERT_EQ(ids.size(), 4);
        EXPECT_TRUE(d.hayPendientes());
        EXPECT_TRUE(d.marcar({{ids[0], EstadoTicket::Enviado, "17", {}},
                              {ids[1], EstadoTicket::Impreso, "002-Bar.txt", {}}}));
        nombre = d.nombreTrabajo(ids[0]);
        EXPECT_EQ(d.ticketDeTrabajo(nombre), ids[0]);
        EXPECT_EQ(d.ticketDeTrabajo("ticket-otro-5"), 0);
    }
    Diario d(dir.path());
    ASSERT_TRUE(d.abrir());
    EXPECT_EQ(d.nombreTrabajo(ids[0]), nombre) << "a job name survives a restart";
    const auto t = d.ticket(ids[0]).value();
    EXPECT_EQ(t.estado, EstadoTicket::Enviado);
    EXPECT_EQ(t.envio, "17");
    EXPECT_EQ(t.recibido, kRecibido);
    EXPECT_EQ(t.impresora, "Cocina");
    EXPECT_EQ(t.clave, "comanda:1");
    EXPECT_EQ(d.documento(t.documento)->texto, "{\"comanda\":[]}");

    // Marking without a destination keeps the one recorded when it was sent.
    EXPECT_TRUE(d.marcar(ids[0], EstadoTicket::Impreso));
    EXPECT_EQ(d.ticket(ids[0])->envio, "17");

    const auto abiertos = d.sinTerminar();
    ASSERT_EQ(abiertos.size(), 2);
    EXPECT_EQ(abiertos[0].id, ids[2]);
    EXPECT_EQ(abiertos[1].tipo, TipoTicket::Cajon);

    const auto copia = d.registrarCopia(ids[2], "Bar", kRecibido.addSecs(60)).value();
    const auto c = d.ticket(copia).value();
    EXPECT_EQ(c.copiaDe, ids[2]);
    EXPECT_EQ(c.impresora, "Bar");
    EXPECT_EQ(c.estado, EstadoTicket::Pendiente);
    EXPECT_EQ(c.recibido, kRecibido) << "a copy prints the original document's time";
    EXPECT_EQ(d.ticketsDe(t.documento).last().id, copia) << "a copy prints after the rest";
    EXPECT_FALSE(d.registrarCopia(9999, "Bar", kRecibido));

    const auto ilegible = d.registrarIlegible(kRecibido, "<html>", "Error en linea 1").value();
    const auto ultimos = d.ultimos(2);
    ASSERT_EQ(ultimos.size(), 2);
    EXPECT_EQ(ultimos[0].id, ilegible);
    EXPECT_EQ(ultimos[0].estado, EstadoTicket::Ilegible);
    EXPECT_EQ(ultimos[1].id, copia);
    EXPECT_FALSE(d.registrarCopia(ilegible, "Bar", kRecibido)) << "nothing to reprint";
    EXPECT_EQ(d.todos().first().id, ids[0]);
}

TEST_F(DiarioTest, ListingLineIsTabSeparatedWithEscapes) {
    core::TicketDiario t;
    t.id = 42;
    t.recibido = kRecibido;
    t.tipo = TipoTicket::Factura;
    t.impresora = "Caja\tPrincipal";
    t.estado = EstadoTicket::Fallido;
    t.titulo = "FAC\\1\r\n";
    EXPECT_EQ(Diario::lineaListado(t),
              "42\t2026-03-14T12:30:05\tfactura\tCaja\\tPrincipal\tfallido\tFAC\\\\1\\r\\n");
}

TEST_F(DiarioTest, ReadingWithoutJournalCreatesNothing) {
    Diario d(dir.path());
    EXPECT_FALSE(d.abrirLectura());
    EXPECT_TRUE(d.error().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Diario::rutaCarpeta(dir.path())));
}

TEST_F(DiarioTest, DamagedFileIsSetAsideAndANewJournalStarts) {
    ASSERT_TRUE(QDir().mkpath(Diario::rutaCarpeta(dir.path())));
    QFile f(archivo());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QByteArray basura = QByteArray("no es un diario ").repeated(400);
    f.write(basura);
    f.close();

    Diario d(dir.path());
    ASSERT_TRUE(d.abrir());
    EXPECT_FALSE(d.error().isEmpty()) << "the caller must still say so";
    ASSERT_FALSE(d.apartado().isEmpty());
    QFile aparte(d.apartado());
    ASSERT_TRUE(aparte.open(QIODevice::ReadOnly)) << "set aside, never deleted";
    EXPECT_EQ(aparte.readAll(), basura);
    EXPECT_TRUE(d.registrarDocumento(kRecibido, "{}", plan()));
}

TEST_F(DiarioTest, JournalFromANewerProgramIsLeftAlone) {
    {
        Diario d(dir.path());
        ASSERT_TRUE(d.abrir());
        d.registrarDocumento(kRecibido, "{}", plan());
    }
    // Bump the version as a later program would.
    QFile::remove(archivo() + "-wal");
    QFile::remove(archivo() + "-shm");
    QFile f(archivo());
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(60);  // user_version, big-endian
    f.write(QByteArray("\0\0\0\x09", 4));
    f.close();

    Diario d(dir.path());
    EXPECT_FALSE(d.abrir());
    EXPECT_TRUE(d.error().contains("mas nueva")) << d.error().toStdString();
    EXPECT_FALSE(d.disponible());
    EXPECT_TRUE(d.apartado().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(archivo()));
}

TEST_F(DiarioTest, ANewerProgramMigratesAnOlderJournalKeepingEveryRow) {
    const QStringList antes = llenarDiario();
    ASSERT_EQ(antes.size(), 6);
    ASSERT_EQ(versionEnArchivo(), Diario::kVersion);

    {
        Diario d(dir.path(), conPasos({kPasoNota}));
        ASSERT_TRUE(d.abrir()) << d.error().toStdString();
        EXPECT_TRUE(d.error().isEmpty());
        EXPECT_TRUE(d.apartado().isEmpty());
        EXPECT_EQ(filas(d), antes) << "rows, states and job names survive the migration";
        EXPECT_EQ(d.sinTerminar().size(), 3) << "pendiente and enviado still resume";
        EXPECT_TRUE(d.registrarDocumento(kRecibido, "{}", plan())) << "and it takes new ones";
    }
    EXPECT_EQ(versionEnArchivo(), Diario::kVersion + 1);

    // Opened again by the same newer program: nothing left to migrate.
    Diario d(dir.path(), conPasos({kPasoNota}));
    ASSERT_TRUE(d.abrir()) << d.error().toStdString();
    EXPECT_EQ(d.todos().size(), antes.size() + 4);
}

TEST_F(DiarioTest, AFailedMigrationRollsBackAndLeavesTheJournalInPlace) {
    const QStringList antes = llenarDiario();
    {
        // The first new step works, the second cannot: neither may stay.
        Diario d(dir.path(), conPasos({kPasoNota, "CREATE TABLE tickets(x INTEGER);"}));
        EXPECT_FALSE(d.abrir());
        EXPECT_FALSE(d.disponible());
        EXPECT_TRUE(
            d.error().startsWith(QStringLiteral("No se pudo actualizar el diario a la version %1: ")
                                     .arg(Diario::kVersion + 2)))
            << d.error().toStdString();
        EXPECT_TRUE(d.error().contains("already exists")) << "SQLite's own reason follows";
        EXPECT_FALSE(d.registrarDocumento(kRecibido, "{}", plan())) << "fails softly";
        EXPECT_TRUE(d.apartado().isEmpty()) << "a failed migration is not a damaged file";
    }
    EXPECT_TRUE(apartados().isEmpty()) << apartados().join(", ").toStdString();
    EXPECT_EQ(versionEnArchivo(), Diario::kVersion);
    {
        Diario d(dir.path());
        ASSERT_TRUE(d.abrir()) << d.error().toStdString();
        EXPECT_EQ(filas(d), antes);
    }
    // The step that worked was rolled back too: adding its column again succeeds.
    Diario d(dir.path(), conPasos({kPasoNota}));
    ASSERT_TRUE(d.abrir()) << d.error().toStdString();
    EXPECT_EQ(filas(d), antes);
}

TEST_F(DiarioTest, AJournalOfANewerVersionIsNeitherUsedNorSetAside) {
    QStringList antes;
    {
        Diario d(dir.path(), conPasos({kPasoNota}));
        ASSERT_TRUE(d.abrir());
        const auto ids = d.registrarDocumento(kRecibido, "{}", plan()).value();
        d.marcar(ids[0], EstadoTicket::Impreso);
        antes = filas(d);
    }
    Diario viejo(dir.path());
    EXPECT_FALSE(viejo.abrir());
    EXPECT_TRUE(viejo.error().contains("mas nueva")) << viejo.error().toStdString();
    EXPECT_FALSE(viejo.disponible());
    EXPECT_FALSE(viejo.registrarDocumento(kRecibido, "{}", plan()));
    EXPECT_FALSE(viejo.abrirLectura()) << "not listed either";
    EXPECT_TRUE(apartados().isEmpty());
    EXPECT_EQ(versionEnArchivo(), Diario::kVersion + 1);

    Diario nuevo(dir.path(), conPasos({kPasoNota}));
    ASSERT_TRUE(nuevo.abrir()) << nuevo.error().toStdString();
    EXPECT_EQ(filas(nuevo), antes) << "the newer program finds it as it left it";
}

TEST_F(DiarioTest, NeverFollowsASymbolicLink) {
    QTemporaryDir otro;
    const QString destino = otro.filePath("real.db");
    {
        QFile f(destino);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("ajeno");
    }
    ASSERT_TRUE(QDir().mkpath(Diario::rutaCarpeta(dir.path())));
    ASSERT_TRUE(QFile::link(destino, archivo()));
    Diario d(dir.path());
    EXPECT_FALSE(d.abrir());
    EXPECT_TRUE(d.error().contains("enlace")) << d.error().toStdString();
    QFile f(destino);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "ajeno");
    EXPECT_TRUE(QFileInfo(archivo()).isSymLink()) << "the link is not renamed aside";

    // A linked folder is refused too.
    QTemporaryDir app;
    ASSERT_TRUE(QFile::link(otro.path(), Diario::rutaCarpeta(app.path())));
    Diario e(app.path());
    EXPECT_FALSE(e.abrir());
    EXPECT_FALSE(QFileInfo::exists(otro.filePath("diario.db")));
}

TEST_F(DiarioTest, ReadOnlyFolderLeavesTheJournalUnavailable) {
    const QString carpeta = dir.filePath("solo-lectura");
    ASSERT_TRUE(QDir().mkpath(carpeta));
    bool montado = false;
    if (::geteuid() == 0) {
        // Permissions do not stop root: a read-only mount does.
        montado = ::mount("tmpfs", QFile::encodeName(carpeta).constData(), "tmpfs", MS_RDONLY,
                          "size=64k") == 0;
        if (!montado) GTEST_SKIP() << "cannot mount a read-only file system here";
    } else {
        QFile::setPermissions(carpeta, QFile::ReadOwner | QFile::ExeOwner);
    }
    Diario d(carpeta);
    EXPECT_FALSE(d.abrir());
    EXPECT_FALSE(d.error().isEmpty());
    EXPECT_FALSE(d.disponible());
    EXPECT_FALSE(d.registrarDocumento(kRecibido, "{}", plan()));
    EXPECT_FALSE(d.marcar(1, EstadoTicket::Impreso));
    EXPECT_TRUE(d.ultimos(10).isEmpty());
    if (montado) ::umount(QFile::encodeName(carpeta).constData());
}

TEST_F(DiarioTest, FailedWriteKeepsWhatWasCommittedAndNothingHalfDone) {
    Diario d(dir.path());
    ASSERT_TRUE(d.abrir());
    const auto primero = d.registrarDocumento(kRecibido, "{\"a\":1}", plan()).value();

    // A file-size limit plays a full disk: every write past it fails.
    const auto anterior = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limite{};
    ::getrlimit(RLIMIT_FSIZE, &limite);
    rlimit corto = limite;
    corto.rlim_cur = static_cast<rlim_t>(QFileInfo(archivo() + "-wal").size() + 32 * 1024);
    ::setrlimit(RLIMIT_FSIZE, &corto);
    // Random text: compression cannot make it small.
    QString grande;
    for (int i = 0; i < 200 * 1024; ++i)
        grande += QChar(static_cast<char16_t>(u'a' + QRandomGenerator::global()->bounded(26)));
    const bool escrito = d.registrarDocumento(kRecibido, grande, plan()).has_value();
    ::setrlimit(RLIMIT_FSIZE, &limite);
    std::signal(SIGXFSZ, anterior);

    EXPECT_FALSE(escrito);
    EXPECT_FALSE(d.disponible());
    EXPECT_FALSE(d.error().isEmpty());
    EXPECT_FALSE(d.marcar(primero[0], EstadoTicket::Impreso)) << "fails softly, no crash";

    Diario otra(dir.path());
    ASSERT_TRUE(otra.abrir()) << otra.error().toStdString();
    EXPECT_TRUE(otra.apartado().isEmpty());
    const auto todos = otra.todos();
    ASSERT_EQ(todos.size(), 4) << "the failed document left no rows";
    EXPECT_EQ(todos[0].id, primero[0]);
}

TEST_F(DiarioTest, StateChangesSurviveACrashBeforeTheirFlush) {
    QList<qint64> ids;
    {
        Diario d(dir.path());
        ASSERT_TRUE(d.abrir());
        ids = d.registrarDocumento(kRecibido, "{\"a\":1}", plan()).value();
    }
    // A child process marks a ticket and dies at once, as a kill -9 would end it: no flush,
    // no close, no checkpoint.
    const pid_t hijo = ::fork();
    ASSERT_GE(hijo, 0);
    if (hijo == 0) {
        Diario d(dir.path());
        const bool ok = d.abrir() && d.marcar(ids[0], EstadoTicket::Enviado, "007-Cocina.txt") &&
                        d.sinAsegurar();
        ::_exit(ok ? 0 : 1);
    }
    int estado = 0;
    ASSERT_EQ(::waitpid(hijo, &estado, 0), hijo);
    ASSERT_TRUE(WIFEXITED(estado));
    ASSERT_EQ(WEXITSTATUS(estado), 0);

    Diario d(dir.path());
    ASSERT_TRUE(d.abrir());
    EXPECT_EQ(d.ticket(ids[0])->estado, EstadoTicket::Enviado);
    EXPECT_EQ(d.ticket(ids[0])->envio, "007-Cocina.txt");

    // Each change after a flush asks for one: the server schedules it then.
    int pedidos = 0;
    d.setAlQuedarSinAsegurar([&pedidos] { ++pedidos; });
    EXPECT_FALSE(d.sinAsegurar());
    ASSERT_TRUE(d.marcar(ids[1], EstadoTicket::Impreso));
    ASSERT_TRUE(d.marcar(ids[2], EstadoTicket::Impreso));
    EXPECT_TRUE(d.sinAsegurar());
    EXPECT_EQ(pedidos, 1);
    ASSERT_TRUE(d.asegurar()) << d.error().toStdString();
    EXPECT_FALSE(d.sinAsegurar());
    ASSERT_TRUE(d.marcar(ids[3], EstadoTicket::Fallido));
    EXPECT_EQ(pedidos, 2);
    // A stored document flushes the log, and every change before it with it.
    ASSERT_TRUE(d.registrarDocumento(kRecibido, "{\"b\":2}", plan()).has_value());
    EXPECT_FALSE(d.sinAsegurar());
}

TEST_F(DiarioTest, PruningKeepsUnfinishedTicketsAndTheNewest) {
    Diario d(dir.path());
    ASSERT_TRUE(d.abrir());
    const QDateTime ahora = kRecibido.addDays(30);
    // An old document: one ticket printed, one still pending, one sent.
    const auto viejos = d.registrarDocumento(kRecibido, "viejo", plan().mid(0, 3)).value();
    d.marcar(
        {{viejos[0], EstadoTicket::Impreso, {}, {}}, {viejos[2], EstadoTicket::Enviado, "9", {}}});
    // An old document entirely printed goes with its text.
    const auto impreso = d.registrarDocumento(kRecibido, "impreso", plan().mid(0, 1)).value();
    d.marcar(impreso[0], EstadoTicket::Impreso);
    const qint64 docImpreso = d.ticket(impreso[0])->documento;
    // Recent documents, more than the retention count, all printed.
    QList<TicketPlan> muchos(Diario::kTicketsRetencion + 5, plan()[0]);
    const auto recientes = d.registrarDocumento(ahora.addSecs(-60), "reciente", muchos).value();
    QList<core::CambioEstado> cambios;
    for (const qint64 id : recientes) cambios.append({id, EstadoTicket::Impreso, {}, {}});
    ASSERT_TRUE(d.marcar(cambios));

    EXPECT_EQ(d.podar(ahora), 1 + 1 + 5);
    EXPECT_FALSE(d.ticket(viejos[0]));
    EXPECT_TRUE(d.ticket(viejos[1])) << "pendiente is never pruned";
    EXPECT_TRUE(d.ticket(viejos[2])) << "enviado is never pruned";
    EXPECT_FALSE(d.documento(docImpreso)) << "a document without rows goes";
    EXPECT_FALSE(d.ticket(recientes[4]));
    EXPECT_TRUE(d.ticket(recientes[5]));
    EXPECT_EQ(d.todos().size(), Diario::kTicketsRetencion + 2);
    EXPECT_EQ(d.podar(ahora), 0);
}

}  // namespace
