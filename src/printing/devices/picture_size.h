#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>
#include <optional>

namespace printing {

/**
 * Size of a picture file in hundredths of a millimetre, from the resolution the file states
 * (96 dpi when it states none); nothing when the file is no readable picture. The format is
 * told by the content, not the name. Like readStoredPicture, it never follows a link.
 * This is what Entorno::tamanoImagen expects.
 */
std::optional<QSizeF> pictureSize(const QString& path);

/** Reads a picture file, its format told by the content; a null image when unreadable. */
QImage readPicture(const QString& path);
/** The same, from a file's bytes already read. */
QImage readPicture(const QByteArray& bytes);
/**
 * A picture the program keeps in its folder (the invoice logo): read only when the path is a
 * regular file, never through a symbolic link; a null image otherwise.
 */
QImage readStoredPicture(const QString& path);

}  // namespace printing
