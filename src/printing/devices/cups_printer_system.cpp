#include "cups_printer_system.h"

#include <cups/cups.h>

#include <QBuffer>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "cups_trabajos.h"
#include "escpos_device.h"
#include "json/runtime_error.h"
#include "painter_device.h"
#include "printing/entorno.h"
#include "printing/primitives.h"
#include "printing/punto_fallo.h"
#include "socket_printer.h"

namespace printing {

namespace {

constexpr int kLongestPage = 200 * 1440;  // a PDF page may not be longer than 200 inches
constexpr qint64 kListLifetimeMs = 2000;
const char kRawModel[] = "Local Raw Printer";

json::RuntimeError printerError(const QString& description) {
    return json::RuntimeError(json::err::PrinterError, description);
}

QString lastCupsError() {
    return QString::fromUtf8(cupsLastErrorString());
}

QByteArray printerUri(const QString& queue) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queue.toUtf8().constData());
    return QByteArray(uri);
}

struct IppDeleter {
    void operator()(ipp_t* p) const { ippDelete(p); }
};
using IppPtr = std::unique_ptr<ipp_t, IppDeleter>;

// One Get-Printer-Attributes request; null with CUPS's reason when it fails.
IppPtr printerAttributes(const QString& queue, const std::initializer_list<const char*>& attrs,
                         QString& problem) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 printerUri(queue).constData());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(attrs.size()), nullptr, attrs.begin());
    IppPtr response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    if (!response || cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        const QString reason = lastCupsError();
        problem = reason.isEmpty() ? QStringLiteral("La impresora no existe") : reason;
        return nullptr;
    }
    return response;
}

int integerIn(ipp_t* collection, const char* name, int fallback = -1) {
    ipp_attribute_t* a = ippFindAttribute(collection, name, IPP_TAG_INTEGER);
    return a ? ippGetInteger(a, 0) : fallback;
}

// A media-col collection: its size and margins (-1 for a margin it does not give).
Media mediaIn(ipp_t* col) {
    Media m;
    m.left = integerIn(col, "media-left-margin");
    m.right = integerIn(col, "media-right-margin");
    m.top = integerIn(col, "media-top-margin");
    m.bottom = integerIn(col, "media-bottom-margin");
    if (ipp_attribute_t* size = ippFindAttribute(col, "media-size", IPP_TAG_BEGIN_COLLECTION)) {
        ipp_t* s = ippGetCollection(size, 0);
        m.width = std::max(0, integerIn(s, "x-dimension", 0));
        m.length = std::max(0, integerIn(s, "y-dimension", 0));
    }
    return m;
}

bool hasMargins(const Media& m) {
    return m.left >= 0 && m.right >= 0 && m.top >= 0 && m.bottom >= 0;
}

// A media-size collection with ranges: the custom sizes a driver takes.
void customRangeIn(ipp_t* size, Media& m) {
    ipp_attribute_t* x = ippFindAttribute(size, "x-dimension", IPP_TAG_RANGE);
    ipp_attribute_t* y = ippFindAttribute(size, "y-dimension", IPP_TAG_RANGE);
    if (!x || !y) return;
    int maxWidth = 0;
    const int minWidth = ippGetRange(x, 0, &maxWidth);
    if (m.width < minWidth || m.width > maxWidth) return;
    int maxLength = 0;
    const int minLength = ippGetRange(y, 0, &maxLength);
    m.customLength = true;
    m.minLength = minLength;
    m.maxLength = maxLength;
}

