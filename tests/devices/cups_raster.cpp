#include "cups_raster.h"

#include <cups/raster.h>

#include <algorithm>
#include <cstring>

namespace testing_cups {

namespace {
struct ByteReader {
    const QByteArray* bytes;
    qsizetype at = 0;
};

ssize_t readBytes(void* ctx, unsigned char* buffer, size_t length) {
    auto* r = static_cast<ByteReader*>(ctx);
    const qsizetype n = std::min<qsizetype>(r->bytes->size() - r->at, qsizetype(length));
    std::memcpy(buffer, r->bytes->constData() + r->at, size_t(n));
    r->at += n;
    return ssize_t(n);
}
}  // namespace

QList<RasterPage> rasterPages(const QByteArray& bytes) {
    QList<RasterPage> pages;
    ByteReader reader{&bytes};
    cups_raster_t* r = cupsRasterOpenIO(readBytes, &reader, CUPS_RASTER_READ);
    if (!r) return pages;
    cups_page_header2_t h;
    while (cupsRasterReadHeader2(r, &h)) {
        if (h.cupsBitsPerPixel != 8 || h.cupsWidth == 0 || h.cupsHeight > 200000) break;
        RasterPage page;
        page.width = int(h.cupsWidth);
        page.height = int(h.cupsHeight);
        page.dpi = int(h.HWResolution[0]);
        page.pageSizePoints = QSize(int(h.PageSize[0]), int(h.PageSize[1]));
        page.image = QImage(page.width, page.height, QImage::Format_Grayscale8);
        for (int y = 0; y < page.height; ++y) {
            if (cupsRasterReadPixels(r, page.image.scanLine(y), h.cupsBytesPerLine) == 0) break;
        }
        pages.append(page);
    }
    cupsRasterClose(r);
    return pages;
}

}  // namespace testing_cups
