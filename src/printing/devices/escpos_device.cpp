#include "escpos_device.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "code_pages.h"
#include "json/runtime_error.h"
#include "painter_device.h"
#include "picture_size.h"

namespace printing {

namespace {

constexpr int kInvalidPicture = 481;
constexpr double kTwipsPerInch = 1440.0;
constexpr int kBandRows = 256;

// The style bits of a printed character.
constexpr int kStyleSmall = 1;  // font B
constexpr int kStyleBold = 2;
constexpr int kStyleTall = 4;  // double height

// Character cells of the printer's fonts, in dots: font A 12 x 24, font B 9 x 17.
constexpr int kCellA = 12;
constexpr int kCellB = 9;
constexpr int kHeightA = 24;
constexpr int kHeightB = 17;

const QByteArray kInit("\x1B\x40", 2);
const QByteArray kCut("\x1D\x56\x42\x00", 4);
const QByteArray kFeed("\x1B\x64\x05", 3);

double twipsOfDots(double dots) {
    return dots * kTwipsPerInch / EscposDevice::kDpi;
}

int dotsOfTwips(double twips) {
    return static_cast<int>(std::lround(twips * EscposDevice::kDpi / kTwipsPerInch));
}

QByteArray endOfJob(const AjustesImpresora& a) {
    return a.cortar ? kCut : kFeed;
}

void appendWord(QByteArray& out, int value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

}  // namespace

EscposDevice::EscposDevice(QString name, const AjustesImpresora& ajustes, int pageWidth,
                           FontTable fonts)
    : name_(std::move(name)),
      ajustes_(ajustes),
      pageWidth_(pageWidth > 0 ? pageWidth : (ajustes.anchoMm == 58 ? 3288 : 4535)),
      text_(ajustes.clase == AjustesImpresora::Clase::EscposTexto) {
    if (text_) return;
    painter_ = std::make_unique<PainterDevice>(name_, pageWidth_, 0, true, std::move(fonts));
    painter_->setFontName(fontName_);
    painter_->setFontSize(fontSize_);
    painter_->setOpenHook([this] {
        if (openHook_) openHook_();
    });
    painter_->setEndHook([this](const PaintedDocument& doc) {
        const QByteArray job = rasterJob(doc, ajustes_);
        if (sink_) sink_(job);
    });
}

EscposDevice::~EscposDevice() = default;

void EscposDevice::setFontName(const QString& name) {
    fontName_ = name;
    if (painter_) painter_->setFontName(name);
}

void EscposDevice::setFontSize(float points) {
    fontSize_ = points;
    if (painter_) painter_->setFontSize(points);
}

void EscposDevice::setFontBold(bool on) {
    bold_ = on;
    if (painter_) painter_->setFontBold(on);
}

void EscposDevice::setFontItalic(bool on) {
    italic_ = on;
    if (painter_) painter_->setFontItalic(on);
}

bool EscposDevice::documentOpen() const {
    return painter_ ? painter_->documentOpen() : open_;
}

int EscposDevice::style() const {
    int s = 0;
    if (fontSize_ < 10.0f) s |= kStyleSmall;
    if (fontSize_ >= 15.0f) s |= kStyleTall;
    if (bold_) s |= kStyleBold;
    return s;
}

int EscposDevice::cellDots(int s) const {
    return (s & kStyleSmall) != 0 ? kCellB : kCellA;
}

int EscposDevice::lineDots(int s) const {
    int height = (s & kStyleSmall) != 0 ? kHeightB : kHeightA;
    if ((s & kStyleTall) != 0) height *= 2;
    return std::max(30, height + 6);  // the printer's default spacing of 30 dots a line
}

int EscposDevice::usedDots() const {
    int used = 0;
    for (const Cell& c : line_) used += cellDots(c.style);
    return used;
}

double EscposDevice::textWidth(const QString& text) {
    if (painter_) return painter_->textWidth(text);
    qsizetype cells = 0;
    for (const char32_t c : text.toUcs4()) cells += (c == U'\r' || c == U'\n') ? 0 : 1;
    return twipsOfDots(static_cast<double>(cells) * cellDots(style()));
}

double EscposDevice::textHeight(const QString& text) {
    if (painter_) return painter_->textHeight(text);
    const qsizetype lines = std::max<qsizetype>(1, text.count(QLatin1Char('\n')) + 1);
    return twipsOfDots(static_cast<double>(lines) * lineDots(style()));
}

void EscposDevice::openIfNeeded() {
    if (open_) return;
    if (openHook_) openHook_();
    open_ = true;
    job_ = kInit;
    job_ += '\x1B';
    job_ += 't';
    job_ += static_cast<char>(escposCodePageNumber(ajustes_.paginaCodigos));
    line_.clear();
    printerStyle_ = 0;  // ESC @ leaves font A, single size, no bold
    pictureRoom_ = 0;
    missing_.clear();
}

void EscposDevice::print(const QList<PrintItem>& items, bool continueLine) {
    if (painter_) {
        painter_->print(items, continueLine);
        return;
    }
    openIfNeeded();
    for (const PrintItem& item : items) {
        if (item.kind == PrintItem::Kind::Text) {
            // A line break inside a text (CR LF, LF or CR) starts a new line.
            const QList<uint> characters = item.text.toUcs4();
            for (qsizetype i = 0; i < characters.size(); ++i) {
                const char32_t c = characters[i];
                if (c == U'\r' || c == U'\n') {
                    if (c == U'\r' && i + 1 < characters.size() && characters[i + 1] == U'\n') ++i;
                    endLine();
                } else {
                    addCharacter(c);
                }
            }
            continue;
        }
        const int s = style();
        const int cell = cellDots(s);
        const int target = (std::max(1, item.column) - 1) * cell;
        int x = usedDots();
        // A column already passed continues on the next line, at that column.
        if (2 * x > 2 * target + cell) {
            endLine();
            x = 0;
        }
        while (x < target && x + cell <= ajustes_.puntos) {
            line_.append(Cell{U' ', s});
            x += cell;
        }
    }
    if (!continueLine) endLine();
}

void EscposDevice::addCharacter(char32_t c) {
    const int s = style();
    if (usedDots() + cellDots(s) > ajustes_.puntos) {
        if (c == U' ') {  // the blank where a line breaks is not printed
            endLine();
            return;
        }
        breakLine();
    }
    line_.append(Cell{c, s});
}

// The line is full: it ends at its last blank and the word after it moves down; a line with
// no blank after its first word breaks where it is.
void EscposDevice::breakLine() {
    qsizetype blank = -1;
    for (qsizetype i = line_.size(); i-- > 0;) {
        if (line_[i].character == U' ') {
            blank = i;
            break;
        }
    }
    const bool wordBefore =
        blank > 0 && std::any_of(line_.begin(), line_.begin() + blank,
                                 [](const Cell& c) { return c.character != U' '; });
    QList<Cell> carried;
    if (wordBefore) {
        carried = line_.mid(blank + 1);
        line_.resize(blank);
    }
    endLine();
    line_ = carried;
}

void EscposDevice::endLine() {
    while (!line_.isEmpty() && line_.last().character == U' ') line_.removeLast();
    if (line_.isEmpty() && pictureRoom_ > 0) {
        // The blank lines a layout prints below a picture make room for it; the picture
        // has already fed that paper.
        pictureRoom_ -= lineDots(style());
        return;
    }
    pictureRoom_ = 0;
    writeLine(line_);
    line_.clear();
}

void EscposDevice::writeStyle(int s) {
    constexpr int kFontBits = kStyleSmall | kStyleTall;
    if ((s & kFontBits) != (printerStyle_ & kFontBits)) {
        job_ += '\x1B';
        job_ += '!';
        job_ += static_cast<char>(((s & kStyleSmall) != 0 ? 0x01 : 0) |
                                  ((s & kStyleTall) != 0 ? 0x10 : 0));
    }
    if ((s & kStyleBold) != (printerStyle_ & kStyleBold)) {
        job_ += '\x1B';
        job_ += 'E';
        job_ += static_cast<char>((s & kStyleBold) != 0 ? 1 : 0);
    }
    printerStyle_ = s;
}

void EscposDevice::writeLine(const QList<Cell>& cells) {
    // An empty line feeds as high as the current size.
    if (cells.isEmpty()) writeStyle(style());
    for (const Cell& cell : cells) {
        writeStyle(cell.style);
        const std::optional<char> byte = encodeCharacter(ajustes_.paginaCodigos, cell.character);
        if (byte) {
            job_ += *byte;
            continue;
        }
        job_ += '?';
        if (!missing_.contains(cell.character)) {
            missing_.insert(cell.character);
            if (log_) {
                log_(QStringLiteral("La impresora %1 no tiene el caracter \"%2\" (U+%3) en %4: "
                                    "se imprime ?")
                         .arg(name_,
                              cell.character >= 0x20 ? QString::fromUcs4(&cell.character, 1)
                                                     : QString(),
                              QStringLiteral("%1")
                                  .arg(static_cast<uint>(cell.character), 4, 16, QLatin1Char('0'))
                                  .toUpper(),
                              QString::fromLatin1(codePageName(ajustes_.paginaCodigos))));
            }
        }
    }
    job_ += '\n';
}

void EscposDevice::paintPicture(const QString& picturePath, int x, int y, int width, int height) {
    if (painter_) {
        painter_->paintPicture(picturePath, x, y, width, height);
        return;
    }
    const QImage image = readStoredPicture(picturePath);
    if (image.isNull()) {
        throw json::RuntimeError(kInvalidPicture, QStringLiteral("Invalid picture"));
    }
    openIfNeeded();
    if (!line_.isEmpty()) endLine();
    // The picture prints where the ticket has got to, at its place across the paper; one
    // that would pass the right edge is scaled down to fit.
    const int dots = ajustes_.puntos;
    double left = std::max(0, dotsOfTwips(x));
    double top = std::max(0, dotsOfTwips(y));
    double w = std::max(1, dotsOfTwips(width));
    double h = std::max(1, dotsOfTwips(height));
    if (left + w > dots) {
        const double scale = dots / (left + w);
        left *= scale;
        top *= scale;
        w *= scale;
        h *= scale;
    }
    const int rows = std::max(1, static_cast<int>(std::ceil(top + h)));
    if (rows > kMaxPictureDots) {
        throw json::RuntimeError(json::err::PrinterError,
                                 QStringLiteral("ticket demasiado largo para una imagen"));
    }
    QImage canvas(dots, rows, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(left, top, w, h), image);
    }
    job_ += rasterBands(canvas.convertToFormat(QImage::Format_Grayscale8));
    pictureRoom_ = rows;
}

void EscposDevice::endDoc() {
    if (painter_) {
        painter_->endDoc();
        return;
    }
    if (!open_) return;
    if (!line_.isEmpty()) endLine();
    QByteArray job = std::move(job_);
    job += endOfJob(ajustes_);
    job_.clear();
    open_ = false;
    line_.clear();
    if (sink_) sink_(job);
}

void EscposDevice::killDoc() {
    if (painter_) {
        painter_->killDoc();
        return;
    }
    open_ = false;
    job_.clear();
    line_.clear();
}

QImage EscposDevice::rasterImage(const PaintedDocument& doc, int dots) {
    doc.checkPictureLength(kDpi);
    // The same picture as the preview: drawn in colour, then grey.
    return fitToDots(doc.toImage(kDpi).convertToFormat(QImage::Format_Grayscale8), dots);
}

QImage EscposDevice::fitToDots(const QImage& picture, int dots) {
    QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    auto inkWidth = [](const QImage& img) {
        int right = 0;
        for (int y = 0; y < img.height(); ++y) {
            const uchar* row = img.constScanLine(y);
            for (int x = img.width(); x-- > right;) {
                if (row[x] < 128) {
                    right = x + 1;
                    break;
                }
            }
        }
        return right;
    };
    const int ink = inkWidth(grey);
    if (ink > dots) {
        const double scale = static_cast<double>(dots) / ink;
        grey = grey.scaled(std::max(1, static_cast<int>(std::lround(grey.width() * scale))),
                           std::max(1, static_cast<int>(std::lround(grey.height() * scale))),
                           Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                   .convertToFormat(QImage::Format_Grayscale8);
    }
    int lastInked = -1;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        const int width = std::min(dots, grey.width());
        if (std::any_of(row, row + width, [](uchar v) { return v < 128; })) lastInked = y;
    }
    if (lastInked < 0) return {};
    QImage out(dots, lastInked + 1, QImage::Format_Grayscale8);
    out.fill(255);
    for (int y = 0; y <= lastInked; ++y) {
        const uchar* from = grey.constScanLine(y);
        uchar* to = out.scanLine(y);
        for (int x = 0; x < std::min(dots, grey.width()); ++x) to[x] = from[x] < 128 ? 0 : 255;
    }
    return out;
}

QByteArray EscposDevice::rasterBands(const QImage& picture) {
    QByteArray out;
    if (picture.isNull() || picture.width() <= 0) return out;
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    const int bytesPerRow = (grey.width() + 7) / 8;
    for (int top = 0; top < grey.height(); top += kBandRows) {
        const int rows = std::min(kBandRows, grey.height() - top);
        out += QByteArray("\x1D\x76\x30\x00", 4);
        appendWord(out, bytesPerRow);
        appendWord(out, rows);
        const qsizetype start = out.size();
        out.resize(start + static_cast<qsizetype>(bytesPerRow) * rows, '\0');
        char* data = out.data() + start;
        for (int y = 0; y < rows; ++y) {
            const uchar* row = grey.constScanLine(top + y);
            for (int x = 0; x < grey.width(); ++x) {
                if (row[x] < 128) {
                    data[y * bytesPerRow + x / 8] =
                        static_cast<char>(data[y * bytesPerRow + x / 8] | (0x80 >> (x % 8)));
                }
            }
        }
    }
    return out;
}

QByteArray EscposDevice::rasterJob(const PaintedDocument& doc, const AjustesImpresora& ajustes) {
    return rasterJob(rasterImage(doc, ajustes.puntos), ajustes);
}

QByteArray EscposDevice::rasterJob(const QImage& fitted, const AjustesImpresora& ajustes) {
    QByteArray job = kInit;
    job += rasterBands(fitted);
    job += endOfJob(ajustes);
    return job;
}

}  // namespace printing
