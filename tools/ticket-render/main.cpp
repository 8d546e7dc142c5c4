// ticket-render [options] JOB.json: prints a job document on virtual printers and writes
// every ticket and raw write into a folder, with the balloons the run raised.
// Exit status 0 once the document was dispatched, 1 when it was rejected (parse errors, a
// missing or wrong top-level member), 2 on a usage or I/O error.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "json/canonical.h"
#include "json/parser.h"
#include "json/runtime_error.h"
#include "printing/ajustes_impresoras.h"
#include "printing/despacho.h"
#include "printing/devices/picture_size.h"
#include "printing/devices/virtual_printer_system.h"
#include "printing/entorno.h"
#include "printing/opcion_impresora.h"
#include "printing/primitives.h"

namespace {

using printing::VirtualPrinterSystem;

constexpr int kNarrowRollWidth = 3288;  // a 58 mm roll

const char kUsage[] =
    "usage: ticket-render [options] JOB.json\n"
    "Prints a job document on virtual printers into a folder: NNN-PRINTER.txt (tape),\n"
    ".pdf, .png, .escpos for each ticket and NNN-PRINTER.raw for raw writes, in print\n"
    "order, and balloons.txt with one ICON|TITLE|TEXT line per balloon. Earlier outputs\n"
    "of this kind in the folder are removed first.\n"
    "\n"
    "  --printer NAME[=WIDTH][:offline]  a printer (repeatable, in list order); WIDTH in\n"
    "                                    twips, default 4535 (80 mm roll); :offline fails\n"
    "                                    its probe\n"
    "  --default NAME        the system's default printer (default: the first printer)\n"
    "  --format LIST         text,pdf,png,escpos (default text); escpos writes the bytes a\n"
    "                        receipt printer's raw queue receives, as [impresoras] in\n"
    "                        --app-dir's servidor.ini sets it\n"
    "  --out DIR             output folder (default tickets)\n"
    "  --app-dir DIR         application folder: servidor.ini and logo.bmp; printers of\n"
    "                        [impresoras] with an address= join the printers\n"
    "  --locale NAME         regional format, e.g. es_CO (default: the system's)\n"
    "  --now \"YYYY-MM-DD HH:MM:SS\"  fixed clock\n"
    "  --dump-json           print the document as json-dump does and stop\n"
    "Without --printer a single printer \"Predeterminada\" 4535 twips wide is used.\n";

void err(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

int usageError(const QString& problem) {
    err(QStringLiteral("ticket-render: ") + problem);
    std::fputs(kUsage, stderr);
    return 2;
}

struct Printer {
    QString name;
    int width = printing::kRollWidth;
    bool offline = false;
};

struct Options {
    QList<Printer> printers;
    std::optional<QString> defaultName;
    VirtualPrinterSystem::Formats formats;
    QString out = QStringLiteral("tickets");
    QString appDir;
    std::optional<QString> locale;
    std::optional<QDateTime> now;
    bool dumpJson = false;
    QString job;
};

// NAME[=WIDTH][:offline]
std::optional<Printer> parsePrinter(const QString& texto) {
    const auto p = printing::leerOpcionImpresora(texto);
    if (!p) return std::nullopt;
    return Printer{p->nombre, p->ancho, p->offline};
}

// Returns an error text, "" when the options are good.
QString parseOptions(const QStringList& args, Options& o) {
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args.at(i);
        auto value = [&](QString& into) {
            if (i + 1 >= args.size()) return false;
            into = args.at(++i);
            return true;
        };
        QString v;
        if (a == u"--printer") {
            if (!value(v)) return QStringLiteral("--printer needs a value");
            const auto p = parsePrinter(v);
            if (!p) return QStringLiteral("bad printer: ") + v;
            o.printers.append(*p);
        } else if (a == u"--default") {
            if (!value(v)) return QStringLiteral("--default needs a value");
            o.defaultName = v;
        } else if (a == u"--format") {
            if (!value(v)) return QStringLiteral("--format needs a value");
            const auto f = VirtualPrinterSystem::parseFormats(v);
            if (!f) return QStringLiteral("bad format list: ") + v;
            o.formats = *f;
        } else if (a == u"--out") {
            if (!value(o.out) || o.out.isEmpty()) return QStringLiteral("--out needs a folder");
        } else if (a == u"--app-dir") {
            if (!value(o.appDir)) return QStringLiteral("--app-dir needs a folder");
        } else if (a == u"--locale") {
            if (!value(v)) return QStringLiteral("--locale needs a value");
            o.locale = v;
        } else if (a == u"--now") {
            if (!value(v)) return QStringLiteral("--now needs a value");
            QDateTime t = QDateTime::fromString(v, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (!t.isValid()) return QStringLiteral("bad time (YYYY-MM-DD HH:MM:SS): ") + v;
            o.now = t;
        } else if (a == u"--dump-json") {
            o.dumpJson = true;
        } else if (a == u"--help" || a == u"-h") {
            return QStringLiteral("help");
        } else if (a.startsWith(u'-') && a != u"-") {
            return QStringLiteral("unknown option ") + a;
        } else if (o.job.isEmpty()) {
            o.job = a;
        } else {
            return QStringLiteral("only one job document may be given");
        }
    }
    if (o.job.isEmpty()) return QStringLiteral("no job document given");
    return {};
}

/** Balloons go to balloons.txt and, like log lines, to standard error. */
class BalloonFile : public printing::Avisos {
  public:
    explicit BalloonFile(const QString& path) : file_(path) {}
    bool open() { return file_.open(QIODevice::WriteOnly | QIODevice::Truncate); }
    bool failed() const { return failed_; }
    QString errorString() const { return file_.errorString(); }

    void showBalloonTip(const QString& message, int icon, const QString& title, int) override {
        const QString text = printing::escaparSaltos(message);
        const QByteArray line =
            (QString::number(icon) + u'|' + title + u'|' + text + u'\n').toUtf8();
        if (file_.write(line) != line.size() || !file_.flush()) failed_ = true;
        err(printing::lineaGlobo(icon, title, message));
    }
    void agregarLog(const QString& line) override { err(line); }

  private:
    QFile file_;
    bool failed_ = false;
};

// Outputs of an earlier run would mix with this run's numbering.
bool clearEarlierOutputs(QDir dir) {
    static const QRegularExpression kOutput(
        QStringLiteral("^[0-9]{3,}-[A-Za-z0-9._-]*\\.(txt|pdf|png|raw|escpos)$"));
    bool ok = true;
    for (const QString& name : dir.entryList(QDir::Files)) {
        if (kOutput.match(name).hasMatch()) ok = dir.remove(name) && ok;
    }
    return ok;
}

int run(const Options& o) {
    QFile file;
    const bool fromStdin = o.job == u"-";
    bool opened = fromStdin ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(o.job), file.open(QIODevice::ReadOnly));
    QByteArray bytes;
    if (opened) bytes = file.readAll();
    if (!opened || file.error() != QFileDevice::NoError) {
        err(QStringLiteral("ticket-render: cannot read %1: %2").arg(o.job, file.errorString()));
        return 2;
    }
    const auto [root, errors] = json::parse(json::documentText(bytes));

    if (o.dumpJson) {
        const QByteArray out = json::dumpText(root, errors);
        std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
        if (std::fflush(stdout) != 0) return 2;
        return errors.isEmpty() ? 0 : 1;
    }
    if (!errors.isEmpty()) {
        err(errors);
        return 1;
    }

    QDir outDir(o.out);
    if (!QDir().mkpath(o.out) || !clearEarlierOutputs(outDir)) {
        err(QStringLiteral("ticket-render: cannot prepare the folder ") + o.out);
        return 2;
    }
    BalloonFile balloons(outDir.filePath(QStringLiteral("balloons.txt")));
    if (!balloons.open()) {
        err(QStringLiteral("ticket-render: cannot write balloons.txt: ") + balloons.errorString());
        return 2;
    }

    printing::Entorno e;
    printing::AjustesImpresoras ajustes;
    if (!o.appDir.isEmpty()) {
        if (!QFileInfo(o.appDir).isDir()) {
            err(QStringLiteral("ticket-render: no such folder ") + o.appDir);
            return 2;
        }
        e.carpetaAplicacion = QDir(o.appDir).absolutePath();
        QSettings ini(QDir(o.appDir).filePath(QStringLiteral("servidor.ini")),
                      QSettings::IniFormat);
        e.nitSoftware = printing::valorIni(ini, QStringLiteral("factura/nit_software"));
        e.webSoftware = printing::valorIni(ini, QStringLiteral("factura/web_software"));
        ajustes = printing::AjustesImpresoras::leer(
            ini, [&balloons](const QString& line) { balloons.agregarLog(line); });
    }

    VirtualPrinterSystem printers(o.out, o.formats);
    printers.setAjustes(ajustes);
    QList<Printer> list = o.printers;
    if (list.isEmpty())
        list.append(Printer{QStringLiteral("Predeterminada"), printing::kRollWidth, false});
    // A network printer of the settings is one more printer here: nothing is ever sent.
    for (const QString& name : ajustes.nombres()) {
        const printing::AjustesImpresora a = ajustes.de(name);
        const bool listed = std::any_of(list.begin(), list.end(), [&](const Printer& p) {
            return printing::recortar(printing::mayusculas(p.name)) ==
                   printing::recortar(printing::mayusculas(name));
        });
        if (!a.direccion.isEmpty() && !listed) {
            list.append(
                Printer{name, a.anchoMm == 58 ? kNarrowRollWidth : printing::kRollWidth, false});
        }
    }
    for (const Printer& p : list) printers.addPrinter(p.name, p.width, p.offline);
    printers.setDefaultPrinterName(o.defaultName.value_or(list.first().name));

    e.impresoras = &printers;
    e.avisos = &balloons;
    e.tamanoImagen = printing::pictureSize;
    if (o.locale) e.locale = QLocale(*o.locale);
    if (o.now) e.reloj = [now = *o.now] { return QDateTime(now); };
    printers.attach(e);

    int status = 0;
    try {
        printing::setComunicacion(root, e);
    } catch (const printing::DocumentoNoProcesado& rejected) {
        err(QStringLiteral("ticket-render: document not dispatched: ") + rejected.motivo());
        status = 1;
    } catch (const json::RuntimeError& failure) {
        err(QStringLiteral("ticket-render: document not dispatched: ") + failure.description());
        status = 1;
    }

    for (const QString& path : printers.writtenFiles()) {
        std::fputs((QDir::toNativeSeparators(path) + u'\n').toLocal8Bit().constData(), stdout);
    }
    std::fflush(stdout);
    if (!printers.writeError().isEmpty()) {
        err(QStringLiteral("ticket-render: ") + printers.writeError());
        return 2;
    }
    if (balloons.failed()) {
        err(QStringLiteral("ticket-render: cannot write balloons.txt"));
        return 2;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    QStringList args;
    for (int i = 0; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));
    const QString problem = parseOptions(args, o);
    if (problem == u"help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!problem.isEmpty()) return usageError(problem);

    // Pictures need fonts, hence a GUI application; a tool never needs a display.
    std::unique_ptr<QCoreApplication> app;
    if (o.formats.pdf || o.formats.png || o.formats.escpos) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    return run(o);
}
