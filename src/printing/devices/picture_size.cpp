#include "picture_size.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QFile>
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

QImage readStoredPicture(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat info {};
    QByteArray bytes;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        QFile file;
        if (file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            bytes = file.readAll();
    }
    ::close(fd);
    return bytes.isEmpty() ? QImage() : readPicture(bytes);
}

std::optional<QSizeF> pictureSize(const QString& path) {
    const QImage image = readStoredPicture(path);
    if (image.isNull()) return std::nullopt;
    const double dpmX = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() : kScreenDotsPerMeter;
    const double dpmY = image.dotsPerMeterY() > 0 ? image.dotsPerMeterY() : kScreenDotsPerMeter;
    return QSizeF(image.width() / dpmX * kHundredthsMmPerMeter,
                  image.height() / dpmY * kHundredthsMmPerMeter);
}

}  // namespace printing
