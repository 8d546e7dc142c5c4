#include "virtual_printer_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "escpos_device.h"
#include "json/runtime_error.h"
#include "painter_device.h"
#include "printing/despacho.h"
#include "printing/seleccion_impresora.h"

namespace printing {

namespace {

// Puts a finished file in place, failing rather than replacing one already there.
bool renameNoReplace(const QString& from, const QString& to) {
    const QByteArray a = QFile::encodeName(from);
    const QByteArray b = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the flag: a hard link fails on an existing name as well.
    if (::link(a.constData(), b.constData()) != 0) return false;
    ::unlink(a.constData());
    return true;
}

}  // namespace

/**
 * One virtual printer: the tape device leads (it decides every measure and every failure)
 * and a painter follows it when PDF or PNG files are wanted.
 */
class VirtualPrinterSystem::Device : public PrintDevice {
  public:
    Device(VirtualPrinterSystem* owner, TapeDevice* tape) : owner_(owner), tape_(tape) {
        if (!owner->formats_.pdf && !owner->formats_.png && !owner->formats_.escpos) return;
        painter_ = std::make_unique<PainterDevice>(tape->deviceName(), tape->pageWidth(), 0, true,
                                                   owner->fonts_);
        painter_->setFontName(tape->fontName());
        painter_->setFontSize(tape->fontSize());
        painter_->setFontBold(tape->fontBold());
        painter_->setFontItalic(tape->fontItalic());
        painter_->setEndHook([this](const PaintedDocument& doc) { writePictures(doc); });
    }

    QString deviceName() const override { return tape_->deviceName(); }
    int pageWidth() const override { return tape_->pageWidth(); }
    QString fontName() const override { return tape_->fontName(); }
    float fontSize() const override { return tape_->fontSize(); }
    bool fontBold() const override { return tape_->fontBold(); }
    bool fontItalic() const override { return tape_->fontItalic(); }

    void setFontName(const QString& name) override {
        tape_->setFontName(name);
        if (painter_) painter_->setFontName(name);
    }
    void setFontSize(float points) override {
        tape_->setFontSize(points);
        if (painter_) painter_->setFontSize(points);
    }
    void setFontBold(bool on) override {
        tape_->setFontBold(on);
        if (painter_) painter_->setFontBold(on);
    }
    void setFontItalic(bool on) override {
        tape_->setFontItalic(on);
        if (painter_) painter_->setFontItalic(on);
    }

    void print(const QList<PrintItem>& items, bool continueLine) override {
        tape_->print(items, continueLine);
        if (painter_) painter_->print(items, continueLine);
    }
    double textWidth(const QString& text) override { return tape_->textWidth(text); }
    double textHeight(const QString& text) override { return tape_->textHeight(text); }
    void paintPicture(const QString& path, int x, int y, int width, int height) override {
        tape_->paintPicture(path, x, y, width, height);
        if (painter_) painter_->paintPicture(path, x, y, width, height);
    }

    void endDoc() override {
        if (!tape_->documentOpen() && !(painter_ && painter_->documentOpen())) return;
        owner_->pendingNumber_ = owner_->nextNumber();
        try {
            tape_->endDoc();  // the tape goes out through the system's listener
        } catch (...) {
            owner_->tapes_.clearOutputs();
            if (painter_) painter_->killDoc();
            throw;
        }
        owner_->tapes_.clearOutputs();
        if (painter_) painter_->endDoc();
    }
    void killDoc() override {
        tape_->killDoc();
        if (painter_) painter_->killDoc();
    }

