#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace Trivet {

// The largest picture file read for a slot: an icon or a photo, never a disk image the user named by mistake.
inline constexpr qint64 MaxPictureFileSize = qint64(16) << 20;

// The picture in file (BMP, GIF, ICO, PNG …), told by its content; null when file is not a regular file, is
// larger than MaxPictureFileSize or holds no picture Qt can read. A pipe, a device or a folder named as a
// picture is never opened.
QImage readPicture(const QString &file);
// The picture in bytes read from such a file; null when they hold none.
QImage decodePicture(const QByteArray &bytes);

} // namespace Trivet
