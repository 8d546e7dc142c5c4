#include "picture_size.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

namespace printing {

namespace {
constexpr double kScreenDotsPerMeter = 96 / 0.0254;
constexpr double kHundredthsMmPerMeter = 100000.0;
}  // namespace

QImage readPicture(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

QImage readPicture(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

std::optional<QSizeF> pictureSize(const QString& path) {
    const QImage image = readPicture(path);
    if (image.isNull()) return std::nullopt;
    const double dpmX = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() : kScreenDotsPerMeter;
    const double dpmY = image.dotsPerMeterY() > 0 ? image.dotsPerMeterY() : kScreenDotsPerMeter;
    return QSizeF(image.width() / dpmX * kHundredthsMmPerMeter,
                  image.height() / dpmY * kHundredthsMmPerMeter);
}

}  // namespace printing
