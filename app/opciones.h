#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "printing/ajustes_impresoras.h"

class QCommandLineParser;

namespace app {

/** A virtual printer as given by --printer NAME[=WIDTH][:offline]. */
struct ImpresoraVirtual {
    QString nombre;
    int ancho = 4535;
    bool offline = false;
};
std::optional<ImpresoraVirtual> leerImpresora(const QString& texto);

/** Everything the server is told at start, from the command line over servidor.ini. */
struct Opciones {
    QString carpeta;
    QString notifyHost;
    quint16 notifyPort = 3002;
    QString jobHost;
    QString caFile;
    QString printers = QStringLiteral("cups");
    QList<ImpresoraVirtual> printer;
    QString defaultPrinter;
    QString printOutput;
    QString printFormat = QStringLiteral("text");
    QString locale;
    int vigilanciaMs = 1000;
    int latidoMs = 60000;
    int fetchTimeoutMs = 30000;
    int retryMs = 60000;
    int retryLimitMs = 1800000;
    int linkTimeoutMs = 60000;
    int maxAnswerMb = 64;
    /** A CUPS job not completed this long after submission is reported once; 0 never. */
    int pendingNoticeMs = 30000;
    std::optional<QString> setCode;
    bool tickets = false;           // list the journal and exit
    std::optional<qint64> reprint;  // hand a reprint to the running server and exit
    QString reprintTo;
    QString nitSoftware;
    QString webSoftware;
    /** servidor.ini's [impresoras], and the log lines its unknown words gave. */
    printing::AjustesImpresoras ajustes;
    QStringList avisosAjustes;
};

/** Declares every option on the parser (with --help and --version). */
void declararOpciones(QCommandLineParser& parser);

/**
 * Reads the parsed command line and the application folder's servidor.ini (the command
 * line wins; relative paths in the file are taken from the application folder). Returns
 * the usage error, if any. carpetaPredeterminada is used when --app-dir is not given.
 */
std::optional<QString> leerOpciones(const QCommandLineParser& parser,
                                    const QString& carpetaPredeterminada, Opciones& o);

}  // namespace app