  private:
    void writePictures(const PaintedDocument& doc) {
        const int number = owner_->pendingNumber_;
        const QString printer = deviceName();
        if (owner_->formats_.pdf) {
            QByteArray pdf;
            QBuffer buffer(&pdf);
            buffer.open(QIODevice::WriteOnly);
            if (!doc.writePdf(&buffer, printer)) {
                throw json::RuntimeError(json::err::PrinterError,
                                         QStringLiteral("No se pudo generar el PDF"));
            }
            owner_->writeFile(fileName(number, printer, QStringLiteral("pdf")), pdf);
        }
        const AjustesImpresora ajustes = owner_->ajustesDe(printer, pageWidth());
        // An escpos-text printer's file comes from its own layout pass.
        const bool raster =
            owner_->formats_.escpos && ajustes.clase != AjustesImpresora::Clase::EscposTexto;
        QImage grey;
        if (owner_->formats_.png || raster) {
            doc.checkPictureLength(kPngDpi);
            grey = doc.toImage(kPngDpi).convertToFormat(QImage::Format_Grayscale8);
            if (grey.isNull()) {
                throw json::RuntimeError(json::err::PrinterError,
                                         QStringLiteral("No se pudo generar la imagen"));
            }
        }
        if (owner_->formats_.png) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            // Thermal paper is black on white: a grey image with light compression encodes
            // several times faster, and a PNG stays lossless at any compression.
            if (!grey.save(&buffer, "PNG", 80) || png.isEmpty()) {
                throw json::RuntimeError(json::err::PrinterError,
                                         QStringLiteral("No se pudo generar el PNG"));
            }
            owner_->writeFile(fileName(number, printer, QStringLiteral("png")), png);
        }
        if (raster) {
            // The same picture as the preview, as the printer's dots.
            owner_->writeFile(
                fileName(number, printer, QStringLiteral("escpos")),
                EscposDevice::rasterJob(EscposDevice::fitToDots(grey, ajustes.puntos), ajustes));
        }
    }

    VirtualPrinterSystem* owner_;
    TapeDevice* tape_;
    std::unique_ptr<PainterDevice> painter_;
};

/**
 * The second layout pass of escpos-text printers: the same printers, where each escpos-text
 * one is an EscposDevice in text mode and every other one a tape (its tickets and raw writes
 * only keep the numbering in step with the first pass). Offline printers fail here too, so
 * every ticket goes where it went the first time.
 */
class VirtualPrinterSystem::TextPass : public PrinterSystem {
  public:
    explicit TextPass(VirtualPrinterSystem* owner) : owner_(owner) {
        tapes_.setListener([this](const TapeOutput&) { ++count_; });
        const QStringList names = owner->printers();
        for (size_t i = 0; i < owner->devices_.size(); ++i) {
            const QString& name = names.at(static_cast<qsizetype>(i));
            TapeDevice* first = owner->tapes_.find(name);
            const int width = first ? first->pageWidth() : 4535;
            TapeDevice& tape = tapes_.addPrinter(name, width);
            if (first && first->isOffline()) {
                tapes_.setOffline(name, true, first->offlineDescription());
            }
            const AjustesImpresora ajustes = owner->ajustesDe(name, width);
            if (ajustes.clase != AjustesImpresora::Clase::EscposTexto) {
                devices_.push_back(&tape);
                continue;
            }
            auto device = std::make_unique<EscposDevice>(name, ajustes, width);
            device->setOpenHook([&tape] {
                if (tape.isOffline()) {
                    throw json::RuntimeError(json::err::PrinterError, tape.offlineDescription());
                }
            });
            device->setSink([this, name](const QByteArray& bytes) {
                jobs_.append({++count_, name, bytes});
            });
            device->setLog([this](const QString& line) {
                if (log_) log_(line);
            });
            devices_.push_back(device.get());
            escpos_.push_back(std::move(device));
        }
    }

    bool hasTextPrinters() const { return !escpos_.empty(); }
    size_t size() const { return devices_.size(); }

    QStringList printers() override { return tapes_.printers(); }
    PrintDevice& printer(int index) override {
        if (index < 0 || index >= static_cast<int>(devices_.size())) {
            throw json::RuntimeError::subscriptOutOfRange();
        }
        return *devices_[static_cast<size_t>(index)];
    }
    QString defaultPrinterName() override { return owner_->defaultPrinterName(); }
    void writeRaw(const QString& deviceName, const QByteArray& bytes) override {
        tapes_.writeRaw(deviceName, bytes);
        tapes_.clearOutputs();
    }

