#include "opciones.h"

#include <QCommandLineParser>
#include <QDir>
#include <QHostAddress>
#include <QSettings>

#include "printing/opcion_impresora.h"

namespace app {

std::optional<ImpresoraVirtual> leerImpresora(const QString& texto) {
    const auto p = printing::leerOpcionImpresora(texto);
    if (!p) return std::nullopt;
    return ImpresoraVirtual{p->nombre, p->ancho, p->offline};
}

void declararOpciones(QCommandLineParser& p) {
    p.setApplicationDescription(QStringLiteral(
        "Print server: keeps the link to the notification server, fetches the branch's "
        "jobs over HTTPS and prints them. Every option can also be set in servidor.ini "
        "in the application folder ([servidor] key = value; the command line wins)."));
    p.addHelpOption();
    p.addVersionOption();
    p.addOptions({
        {QStringLiteral("app-dir"),
         QStringLiteral("Application folder (Acceso, logo.bmp, servidor.ini)."),
         QStringLiteral("DIR")},
        {QStringLiteral("notify-host"),
         QStringLiteral("Notification server address (IPv4). Key notify_host."),
         QStringLiteral("IPV4")},
        {QStringLiteral("notify-port"),
         QStringLiteral("Notification server port (3002). Key notify_port."), QStringLiteral("N")},
        {QStringLiteral("job-host"),
         QStringLiteral("Job service, reached over HTTPS. Key job_host."),
         QStringLiteral("HOST[:PORT]")},
        {QStringLiteral("ca-file"),
         QStringLiteral("Extra trusted certificates (PEM). Key ca_file."), QStringLiteral("PEM")},
        {QStringLiteral("printers"), QStringLiteral("cups (default) or virtual. Key printers."),
         QStringLiteral("KIND")},
        {QStringLiteral("printer"),
         QStringLiteral(
             "A virtual printer, repeatable; WIDTH in twips (4535). Key printer (comma list)."),
         QStringLiteral("NAME[=WIDTH][:offline]")},
        {QStringLiteral("default"),
         QStringLiteral("Default printer (CUPS's default destination; the first virtual "
                        "printer). Key default."),
         QStringLiteral("NAME")},
        {QStringLiteral("print-output"),
         QStringLiteral(
             "Folder of the virtual printers' files (APP-DIR/tickets). Key print_output."),
         QStringLiteral("DIR")},
        {QStringLiteral("print-format"),
         QStringLiteral("Virtual printer formats: text,pdf,png,escpos (text). Key print_format."),
         QStringLiteral("LIST")},
        {QStringLiteral("locale"),
         QStringLiteral("Regional number format, e.g. es_CO (the system's). Key locale."),
         QStringLiteral("NAME")},
        {QStringLiteral("watchdog-ms"),
         QStringLiteral("Link watchdog period (1000). Key watchdog_ms."), QStringLiteral("MS")},
        {QStringLiteral("heartbeat-ms"),
         QStringLiteral("Status heartbeat period (60000). Key heartbeat_ms."),
         QStringLiteral("MS")},
        {QStringLiteral("fetch-timeout-ms"),
         QStringLiteral("Job fetch time-out (30000). Key fetch_timeout_ms."), QStringLiteral("MS")},
        {QStringLiteral("retry-ms"),
         QStringLiteral("Retry period of a ticket that printed nowhere (60000). Key retry_ms."),
         QStringLiteral("MS")},
        {QStringLiteral("retry-limit-ms"),
         QStringLiteral("How long such a ticket is retried before it fails (1800000). Key "
                        "retry_limit_ms."),
         QStringLiteral("MS")},
        {QStringLiteral("link-timeout-ms"),
         QStringLiteral("Longest silence of the notification link before it is dropped and "
                        "reconnected (60000). Key link_timeout_ms."),
         QStringLiteral("MS")},
        {QStringLiteral("max-answer-mb"),
         QStringLiteral("Largest job answer read, in MB of 1,048,576 bytes (64; up to 4096). "
                        "Key max_answer_mb."),
         QStringLiteral("MB")},
        {QStringLiteral("pending-notice-ms"),
         QStringLiteral("Warn once about a CUPS job not printed after MS (30000; 0: never). Key "
                        "pending_notice_ms."),
         QStringLiteral("MS")},
        {QStringLiteral("set-code"),
         QStringLiteral("Validate and store the branch code, then exit."), QStringLiteral("CODE")},
        {QStringLiteral("tickets"),
         QStringLiteral("List the journal's tickets, oldest first, one tab-separated line each "
                        "(id, received, kind, printer, state, title), then exit.")},
        {QStringLiteral("reprint"),
         QStringLiteral("Have the server running on this folder print a ticket again, then "
                        "exit (0 accepted, 1 unknown id or printer, 3 no server)."),
         QStringLiteral("ID")},
        {QStringLiteral("to"), QStringLiteral("With --reprint: the printer to print it on."),
         QStringLiteral("PRINTER")},
    });
}

namespace {

int leerEntero(const QString& texto, int minimo, int maximo, bool& ok) {
    const int v = texto.trimmed().toInt(&ok);
    ok = ok && v >= minimo && v <= maximo;
    return v;
}

}  // namespace

std::optional<QString> leerOpciones(const QCommandLineParser& p,
                                    const QString& carpetaPredeterminada, Opciones& o) {
    if (!p.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument: ") + p.positionalArguments().first();
    o.carpeta = p.isSet(QStringLiteral("app-dir")) ? p.value(QStringLiteral("app-dir"))
                                                   : carpetaPredeterminada;
    if (o.carpeta.isEmpty()) return QStringLiteral("no application folder");
    o.carpeta = QDir(o.carpeta).absolutePath();
    const QDir carpeta(o.carpeta);

    QSettings ini(carpeta.filePath(QStringLiteral("servidor.ini")), QSettings::IniFormat);
    // The command line wins; a path from the file is taken from the application folder.
    auto valor = [&](const QString& opcion, bool esRuta = false) -> QString {
        if (p.isSet(opcion)) return p.value(opcion);
        QString clave = QStringLiteral("servidor/") + QString(opcion).replace(u'-', u'_');
        const QVariant v = ini.value(clave);
        if (!v.isValid()) return QString();
        QString t =
            v.typeId() == QMetaType::QStringList ? v.toStringList().join(u',') : v.toString();
        if (esRuta && !t.isEmpty()) t = carpeta.absoluteFilePath(t);
        return t;
    };

    o.notifyHost = valor(QStringLiteral("notify-host")).trimmed();
    if (!o.notifyHost.isEmpty() &&
        QHostAddress(o.notifyHost).protocol() != QAbstractSocket::IPv4Protocol)
        return QStringLiteral("--notify-host must be an IPv4 address: ") + o.notifyHost;
    bool ok = true;
    if (const QString t = valor(QStringLiteral("notify-port")); !t.isEmpty()) {
        o.notifyPort = quint16(leerEntero(t, 1, 65535, ok));
        if (!ok) return QStringLiteral("bad --notify-port: ") + t;
    }
    o.jobHost = valor(QStringLiteral("job-host")).trimmed();
    o.caFile = valor(QStringLiteral("ca-file"), true);
    if (const QString t = valor(QStringLiteral("printers")); !t.isEmpty()) o.printers = t.trimmed();
    if (o.printers != QLatin1String("cups") && o.printers != QLatin1String("virtual"))
        return QStringLiteral("--printers must be cups or virtual: ") + o.printers;

    QStringList impresoras = p.values(QStringLiteral("printer"));
    if (impresoras.isEmpty()) {
        const QVariant v = ini.value(QStringLiteral("servidor/printer"));
        impresoras = v.typeId() == QMetaType::QStringList
                         ? v.toStringList()
                         : v.toString().split(u',', Qt::SkipEmptyParts);
    }
    for (const QString& t : impresoras) {
        const auto i = leerImpresora(t);
        if (!i) return QStringLiteral("bad --printer: ") + t;
        o.printer.append(*i);
    }
    o.defaultPrinter = valor(QStringLiteral("default")).trimmed();
    o.printOutput = valor(QStringLiteral("print-output"), true);
    if (o.printOutput.isEmpty()) o.printOutput = carpeta.filePath(QStringLiteral("tickets"));
    if (const QString t = valor(QStringLiteral("print-format")); !t.isEmpty())
        o.printFormat = t.trimmed();
    o.locale = valor(QStringLiteral("locale")).trimmed();

    struct Periodo {
        const char* opcion;
        int* destino;
    } periodos[] = {{"watchdog-ms", &o.vigilanciaMs},        {"heartbeat-ms", &o.latidoMs},
                    {"fetch-timeout-ms", &o.fetchTimeoutMs}, {"retry-ms", &o.retryMs},
                    {"retry-limit-ms", &o.retryLimitMs},     {"link-timeout-ms", &o.linkTimeoutMs}};
    for (const auto& per : periodos) {
        const QString t = valor(QLatin1String(per.opcion));
        if (t.isEmpty()) continue;
        *per.destino = leerEntero(t, 1, 24 * 3600 * 1000, ok);
        if (!ok) return QStringLiteral("bad --%1: %2").arg(QLatin1String(per.opcion), t);
    }
    if (const QString t = valor(QStringLiteral("max-answer-mb")); !t.isEmpty()) {
        o.maxAnswerMb = leerEntero(t, 1, 4096, ok);
        if (!ok) return QStringLiteral("bad --max-answer-mb: ") + t;
    }
    if (const QString t = valor(QStringLiteral("pending-notice-ms")); !t.isEmpty()) {
        o.pendingNoticeMs = leerEntero(t, 0, 24 * 3600 * 1000, ok);
        if (!ok) return QStringLiteral("bad --pending-notice-ms: ") + t;
    }
    if (p.isSet(QStringLiteral("set-code"))) o.setCode = p.value(QStringLiteral("set-code"));
    o.tickets = p.isSet(QStringLiteral("tickets"));
    if (p.isSet(QStringLiteral("reprint"))) {
        const QString t = p.value(QStringLiteral("reprint"));
        const qint64 id = t.trimmed().toLongLong(&ok);
        if (!ok || id <= 0) return QStringLiteral("bad --reprint: ") + t;
        o.reprint = id;
    }
    o.reprintTo = p.value(QStringLiteral("to")).trimmed();
    if (p.isSet(QStringLiteral("to")) && !o.reprint)
        return QStringLiteral("--to goes with --reprint");
    o.nitSoftware = printing::valorIni(ini, QStringLiteral("factura/nit_software"));
    o.webSoftware = printing::valorIni(ini, QStringLiteral("factura/web_software"));
    o.ajustes = printing::AjustesImpresoras::leer(
        ini, [&o](const QString& linea) { o.avisosAjustes.append(linea); });
    return std::nullopt;
}

}  // namespace app