Media mediaOf(ipp_t* response) {
    Media media;
    if (ipp_attribute_t* def =
            ippFindAttribute(response, "media-col-default", IPP_TAG_BEGIN_COLLECTION)) {
        media = mediaIn(ippGetCollection(def, 0));
    }
    if (!media.known()) return {};
    // Margins the default leaves out come from the database entry of the same size.
    for (ipp_attribute_t* db =
             ippFindAttribute(response, "media-col-database", IPP_TAG_BEGIN_COLLECTION);
         db && !hasMargins(media); db = nullptr) {
        for (int i = 0; i < ippGetCount(db); ++i) {
            const Media entry = mediaIn(ippGetCollection(db, i));
            if (entry.width == media.width && entry.length == media.length && hasMargins(entry)) {
                media.left = entry.left;
                media.right = entry.right;
                media.top = entry.top;
                media.bottom = entry.bottom;
                break;
            }
        }
    }
    media.left = std::max(0, media.left);
    media.right = std::max(0, media.right);
    media.top = std::max(0, media.top);
    media.bottom = std::max(0, media.bottom);
    if (ipp_attribute_t* sizes =
            ippFindAttribute(response, "media-size-supported", IPP_TAG_BEGIN_COLLECTION)) {
        for (int i = 0; i < ippGetCount(sizes) && !media.customLength; ++i) {
            customRangeIn(ippGetCollection(sizes, i), media);
        }
    }
    return media;
}

// The default size as libcups reports it, for a driver that gives no media-col-default.
Media destMediaDefault(const QString& queue) {
    Media media;
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.toUtf8().constData(), nullptr);
    if (!dest) return media;
    if (cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
        cups_size_t size{};
        if (cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest, info, 0, &size) && size.width > 0) {
            media.width = size.width;
            media.length = size.length;
            media.left = size.left;
            media.right = size.right;
            media.top = size.top;
            media.bottom = size.bottom;
        }
        cupsFreeDestInfo(info);
    }
    cupsFreeDests(1, dest);
    return media;
}

QString stateWord(int state) {
    switch (state) {
        case IPP_PSTATE_IDLE:
            return QStringLiteral("en espera");
        case IPP_PSTATE_PROCESSING:
            return QStringLiteral("imprimiendo");
        case IPP_PSTATE_STOPPED:
            return QStringLiteral("detenida");
        default:
            return QStringLiteral("estado desconocido");
    }
}

// Names compare as the printer lookup compares them.
QString compareKey(const QString& name) {
    return recortar(mayusculas(name));
}

}  // namespace

CupsPrinterSystem::CupsPrinterSystem(FontTable fonts, AjustesImpresoras ajustes)
    : fonts_(std::move(fonts)),
      ajustes_(std::move(ajustes)),
      timers_(std::make_unique<QObject>()) {}

CupsPrinterSystem::~CupsPrinterSystem() = default;

void CupsPrinterSystem::refresh() {
    // Asks the scheduler itself (no network discovery), so a listing takes milliseconds.
    static const char* const kAttrs[] = {"printer-name"};
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(kAttrs)), nullptr, kAttrs);
    IppPtr response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    QStringList names;
    if (response) {
        for (ipp_attribute_t* a = ippFindAttribute(response.get(), "printer-name", IPP_TAG_NAME); a;
             a = ippFindNextAttribute(response.get(), "printer-name", IPP_TAG_NAME)) {
            names.append(QString::fromUtf8(ippGetString(a, 0, nullptr)));
        }
    }
    // Network printers of [impresoras] join the list under their key, with or without a
    // queue of that name.
    QStringList keys;
    for (const QString& n : names) keys.append(compareKey(n));
    for (const QString& n : ajustes_.nombres()) {
        if (ajustes_.de(n).direccion.isEmpty() || keys.contains(compareKey(n))) continue;
        names.append(n);
        keys.append(compareKey(n));
    }
    names_ = names;
    infos_.clear();
    listedAt_.start();
}

QStringList CupsPrinterSystem::printers() {
    // One listing serves the calls of one ticket; a queue added later shows up soon after.
    if (!listedAt_.isValid() || listedAt_.elapsed() > kListLifetimeMs) refresh();
    return names_;
}

QString CupsPrinterSystem::addressOf(const QString& name) const {
    return ajustes_.contiene(name) ? ajustes_.de(name).direccion : QString();
}

PrintDevice& CupsPrinterSystem::printer(int index) {
    if (!listedAt_.isValid()) refresh();
    if (index < 0 || index >= names_.size()) throw json::RuntimeError::subscriptOutOfRange();
    const QString name = names_.at(index);
    const Choice choice = choose(name);
    Slot& slot = devices_[name];
    if (!slot.device || slot.signature != choice.signature) {
        if (slot.device) retired_.append(std::move(slot.device));
        slot.device = makeDevice(name, choice);
        slot.signature = choice.signature;
    }
    return *slot.device;
}

