#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>
#include <optional>

namespace printing {

/**
 * Size of a picture file in hundredths of a millimetre, from the resolution the file states
 * (96 dpi when it states none); nothing when the file is no readable picture. The format is
 * told by the content, not the name. This is what Entorno::tamanoImagen expects.
 */
std::optional<QSizeF> pictureSize(const QString& path);

/** Reads a picture file, its format told by the content; a null image when unreadable. */
QImage readPicture(const QString& path);
/** The same, from a file's bytes already read. */
QImage readPicture(const QByteArray& bytes);

}  // namespace printing
