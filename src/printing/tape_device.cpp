#include "tape_device.h"

#include <charconv>

#include "json/runtime_error.h"

namespace printing {

namespace {
constexpr double kCharTwipsPerPoint = 12.0;
constexpr double kLineTwipsPerPoint = 24.0;
}  // namespace

TapeDevice::TapeDevice(TapePrinterSystem* owner, QString name, int pageWidth)
    : owner_(owner), name_(std::move(name)), pageWidth_(pageWidth) {}

QString TapeDevice::prefix(float size, bool bold) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, size);
    QString s = QString::fromLatin1(buf, res.ptr - buf);
    if (bold) s += u'B';
    s += u'|';
    return s;
}

void TapeDevice::openIfNeeded() {
    if (offline_) throw json::RuntimeError(json::err::PrinterError, offlineDescription_);
    open_ = true;
}

void TapeDevice::endLine() {
    lines_.append(prefix(fontSize_, bold_) + line_);
    line_.clear();
}

void TapeDevice::print(const QList<PrintItem>& items, bool continueLine) {
    openIfNeeded();
    for (const PrintItem& item : items) {
        if (item.kind == PrintItem::Kind::Text) {
            // A line break inside a text (CR LF, LF or CR) starts a new tape line.
            const QString& t = item.text;
            for (qsizetype i = 0; i < t.size(); ++i) {
                if (t[i] == u'\r' || t[i] == u'\n') {
                    if (t[i] == u'\r' && i + 1 < t.size() && t[i + 1] == u'\n') ++i;
                    endLine();
                } else {
                    line_ += t[i];
                }
            }
            continue;
        }
        const int column = item.column < 1 ? 1 : item.column;
        // A column already passed continues on the next line, at that column.
        if (line_.size() + 1 > column) endLine();
        while (line_.size() + 1 < column) line_ += u' ';
    }
    if (!continueLine) endLine();
}

double TapeDevice::textWidth(const QString& text) {
    return kCharTwipsPerPoint * double(fontSize_) * double(text.size());
}

double TapeDevice::textHeight(const QString&) {
    return kLineTwipsPerPoint * double(fontSize_);
}

void TapeDevice::paintPicture(const QString&, int x, int y, int width, int height) {
    openIfNeeded();
    lines_.append(QStringLiteral("PICTURE|%1,%2,%3,%4").arg(x).arg(y).arg(width).arg(height));
}

void TapeDevice::endDoc() {
    if (!open_) return;
    if (!line_.isEmpty()) endLine();  // a line left open prints with the document
    QByteArray tape;
    for (const QString& l : lines_) {
        tape += l.toUtf8();
        tape += '\n';
    }
    lines_.clear();
    open_ = false;
    owner_->emitOutput({name_, TapeOutput::Kind::Tape, tape});
}

void TapeDevice::killDoc() {
    lines_.clear();
    line_.clear();
    open_ = false;
}

void TapeDevice::setOffline(bool offline, const QString& description) {
    offline_ = offline;
    offlineDescription_ = description;
}

TapeDevice& TapePrinterSystem::addPrinter(const QString& name, int pageWidth) {
    devices_.push_back(std::make_unique<TapeDevice>(this, name, pageWidth));
    return *devices_.back();
}

// Not const, though the printers are reached through pointers: it changes a printer's state.
// NOLINTNEXTLINE(readability-make-member-function-const)
void TapePrinterSystem::setOffline(const QString& name, bool offline, const QString& description) {
    if (TapeDevice* d = find(name)) d->setOffline(offline, description);
}

TapeDevice* TapePrinterSystem::find(const QString& name) const {
    for (const auto& d : devices_)
        if (d->deviceName() == name) return d.get();
    return nullptr;
}

QStringList TapePrinterSystem::printers() {
    QStringList names;
    for (const auto& d : devices_) names.append(d->deviceName());
    return names;
}

PrintDevice& TapePrinterSystem::printer(int index) {
    if (index < 0 || index >= int(devices_.size())) throw json::RuntimeError::subscriptOutOfRange();
    return *devices_[size_t(index)];
}

void TapePrinterSystem::writeRaw(const QString& deviceName, const QByteArray& bytes) {
    TapeDevice* d = find(deviceName);
    if (!d)
        throw json::RuntimeError(json::err::PrinterError,
                                 QStringLiteral("No existe la impresora ") + deviceName);
    if (d->isOffline()) throw json::RuntimeError(json::err::PrinterError, d->offlineDescription());
    emitOutput({deviceName, TapeOutput::Kind::Raw, bytes});
}

QStringList TapePrinterSystem::tapesOf(const QString& name) const {
    QStringList tapes;
    for (const TapeOutput& o : outputs_)
        if (o.printer == name && o.kind == TapeOutput::Kind::Tape)
            tapes.append(QString::fromUtf8(o.content));
    return tapes;
}

void TapePrinterSystem::emitOutput(TapeOutput out) {
    outputs_.push_back(std::move(out));
    if (listener_) listener_(outputs_.back());
}

}  // namespace printing