CupsPrinterSystem::Choice CupsPrinterSystem::choose(const QString& name) {
    Choice choice;
    choice.ajustes = ajustes_.de(name);
    if (!choice.ajustes.direccion.isEmpty()) {
        choice.kind = Kind::Socket;
        choice.signature = QStringLiteral("socket ") + choice.ajustes.direccion;
        return choice;
    }
    auto known = infos_.constFind(name);
    choice.info = known != infos_.constEnd() ? known.value() : probeQueue(name);
    // A failed answer is asked again next time; the device's open hook reports it.
    if (choice.info.problem.isEmpty()) infos_.insert(name, choice.info);
    QueueInfo& info = choice.info;
    if (!info.raw && info.problem.isEmpty() && !info.media.known()) {
        info.media = destMediaDefault(name);
    }
    bool escpos = info.raw;
    if (choice.ajustes.clase == AjustesImpresora::Clase::Escpos ||
        choice.ajustes.clase == AjustesImpresora::Clase::EscposTexto) {
        escpos = true;
    } else if (choice.ajustes.clase == AjustesImpresora::Clase::Pdf) {
        escpos = false;
    }
    const Media& m = info.media;
    choice.kind = escpos ? Kind::Escpos : Kind::Pdf;
    choice.signature = escpos ? QStringLiteral("escpos")
                              : QStringLiteral("pdf %1 %2 %3 %4 %5 %6 %7 %8")
                                    .arg(m.width)
                                    .arg(m.length)
                                    .arg(m.left)
                                    .arg(m.right)
                                    .arg(m.top)
                                    .arg(m.bottom)
                                    .arg(m.customLength ? m.maxLength : -1)
                                    .arg(info.pdf || !info.problem.isEmpty());
    return choice;
}

std::shared_ptr<PrintDevice> CupsPrinterSystem::makeDevice(const QString& name,
                                                           const Choice& choice) {
    const AjustesImpresora& ajustes = choice.ajustes;
    if (choice.kind == Kind::Socket) {
        auto device = std::make_shared<EscposDevice>(name, ajustes, 0, fonts_);
        const SocketPrinter socket(ajustes.host, ajustes.puerto);
        device->setOpenHook([socket] {
            const QString problem = socket.probe();
            if (!problem.isEmpty()) throw printerError(problem);
        });
        device->setSink([this, socket](const QByteArray& bytes) {
            takeJobName({});  // a network printer cannot be asked about a job by its name
            socket.send(bytes);
        });
        device->setLog([this](const QString& line) { log(line); });
        return device;
    }
    if (choice.kind == Kind::Escpos) {
        auto device = std::make_shared<EscposDevice>(name, ajustes, 0, fonts_);
        device->setOpenHook([name] {
            const QString problem = queueProblem(name);
            if (!problem.isEmpty()) throw printerError(problem);
        });
        device->setSink([this, name](const QByteArray& bytes) {
            submitWatched(name, takeJobName(QStringLiteral("Ticket")), bytes, true);
        });
        device->setLog([this](const QString& line) { log(line); });
        return device;
    }

    const QueueInfo& info = choice.info;
    const Media media = info.media;
    int width = kRollWidth;
    int height = 0;
    bool trimmed = true;
    if (media.known()) {
        width = twipsOfHundredths(media.width);
        if (media.customLength) {
            // A roll cut per ticket: one page as long as the ticket.
            const int longest = media.maxLength > 0
                                    ? twipsOfHundredths(media.maxLength - media.top - media.bottom)
                                    : kLongestPage;
            height = std::clamp(longest, 1440, kLongestPage);
        } else {
            // Fixed sizes: pages break at the printable length.
            height = std::max(1440, twipsOfHundredths(media.printableLength()));
            trimmed = false;
        }
    }
    auto device = std::make_shared<PainterDevice>(name, width, height, trimmed, fonts_);
    const bool takesPdf = info.pdf || !info.problem.isEmpty();  // a failed probe reports itself
    device->setOpenHook([name, takesPdf] {
        const QString problem = queueProblem(name);
        if (!problem.isEmpty()) throw printerError(problem);
        if (!takesPdf) throw printerError(QStringLiteral("La impresora no acepta documentos PDF"));
    });
    device->setEndHook([this, name, media](const PaintedDocument& doc) {
        const Placement place = placeOnMedia(media, doc);
        QByteArray pdf;
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        if (!doc.writePdf(&buffer, name, QSize(place.pageWidth, place.pageHeight),
                          QPointF(place.left, place.top), place.scale)) {
            throw printerError(QStringLiteral("No se pudo preparar el documento"));
        }
        // The page is already the paper: the driver must neither turn nor scale it.
        QList<QPair<QByteArray, QByteArray>> options = {{"print-scaling", "none"},
                                                        {"nopdfAutoRotate", "true"}};
        if (!place.mediaOption.isEmpty()) options.append({"media", place.mediaOption.toUtf8()});
        submitWatched(name, takeJobName(QStringLiteral("Ticket")), pdf, false, options);
    });
    return device;
}

