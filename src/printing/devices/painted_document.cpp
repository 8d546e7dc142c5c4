#include "painted_document.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <limits>

#include "json/runtime_error.h"

namespace printing {

namespace {

constexpr double kTwipsPerInch = 1440.0;
// A PDF page may not be longer than 200 inches.
constexpr int kMaxPdfPageHeight = 200 * 1440;

// scale: device pixels per twip, 0 when the painter already draws in twips.
void paintPage(QPainter& p, const PaintedDocument::Page& page, double scale = 0) {
    for (const auto& op : page.ops) {
        if (const auto* t = std::get_if<PaintedDocument::Text>(&op)) {
            if (scale > 0) {
                // Text drawn at the device's own size goes through the glyph cache, which is
                // many times faster than letters scaled by the painter.
                QFont f = t->font;
                f.setPixelSize(std::max(1, static_cast<int>(std::lround(f.pixelSize() * scale))));
                p.setFont(f);
                p.drawText(t->baseline * scale, t->text);
            } else {
                p.setFont(t->font);
                p.drawText(t->baseline, t->text);
            }
        } else if (const auto* pic = std::get_if<PaintedDocument::Picture>(&op)) {
            const QRectF r(pic->rect);
            p.drawImage(scale > 0 ? QRectF(r.topLeft() * scale, r.size() * scale) : r, pic->image);
        }
    }
}

QPageSize pageSizeTwips(int width, int height) {
    return QPageSize(QSizeF(width / 20.0, height / 20.0), QPageSize::Point, QString(),
                     QPageSize::ExactMatch);
}

}  // namespace

PaintedDocument::PaintedDocument(int pageWidth, int pageHeight, bool trimmed)
    : pageWidth_(pageWidth), pageHeight_(std::max(0, pageHeight)), trimmed_(trimmed) {
    pages_.append(Page{});
}

int PaintedDocument::renderedHeight(int page) const {
    if (pageHeight_ > 0 && !trimmed_) return pageHeight_;
    const int h = static_cast<int>(std::ceil(pages_.at(page).usedHeight));
    return std::clamp(h, 20, kMaxPdfPageHeight);
}

bool PaintedDocument::writePdf(QIODevice* out, const QString& title) const {
    QPdfWriter writer(out);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("servidor-impresoras"));
    writer.setResolution(static_cast<int>(kTwipsPerInch));  // one device unit is one twip
    writer.setPageLayout(QPageLayout(pageSizeTwips(pageWidth_, renderedHeight(0)),
                                     QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter p;
    if (!p.begin(&writer)) return false;
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < pages_.size(); ++i) {
        if (i > 0) {
            writer.setPageSize(pageSizeTwips(pageWidth_, renderedHeight(i)));
            if (!writer.newPage()) return false;
        }
        paintPage(p, pages_.at(i));
    }
    return p.end();
}

QSize PaintedDocument::imageSize(int dpi) const {
    const double scale = dpi / kTwipsPerInch;
    const double width = std::max(1.0, std::round(pageWidth_ * scale));
    double totalTwips = 0;
    for (int i = 0; i < pages_.size(); ++i) totalTwips += renderedHeight(i);
    const double height = std::max(1.0, std::ceil(totalTwips * scale));
    const double limit = std::numeric_limits<int>::max();
    return {static_cast<int>(std::min(width, limit)), static_cast<int>(std::min(height, limit))};
}

void PaintedDocument::checkPictureLength(int dpi) const {
    if (imageSize(dpi).height() > kMaxPictureDots)
        throw json::RuntimeError(json::err::PrinterError,
                                 QStringLiteral("ticket demasiado largo para una imagen"));
}

QImage PaintedDocument::toImage(int dpi) const {
    const double scale = dpi / kTwipsPerInch;
    const QSize size = imageSize(dpi);
    const int width = size.width();
    const int height = size.height();

    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return image;  // too big for memory: the caller fails the ticket
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);

    QPainter p(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                     QPainter::SmoothPixmapTransform);
    p.setPen(Qt::black);
    double top = 0;
    for (int i = 0; i < pages_.size(); ++i) {
        p.save();
        p.translate(0, top * scale);
        p.setClipRect(QRectF(0, 0, width, renderedHeight(i) * scale));
        paintPage(p, pages_.at(i), scale);
        p.restore();
        top += renderedHeight(i);
    }
    p.end();
    return image;
}

}  // namespace printing
