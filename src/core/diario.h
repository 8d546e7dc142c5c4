#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace core {

/** Where a ticket is on its way to paper. */
enum class EstadoTicket { Pendiente, Enviado, Impreso, Fallido, Ilegible };
/** What a journal row holds; Documento marks a received document that could not be read. */
enum class TipoTicket { Comanda, Anulacion, Factura, Cajon, Documento };

QString textoEstado(EstadoTicket estado);
QString textoTipo(TipoTicket tipo);

/** One ticket a dispatch is about to print, as the dispatch planned it. */
struct TicketPlan {
    TipoTicket tipo = TipoTicket::Comanda;
    QString impresora;
    QString titulo;
    QString clave;  // how the dispatch finds this ticket again in the document's text
};

struct TicketDiario {
    qint64 id = 0;
    qint64 documento = 0;
    int orden = 0;
    QDateTime recibido;  // when its document was received
    QDateTime creado;    // when this row was written (a reprint's own time)
    TipoTicket tipo = TipoTicket::Comanda;
    QString clave;
    QString impresora;
    EstadoTicket estado = EstadoTicket::Pendiente;
    QString envio;  // the CUPS job id, or the file or socket written
    QString titulo;
    qint64 copiaDe = 0;  // the ticket this one reprints; 0 for an original
};

struct DocumentoDiario {
    qint64 id = 0;
    QDateTime recibido;
    QString texto;
    QString error;  // the reader's first message for an unreadable document
};

/** One state change, for a batch of changes committed together. */
struct CambioEstado {
    qint64 ticket = 0;
    EstadoTicket estado = EstadoTicket::Pendiente;
    QString envio;      // null keeps the one recorded
    QString impresora;  // null keeps the one recorded
};

/**
 * The job journal: every received document and every ticket it printed or still has to
 * print, kept in APP-DIR/diario/diario.db (SQLite, WAL, synchronous=FULL) so that a crash, a
 * kill or a power cut loses nothing handed over by the job service.
 *
 * The journal never follows a symbolic link. A file that is not a readable journal is
 * renamed aside (never deleted) and a new one started. When the journal cannot be opened or
 * written, every call fails softly: error() says why, disponible() turns false, and the
 * server goes on printing without it.
 */
class Diario {
  public:
    static constexpr int kVersion = 1;
    static constexpr int kDiasRetencion = 7;
    static constexpr int kTicketsRetencion = 20000;

    /**
     * The SQL steps that build the journal: step i takes it from version i to version i + 1,
     * in one transaction with every later step. A newer program appends steps and never
     * changes old ones.
     */
    using Migraciones = QList<QByteArray>;
    /** This program's steps: kVersion of them. */
    static const Migraciones& migracionesPrograma();

    static QString rutaCarpeta(const QString& carpetaAplicacion);
    static QString rutaArchivo(const QString& carpetaAplicacion);

    /** `migraciones` stands for another program's steps (an older or a newer one). */
    explicit Diario(QString carpetaAplicacion, Migraciones migraciones = migracionesPrograma());
    ~Diario();
    Diario(const Diario&) = delete;
    Diario& operator=(const Diario&) = delete;

    /** Opens or creates the journal (migrating an older one). False with error() set. */
    bool abrir();
    /**
     * Opens an existing journal for reading only, creating and renaming nothing. False when
     * there is none (error() empty) or it cannot be read (error() set).
     */
    bool abrirLectura();
    void cerrar();
    bool disponible() const { return db_ != nullptr; }
    /** The last failure, in Spanish; "" when none. */
    const QString& error() const { return error_; }
    /** Where a corrupt journal was moved by the last abrir(); "" when none was. */
    const QString& apartado() const { return apartado_; }
    /** The version this program reads and writes: how many steps it knows. */
    int versionPrograma() const { return static_cast<int>(migraciones_.size()); }

    /**
     * Stores a received document and the tickets it will print, all `pendiente`, in one
     * transaction. Returns the tickets' ids in plan order; nothing on failure.
     */
    std::optional<QList<qint64>> registrarDocumento(const QDateTime& recibido, const QString& texto,
                                                    const QList<TicketPlan>& tickets);
    /** Stores a document the reader rejected, with the reader's first message. */
    std::optional<qint64> registrarIlegible(const QDateTime& recibido, const QString& texto,
                                            const QString& mensaje);
    /** A new `pendiente` ticket that prints `original` again, on `impresora`. */
    std::optional<qint64> registrarCopia(qint64 original, const QString& impresora,
                                         const QDateTime& ahora);

    /**
     * Commits every change in one transaction. A state change survives a crash of the
     * program at once, and a power cut once asegurar() has run or the next document, reading
     * or copy was stored: those commits flush the journal's log, and this one does not. A
     * flush costs up to milliseconds on a busy disk, and a document's tickets change state
     * several times; what must never be lost, the received document, is flushed before its
     * first ticket prints.
     */
    bool marcar(const QList<CambioEstado>& cambios);
    bool marcar(qint64 ticket, EstadoTicket estado, const QString& envio = {});
    /** Flushes every commit so far to the disk. False with error() set. */
    bool asegurar();
    /** A state change was committed and not flushed yet. */
    bool sinAsegurar() const { return sinAsegurar_; }
    /** Called when a committed change first waits for a flush (to schedule asegurar()). */
    void setAlQuedarSinAsegurar(std::function<void()> aviso) {
        alQuedarSinAsegurar_ = std::move(aviso);
    }

    std::optional<TicketDiario> ticket(qint64 id);
    std::optional<DocumentoDiario> documento(qint64 id);
    /** The document's tickets in print order (copies included). */
    QList<TicketDiario> ticketsDe(qint64 documento);
    /** Every row, oldest first. */
    QList<TicketDiario> todos();
    /** The newest `cuantos` rows, newest first. */
    QList<TicketDiario> ultimos(int cuantos);
    /** Tickets still `pendiente` or `enviado`, in print order. */
    QList<TicketDiario> sinTerminar();
    bool hayPendientes();

    /**
     * Drops finished rows older than the retention time or beyond the retention count
     * (`pendiente` and `enviado` tickets always stay), then documents left without rows, and
     * gives the space back to the file system. Returns how many rows went.
     */
    int podar(const QDateTime& ahora);

    /** The CUPS job name of a ticket: unique across journals, so a restart can find it. */
    QString nombreTrabajo(qint64 ticket) const;
    /** The ticket id in a job name made by nombreTrabajo(); 0 when it is not one of ours. */
    qint64 ticketDeTrabajo(const QString& nombre) const;

    /** One line of the --tickets listing (tab-separated, tabs and line ends escaped). */
    static QString lineaListado(const TicketDiario& t);

  private:
    bool abrirArchivo(bool soloLectura);
    bool preparar();
    bool migrar(int desde);
    bool ejecutar(const char* sql);
    bool fallo(const QString& que);
    bool apartarCorrupto();
    QList<TicketDiario> consultar(const QString& donde, const QList<QVariant>& valores = {});

    QString carpeta_;
    Migraciones migraciones_;
    sqlite3* db_ = nullptr;
    QHash<QString, sqlite3_stmt*> sentencias_;  // prepared once, by their SQL
    QString error_;
    QString apartado_;
    QString instancia_;
    bool danado_ = false;  // the last preparar() found a damaged file
    bool sinAsegurar_ = false;
    std::function<void()> alQuedarSinAsegurar_;
};

}  // namespace core