QString CupsPrinterSystem::defaultPrinterName() {
    if (!defaultName_.isEmpty()) return defaultName_;
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest) return {};
    QString name = QString::fromUtf8(dest->name);
    cupsFreeDests(1, dest);
    return name;
}

CupsPrinterSystem::QueueInfo CupsPrinterSystem::probeQueue(const QString& queue) {
    QueueInfo info;
    IppPtr response =
        printerAttributes(queue,
                          {"printer-make-and-model", "document-format-supported",
                           "media-col-default", "media-col-database", "media-size-supported"},
                          info.problem);
    if (!response) return info;
    if (ipp_attribute_t* a =
            ippFindAttribute(response.get(), "printer-make-and-model", IPP_TAG_TEXT)) {
        info.raw = qstrcmp(ippGetString(a, 0, nullptr), kRawModel) == 0;
    }
    if (ipp_attribute_t* a =
            ippFindAttribute(response.get(), "document-format-supported", IPP_TAG_MIMETYPE)) {
        for (int i = 0; i < ippGetCount(a) && !info.pdf; ++i) {
            info.pdf = qstrcmp(ippGetString(a, i, nullptr), CUPS_FORMAT_PDF) == 0;
        }
    }
    // A raw queue reports no paper, and its format list names everything.
    if (!info.raw) info.media = mediaOf(response.get());
    return info;
}

QString CupsPrinterSystem::queueProblem(const QString& queue) {
    QString problem;
    IppPtr response = printerAttributes(
        queue, {"printer-state", "printer-is-accepting-jobs", "printer-state-message"}, problem);
    if (!response) return problem;
    QString message;
    if (ipp_attribute_t* a =
            ippFindAttribute(response.get(), "printer-state-message", IPP_TAG_TEXT)) {
        message = QString::fromUtf8(ippGetString(a, 0, nullptr)).trimmed();
    }
    ipp_attribute_t* state = ippFindAttribute(response.get(), "printer-state", IPP_TAG_ENUM);
    if (state && ippGetInteger(state, 0) == IPP_PSTATE_STOPPED) {
        return message.isEmpty() ? QStringLiteral("La impresora está detenida") : message;
    }
    ipp_attribute_t* accepting =
        ippFindAttribute(response.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    if (accepting && !ippGetBoolean(accepting, 0)) {
        return message.isEmpty() ? QStringLiteral("La impresora no acepta trabajos") : message;
    }
    return {};
}

int CupsPrinterSystem::submitJob(const QString& queue, const QString& title, const QByteArray& data,
                                 bool raw, const QList<QPair<QByteArray, QByteArray>>& options) {
    const QByteArray name = queue.toUtf8();
    const QByteArray jobTitle = title.toUtf8();
    int count = 0;
    cups_option_t* opts = nullptr;
    for (const auto& [key, value] : options) {
        count = cupsAddOption(key.constData(), value.constData(), count, &opts);
    }
    const int job =
        cupsCreateJob(CUPS_HTTP_DEFAULT, name.constData(), jobTitle.constData(), count, opts);
    cupsFreeOptions(count, opts);
    if (job <= 0) throw printerError(lastCupsError());
    puntoFallo("creado");
    const char* format = raw ? CUPS_FORMAT_RAW : CUPS_FORMAT_PDF;
    auto fail = [&] {
        const QString reason = lastCupsError();
        cupsCancelJob2(CUPS_HTTP_DEFAULT, name.constData(), job, 0);
        return printerError(reason);
    };
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, name.constData(), job, jobTitle.constData(), format,
                          1) != HTTP_STATUS_CONTINUE) {
        throw fail();
    }
    const bool written =
        cupsWriteRequestData(CUPS_HTTP_DEFAULT, data.constData(),
                             static_cast<size_t>(data.size())) == HTTP_STATUS_CONTINUE;
    // A started document is finished even after a failed write, to end the request.
    const bool finished =
        cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData()) <= IPP_STATUS_OK_EVENTS_COMPLETE;
    if (!written || !finished) throw fail();
    return job;
}

