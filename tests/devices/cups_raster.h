#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>

namespace testing_cups {

/** One page of CUPS raster. */
struct RasterPage {
    int width = 0;   // dots
    int height = 0;  // rows
    int dpi = 0;
    QSize pageSizePoints;
    QImage image;  // 8-bit grey
};
/** The pages of a CUPS raster stream (8-bit grey only); empty when it is not one. */
QList<RasterPage> rasterPages(const QByteArray& bytes);

}  // namespace testing_cups
