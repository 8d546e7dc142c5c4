#include "diario.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cstring>

namespace core {

namespace {

const char* const kEstados[] = {"pendiente", "enviado", "impreso", "fallido", "ilegible"};
const char* const kTipos[] = {"comanda", "anulacion", "factura", "cajon", "documento"};

template <typename E, size_t N>
E desdeTexto(const char* const (&nombres)[N], const QString& texto, E otro) {
    for (size_t i = 0; i < N; ++i) {
        if (texto == QLatin1String(nombres[i])) return static_cast<E>(i);
    }
    return otro;
}

bool esEnlace(const QString& ruta) {
    struct stat info {};
    return ::lstat(QFile::encodeName(ruta).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

/**
 * One prepared statement, finalised when it goes out of scope; or, taken from a journal's
 * cache of statements, reset and kept for the next time (parsing the SQL costs more than
 * running it).
 */
class Sentencia {
  public:
    Sentencia(sqlite3* db, const QString& sql) {
        const QByteArray texto = sql.toUtf8();
        codigo_ = sqlite3_prepare_v2(db, texto.constData(), static_cast<int>(texto.size()), &stmt_,
                                     nullptr);
    }
    Sentencia(QHash<QString, sqlite3_stmt*>& cache, sqlite3* db, const QString& sql)
        : cache_(&cache), clave_(sql) {
        sqlite3_stmt*& guardada = cache[sql];
        if (guardada && !sqlite3_stmt_busy(guardada)) {
            stmt_ = guardada;
            propia_ = false;
            codigo_ = SQLITE_OK;
            return;
        }
        const QByteArray texto = sql.toUtf8();
        codigo_ = sqlite3_prepare_v3(db, texto.constData(), static_cast<int>(texto.size()),
                                     SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
        if (stmt_ && !guardada) {  // one in use stays apart: this copy is finalised
            guardada = stmt_;
            propia_ = false;
        }
    }
    ~Sentencia() {
        if (propia_) {
            sqlite3_finalize(stmt_);
        } else if (cache_->value(clave_) == stmt_) {  // not finalised by a close meanwhile
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    Sentencia(const Sentencia&) = delete;
    Sentencia& operator=(const Sentencia&) = delete;

    bool valida() const { return stmt_ != nullptr; }
    int codigo() const { return codigo_; }

    void enlazar(int i, const QVariant& v) {
        if (!valida()) return;
        if (v.isNull()) {
            sqlite3_bind_null(stmt_, i);
        } else if (v.typeId() == QMetaType::QByteArray) {
            const QByteArray b = v.toByteArray();
            sqlite3_bind_blob(stmt_, i, b.constData(), static_cast<int>(b.size()),
                              SQLITE_TRANSIENT);
        } else if (v.typeId() == QMetaType::QString) {
            const QByteArray t = v.toString().toUtf8();
            sqlite3_bind_text(stmt_, i, t.constData(), static_cast<int>(t.size()),
                              SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_int64(stmt_, i, v.toLongLong());
        }
    }
    void enlazarTodos(const QList<QVariant>& valores) {
        for (int i = 0; i < valores.size(); ++i) enlazar(i + 1, valores[i]);
    }
    /** SQLITE_ROW, SQLITE_DONE or an error code. */
    int paso() {
        if (!valida()) return codigo_;
        codigo_ = sqlite3_step(stmt_);
        return codigo_;
    }
    bool ejecutar() {
        const int c = paso();
        sqlite3_reset(stmt_);
        return c == SQLITE_DONE || c == SQLITE_ROW;
    }
    qint64 entero(int col) const { return sqlite3_column_int64(stmt_, col); }
    QString texto(int col) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return t ? QString::fromUtf8(t, sqlite3_column_bytes(stmt_, col)) : QString();
    }
    bool nulo(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
    /** A document's text: stored compressed, read either way. */
    QString documento(int col) const {
        if (sqlite3_column_type(stmt_, col) != SQLITE_BLOB) return texto(col);
        const QByteArray b(static_cast<const char*>(sqlite3_column_blob(stmt_, col)),
                           sqlite3_column_bytes(stmt_, col));
        return QString::fromUtf8(qUncompress(b));
    }

  private:
    sqlite3_stmt* stmt_ = nullptr;
    int codigo_ = SQLITE_ERROR;
    bool propia_ = true;
    QHash<QString, sqlite3_stmt*>* cache_ = nullptr;
    QString clave_;
};

// Job documents are JSON: compressed, a journal of 20,000 tickets stays a few megabytes.
// The fastest level: a document is stored before its first ticket prints, and the size it
// saves over the slower levels is small on job documents.
QByteArray comprimir(const QString& texto) {
    return qCompress(texto.toUtf8(), 1);
}

QDateTime desdeMs(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms);
}

const char* const kColumnas =
    "SELECT t.id, t.documento, t.orden, d.recibido, t.creado, t.tipo, t.clave, t.impresora, "
    "t.estado, t.envio, t.titulo, t.copia_de FROM tickets t JOIN documentos d ON d.id = "
    "t.documento ";

}  // namespace

QString textoEstado(EstadoTicket estado) {
    return QLatin1String(kEstados[static_cast<int>(estado)]);
}

QString textoTipo(TipoTicket tipo) {
    return QLatin1String(kTipos[static_cast<int>(tipo)]);
}

const Diario::Migraciones& Diario::migracionesPrograma() {
    static const Migraciones pasos = {
        // 1
        "CREATE TABLE meta(clave TEXT PRIMARY KEY, valor TEXT NOT NULL);"
        "CREATE TABLE documentos(id INTEGER PRIMARY KEY AUTOINCREMENT, recibido INTEGER NOT NULL,"
        " texto BLOB NOT NULL, error TEXT);"
        "CREATE TABLE tickets(id INTEGER PRIMARY KEY AUTOINCREMENT, documento INTEGER NOT NULL,"
        " orden INTEGER NOT NULL, tipo TEXT NOT NULL, clave TEXT NOT NULL DEFAULT '',"
        " impresora TEXT NOT NULL DEFAULT '', estado TEXT NOT NULL, envio TEXT NOT NULL DEFAULT "
        "'', titulo TEXT NOT NULL DEFAULT '', copia_de INTEGER, creado INTEGER NOT NULL);"
        "CREATE INDEX tickets_documento ON tickets(documento, orden);"
        "CREATE INDEX tickets_estado ON tickets(estado);",
    };
    Q_ASSERT(pasos.size() == kVersion);
    return pasos;
}

QString Diario::rutaCarpeta(const QString& carpetaAplicacion) {
    return QDir(carpetaAplicacion).filePath(QStringLiteral("diario"));
}

QString Diario::rutaArchivo(const QString& carpetaAplicacion) {
    return QDir(rutaCarpeta(carpetaAplicacion)).filePath(QStringLiteral("diario.db"));
}

Diario::Diario(QString carpetaAplicacion, Migraciones migraciones)
    : carpeta_(std::move(carpetaAplicacion)), migraciones_(std::move(migraciones)) {}

Diario::~Diario() {
    cerrar();
}

void Diario::cerrar() {
    for (sqlite3_stmt* s : std::as_const(sentencias_)) sqlite3_finalize(s);
    sentencias_.clear();
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool Diario::fallo(const QString& que) {
    QString detalle;
    if (db_) detalle = QString::fromUtf8(sqlite3_errmsg(db_));
    error_ = detalle.isEmpty() ? que : que + QStringLiteral(": ") + detalle;
    cerrar();
    return false;
}

bool Diario::ejecutar(const char* sql) {
    if (!std::strchr(sql, ';')) {  // one statement: kept prepared
        Sentencia s(sentencias_, db_, QString::fromLatin1(sql));
        int c = s.paso();
        while (c == SQLITE_ROW) c = s.paso();
        return c == SQLITE_DONE;
    }
    char* mensaje = nullptr;
    const int c = sqlite3_exec(db_, sql, nullptr, nullptr, &mensaje);
    sqlite3_free(mensaje);
    return c == SQLITE_OK;
}

bool Diario::abrirArchivo(bool soloLectura) {
    cerrar();
    const QString carpeta = rutaCarpeta(carpeta_);
    const QString archivo = rutaArchivo(carpeta_);
    if (esEnlace(carpeta)) {
        error_ = QStringLiteral("El diario es un enlace simbolico y no se abre: ") + carpeta;
        return false;
    }
    for (const QString& ruta :
         {archivo, archivo + QStringLiteral("-wal"), archivo + QStringLiteral("-shm")}) {
        if (esEnlace(ruta)) {
            error_ = QStringLiteral("El diario es un enlace simbolico y no se abre: ") + ruta;
            return false;
        }
    }
    if (!soloLectura && !QDir().mkpath(carpeta)) {
        error_ = QStringLiteral("No se pudo crear la carpeta del diario ") + carpeta;
        return false;
    }
    const int flags =
        SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX |
        (soloLectura ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    const QByteArray ruta = QFile::encodeName(archivo);
    if (sqlite3_open_v2(ruta.constData(), &db_, flags, nullptr) != SQLITE_OK) {
        return fallo(QStringLiteral("No se pudo abrir el diario ") + archivo);
    }
    sqlite3_extended_result_codes(db_, 1);
    return true;
}

bool Diario::abrir() {
    error_.clear();
    apartado_.clear();
    if (!abrirArchivo(false)) return false;
    if (preparar()) return true;
    if (!danado_) return false;
    // A file that is not a journal, or a damaged one, goes aside and a new journal starts.
    const QString motivo = error_;
    if (!apartarCorrupto() || !abrirArchivo(false) || !preparar()) return false;
    error_ = motivo;  // opened, but the caller must say that a journal was set aside
    return true;
}

bool Diario::abrirLectura() {
    error_.clear();
    if (!QFileInfo::exists(rutaArchivo(carpeta_))) return false;
    if (!abrirArchivo(true)) return false;
    sqlite3_busy_timeout(db_, 2000);
    Sentencia version(db_, QStringLiteral("PRAGMA user_version"));
    if (version.paso() != SQLITE_ROW) return fallo(QStringLiteral("No se pudo leer el diario"));
    if (version.entero(0) != versionPrograma()) {
        error_ = QStringLiteral("El diario tiene otra version (%1)").arg(version.entero(0));
        cerrar();
        return false;
    }
    return true;
}

bool Diario::preparar() {
    sqlite3_busy_timeout(db_, 2000);
    danado_ = false;
    {
        Sentencia revision(db_, QStringLiteral("PRAGMA quick_check"));
        QString problema;
        if (revision.paso() != SQLITE_ROW) {
            const int codigo = sqlite3_errcode(db_) & 0xff;
            danado_ = codigo == SQLITE_CORRUPT || codigo == SQLITE_NOTADB;
            problema = QString::fromUtf8(sqlite3_errmsg(db_));
        } else if (revision.texto(0) != QLatin1String("ok")) {
            danado_ = true;  // damage found by the check comes as rows, not as an error
            problema = revision.texto(0);
        }
        if (!problema.isEmpty()) {
            error_ = (danado_ ? QStringLiteral("El diario esta danado: ")
                              : QStringLiteral("No se pudo leer el diario: ")) +
                     problema;
            cerrar();
            return false;
        }
    }
    int version = 0;
    {
        Sentencia v(db_, QStringLiteral("PRAGMA user_version"));
        if (v.paso() != SQLITE_ROW) return fallo(QStringLiteral("No se pudo leer el diario"));
        version = static_cast<int>(v.entero(0));
    }
    if (version > versionPrograma()) {
        error_ =
            QStringLiteral("El diario es de una version mas nueva del programa (%1) y no se usa")
                .arg(version);
        cerrar();
        return false;
    }
    // The space of pruned rows goes back to the file system; set before the first table.
    if (version == 0 && !ejecutar("PRAGMA auto_vacuum=INCREMENTAL")) {
        return fallo(QStringLiteral("No se pudo preparar el diario"));
    }
    {
        Sentencia modo(db_, QStringLiteral("PRAGMA journal_mode=WAL"));
        if (modo.paso() != SQLITE_ROW || modo.texto(0) != QLatin1String("wal")) {
            return fallo(QStringLiteral("No se pudo preparar el diario"));
        }
    }
    if (!ejecutar("PRAGMA synchronous=FULL") || !ejecutar("PRAGMA journal_size_limit=4194304")) {
        return fallo(QStringLiteral("No se pudo preparar el diario"));
    }
    if (version < versionPrograma() && !migrar(version)) return false;
    Sentencia instancia(db_, QStringLiteral("SELECT valor FROM meta WHERE clave='instancia'"));
    if (instancia.paso() != SQLITE_ROW) return fallo(QStringLiteral("No se pudo leer el diario"));
    instancia_ = instancia.texto(0);
    return true;
}

bool Diario::migrar(int desde) {
    if (!ejecutar("BEGIN IMMEDIATE")) return fallo(QStringLiteral("No se pudo escribir el diario"));
    for (int v = desde; v < versionPrograma(); ++v) {
        if (!ejecutar(migraciones_[v].constData())) {
            // Taken before the rollback, which would leave its own (empty) message.
            const QString detalle = QString::fromUtf8(sqlite3_errmsg(db_));
            ejecutar("ROLLBACK");
            error_ = QStringLiteral("No se pudo actualizar el diario a la version %1: %2")
                         .arg(v + 1)
                         .arg(detalle);
            cerrar();
            return false;
        }
    }
    // A random name per journal keeps the CUPS job names of a new journal apart from those of
    // one set aside.
    const QString instancia =
        QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, u'0');
    Sentencia meta(
        db_, QStringLiteral("INSERT OR IGNORE INTO meta(clave, valor) VALUES('instancia', ?)"));
    meta.enlazar(1, instancia);
    const QByteArray hasta =
        QStringLiteral("PRAGMA user_version=%1").arg(versionPrograma()).toUtf8();
    const bool ok = meta.ejecutar() && ejecutar(hasta.constData()) && ejecutar("COMMIT");
    if (!ok) {
        ejecutar("ROLLBACK");
        return fallo(QStringLiteral("No se pudo escribir el diario"));
    }
    return true;
}

bool Diario::apartarCorrupto() {
    cerrar();
    const QString archivo = rutaArchivo(carpeta_);
    const QString destino =
        archivo + QStringLiteral(".danado-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (!QFile::rename(archivo, destino)) {
        error_ = QStringLiteral("No se pudo apartar el diario danado ") + archivo;
        return false;
    }
    // What the damaged file left in its companions belongs to it.
    for (const char* sufijo : {"-wal", "-shm"}) {
        const QString ruta = archivo + QLatin1String(sufijo);
        if (QFileInfo::exists(ruta)) QFile::rename(ruta, destino + QLatin1String(sufijo));
    }
    apartado_ = destino;
    return true;
}

std::optional<QList<qint64>> Diario::registrarDocumento(const QDateTime& recibido,
                                                        const QString& texto,
                                                        const QList<TicketPlan>& tickets) {
    if (!db_) return std::nullopt;
    if (!ejecutar("BEGIN IMMEDIATE")) {
        fallo(QStringLiteral("No se pudo escribir el diario"));
        return std::nullopt;
    }
    QList<qint64> ids;
    bool ok = false;
    {
        Sentencia doc(sentencias_, db_,
                      QStringLiteral("INSERT INTO documentos(recibido, texto) VALUES(?, ?)"));
        doc.enlazarTodos({recibido.toMSecsSinceEpoch(), comprimir(texto)});
        ok = doc.ejecutar();
        const qint64 documento = sqlite3_last_insert_rowid(db_);
        Sentencia t(sentencias_, db_,
                    QStringLiteral("INSERT INTO tickets(documento, orden, tipo, clave, "
                                   "impresora, estado, titulo, creado) "
                                   "VALUES(?, ?, ?, ?, ?, 'pendiente', ?, ?)"));
        for (int i = 0; ok && i < tickets.size(); ++i) {
            const TicketPlan& p = tickets[i];
            t.enlazarTodos({documento, i, textoTipo(p.tipo), p.clave, p.impresora, p.titulo,
                            recibido.toMSecsSinceEpoch()});
            ok = t.ejecutar();
            ids.append(sqlite3_last_insert_rowid(db_));
        }
    }
    if (!ok || !ejecutar("COMMIT")) {
        ejecutar("ROLLBACK");
        fallo(QStringLiteral("No se pudo escribir el diario"));
        return std::nullopt;
    }
    sinAsegurar_ = false;  // the commit flushed the log, earlier changes with it
    return ids;
}

std::optional<qint64> Diario::registrarIlegible(const QDateTime& recibido, const QString& texto,
                                                const QString& mensaje) {
    if (!db_) return std::nullopt;
    if (!ejecutar("BEGIN IMMEDIATE")) {
        fallo(QStringLiteral("No se pudo escribir el diario"));
        return std::nullopt;
    }
    Sentencia doc(db_,
                  QStringLiteral("INSERT INTO documentos(recibido, texto, error) VALUES(?, ?, ?)"));
    doc.enlazarTodos({recibido.toMSecsSinceEpoch(), comprimir(texto), mensaje});
    bool ok = doc.ejecutar();
    const qint64 documento = sqlite3_last_insert_rowid(db_);
    Sentencia t(db_, QStringLiteral("INSERT INTO tickets(documento, orden, tipo, estado, "
                                    "titulo, creado) VALUES(?, 0, 'documento', 'ilegible', ?, ?)"));
    t.enlazarTodos({documento, mensaje, recibido.toMSecsSinceEpoch()});
    ok = ok && t.ejecutar();
    const qint64 id = sqlite3_last_insert_rowid(db_);
    if (!ok || !ejecutar("COMMIT")) {
        ejecutar("ROLLBACK");
        fallo(QStringLiteral("No se pudo escribir el diario"));
        return std::nullopt;
    }
    sinAsegurar_ = false;
    return id;
}

std::optional<qint64> Diario::registrarCopia(qint64 original, const QString& impresora,
                                             const QDateTime& ahora) {
    if (!db_) return std::nullopt;
    const auto t = ticket(original);
    if (!t || t->tipo == TipoTicket::Documento) return std::nullopt;
    Sentencia copia(db_,
                    QStringLiteral("INSERT INTO tickets(documento, orden, tipo, clave, impresora, "
                                   "estado, titulo, copia_de, creado) "
                                   "SELECT documento, (SELECT MAX(orden) + 1 FROM tickets WHERE "
                                   "documento = ?1), tipo, clave, ?2, 'pendiente', titulo, ?3, ?4 "
                                   "FROM tickets WHERE id = ?3"));
    copia.enlazarTodos({t->documento, impresora, original, ahora.toMSecsSinceEpoch()});
    if (!copia.ejecutar()) {
        fallo(QStringLiteral("No se pudo escribir el diario"));
        return std::nullopt;
    }
    sinAsegurar_ = false;
    return sqlite3_last_insert_rowid(db_);
}

bool Diario::marcar(const QList<CambioEstado>& cambios) {
    if (!db_) return false;
    if (cambios.isEmpty()) return true;
    // In WAL mode a commit without the flush is written to the log all the same: a crash of
    // the program keeps it, and the log stays readable after a power cut.
    if (!ejecutar("PRAGMA synchronous=NORMAL") || !ejecutar("BEGIN IMMEDIATE")) {
        ejecutar("PRAGMA synchronous=FULL");
        return fallo(QStringLiteral("No se pudo escribir el diario"));
    }
    bool ok = true;
    {
        Sentencia s(sentencias_, db_,
                    QStringLiteral("UPDATE tickets SET estado = ?, envio = "
                                   "COALESCE(?, envio), impresora = COALESCE(?, impresora) "
                                   "WHERE id = ?"));
        for (const CambioEstado& c : cambios) {
            s.enlazarTodos({textoEstado(c.estado), c.envio.isNull() ? QVariant() : c.envio,
                            c.impresora.isNull() ? QVariant() : c.impresora, c.ticket});
            if (!(ok = s.ejecutar())) break;
        }
    }
    if (!ok || !ejecutar("COMMIT")) {
        ejecutar("ROLLBACK");
        ejecutar("PRAGMA synchronous=FULL");
        return fallo(QStringLiteral("No se pudo escribir el diario"));
    }
    if (!ejecutar("PRAGMA synchronous=FULL"))
        return fallo(QStringLiteral("No se pudo preparar el diario"));
    if (!sinAsegurar_) {
        sinAsegurar_ = true;
        if (alQuedarSinAsegurar_) alQuedarSinAsegurar_();
    }
    return true;
}

bool Diario::asegurar() {
    if (!db_) return false;
    if (!sinAsegurar_) return true;
    // The log holds every commit not yet copied into the database file: flushing it makes
    // them all durable, exactly as a commit with the flush would have.
    sqlite3_file* log = nullptr;
    int codigo = sqlite3_file_control(db_, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log);
    if (codigo == SQLITE_OK && log && log->pMethods) {
        codigo = log->pMethods->xSync(log, SQLITE_SYNC_FULL);
    } else {
        // No log open: copying it into the database flushes both.
        codigo =
            sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }
    if (codigo != SQLITE_OK)
        return fallo(QStringLiteral("No se pudo asegurar el diario en el disco"));
    sinAsegurar_ = false;
    return true;
}

bool Diario::marcar(qint64 ticket, EstadoTicket estado, const QString& envio) {
    return marcar(QList<CambioEstado>{{ticket, estado, envio, {}}});
}

QList<TicketDiario> Diario::consultar(const QString& donde, const QList<QVariant>& valores) {
    QList<TicketDiario> lista;
    if (!db_) return lista;
    Sentencia s(sentencias_, db_, QLatin1String(kColumnas) + donde);
    s.enlazarTodos(valores);
    while (s.paso() == SQLITE_ROW) {
        TicketDiario t;
        t.id = s.entero(0);
        t.documento = s.entero(1);
        t.orden = static_cast<int>(s.entero(2));
        t.recibido = desdeMs(s.entero(3));
        t.creado = desdeMs(s.entero(4));
        t.tipo = desdeTexto(kTipos, s.texto(5), TipoTicket::Documento);
        t.clave = s.texto(6);
        t.impresora = s.texto(7);
        t.estado = desdeTexto(kEstados, s.texto(8), EstadoTicket::Fallido);
        t.envio = s.texto(9);
        t.titulo = s.texto(10);
        t.copiaDe = s.nulo(11) ? 0 : s.entero(11);
        lista.append(t);
    }
    if (s.codigo() != SQLITE_DONE) fallo(QStringLiteral("No se pudo leer el diario"));
    return lista;
}

std::optional<TicketDiario> Diario::ticket(qint64 id) {
    const auto l = consultar(QStringLiteral("WHERE t.id = ?"), {id});
    if (l.isEmpty()) return std::nullopt;
    return l.first();
}

std::optional<DocumentoDiario> Diario::documento(qint64 id) {
    if (!db_) return std::nullopt;
    Sentencia s(sentencias_, db_,
                QStringLiteral("SELECT recibido, texto, error FROM documentos WHERE id = ?"));
    s.enlazar(1, id);
    if (s.paso() != SQLITE_ROW) return std::nullopt;
    return DocumentoDiario{id, desdeMs(s.entero(0)), s.documento(1), s.texto(2)};
}

QList<TicketDiario> Diario::ticketsDe(qint64 documento) {
    return consultar(QStringLiteral("WHERE t.documento = ? ORDER BY t.orden, t.id"), {documento});
}

QList<TicketDiario> Diario::todos() {
    return consultar(QStringLiteral("ORDER BY t.id"));
}

QList<TicketDiario> Diario::ultimos(int cuantos) {
    return consultar(QStringLiteral("ORDER BY t.id DESC LIMIT ?"), {cuantos});
}

QList<TicketDiario> Diario::sinTerminar() {
    return consultar(
        QStringLiteral("WHERE t.estado IN ('pendiente', 'enviado') ORDER BY t.documento, t.orden, "
                       "t.id"));
}

bool Diario::hayPendientes() {
    if (!db_) return false;
    Sentencia s(sentencias_, db_,
                QStringLiteral("SELECT 1 FROM tickets WHERE estado = 'pendiente' LIMIT 1"));
    return s.paso() == SQLITE_ROW;
}

int Diario::podar(const QDateTime& ahora) {
    if (!db_) return 0;
    const qint64 limite = ahora.addDays(-kDiasRetencion).toMSecsSinceEpoch();
    Sentencia s(
        db_, QStringLiteral("DELETE FROM tickets WHERE estado NOT IN ('pendiente', 'enviado') AND "
                            "(creado < ?1 OR id < (SELECT id FROM tickets ORDER BY id DESC LIMIT 1 "
                            "OFFSET ?2))"));
    s.enlazarTodos({limite, kTicketsRetencion - 1});
    if (!s.ejecutar()) {
        fallo(QStringLiteral("No se pudo podar el diario"));
        return 0;
    }
    const int quitados = sqlite3_changes(db_);
    if (quitados == 0) return 0;
    if (!ejecutar("DELETE FROM documentos WHERE id NOT IN (SELECT documento FROM tickets)") ||
        !ejecutar("PRAGMA incremental_vacuum") || !ejecutar("PRAGMA wal_checkpoint(TRUNCATE)")) {
        fallo(QStringLiteral("No se pudo podar el diario"));
    }
    return quitados;
}

QString Diario::nombreTrabajo(qint64 ticket) const {
    return QStringLiteral("ticket-%1-%2").arg(instancia_).arg(ticket);
}

qint64 Diario::ticketDeTrabajo(const QString& nombre) const {
    const QString prefijo = QStringLiteral("ticket-%1-").arg(instancia_);
    if (instancia_.isEmpty() || !nombre.startsWith(prefijo)) return 0;
    bool ok = false;
    const qint64 id = nombre.mid(prefijo.size()).toLongLong(&ok);
    return ok ? id : 0;
}

QString Diario::lineaListado(const TicketDiario& t) {
    const auto campo = [](const QString& s) {
        QString out;
        out.reserve(s.size());
        for (const QChar c : s) {
            switch (c.unicode()) {
                case u'\\':
                    out += QLatin1String("\\\\");
                    break;
                case u'\t':
                    out += QLatin1String("\\t");
                    break;
                case u'\r':
                    out += QLatin1String("\\r");
                    break;
                case u'\n':
                    out += QLatin1String("\\n");
                    break;
                default:
                    out += c;
            }
        }
        return out;
    };
    return QStringList{QString::number(t.id),
                       t.recibido.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")),
                       textoTipo(t.tipo),
                       campo(t.impresora),
                       textoEstado(t.estado),
                       campo(t.titulo)}
        .join(u'\t');
}

}  // namespace core