int CupsPrinterSystem::jobState(const QString& queue, int job) {
    static const char* const kAttrs[] = {"job-state"};
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 printerUri(queue).constData());
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(kAttrs)), nullptr, kAttrs);
    IppPtr response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    if (!response || cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) return 0;
    ipp_attribute_t* state = ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM);
    return state ? ippGetInteger(state, 0) : 0;
}

int CupsPrinterSystem::submitWatched(const QString& queue, const QString& title,
                                     const QByteArray& data, bool raw,
                                     const QList<QPair<QByteArray, QByteArray>>& options) {
    const int job = submitJob(queue, title, data, raw, options);
    watch(queue, job);
    return job;
}

void CupsPrinterSystem::watch(const QString& queue, int job) {
    if (pendingNoticeMs_ <= 0 || !avisos_) return;
    QTimer::singleShot(pendingNoticeMs_, timers_.get(), [this, queue, job] {
        const int state = jobState(queue, job);
        // Finished either way, or no longer known: nothing to say.
        if (state == 0 || state == IPP_JSTATE_COMPLETED || state == IPP_JSTATE_CANCELED) return;
        QString reason;
        QString problem;
        IppPtr response =
            printerAttributes(queue, {"printer-state", "printer-state-message"}, problem);
        if (!response) {
            reason = problem;
        } else {
            if (ipp_attribute_t* a =
                    ippFindAttribute(response.get(), "printer-state-message", IPP_TAG_TEXT)) {
                reason = QString::fromUtf8(ippGetString(a, 0, nullptr)).trimmed();
            }
            if (reason.isEmpty()) {
                ipp_attribute_t* s =
                    ippFindAttribute(response.get(), "printer-state", IPP_TAG_ENUM);
                reason = stateWord(s ? ippGetInteger(s, 0) : 0);
            }
        }
        const QString text = QStringLiteral("El ticket de ") + queue +
                             QStringLiteral(" no se ha impreso: ") + reason;
        avisos_->showBalloonTip(text, kGloboAviso, QStringLiteral("Impresion demorada"),
                                kTiempoGlobo);
        avisos_->agregarLog(text);
    });
}

void CupsPrinterSystem::log(const QString& line) const {
    if (avisos_) avisos_->agregarLog(line);
}

void CupsPrinterSystem::writeRaw(const QString& deviceName, const QByteArray& bytes) {
    const QString address = addressOf(deviceName);
    if (!address.isEmpty()) {
        const AjustesImpresora ajustes = ajustes_.de(deviceName);
        takeJobName({});
        SocketPrinter(ajustes.host, ajustes.puerto).send(bytes);
        return;
    }
    const QString problem = queueProblem(deviceName);
    if (!problem.isEmpty()) throw printerError(problem);
    submitJob(deviceName, takeJobName(QStringLiteral("Cajon")), bytes, true);
}

QString CupsPrinterSystem::takeJobName(const QString& otherwise) {
    QString name = jobName_.isEmpty() ? otherwise : jobName_;
    jobName_.clear();
    return name;
}

PrinterSystem::JobFate CupsPrinterSystem::jobFate(const QString& printer, const QString& name) {
    if (!addressOf(printer).isEmpty()) return JobFate::Unknown;
    return cupsJobFate(name);
}

void CupsPrinterSystem::cancelJobs(const QString& name) {
    cupsCancelJobs(name);
}

}  // namespace printing