    /** Lays a document out again; the files take the numbers of the first pass. */
    void run(const json::JsonValue& document, const Entorno& first,
             const QList<QDateTime>& readings) {
        count_ = 0;
        jobs_.clear();
        log_ = [&first](const QString& line) {
            if (first.avisos) first.avisos->agregarLog(line);
        };
        Entorno e = first;
        e.impresoras = this;
        e.avisos = &silent_;
        // this pass has devices of its own, so a selection of its own that carries over
        e.seleccion = std::make_shared<SeleccionImpresora>();
        e.seleccion->fijar(actual_);
        e.ticketsSinImprimir = std::make_shared<int>(0);  // the first pass counts the tickets
        e.procesarEventosPendientes = [] {};
        e.otraPasada = nullptr;
        qsizetype next = 0;
        const auto clock = first.reloj;
        e.reloj = [&readings, &next, clock] {
            return next < readings.size() ? readings.at(next++) : clock();
        };
        try {
            setComunicacion(document, e);
        } catch (...) {  // the first pass has reported whatever failed
        }
        actual_ = e.seleccion->fijada();
        log_ = nullptr;
        tapes_.clearOutputs();
        // Both passes number the same tickets and raw writes: this pass's last number is
        // the first pass's last one.
        const int offset = owner_->sequence_ - count_;
        for (const Job& job : jobs_) {
            owner_->writeFile(fileName(offset + job.number, job.printer, QStringLiteral("escpos")),
                              job.bytes);
        }
        jobs_.clear();
    }

  private:
    class Silent : public Avisos {
      public:
        void showBalloonTip(const QString&, int, const QString&, int) override {}
        void agregarLog(const QString&) override {}
    };
    struct Job {
        int number;
        QString printer;
        QByteArray bytes;
    };

    VirtualPrinterSystem* owner_;
    TapePrinterSystem tapes_;
    std::vector<std::unique_ptr<EscposDevice>> escpos_;
    std::vector<PrintDevice*> devices_;
    PrintDevice* actual_ = nullptr;
    Silent silent_;
    int count_ = 0;
    QList<Job> jobs_;
    std::function<void(const QString&)> log_;
};

std::optional<VirtualPrinterSystem::Formats> VirtualPrinterSystem::parseFormats(
    const QString& list) {
    Formats f{false, false, false, false};
    const QStringList parts = list.split(u',');
    for (const QString& raw : parts) {
        const QString p = raw.trimmed().toLower();
        if (p == u"text" || p == u"txt") {
            f.text = true;
        } else if (p == u"pdf") {
            f.pdf = true;
        } else if (p == u"png") {
            f.png = true;
        } else if (p == u"escpos") {
            f.escpos = true;
        } else {
            return std::nullopt;
        }
    }
    return f;
}

QString VirtualPrinterSystem::safeName(const QString& printer) {
    QString out;
    out.reserve(printer.size());
    for (const char32_t c : printer.toUcs4()) {  // one mark per character, pairs included
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        out += keep ? QChar(static_cast<char16_t>(c)) : QChar(u'_');
    }
    return out;
}

QString VirtualPrinterSystem::fileName(int number, const QString& printer,
                                       const QString& extension) {
    return QStringLiteral("%1-%2.%3")
        .arg(number, 3, 10, QLatin1Char('0'))
        .arg(safeName(printer), extension);
}

VirtualPrinterSystem::VirtualPrinterSystem(QString folder, Formats formats, FontTable fonts)
    : folder_(std::move(folder)), formats_(formats), fonts_(std::move(fonts)) {
    tapes_.setListener([this](const TapeOutput& out) {
        if (out.kind == TapeOutput::Kind::Raw) {
            writeFile(fileName(nextNumber(), out.printer, QStringLiteral("raw")), out.content);
        } else if (formats_.text) {
            writeFile(fileName(pendingNumber_, out.printer, QStringLiteral("txt")), out.content);
        }
    });
}

VirtualPrinterSystem::~VirtualPrinterSystem() = default;

void VirtualPrinterSystem::addPrinter(const QString& name, int pageWidth, bool offline) {
    TapeDevice& tape = tapes_.addPrinter(name, pageWidth);
    if (offline) tapes_.setOffline(name, true);
    devices_.push_back(std::make_unique<Device>(this, &tape));
}

void VirtualPrinterSystem::setDefaultPrinterName(const QString& name) {
    tapes_.setDefaultPrinterName(name);
}

AjustesImpresora VirtualPrinterSystem::ajustesDe(const QString& name, int pageWidth) const {
    AjustesImpresora a = ajustes_.de(name);
    if (!a.anchoDado) {
        a.anchoMm = pageWidth >= 4535 ? 80 : 58;
        a.puntos = AjustesImpresora::puntosDeAncho(a.anchoMm);
    }
    return a;
}

