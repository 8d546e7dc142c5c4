#include "cups_printer_system.h"

#include <cups/cups.h>

#include <QBuffer>
#include <cmath>

#include "cups_trabajos.h"
#include "json/runtime_error.h"

namespace printing {

namespace {

constexpr qint64 kListLifetimeMs = 2000;

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

// CUPS gives sizes in hundredths of a millimetre.
int twipsOf(int hundredthsMm) {
    return static_cast<int>(std::lround(hundredthsMm / 2540.0 * 1440.0));
}

}  // namespace

CupsPrinterSystem::CupsPrinterSystem(FontTable fonts) : fonts_(std::move(fonts)) {}

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
    names_ = names;
    listedAt_.start();
}

QStringList CupsPrinterSystem::printers() {
    // One listing serves the calls of one ticket; a queue added later shows up soon after.
    if (!listedAt_.isValid() || listedAt_.elapsed() > kListLifetimeMs) refresh();
    return names_;
}

PrintDevice& CupsPrinterSystem::printer(int index) {
    if (!listedAt_.isValid()) refresh();
    if (index < 0 || index >= names_.size()) throw json::RuntimeError::subscriptOutOfRange();
    const QString name = names_.at(index);
    auto& slot = devices_[name];
    if (!slot) {
        const QSize paper = queuePaper(name);
        int width = kRollWidth;
        int height = 0;
        bool roll = true;
        if (paper.width() > 0) {
            width = paper.width();
            height = std::max(0, paper.height());
            // Paper much longer than wide is a roll: cut each ticket below its last line.
            roll = height == 0 || height > 2 * width;
        }
        auto device = std::make_shared<PainterDevice>(name, width, height, roll, fonts_);
        device->setOpenHook([name] {
            const QString problem = queueProblem(name);
            if (!problem.isEmpty()) throw printerError(problem);
        });
        device->setEndHook([this, name](const PaintedDocument& doc) {
            QByteArray pdf;
            QBuffer buffer(&pdf);
            buffer.open(QIODevice::WriteOnly);
            if (!doc.writePdf(&buffer, name)) {
                throw printerError(QStringLiteral("No se pudo preparar el documento"));
            }
            submitJob(name, takeJobName(QStringLiteral("Ticket")), pdf, false);
        });
        slot = std::move(device);
    }
    return *slot;
}

QString CupsPrinterSystem::defaultPrinterName() {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest) return {};
    QString name = QString::fromUtf8(dest->name);
    cupsFreeDests(1, dest);
    return name;
}

QString CupsPrinterSystem::queueProblem(const QString& queue) {
    static const char* const kAttrs[] = {"printer-state", "printer-is-accepting-jobs",
                                         "printer-state-message"};
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 printerUri(queue).constData());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(kAttrs)), nullptr, kAttrs);
    IppPtr response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    const ipp_status_t status = cupsLastError();
    if (!response || status > IPP_STATUS_OK_EVENTS_COMPLETE) {
        const QString reason = lastCupsError();
        return reason.isEmpty() ? QStringLiteral("La impresora no existe") : reason;
    }
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

QSize CupsPrinterSystem::queuePaper(const QString& queue) {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.toUtf8().constData(), nullptr);
    if (!dest) return {};
    QSize paper;
    if (cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
        cups_size_t size{};
        if (cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest, info, 0, &size) && size.width > 0) {
            paper = QSize(twipsOf(size.width), twipsOf(size.length));
        }
        cupsFreeDestInfo(info);
    }
    cupsFreeDests(1, dest);
    return paper;
}

void CupsPrinterSystem::submitJob(const QString& queue, const QString& title,
                                  const QByteArray& data, bool raw) {
    const QByteArray name = queue.toUtf8();
    const QByteArray jobTitle = title.toUtf8();
    const int job =
        cupsCreateJob(CUPS_HTTP_DEFAULT, name.constData(), jobTitle.constData(), 0, nullptr);
    if (job <= 0) throw printerError(lastCupsError());
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
}

void CupsPrinterSystem::writeRaw(const QString& deviceName, const QByteArray& bytes) {
    const QString problem = queueProblem(deviceName);
    if (!problem.isEmpty()) throw printerError(problem);
    submitJob(deviceName, takeJobName(QStringLiteral("Cajon")), bytes, true);
}

QString CupsPrinterSystem::takeJobName(const QString& otherwise) {
    QString name = jobName_.isEmpty() ? otherwise : jobName_;
    jobName_.clear();
    return name;
}

PrinterSystem::JobFate CupsPrinterSystem::jobFate(const QString& name) {
    return cupsJobFate(name);
}

void CupsPrinterSystem::cancelJobs(const QString& name) {
    cupsCancelJobs(name);
}

}  // namespace printing
