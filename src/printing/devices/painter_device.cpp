#include "painter_device.h"

#include <QHash>
#include <algorithm>
#include <cmath>

#include "json/runtime_error.h"
#include "picture_size.h"

namespace printing {

namespace {
constexpr int kInvalidPicture = 481;
// An endless page still breaks where a PDF page must end (200 inches).
constexpr int kLongestPage = 200 * 1440;
}  // namespace

PainterDevice::PainterDevice(QString name, int pageWidth, int pageHeight, bool trimmed,
                             FontTable fonts)
    : name_(std::move(name)),
      pageWidth_(pageWidth),
      pageHeight_(std::max(0, pageHeight)),
      trimmed_(trimmed),
      fonts_(std::move(fonts)) {
    rebuildFont();
}

void PainterDevice::setFontName(const QString& name) {
    if (fontName_ == name) return;  // layouts set the same font again and again
    fontName_ = name;
    rebuildFont();
}

void PainterDevice::setFontSize(float points) {
    if (fontSize_ == points) return;
    fontSize_ = points;
    rebuildFont();
}

void PainterDevice::setFontBold(bool on) {
    if (bold_ == on) return;
    bold_ = on;
    rebuildFont();
}

void PainterDevice::setFontItalic(bool on) {
    if (italic_ == on) return;
    italic_ = on;
    rebuildFont();
}

QFont PainterDevice::baseFont(const QString& family) {
    QFont f(family);
    f.setStyleHint(QFont::TypeWriter);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return f;
}

double PainterDevice::naturalAdvance(const QString& family) {
    static QHash<QString, double> cache;
    auto it = cache.constFind(family);
    if (it != cache.constEnd()) return it.value();
    QFont f = baseFont(family);
    f.setPixelSize(1000);
    const double em = QFontMetricsF(f).averageCharWidth() / 1000.0;
    cache.insert(family, em);
    return em;
}

void PainterDevice::rebuildFont() {
    const FontTable::Face face = fonts_.face(fontName_);
    QFont f = baseFont(face.family);
    // Sizes are kept as pixel sizes in twips so that measuring does not depend on a screen.
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(fontSize_ * 20.0))));
    if (face.cpi > 0) {
        // A fixed pitch: the advance is 1440 / cpi twips at every size.
        const double natural = naturalAdvance(face.family) * f.pixelSize();
        if (natural > 0) {
            const int stretch =
                static_cast<int>(std::lround(100.0 * (1440.0 / face.cpi) / natural));
            f.setStretch(std::clamp(stretch, 1, 4000));
        }
    }
    f.setBold(bold_);
    f.setItalic(italic_);
    font_ = f;
    metrics_.reset();
}

const QFontMetricsF& PainterDevice::metrics() {
    if (!metrics_) metrics_.emplace(font_);
    return *metrics_;
}

double PainterDevice::columnWidth() {
    return metrics().averageCharWidth();
}

double PainterDevice::textWidth(const QString& text) {
    return metrics().horizontalAdvance(text);
}

double PainterDevice::textHeight(const QString& text) {
    const int lines = static_cast<int>(std::max<qsizetype>(1, text.count(QLatin1Char('\n')) + 1));
    return metrics().lineSpacing() * lines;
}

void PainterDevice::openIfNeeded() {
    if (doc_) return;
    if (openHook_) openHook_();
    doc_.emplace(pageWidth_, pageHeight_, trimmed_);
    x_ = 0;
    y_ = 0;
    line_.clear();
}

void PainterDevice::print(const QList<PrintItem>& items, bool continueLine) {
    openIfNeeded();
    for (const PrintItem& item : items) {
        if (item.kind == PrintItem::Kind::Tab) {
            const double cw = columnWidth();
            const double target = (std::max(1, item.column) - 1) * cw;
            // The print position is past column n once it is nearer the next column.
            if (x_ > target + cw / 2) endLine();
            x_ = target;
        } else {
            // A line break inside a text (CR LF, LF or CR) starts a new line, as on the tape.
            const QString& t = item.text;
            qsizetype start = 0;
            for (qsizetype i = 0; i <= t.size(); ++i) {
                const bool end = i == t.size();
                if (!end && t[i] != u'\r' && t[i] != u'\n') continue;
                addRun(t.mid(start, i - start));
                if (end) break;
                if (t[i] == u'\r' && i + 1 < t.size() && t[i + 1] == u'\n') ++i;
                endLine();
                start = i + 1;
            }
        }
    }
    if (!continueLine) endLine();
}

void PainterDevice::addRun(const QString& text) {
    if (text.isEmpty()) return;
    const QFontMetricsF& m = metrics();
    line_.append(Run{font_, x_, m.ascent(), m.lineSpacing(), text});
    x_ += m.horizontalAdvance(text);
}

void PainterDevice::endLine() {
    // The line is as tall as its tallest run, or the current font when it holds none;
    // runs of different sizes share one baseline.
    double ascent = 0;
    double height = 0;
    for (const Run& r : line_) {
        ascent = std::max(ascent, r.ascent);
        height = std::max(height, r.height);
    }
    if (line_.isEmpty()) {
        ascent = metrics().ascent();
        height = metrics().lineSpacing();
    }
    const int breakAt = pageHeight_ > 0 ? pageHeight_ : kLongestPage;
    if (y_ > 0 && y_ + height > breakAt) {
        doc_->newPage();
        y_ = 0;
    }
    auto& page = doc_->currentPage();
    for (Run& r : line_) {
        page.ops.append(PaintedDocument::Text{r.font, QPointF(r.x, y_ + ascent), r.text});
    }
    line_.clear();
    y_ += height;
    page.usedHeight = std::max(page.usedHeight, y_);
    x_ = 0;
}

void PainterDevice::paintPicture(const QString& picturePath, int x, int y, int width, int height) {
    QImage image = readStoredPicture(picturePath);
    if (image.isNull()) {
        throw json::RuntimeError(kInvalidPicture, QStringLiteral("Invalid picture"));
    }
    openIfNeeded();
    auto& page = doc_->currentPage();
    page.ops.append(PaintedDocument::Picture{std::move(image), QRect(x, y, width, height)});
    page.usedHeight = std::max(page.usedHeight, static_cast<double>(y) + height);
}

void PainterDevice::endDoc() {
    if (!doc_) return;
    if (!line_.isEmpty()) endLine();
    PaintedDocument done = std::move(*doc_);
    doc_.reset();
    line_.clear();
    x_ = y_ = 0;
    if (endHook_) endHook_(done);
}

void PainterDevice::killDoc() {
    doc_.reset();
    line_.clear();
    x_ = y_ = 0;
}

}  // namespace printing