void VirtualPrinterSystem::attach(Entorno& e) {
    if (!formats_.escpos) return;
    // The second pass reads the clock as the first one did: a ticket printing the time of
    // printing shows the same second in every file.
    auto readings = std::make_shared<QList<QDateTime>>();
    clockReadings_ = readings;
    const auto clock = e.reloj;
    e.reloj = [clock, readings] {
        QDateTime now = clock();
        readings->append(now);
        return now;
    };
    e.otraPasada = [this](const json::JsonValue& document, const Entorno& first) {
        layOutAgain(document, first);
    };
}

void VirtualPrinterSystem::layOutAgain(const json::JsonValue& document, const Entorno& first) {
    const QList<QDateTime> readings = clockReadings_ ? *clockReadings_ : QList<QDateTime>();
    if (clockReadings_) clockReadings_->clear();
    if (!textPass_ || textPass_->size() != devices_.size()) {
        textPass_ = std::make_unique<TextPass>(this);
    }
    if (!textPass_->hasTextPrinters()) return;
    textPass_->run(document, first, readings);
    if (clockReadings_) clockReadings_->clear();  // readings past the first pass's own
}

QStringList VirtualPrinterSystem::printers() {
    return tapes_.printers();
}

PrintDevice& VirtualPrinterSystem::printer(int index) {
    if (index < 0 || index >= static_cast<int>(devices_.size())) {
        throw json::RuntimeError::subscriptOutOfRange();
    }
    return *devices_[static_cast<size_t>(index)];
}

QString VirtualPrinterSystem::defaultPrinterName() {
    return tapes_.defaultPrinterName();
}

void VirtualPrinterSystem::writeRaw(const QString& deviceName, const QByteArray& bytes) {
    // Outputs are kept only as files; the tape system's memory of them is dropped.
    tapes_.writeRaw(deviceName, bytes);
    tapes_.clearOutputs();
}

int VirtualPrinterSystem::highestNumber(const QString& folder) {
    int highest = 0;
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        const qsizetype dash = name.indexOf(u'-');
        if (dash < 3) continue;
        bool ok = false;
        const int n = name.left(dash).toInt(&ok);
        if (ok && name.at(0).isDigit()) highest = std::max(highest, n);
    }
    return highest;
}

QString VirtualPrinterSystem::nextJob(const QString& printer, bool raw) {
    const int number = nextNumber();
    --sequence_;  // only a look ahead
    const QString extension = raw             ? QStringLiteral("raw")
                              : formats_.text ? QStringLiteral("txt")
                              : formats_.pdf  ? QStringLiteral("pdf")
                                              : QStringLiteral("png");
    return QDir(folder_).filePath(fileName(number, printer, extension));
}

int VirtualPrinterSystem::nextNumber() {
    // A restart on the same folder goes on after the files already there.
    if (!scanned_) {
        sequence_ = std::max(sequence_, highestNumber(folder_));
        scanned_ = true;
    }
    return ++sequence_;
}

void VirtualPrinterSystem::writeFile(const QString& name, const QByteArray& data) {
    const QString path = QDir(folder_).filePath(name);
    // Written under a hidden name and renamed into place: a file with a ticket's name is
    // always a whole ticket, and an earlier file is never replaced.
    const QString temporary = QDir(folder_).filePath(u'.' + name + QStringLiteral(".tmp"));
    const auto problem = [&]() -> QString {
        if (!QDir().mkpath(folder_))
            return QStringLiteral("No se pudo crear la carpeta ") + folder_;
        QFile::remove(temporary);  // a torn leftover of an earlier run
        QFile file(temporary);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            file.write(data) != data.size() || !file.flush()) {
            const QString reason = file.errorString();
            file.remove();
            return QStringLiteral("No se pudo escribir ") + path + QStringLiteral(": ") + reason;
        }
        file.close();
        if (renameNoReplace(temporary, path)) return {};
        const int code = errno;
        QFile::remove(temporary);
        return QStringLiteral("No se pudo escribir ") + path + QStringLiteral(": ") +
               (code == EEXIST ? QStringLiteral("ya existe")
                               : QString::fromLocal8Bit(std::strerror(code)));
    }();
    if (!problem.isEmpty()) {
        if (writeError_.isEmpty()) writeError_ = problem;
        throw json::RuntimeError(json::err::PrinterError, problem);
    }
    written_.append(path);
    const int number = name.section(u'-', 0, 0).toInt();
    if (number != lastJobNumber_) {
        lastJobNumber_ = number;
        lastJob_ = path;
    }
}

}  // namespace printing
